#pragma once

// The document files the host recognises, as a table: each format recognises
// its files by their first bytes (never by extension) and loads them. The
// native JSON format loads; InDesign's binary documents and IDML packages are
// recognised so that they are refused with advice rather than misread.

#include <memory>
#include <string>
#include <string_view>

#include "host/document.h"

namespace korvex {

enum class DocumentFileKind { Native, InDesignBinary, IDMLPackage, Unknown };

struct DocumentLoadResult {
  std::unique_ptr<IDocument> document;  // null unless error is kSuccess
  ErrorCode error = kSuccess;
  std::string message;  // one line: file, JSON path, problem
};

// A refusal whose message is "FILE: PROBLEM" on one line.
DocumentLoadResult documentRefusal(ErrorCode code, const std::string& fileName, const std::string& problem);

// What the first bytes of a file say it is.
DocumentFileKind sniffDocumentFile(std::string_view head);

// Reads and validates a whole document in whichever format its bytes are;
// nothing is returned half-loaded.
DocumentLoadResult loadDocumentFile(const std::string& path);
// The same from bytes.
DocumentLoadResult parseDocument(std::string_view bytes, const std::string& fileName,
                                 const std::string& baseFolder);

}  // namespace korvex
