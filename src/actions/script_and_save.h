#pragma once

// The "JSX" and "Save" actions: run a script file through the host's
// scripting, or save the document in hand in place.

#include "docmodel/my_doc.h"
#include "foundation/value.h"

namespace korvex {

// Runs the script under "Path"; fails without a log line when there is no
// such file or no runner for it, and with "err = N" when the script fails.
bool doJavaScript(const DictPtr& action);
// Saves in place; never fails the chain, but a failed save is logged and
// flags the log.
bool saveDoc(MyDoc& document, const DictPtr& action);

}  // namespace korvex
