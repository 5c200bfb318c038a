#pragma once

// Which language the user wants the interface in, from the locale variables.

#include <string>

namespace korvex {

// The first two letters, in lower case, of the first locale variable that is
// set: the first entry of $LANGUAGE, else $LC_ALL, $LC_MESSAGES, $LANG. Empty
// when none is set or the value is shorter than two letters ("C"); "POSIX"
// and "C.UTF-8" give codes no language table has.
std::string interfaceLanguage();

}  // namespace korvex
