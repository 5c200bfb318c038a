#pragma once

#include <span>
#include <string>

namespace korvex::cli {

// korvex table FILE [--sheet NAME] [--kv]: the table as JSON.
int runTableCommand(std::span<const std::string> args);

}  // namespace korvex::cli
