#pragma once

#include <span>
#include <string>

namespace korvex::cli {

// korvex log path | check | show
int runLogCommand(std::span<const std::string> args);

}  // namespace korvex::cli
