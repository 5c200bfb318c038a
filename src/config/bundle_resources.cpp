#include "config/bundle_resources.h"

#include <filesystem>

namespace korvex {

std::string configBundleResourcesFolder() {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path executable = fs::read_symlink("/proc/self/exe", error);
  if (error) return "resources";
  fs::path prefix = executable.parent_path().parent_path();
  fs::path buildTree = prefix / "resources";
  fs::path installed = prefix / "share" / "korvex" / "resources";
  if (fs::is_directory(buildTree, error)) return buildTree.string();
  if (fs::is_directory(installed, error)) return installed.string();
  return buildTree.string();
}

}  // namespace korvex
