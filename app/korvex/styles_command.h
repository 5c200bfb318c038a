#pragma once

#include <span>
#include <string>

namespace korvex::cli {

// korvex styles list [--pdf | --print] | show NAME | add NAME FILE
int runStylesCommand(std::span<const std::string> args);

}  // namespace korvex::cli
