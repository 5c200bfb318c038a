#pragma once

// "Orvel": exports the whole document as a PDF named by a pattern that is
// filled with the parts of the document's own name.

#include <string>
#include <vector>

#include "docmodel/my_doc.h"
#include "foundation/value.h"

namespace korvex {

// "Token" (default "_") splits the name without extension; "Name" is the
// pattern, where $t1, $t2, … stand for the parts; "PDFStyle" the export
// style. The PDF goes into the document's folder. False without "Name" or
// "PDFStyle", for an unknown style, and when the export fails.
bool orvel(MyDoc& document, const DictPtr& action);

// The pattern with $tN replaced by part N; the highest number goes first, so
// $t10 is never read as $t1 followed by "0".
std::string fillNamePattern(std::string pattern, const std::vector<std::string>& parts);

}  // namespace korvex
