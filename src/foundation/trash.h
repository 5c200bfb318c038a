#pragma once

// The user's Trash, the freedesktop one that file managers restore from:
// where a file goes that Korvex would otherwise destroy by replacing it.

#include <string>

#include "foundation/result.h"

namespace korvex {

// Moves the file or folder at path into the Trash of its file system (the
// home Trash, or the volume's own). On failure the item stays where it was
// and the message names it and says why.
Status moveToTrash(const std::string& path);

// Makes room for a newcomer that is about to take the name path: whatever is
// there (a file, a folder, a link) goes to the Trash and the log says so
// ("\tmoved to the Trash: PATH"). Nothing there, path is the newcomer itself
// (same file), or a regular file with the newcomer's bytes, is success with
// nothing done. On failure nothing was moved: the caller must not replace.
Status moveAsideToTrash(const std::string& path, const std::string& newcomer = {});

}  // namespace korvex
