#pragma once

#include <span>
#include <string>

namespace korvex::cli {

// korvex preflight DOC [--profile NAME]
int runPreflightCommand(std::span<const std::string> args);

}  // namespace korvex::cli
