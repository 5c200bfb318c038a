#pragma once

// "PN_Trennung": text, lines and grey pictures go onto the layer "Text",
// colour pictures onto "Standard" (when the document has it); the hidden
// layer "Grauebene" gets a cyan rectangle behind the first spread's pages.
// The layer "STATUS" goes, groups are dissolved, the "Replacements" run, and
// the document file gets the green label. Items on layers whose names begin
// with one of "LayersToIgnore" are left alone.

#include "foundation/value.h"
#include "host/document.h"

namespace korvex {

// Without a document the action file "PNTrennung" opens for editing; without
// an action dictionary its parameters come from that file. Always true: a
// missing layer, spread or swatch only skips its step.
bool doPNTrennung(IDocument* document, const DictPtr& action);

}  // namespace korvex
