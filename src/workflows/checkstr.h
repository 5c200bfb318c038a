#pragma once

// Checkstr: freezes the look of every spread onto a check layer. Each spread
// is rendered to a JPEG preview in the temporary folder and placed, embedded,
// over the spread's pages on the layer "Checkstr", which replaces any former
// one.

#include "foundation/value.h"
#include "host/document.h"

namespace korvex {

inline constexpr const char* kCheckstrLayerName = "Checkstr";

// The action "Checkstr" and the menu command (without a dictionary it reads
// the action file "Checkstr"). Without a document it does nothing and
// succeeds; a preview that can't be made ends the walk and fails the action.
bool doCheckStr(IDocument* document, const DictPtr& action);

}  // namespace korvex
