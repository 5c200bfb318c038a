#include "foundation/trash.h"

#include <gio/gio.h>

#include <memory>

namespace korvex {

Status moveToTrash(const std::string& path) {
  std::unique_ptr<GFile, decltype(&g_object_unref)> file(g_file_new_for_path(path.c_str()), g_object_unref);
  GError* error = nullptr;
  if (g_file_trash(file.get(), nullptr, &error)) return {};
  std::string reason = error ? error->message : "unknown error";
  if (error) g_error_free(error);
  return fail(path + ": can't be moved to the Trash: " + reason);
}

}  // namespace korvex
