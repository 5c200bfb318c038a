#pragma once

// Duplicating page items into another parent (a spread layer or a group) of
// the same document, and whole layers.

#include "host/document.h"

namespace korvex {

// Copies the items, first to last, in front of the destination's children.
// Copies keep their position relative to their parent, their attributes,
// labels, placed content and links (with what the link recorded). Text
// frames of one story copied together show one copy of the story, threaded
// in the original order. On failure nothing is left behind.
// copies receives the new top-level items in order.
ErrorCode duplicateItems(IDocument& document, const UIDList& items, UID destination,
                         UIDList* copies = nullptr);

// Copies whole document layers, in list order. Each copy is a new layer placed
// directly above its source, named "NAME copy" ("NAME copy 2", … when taken),
// with the source's visibility, printability, lock and colour, holding copies
// of the source's items on every spread and master spread. On failure
// nothing is left behind. copies receives the new layers in order.
ErrorCode duplicateLayers(IDocument& document, const UIDList& layers, UIDList* copies = nullptr);

}  // namespace korvex
