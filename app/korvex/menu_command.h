#pragma once

#include <span>
#include <string>

namespace korvex::cli {

// korvex menu: the installed menu in position order.
int runMenuCommand(std::span<const std::string> args);

}  // namespace korvex::cli
