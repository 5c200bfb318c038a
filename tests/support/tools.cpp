#include "support/tools.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace korvex::test {

std::string tool(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');)
    if (const std::filesystem::path candidate = std::filesystem::path(folder) / name;
        ::access(candidate.c_str(), X_OK) == 0)
      return candidate.string();
  return {};
}

}  // namespace korvex::test
