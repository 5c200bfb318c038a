#pragma once

#include <span>
#include <string>

namespace korvex::cli {

// korvex doc new OUT [--pages N] [--size W H] [--facing] [--layer NAME]...
//        doc info DOC [--json]
//        doc check DOC
int runDocCommand(std::span<const std::string> args);

}  // namespace korvex::cli
