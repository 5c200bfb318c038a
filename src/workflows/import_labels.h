#pragma once

// "Import labels": copies the "Label" of each text frame of a chosen
// document onto the text frame of the given document with the same bounds.

#include "foundation/value.h"
#include "host/document.h"

namespace korvex {

// The target is the document given (captured before the chooser opens the
// source, which then is the front document). The action dictionary is not
// used. False for no document, Cancel, a source that can't be opened or the
// target's own file; the opened source stays open.
bool doImportLabels(IDocument* document, const DictPtr& action);

}  // namespace korvex
