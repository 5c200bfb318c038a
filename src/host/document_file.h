#pragma once

// The native document file: versioned JSON that a person can write by hand
// (docs/document-format.md). Recognised by content, never by extension.

#include <memory>
#include <string>
#include <string_view>

#include "host/document.h"

namespace korvex {

inline constexpr const char* kDocumentFormatName = "korvex-document";
inline constexpr int kDocumentFormatVersion = 1;

enum class DocumentFileKind { Native, InDesignBinary, IDMLPackage, Unknown };

// What the first bytes of a file say it is.
DocumentFileKind sniffDocumentFile(std::string_view head);

struct DocumentLoadResult {
  std::unique_ptr<IDocument> document;  // null unless error is kSuccess
  ErrorCode error = kSuccess;
  std::string message;  // one line: file, JSON path, problem
};

// Reads and validates a whole document; nothing is returned half-loaded.
DocumentLoadResult loadDocumentFile(const std::string& path);
// The same from bytes; fileName names the file in messages, baseFolder
// resolves relative link paths.
DocumentLoadResult parseDocument(std::string_view bytes, const std::string& fileName,
                                 const std::string& baseFolder);

// The same model always gives the same bytes.
std::string serializeDocument(const IDocument& document);
// Atomic: on failure the old file is untouched. The message says why.
ErrorCode saveDocumentFile(const IDocument& document, const std::string& path,
                           std::string* message = nullptr);

}  // namespace korvex
