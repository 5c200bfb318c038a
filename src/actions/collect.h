#pragma once

// The "Collect" action: packs a document for delivery with its linked files
// (in "images") and the font files of its fonts (in "fonts").

#include "foundation/value.h"
#include "host/document.h"

namespace korvex {

// "Folder", "SubFolders", "Docs", "Picts" (default 1), "Fonts" (default 1).
// Fails only when the destination folder can't be had; copies that fail are
// logged and skipped.
bool collectDocResources(IDocument* document, const DictPtr& action);

}  // namespace korvex
