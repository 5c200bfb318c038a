#pragma once

// The host's preflight for the plug-in: the profile names for menus, the
// error test used before every action, and the "Preflight" action, which
// exports two single-page PDFs of a clean document and files a failing one
// into an error folder.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/value.h"
#include "host/document.h"

namespace korvex {

// [name, translated name] per profile, in the host's order.
std::vector<std::pair<std::string, std::string>> preflightNames();

// True when the document has at least one preflight error under the profile;
// an empty name keeps the document's own profile, an unknown one is logged
// and counts as clean.
bool countPreflightErrors(IDocument* document, const std::string& profile);

// The two PDF names of a document named "<words> <word> <number>":
// "%03d-%@-%@" with (number - 1, word, name) and (number, word, name). None
// for fewer than three words.
std::optional<std::pair<std::string, std::string>> preflightPdfNames(const std::string& documentName);

// "PreflightProfile", "ErrorFolder", "PDFPath", "PDFStyle". Always succeeds:
// a failing document is only filed into the error folder.
bool doPreflight(IDocument* document, const DictPtr& action);

}  // namespace korvex
