#pragma once

// The document files the host recognises, as a table: each format recognises
// its files by their first bytes (never by extension) and loads them. The
// native JSON format and IDML packages load; InDesign's binary documents are
// recognised so that they are refused with advice rather than misread.

#include <map>
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
  DocumentFileKind kind = DocumentFileKind::Unknown;
  // What the file held that the model does not (IDML), by kind with counts.
  std::map<std::string, int> unsupported;
};

// A refusal whose message is "FILE: PROBLEM" on one line.
DocumentLoadResult documentRefusal(ErrorCode code, const std::string& fileName, const std::string& problem);

// What the first bytes of a file say it is.
DocumentFileKind sniffDocumentFile(std::string_view head);

// Reads and validates a whole document in whichever format its bytes are;
// nothing is returned half-loaded. A native file becomes the document's file;
// an IDML package gives an untitled document whose fallback file is the package.
DocumentLoadResult loadDocumentFile(const std::string& path);
// The same from bytes.
DocumentLoadResult parseDocument(std::string_view bytes, const std::string& fileName,
                                 const std::string& baseFolder);

}  // namespace korvex
