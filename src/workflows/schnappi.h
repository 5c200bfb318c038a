#pragma once

// "Schnappi": the GREP replacements of "Grep" over the document's text; a
// run that replaced anything has the document saved.

#include "foundation/value.h"
#include "host/document.h"

namespace korvex {

// Without a document the action file "Schnappi" opens for editing; without
// an action dictionary its parameters come from that file. Always true.
bool doSchnappi(IDocument* document, const DictPtr& action);

}  // namespace korvex
