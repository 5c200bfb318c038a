#pragma once

#include <span>
#include <string>

namespace korvex::cli {

// korvex settings [--path | --open]
int runSettingsCommand(std::span<const std::string> args);

}  // namespace korvex::cli
