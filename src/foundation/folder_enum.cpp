#include "foundation/folder_enum.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "foundation/paths.h"

namespace korvex {

namespace fs = std::filesystem;

namespace {

struct Entry {
  std::string name;
  bool isFolder;  // a real folder, not a link to one
};

// The entries of a folder (without hidden ones when asked) in byte order of
// their names; an unreadable folder has none.
std::vector<Entry> entriesOf(const std::string& folder, bool skipHidden) {
  std::vector<Entry> entries;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return entries;
  for (fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    std::string name = it->path().filename().string();
    if (name.empty() || (skipHidden && name.front() == '.')) continue;
    std::error_code typeError;
    bool isFolder = it->is_directory(typeError) && !it->is_symlink(typeError);
    entries.push_back({std::move(name), isFolder});
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return entries;
}

bool isFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

// Below the top level every entry counts: its relative path begins with the
// name of a visible top-level entry.
bool walk(const std::string& folder, bool skipHidden, EnumFolderProc proc, void* data) {
  for (const Entry& entry : entriesOf(folder, skipHidden)) {
    std::string path = stringByAppendingPathComponent(folder, entry.name);
    if (!proc(path, data)) return false;
    if (entry.isFolder && !walk(path, false, proc, data)) return false;
  }
  return true;
}

}  // namespace

bool EnumFolder(const std::string& folder, EnumFolderProc proc, void* data) {
  if (!proc || !isFolder(folder)) return true;
  return walk(folder, true, proc, data);
}

bool EnumFolderFlat(const std::string& folder, EnumFolderProc proc, void* data) {
  if (!proc || !isFolder(folder)) return true;
  for (const Entry& entry : entriesOf(folder, true))
    if (!proc(stringByAppendingPathComponent(folder, entry.name), data)) return false;
  return true;
}

}  // namespace korvex
