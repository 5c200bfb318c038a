#pragma once

// "Vantry": a hidden, non-printing copy of the layer "Text" named
// "Text-Check" whose text is coloured "Magenta", to compare later changes
// against.

#include "docmodel/my_doc.h"
#include "foundation/value.h"

namespace korvex {

// Replaces any former "Text-Check". Always true: a missing "Text" leaves the
// copy empty, a missing "Magenta" leaves it uncoloured.
bool vantry(MyDoc& document, const DictPtr& action);

}  // namespace korvex
