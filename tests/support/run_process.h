#pragma once

#include <string>
#include <vector>

namespace korvex::test {

struct ProcessResult {
  int exitCode = -1;  // -1 when it could not be started or did not exit normally
  std::string out;
  std::string err;
};

// Runs a program with arguments (no shell), with the current environment,
// and collects its output. Standard input is empty.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args);

}  // namespace korvex::test
