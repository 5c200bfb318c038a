#pragma once

#include <span>
#include <string>

namespace korvex::cli {

// korvex hotfolder [--once]: watches the hot folder until SIGINT or SIGTERM,
// or scans it once.
int runHotfolderCommand(std::span<const std::string> args);

}  // namespace korvex::cli
