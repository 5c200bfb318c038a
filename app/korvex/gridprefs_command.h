#pragma once

#include <span>
#include <string>

namespace korvex::cli {

// korvex gridprefs DOC [DOC] [--save]
int runGridPrefsCommand(std::span<const std::string> args);

}  // namespace korvex::cli
