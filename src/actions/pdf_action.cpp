#include "actions/pdf_action.h"

#include <algorithm>

#include "docmodel/documents.h"
#include "docmodel/traversal.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/files.h"
#include "foundation/folder_values.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/unicode.h"
#include "foundation/workspace.h"
#include "host/output/pdf_export.h"
#include "run/run_values.h"

namespace korvex {

namespace {

// Each linked file the export left out, on a line of its own; the PDF is
// written, the action goes on, and the log is shown at the end.
void logUndrawable(const std::vector<UndrawableFile>& files) {
  for (const UndrawableFile& file : files) MyLog("\t####\tcan't be drawn: %@ (%@)", file.path, file.reason);
  if (!files.empty()) setShowLog(true);
}

PdfExportProvider* provider() {
  Session* session = GetExecutionContextSession();
  return session ? &pdfExportProvider(*session) : nullptr;
}

}  // namespace

std::optional<PdfExportStyle> getPDFStyle(const std::optional<std::string>& name) {
  PdfExportProvider* exporter = provider();
  if (!name || !exporter) return std::nullopt;
  if (const PdfExportStyle* style = exporter->styles().find(*name)) return *style;
  return std::nullopt;
}

bool EnumPDFStyles(StyleNameCallback callback, void* data) {
  PdfExportProvider* exporter = provider();
  if (!exporter) return false;
  // Names are copied first: a callback may reload the list.
  std::vector<std::string> names;
  for (const PdfExportStyle& style : exporter->styles().styles()) names.push_back(style.name);
  for (const std::string& name : names)
    if (!callback(name, data)) return false;
  return true;
}

std::vector<std::string> pdfStyles(const std::vector<std::string>& exclude) {
  std::vector<std::string> names;
  EnumPDFStyles(
      [](const std::string& name, void* data) {
        static_cast<std::vector<std::string>*>(data)->push_back(name);
        return true;
      },
      &names);
  std::erase_if(names, [&](const std::string& name) {
    return std::find(exclude.begin(), exclude.end(), name) != exclude.end();
  });
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return compareCaseInsensitive(a, b) < 0;
  });
  return names;
}

bool pdfStyleIsSpreads(const std::string& name) {
  std::optional<PdfExportStyle> style = getPDFStyle(name);
  return style && style->exportSpreads;
}

bool saveAsPDF(IDocument* document, const std::string& path, const std::optional<PdfExportStyle>& style,
               int option) {
  PdfExportProvider* exporter = provider();
  if (!exporter || !document) return false;
  // The export replaces an older PDF only once the new one is complete; a
  // different older one is kept in the Trash.
  PdfExportRequest request;
  request.older = OlderOutput::toTrash;
  if (option > 0) request.option = option;
  const PdfExportResult result =
      exporter->exportDocument(*document, path, style.value_or(PdfExportStyle{}), request, 0);
  if (result.error != kSuccess) {
    MyLog("\t\t####\t%@", result.message);
    return false;
  }
  logUndrawable(result.undrawable);
  return true;
}

bool saveAsPDF(const UIDRef& document, const std::string& path, const std::optional<PdfExportStyle>& style) {
  return saveAsPDF(documentForRef(document), path, style, 0);
}

bool saveAsPDF(const UIDRef& document, const std::string& path, const std::string& styleName) {
  return saveAsPDF(documentForRef(document), path, getPDFStyle(styleName), 0);
}

ErrorCode saveAsPDF(MyDoc& document, const std::optional<std::string>& path,
                    const std::optional<PdfExportStyle>& style, const UIDList* pages, int spreadsMode,
                    int extraPref) {
  if (!path) {
    MyLog("\t####\tpath = NULL!");
    return -1;
  }
  PdfExportProvider* exporter = provider();
  IDocument* doc = document.liveDocument();
  if (!exporter || !doc) return -1;
  const PdfExportStyle settings = style.value_or(PdfExportStyle{});

  PdfExportRequest request;
  request.older = OlderOutput::toTrash;
  if (pages) {
    // An empty list would export every page; here it names none.
    if (pages->empty()) {
      MyLog("\t####\terr: %d", kInvalidParameterError);
      return kInvalidParameterError;
    }
    request.items = *pages;
  } else {
    setupPageUIDs(doc, &request.items);
  }
  if (extraPref != -1) request.extraPreference = extraPref;
  const int spreads = spreadsMode == 0 ? (settings.exportSpreads ? 1 : 0) : spreadsMode;
  request.spreads = spreads == 1;

  const PdfExportResult result = exporter->exportDocument(*doc, *path, settings, request, 0);
  if (result.error != kSuccess) MyLog("\t####\terr: %d", result.error);
  logUndrawable(result.undrawable);
  return result.error;
}

ErrorCode saveAsPDF(MyDoc& document, const std::optional<std::string>& path,
                    const std::optional<PdfExportStyle>& style, int pageIndex, int spreadsMode,
                    int extraPref) {
  const UIDRef page = document.getPageRef(pageIndex);
  UIDList pages(document.database());
  if (page.GetUID() != kInvalidUID) pages.Append(page.GetUID());
  return saveAsPDF(document, path, style, &pages, spreadsMode, extraPref);
}

ErrorCode saveAsPDF(MyDoc& document, const std::optional<std::string>& path, const std::string& styleName,
                    int pageIndex, int spreadsMode, int extraPref) {
  std::optional<PdfExportStyle> style = getPDFStyle(styleName);
  if (!style) return -1;
  return saveAsPDF(document, path, style, pageIndex, spreadsMode, extraPref);
}

bool doPDF(MyDoc& document, const DictPtr& action) {
  IDataBase* database = document.database();
  const bool wasModified = database && database->IsModified();
  bool result = false;

  const std::optional<std::string> name = stringForKey(action, "Style");
  const std::optional<PdfExportStyle> style = getPDFStyle(name);
  if (!style) {
    MyLog("\t####\tinvalid PDF Style: %@", name);
  } else {
    const std::string docPath = document.getPath(false).value_or("");
    const std::string folder = folderForKey(action, "Folder").value_or("");
    std::string pdfPath = pathIsFolder(folder)
                              ? stringByAppendingPathComponent(folder, lastPathComponent(docPath, false))
                              : stringByDeletingPathExtension(docPath);
    pdfPath += ".pdf";
    std::string refusal;
    if (!docPath.empty() && checkOutputPath(pdfPath, &refusal) != kSuccess) {
      // Named after the document, the PDF could be the document itself (Job.pdf).
      MyLog("\t####\t%@", refusal);
      setShowLog(true);
    } else if (!docPath.empty() && saveAsPDF(document.liveDocument(), pdfPath, style, 0)) {
      // An unsaved document has no path: nothing to name the PDF after.
      result = true;
      if (integerForKey(action, "Show", 0) == 1) openDocWithApp(pdfPath, std::nullopt, false);
    } else {
      // A chain that goes on after a failed export would file or mail a PDF
      // that does not exist.
      MyLog("\t####\tPDF export failed: %@", pdfPath);
      setShowLog(true);
    }
  }
  if (!wasModified && database) database->SetModified(false);
  return result;
}

}  // namespace korvex
