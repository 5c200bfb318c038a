#pragma once

// Lookups over a document's styles, swatches and page geometry. Styles and
// swatches are identified by UID; kInvalidUID means not found.

#include <string>
#include <vector>

#include "host/document.h"
#include "host/uid_ref.h"

namespace korvex {

// The style of that name in the group of the database's document.
UID getStyle(IDataBase* database, StyleKind styleGroup, const std::string& name);
UID getParaStyle(IDataBase* database, const std::string& name);
UID getCharStyle(IDataBase* database, const std::string& name);
UID getTableStyle(IDataBase* database, const std::string& name);
UID getCellStyle(IDataBase* database, const std::string& name);
// An existing paragraph style of that name is returned unchanged; otherwise a
// new one based on basedOnName's style. When it can't be made, basedOnName's
// style (kInvalidUID when that is missing too).
UID createParaStyle(IDocument* document, const std::string& name, const std::string& basedOnName);
// Names of the object styles in list order.
std::vector<std::string> objectStyles(IDocument* document);

bool isNoneColor(IDataBase* database, UID color);
bool isBlackColor(IDataBase* database, UID color);

// The page's margins (left, top, right, bottom widths); empty for no page.
PMRect marginsForPage(const UIDRef& page);
// The rectangle enclosing the spread's pages, in spread coordinates.
PMRect getPagesBounds(ISpread* spread);
// The right edge of each of the page's columns (the second value of each
// column's pair), empty without a page or with fewer than 2 values.
std::vector<float> getColWidthsForPage(IDataBase* database, UID page);
// Start of the document's baseline grid; 0 without a document.
double baselineStartForDoc(IDocument* document);

}  // namespace korvex
