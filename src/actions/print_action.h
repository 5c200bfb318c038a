#pragma once

// The "Print" action and the print style lookups. The host lists its default
// style under a key; the plug-in shows it under the key's translated text.

#include <optional>
#include <string>
#include <vector>

#include "foundation/value.h"
#include "host/document.h"
#include "host/output/print_style.h"

namespace korvex {

// The style for a name as shown to the user (the translated default name
// stands for the default style's key); null when there is none.
PrintStyle* getPrintStyle(const std::optional<std::string>& name);

using PrintStyleNameCallback = bool (*)(const std::string& name, void* data);
// Every style name as the host lists it; false from the callback stops and answers false.
bool EnumPrintStyles(PrintStyleNameCallback callback, void* data);
// All names minus the excluded ones, sorted without regard to case, the
// default style first under its translated name.
std::vector<std::string> printStyles(const std::vector<std::string>& exclude = {});

// "Style". An unknown style or a failed print is logged and flags the log
// without failing the chain. A style that prints to a file writes the
// PostScript next to the document; when that name is an open document or
// not a file, the print is refused and the chain fails.
bool doPrint(IDocument* document, const DictPtr& action);

}  // namespace korvex
