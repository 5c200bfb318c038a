#pragma once

// The native document file: versioned JSON that a person can write by hand
// (docs/document-format.md). Loading goes through the format table
// (document_formats.h), which recognises this format by content among the others.

#include <string>
#include <string_view>

#include "host/document.h"
#include "host/document_formats.h"

namespace korvex {

inline constexpr const char* kDocumentFormatName = "korvex-document";
inline constexpr int kDocumentFormatVersion = 1;

// The format table's loader for native files: validates and builds the whole
// document. fileName names the file in messages, baseFolder resolves relative
// link paths.
DocumentLoadResult readNativeDocument(std::string_view bytes, const std::string& fileName,
                                      const std::string& baseFolder);

// The same model always gives the same bytes.
std::string serializeDocument(const IDocument& document);
// Atomic: on failure the old file is untouched. The message says why.
ErrorCode saveDocumentFile(const IDocument& document, const std::string& path,
                           std::string* message = nullptr);

}  // namespace korvex
