#pragma once

// Lines for the system console: diagnostics that stay out of the log. On
// Linux they go to standard error.

#include <cstdio>
#include <string>

#include "foundation/format.h"

namespace korvex {

template <typename... Args>
void consoleLog(std::string_view format, const Args&... args) {
  const std::string line = stringWithFormat(format, args...) + "\n";
  std::fputs(line.c_str(), stderr);
}

}  // namespace korvex
