#include "foundation/trash.h"

#include <gio/gio.h>

#include <sys/stat.h>

#include <memory>

#include "foundation/files.h"
#include "foundation/log.h"

namespace korvex {

Status moveToTrash(const std::string& path) {
  std::unique_ptr<GFile, decltype(&g_object_unref)> file(g_file_new_for_path(path.c_str()), g_object_unref);
  GError* error = nullptr;
  if (g_file_trash(file.get(), nullptr, &error)) return {};
  std::string reason = error ? error->message : "unknown error";
  if (error) g_error_free(error);
  return fail(path + ": can't be moved to the Trash: " + reason);
}

Status moveAsideToTrash(const std::string& path, const std::string& newcomer) {
  struct stat there {};
  if (::lstat(path.c_str(), &there) != 0) return {};
  struct stat incoming {};
  if (!newcomer.empty() && ::lstat(newcomer.c_str(), &incoming) == 0 && incoming.st_dev == there.st_dev &&
      incoming.st_ino == there.st_ino)
    return {};
  // The same bytes (the copy of a move to another file system that a kill cut
  // short): replacing it destroys nothing, also where the volume has no Trash.
  if (!newcomer.empty() && S_ISREG(there.st_mode) && S_ISREG(incoming.st_mode) && sameFileContent(path, newcomer))
    return {};
  Status trashed = moveToTrash(path);
  if (trashed) MyLog("\tmoved to the Trash: %@", path);
  return trashed;
}

}  // namespace korvex
