#pragma once

#include <span>
#include <string>

namespace korvex::cli {

// korvex script FILE.jsx [DOC...] [--time-limit SECONDS] [--memory-limit MB]
int runScriptCommand(std::span<const std::string> args);

}  // namespace korvex::cli
