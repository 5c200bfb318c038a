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

}  // namespace korvex
