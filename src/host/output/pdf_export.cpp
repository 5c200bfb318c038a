#include "host/output/pdf_export.h"

#include <algorithm>
#include <filesystem>

#include "foundation/output_file.h"
#include "host/document.h"
#include "host/output/page_renderer.h"
#include "host/output/pdf_device.h"

namespace korvex {

namespace {

std::string titleOf(const IDocument& document) {
  if (!document.GetName().empty()) return document.GetName();
  const std::string& path = document.GetDocDataBase()->GetSysFile().path();
  return path.empty() ? std::string() : std::filesystem::path(path).stem().string();
}

}  // namespace

ErrorCode checkOutputPath(const std::string& path, std::string* message) {
  if (Status target = checkOutputTarget(path); !target) {
    if (message) *message = target.message();
    return kInvalidParameterError;
  }
  Session* session = GetExecutionContextSession();
  Application* app = session ? session->application() : nullptr;
  for (int i = 0; app && i < app->GetDocumentCount(); ++i) {
    const IDocument* document = app->GetNthDocument(i);
    const IDataBase* db = document ? document->GetDocDataBase() : nullptr;
    if (db && sameExistingFile(path, db->GetSysFile().path())) {
      if (message) *message = path + ": is the open document \"" + document->GetName() + "\", not replaced";
      return kInvalidParameterError;
    }
  }
  return kSuccess;
}

PdfExportResult renderPdf(const IDocument& document, const PdfExportStyle& style,
                          const PdfExportRequest& request, std::string& bytes) {
  PdfExportResult result;
  const IDataBase* db = document.GetDocDataBase();
  const bool spreads = request.spreads.value_or(style.exportSpreads);

  // What to draw, in the order asked for: pages, or the spreads that hold them.
  std::vector<const Page*> pages;
  std::vector<const ISpread*> spreadList;
  auto addSpread = [&](const ISpread* spread) {
    if (std::find(spreadList.begin(), spreadList.end(), spread) == spreadList.end())
      spreadList.push_back(spread);
  };
  if (request.items.empty()) {
    for (const Page* page : document.pages()) pages.push_back(page);
    for (UID uid : document.spreadList())
      if (const auto* spread = db->instantiate<ISpread>(uid)) spreadList.push_back(spread);
  } else {
    if (request.items.GetDataBase() != nullptr && request.items.GetDataBase() != db) {
      result.error = kInvalidParameterError;
      result.message = "the pages belong to another document";
      return result;
    }
    for (UID uid : request.items) {
      if (const auto* page = db->instantiate<Page>(uid)) {
        pages.push_back(page);
        if (const auto* spread = db->instantiate<ISpread>(document.spreadOf(uid))) addSpread(spread);
      } else if (const auto* spread = db->instantiate<ISpread>(uid)) {
        for (const Page* p : spread->pages()) pages.push_back(p);
        addSpread(spread);
      } else {
        result.error = kInvalidParameterError;
        result.message = "UID " + std::to_string(uid) + " is neither a page nor a spread of the document";
        return result;
      }
    }
  }
  if (spreads) std::erase_if(spreadList, [](const ISpread* s) { return s->GetNumPages() == 0; });
  if (spreads ? spreadList.empty() : pages.empty()) {
    result.error = kInvalidParameterError;
    result.message = "the document has no pages to export";
    return result;
  }

  RenderOptions options;
  options.bleed = style.bleed;
  options.cropMarks = style.cropMarks;
  options.colorConversion = style.colorConversion;
  options.downsampleThreshold = style.downsampleThreshold;
  options.downsampleTarget = style.downsampleTarget;
  options.jpegQuality = style.jpegQuality;
  PageRenderer renderer(document, options);
  PdfDevice device({titleOf(document), style.pdfVersion});
  if (spreads) {
    for (const ISpread* spread : spreadList) renderer.drawSpread(device, *spread);
  } else {
    for (const Page* page : pages) renderer.drawPage(device, *page);
  }
  result.warnings = renderer.problems();
  result.undrawable = renderer.undrawable();
  std::string error;
  auto pdf = device.finish(&error);
  if (!pdf) {
    result.error = kFailure;
    result.message = error;
    return result;
  }
  result.warnings.insert(result.warnings.end(), device.warnings().begin(), device.warnings().end());
  result.pages = device.pageCount();
  bytes = std::move(*pdf);
  return result;
}

const PdfStyleList& PdfExportProvider::styles() {
  if (!styles_) styles_ = PdfStyleList::load();
  return *styles_;
}

void PdfExportProvider::reload() {
  styles_.reset();
}

PdfExportResult PdfExportProvider::exportDocument(IDocument& document, const std::string& path,
                                                  const std::string& styleName,
                                                  const PdfExportRequest& request, int uiFlags) {
  const PdfExportStyle* style = styles().find(styleName);
  if (!style) {
    PdfExportResult result;
    result.error = kObjectNotFoundError;
    result.message = "no PDF export style named \"" + styleName + "\"";
    return result;
  }
  const PdfExportStyle copy = *style;  // the list may be reloaded by a responder
  return exportDocument(document, path, copy, request, uiFlags);
}

PdfExportResult PdfExportProvider::exportDocument(IDocument& document, const std::string& path,
                                                  const PdfExportStyle& style,
                                                  const PdfExportRequest& request, int uiFlags) {
  PdfExportResult result;
  const IDFile file(path);
  // Copies: a responder may remove itself or others while being told.
  const auto responders = responders_;
  for (const auto& [id, responder] : responders)
    responder(false, document, file, kPdfFormatName, uiFlags, request);
  if (path.empty()) {
    result.error = kNoFileError;
    result.message = "no output file given";
  } else if (ErrorCode refused = checkOutputPath(path, &result.message); refused != kSuccess) {
    result.error = refused;
  } else {
    std::string bytes;
    result = renderPdf(document, style, request, bytes);
    if (result.error == kSuccess) {
      if (Status written = writeOutputFile(path, bytes, request.older); !written) {
        result.error = kFileWriteError;
        result.message = written.message();
      }
    }
  }
  for (const auto& [id, responder] : responders)
    responder(true, document, file, kPdfFormatName, uiFlags, request);
  return result;
}

int PdfExportProvider::addResponder(ExportResponder responder) {
  responders_.emplace_back(nextResponder_, std::move(responder));
  return nextResponder_++;
}

void PdfExportProvider::removeResponder(int id) {
  std::erase_if(responders_, [id](const auto& entry) { return entry.first == id; });
}

PdfExportProvider& pdfExportProvider(Session& session) {
  if (auto* found = dynamic_cast<PdfExportProvider*>(
          session.services().find(ServiceKind::ExportProvider, kPdfFormatName)))
    return *found;
  auto provider = std::make_unique<PdfExportProvider>();
  PdfExportProvider& ref = *provider;
  session.services().add(ServiceKind::ExportProvider, std::move(provider));
  return ref;
}

IExportProvider* exportProviderFor(Session& session, const IDocument& document, const std::string& format) {
  pdfExportProvider(session);
  idmlExportProvider(session);
  return findExportProvider(session, document, format);
}

}  // namespace korvex
