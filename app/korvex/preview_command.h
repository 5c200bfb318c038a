#pragma once

#include <span>
#include <string>

namespace korvex::cli {

// korvex preview DOC OUT.jpg [--spread N] [--resolution PPI] [--quality Q]
int runPreviewCommand(std::span<const std::string> args);

}  // namespace korvex::cli
