#pragma once

// Files and folders: tests, sizes and dates, alias resolution,
// creating, copying, moving and removing.
//
// Nothing here throws. Failures are written to the log
// (logError) and reported by the result where there is one.
//
// Replacing is safe: copies and moves that replace an item first put the new
// item beside the destination under a short hidden temporary name and then
// rename it over the destination, so a failure leaves both the source and the
// destination as they were (a killed process's temporaries are removed the
// next time one is staged in that folder, see atomic_file.h). Copies keep the source's modification time,
// permissions and user extended attributes (Finder labels among them).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/value.h"

namespace korvex {

// Something exists there, a symbolic link counting as its target (a broken
// link is nothing).
bool pathExists(const std::string& path);
// Exists and is not a folder.
bool pathIsFile(const std::string& path);
// Exists and is a folder.
bool pathIsFolder(const std::string& path);
// Size in bytes (of a link's target); 0 when missing.
std::uint64_t fileSizeForPath(const std::string& path);
// Modification date (of a link's target); none when missing.
std::optional<Date> modDateForPath(const std::string& path);
// Both are regular files (links followed) with the same bytes.
bool sameFileContent(const std::string& a, const std::string& b);

// Alias files are symbolic links: when the item at the path is a link whose
// chain ends at an existing item, the target's path; otherwise (no link,
// broken link) the path unchanged. None stays none.
std::optional<std::string> resolvePath(std::optional<std::string_view> path);

// True when something already exists at the path; else creates the folder
// with all missing parents; an error is logged and false returned.
bool createDir(const std::string& path);
// base / name (base itself for an empty name), created as above; the path.
std::string createDir(const std::string& base, std::string_view name);

// into destination / source's name when the
// destination is a folder, else onto the destination. Same modification
// date on both: false and nothing copied. Otherwise copies (replacing a
// file there, never a folder); a failure is logged as "\t\t#### %@" and
// answers false.
bool copyFile(const std::string& source, const std::string& destination);

// A missing path or a folder: true, nothing done. A file (or link) is
// removed; an error is logged as "%@: %@" with the path and gives false.
bool removeFile(const std::string& path);
// Removes a file or a folder with its content; a missing path is no error.
// An error is logged and its description returned.
std::optional<std::string> removeItemAtPath(const std::string& path);

// What becomes of an item that a move replaces.
enum class Replaced {
  Destroyed,  // gone for good
  ToTrash,    // into the user's Trash first (moveAsideToTrash), and the log
              // says so; when that fails nothing is moved. Where the older
              // item may be someone's only copy (documents filed by a run).
};

// Moves / copies the source to the destination path, replacing whatever is
// there. True on success; on failure the error is logged and source and
// destination are as they were. A move to another file system copies, puts
// the copy on disk (file and folder synced) and only then removes the source.
bool moveItemToPath(const std::string& source, const std::string& destination,
                    Replaced replaced = Replaced::Destroyed);
bool copyItemToPath(const std::string& source, const std::string& destination);

// folder / the source's last component: the folder is created with its
// parents when missing, the item moved / copied there replacing an item of
// the same name. The new path is returned whether or not that succeeded.
std::string moveFileObject(const std::string& source, const std::string& folder,
                           Replaced replaced = Replaced::Destroyed);
std::string copyFileObject(const std::string& source, const std::string& folder);

}  // namespace korvex
