#pragma once

#include <span>
#include <string>

namespace korvex::cli {

// korvex export DOC OUT.pdf [--style NAME] [--pages FIRST-LAST] [--spreads]
int runExportCommand(std::span<const std::string> args);

}  // namespace korvex::cli
