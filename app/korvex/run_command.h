#pragma once

#include <span>
#include <string>

namespace korvex::cli {

// korvex run --chain CHAIN DOC...
// CHAIN: an action file's path, or the name of a file in the actions folder
// (extension optional). Exit 0 when every document was taken, 1 when the run
// stopped early, 2 for bad usage or an unreadable chain.
int runRunCommand(std::span<const std::string> args);

}  // namespace korvex::cli
