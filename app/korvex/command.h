#pragma once

// The korvex command line: one entry per command word.

#include <span>
#include <string>
#include <string_view>

namespace korvex::cli {

struct Command {
  std::string_view name;
  std::string_view usage;    // the arguments after the name
  std::string_view summary;  // one line for --help
  int (*run)(std::span<const std::string> args);
};

// Exit codes shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Prints "korvex: <message>" to standard error and answers kExitUsage.
int usageError(std::string_view message);

}  // namespace korvex::cli
