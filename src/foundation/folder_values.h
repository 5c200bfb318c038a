#pragma once

// Folders named in action dictionaries ("Folder", "PDFPath", "ErrorFolder").
// A folder is only ever a string holding an absolute path: a number or a
// boolean (the typed accessors would turn true into "1") or a relative path
// would name a folder below whatever the working folder happens to be.

#include <optional>
#include <string>
#include <string_view>

#include "foundation/value.h"

namespace korvex {

// None when the key is missing; the path when the value is a string beginning
// with "/"; "" for any other value, which names no folder, so every action
// treats it as it treats a folder that does not exist.
std::optional<std::string> folderForKey(const DictPtr& action, std::string_view key);

}  // namespace korvex
