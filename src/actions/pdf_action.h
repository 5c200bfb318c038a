#pragma once

// The "PDF" action, the PDF export style lookups, and the two export routes
// that other actions use: a whole document under a style, and a chosen list
// of pages or spreads.

#include <optional>
#include <string>
#include <vector>

#include "docmodel/my_doc.h"
#include "foundation/value.h"
#include "host/output/pdf_style.h"

namespace korvex {

// The first style of the session's list with exactly that name; none when
// there is no such style (or no name).
std::optional<PdfExportStyle> getPDFStyle(const std::optional<std::string>& name);

using StyleNameCallback = bool (*)(const std::string& name, void* data);
// Every style name in list order; false from the callback stops and answers false.
bool EnumPDFStyles(StyleNameCallback callback, void* data);
// All style names minus the excluded ones, sorted without regard to case.
std::vector<std::string> pdfStyles(const std::vector<std::string>& exclude = {});
// True when the style exports spreads; a name without a style: false.
bool pdfStyleIsSpreads(const std::string& name);

// Exports the whole document; an absent style exports with default settings.
// False when no PDF was written.
bool saveAsPDF(IDocument* document, const std::string& path, const std::optional<PdfExportStyle>& style,
               int option);
bool saveAsPDF(const UIDRef& document, const std::string& path, const std::optional<PdfExportStyle>& style);
bool saveAsPDF(const UIDRef& document, const std::string& path, const std::string& styleName);

// Exports pages (all pages when null). spreadsMode 0 takes the style's
// setting; 1 forces spreads, any other value single pages. extraPref -1 is
// not passed on. The host's error code; -1 without a path.
ErrorCode saveAsPDF(MyDoc& document, const std::optional<std::string>& path,
                    const std::optional<PdfExportStyle>& style, const UIDList* pages, int spreadsMode,
                    int extraPref);
// One page, counted from 0.
ErrorCode saveAsPDF(MyDoc& document, const std::optional<std::string>& path,
                    const std::optional<PdfExportStyle>& style, int pageIndex, int spreadsMode,
                    int extraPref);
// -1 for an unknown style.
ErrorCode saveAsPDF(MyDoc& document, const std::optional<std::string>& path, const std::string& styleName,
                    int pageIndex, int spreadsMode, int extraPref);

// "Style", "Folder", "Show". Fails for an unknown style or a failed export.
bool doPDF(MyDoc& document, const DictPtr& action);

}  // namespace korvex
