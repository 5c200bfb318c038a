#include "foundation/bundle.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace korvex {

namespace fs = std::filesystem;

namespace {

std::string& bundleOverride() {
  static std::string path;
  return path;
}

}  // namespace

std::string executableDirectory() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return exe.parent_path().string();
}

std::string bundleResourcesPath() {
  if (!bundleOverride().empty()) return bundleOverride();
  fs::path dir = executableDirectory();
  if (dir.empty()) return "resources";
  const fs::path candidates[] = {dir / "resources", dir / ".." / "resources",
                                 dir / ".." / "share" / "korvex" / "resources"};
  for (const fs::path& candidate : candidates) {
    std::error_code ec;
    if (fs::is_directory(candidate, ec)) return candidate.lexically_normal().string();
  }
  return candidates[0].string();
}

void setBundleResourcesPath(std::string path) { bundleOverride() = std::move(path); }

std::optional<std::string> pathForResource(std::string_view name, std::string_view type) {
  if (name.empty()) return std::nullopt;
  std::string file(name);
  if (!type.empty()) {
    file += '.';
    file += type;
  }
  fs::path path = fs::path(bundleResourcesPath()) / file;
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return std::nullopt;
  return path.string();
}

}  // namespace korvex
