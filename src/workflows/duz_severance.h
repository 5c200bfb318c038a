#pragma once

// "DUZSeverance": sorts the page items of unlocked layers onto "Standard",
// "LW" (black line work) and "Repro" (items in the colours "Repro" names),
// then deletes every layer left empty; "Save" 1 saves the document.

#include "docmodel/my_doc.h"
#include "foundation/value.h"

namespace korvex {

// Always true; a layer that can't be deleted is logged and stays.
bool duzSeverance(MyDoc& document, const DictPtr& action);

}  // namespace korvex
