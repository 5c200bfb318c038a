#pragma once

// Export providers as the host has them: services in the session's registry
// (ServiceKind::ExportProvider), each answering whether it writes a document
// in a named format. "Adobe PDF" (host/output) and "InDesignMarkup" (IDML
// packages, here) are the host's own.

#include <string>

#include "host/document.h"
#include "host/session.h"

namespace korvex {

inline constexpr const char* kIdmlFormatName = "InDesignMarkup";

class IExportProvider : public Service {
 public:
  virtual bool CanExportThisFormat(const IDocument& document, const std::string& format) const = 0;
};

// The first installed provider that exports the document in the format, else null.
IExportProvider* findExportProvider(Session& session, const IDocument& document, const std::string& format);

class IdmlExportProvider : public IExportProvider {
 public:
  std::string name() const override { return kIdmlFormatName; }
  bool CanExportThisFormat(const IDocument&, const std::string& format) const override {
    return format == kIdmlFormatName;
  }
  // Writes the document as an IDML package at path (a temporary beside it,
  // then a rename): a failure leaves an existing file untouched, answers
  // kFileWriteError and says why in message.
  ErrorCode exportDocument(const IDocument& document, const std::string& path, std::string* message = nullptr);
};

// The session's IDML provider, installed on first ask.
IdmlExportProvider& idmlExportProvider(Session& session);

// Whether path names an IDML package by its extension (".idml", any case).
bool isIdmlPath(const std::string& path);

}  // namespace korvex
