#pragma once

#include <span>
#include <string>

namespace korvex::cli {

// korvex command NAME [DOC] [--no-save]: runs a menu command, with the
// document as the front document when one is given.
int runMenuCommandCommand(std::span<const std::string> args);

}  // namespace korvex::cli
