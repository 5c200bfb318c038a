#pragma once

// The CHAIN argument of `korvex run` and `korvex queue submit`: an action
// file's path, or a name in the actions folder (".plist" or ".jsx" may be
// left off). A script is a chain of one "JSX" action.

#include <string>

#include "foundation/value.h"

namespace korvex::cli {

struct ChainOrError {
  ArrayPtr chain;
  std::string file;
  std::string error;  // "FILE: PROBLEM" when there is no chain
};

ChainOrError readChain(const std::string& argument);

}  // namespace korvex::cli
