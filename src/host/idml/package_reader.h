#pragma once

// IDML packages as documents: the format table's loader for them. The whole
// package is checked and every part parsed before the document is built, so
// a bad package is refused with one line ("PACKAGE: PART: PROBLEM") and
// nothing is half-loaded. What the model can't hold is counted in the
// result (DocumentLoadResult::unsupported).

#include <string>
#include <string_view>

#include "host/document_formats.h"

namespace korvex::idml {

// baseFolder is the package's folder: relative and foreign links are looked for there.
DocumentLoadResult readPackage(std::string_view bytes, const std::string& fileName, const std::string& baseFolder);

}  // namespace korvex::idml
