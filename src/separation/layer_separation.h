#pragma once

// The "LayerSeparation" action: every page item of a document goes onto the
// layer "TEXT" (black and grey text, lines and empty frames without colour,
// grey pictures) or "BILDER" (everything in colour, white text and the black
// frames that it or a colour picture overlaps). The document is cleaned
// first (items off the pages, empty and check layers, groups), grey text
// becomes tints of Black, and the file gets a label: green when done, red
// when a layer is missing.

#include <span>
#include <vector>

#include "foundation/value.h"
#include "host/document.h"
#include "separation/kx_frame.h"

namespace korvex {

// Runs the action; always true (a missing layer is reported by the log and
// the label, so the chain goes on).
bool doLayerSeparation(IDocument* document, const DictPtr& action);

// Removes check layers ("CHECK…" in any case, content and all) and every
// other layer without page items but "TEXT" and "BILDER"; logs the count.
void deleteEmptyLayers(IDocument* document);

// Moves the frames' page items to the document layer in one call; nothing
// without a database or layer.
void moveFramesToLayer(std::span<KXFrame* const> frames, IDataBase* database, UID layer);

}  // namespace korvex
