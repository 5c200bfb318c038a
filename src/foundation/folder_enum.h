#pragma once

// Folder enumerators, with the enumerator contract
// of the whole system: the callback answers false to stop; the enumerator
// answers false when stopped, true otherwise.
//
// The entries of a folder are visited in byte order of their names, so runs
// are deterministic.

#include <string>
#include <type_traits>
#include <utility>

namespace korvex {

using EnumFolderProc = bool (*)(const std::string& path, void* data);

// Every entry at any depth, a folder before its content; an entry whose
// path relative to the folder begins with "." is skipped (so nothing inside
// a hidden top-level folder is reported, but a hidden file inside a visible
// subfolder is). Links to folders are reported, not entered. A path that is
// not an existing folder answers true without calling anything.
bool EnumFolder(const std::string& folder, EnumFolderProc proc, void* data);
// The direct entries only, skipping names that begin with ".".
bool EnumFolderFlat(const std::string& folder, EnumFolderProc proc, void* data);

// The same with any callable bool(const std::string& path), for callers
// that keep their state in a lambda.
template <typename F>
  requires std::is_invocable_r_v<bool, F&, const std::string&>
bool EnumFolder(const std::string& folder, F&& f) {
  return EnumFolder(
      folder, [](const std::string& path, void* data) { return (*static_cast<std::remove_reference_t<F>*>(data))(path); },
      static_cast<void*>(&f));
}
template <typename F>
  requires std::is_invocable_r_v<bool, F&, const std::string&>
bool EnumFolderFlat(const std::string& folder, F&& f) {
  return EnumFolderFlat(
      folder, [](const std::string& path, void* data) { return (*static_cast<std::remove_reference_t<F>*>(data))(path); },
      static_cast<void*>(&f));
}

}  // namespace korvex
