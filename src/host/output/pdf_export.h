#pragma once

// The host's PDF export provider: a service in the session's registry under
// the format name "Adobe PDF". It exports a whole document, or a list of
// pages or spreads, to a file under a PDF export style; responders hear
// about every export before and after it.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/output_file.h"
#include "host/export_provider.h"
#include "host/output/page_renderer.h"
#include "host/output/pdf_style.h"
#include "host/session.h"

namespace korvex {

inline constexpr const char* kPdfFormatName = "Adobe PDF";

struct PdfExportRequest {
  // Pages (UIDs of the document's pages) or spreads to export; empty exports every page.
  UIDList items;
  // Whether to export spreads: none takes the style's setting.
  std::optional<bool> spreads;
  // Passed through from callers that have them (the whole-document option,
  // the page-list export's extra preference); the responders see them.
  int option = 0;
  int extraPreference = -1;
  // What becomes of an older file at the path: a run's outputs keep it in the Trash.
  OlderOutput older = OlderOutput::replace;
};

struct PdfExportResult {
  ErrorCode error = kSuccess;
  std::string message;  // why it failed, one line
  int pages = 0;
  std::vector<std::string> warnings;  // drawn with substitutes or left out
  // Linked files that are there but could not be drawn: the PDF is written without them.
  std::vector<UndrawableFile> undrawable;
};

// Told before and after every export, with the document, the file, the format name, the UI flags
// and the request (with the caller's option and extra preference).
using ExportResponder =
    std::function<void(bool after, IDocument& document, const IDFile& file, const std::string& format,
                       int uiFlags, const PdfExportRequest& request)>;

class PdfExportProvider : public IExportProvider {
 public:
  PdfExportProvider() = default;
  std::string name() const override { return kPdfFormatName; }
  bool CanExportThisFormat(const IDocument&, const std::string& format) const override {
    return format == kPdfFormatName;
  }

  // The session's style list, read on first use; reload() after styles changed on disk.
  const PdfStyleList& styles();
  void reload();

  // Exports under the named style; an unknown name is an error.
  PdfExportResult exportDocument(IDocument& document, const std::string& path, const std::string& styleName,
                                 const PdfExportRequest& request = {}, int uiFlags = 0);
  // Exports under the given style settings.
  PdfExportResult exportDocument(IDocument& document, const std::string& path, const PdfExportStyle& style,
                                 const PdfExportRequest& request = {}, int uiFlags = 0);

  // Returns an id for removeResponder.
  int addResponder(ExportResponder responder);
  void removeResponder(int id);

 private:
  std::optional<PdfStyleList> styles_;
  std::vector<std::pair<int, ExportResponder>> responders_;
  int nextResponder_ = 1;
};

// The provider installed in the session's registry, installed on first ask.
PdfExportProvider& pdfExportProvider(Session& session);

// The provider for the format among the session's, with the host's own
// ("Adobe PDF", "InDesignMarkup") installed first; null when none exports it.
IExportProvider* exportProviderFor(Session& session, const IDocument& document, const std::string& format);

// Whether an output file may be written at path: not a folder, device, fifo
// or socket, and not the file of a document open in the session (an export
// named after its document must never overwrite it). The refusal names the path.
ErrorCode checkOutputPath(const std::string& path, std::string* message);

// Renders without writing a file: the PDF's bytes, or the error. For callers
// that keep the bytes (previews, print) and for the exporter itself.
PdfExportResult renderPdf(const IDocument& document, const PdfExportStyle& style,
                          const PdfExportRequest& request, std::string& bytes);

}  // namespace korvex
