#pragma once

#include <span>
#include <string>

namespace korvex::cli {

// korvex print DOC [--style NAME] [--to FILE.ps]
int runPrintCommand(std::span<const std::string> args);

}  // namespace korvex::cli
