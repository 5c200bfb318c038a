#include "platform/file_index.h"

#include "foundation/folder_enum.h"
#include "foundation/paths.h"

namespace korvex {

namespace {

bool isInside(const std::string& path, const std::string& folder) {
  if (folder.empty()) return false;
  if (path == folder) return true;
  const std::string prefix = folder.back() == '/' ? folder : folder + "/";
  return path.starts_with(prefix);
}

// A name beginning with "." anywhere below the folder.
bool isHidden(std::string_view relative) {
  if (relative.starts_with('.')) return true;
  return relative.find("/.") != std::string_view::npos;
}

}  // namespace

std::vector<std::string> findEntriesNamedLike(const std::string& folder, std::string_view part,
                                              const std::optional<std::string>& excluded) {
  std::vector<std::string> found;
  const std::string base = folder.ends_with('/') ? folder : folder + "/";
  EnumFolder(folder, [&](const std::string& path) {
    const std::string_view relative =
        path.starts_with(base) ? std::string_view(path).substr(base.size()) : std::string_view(path);
    if (isHidden(relative)) return true;
    if (excluded && isInside(path, *excluded)) return true;
    if (lastPathComponent(path).find(part) != std::string::npos) found.push_back(path);
    return true;
  });
  return found;
}

}  // namespace korvex
