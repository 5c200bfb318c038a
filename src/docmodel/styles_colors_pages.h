#pragma once

// Lookups over a document's styles, swatches and page geometry. Styles and
// swatches are identified by UID; kInvalidUID means not found.

#include <optional>
#include <string>
#include <utility>
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

// A swatch's name; none when the UID names no swatch of the database.
std::optional<std::string> swatchName(IDataBase* database, UID swatch);
// The colour data a swatch carries: a colour's own, a tint's from its base
// (followed through tints of tints); the space is the host's model value
// (2 RGB, 6 CMYK, 7 Lab). None for None, unknown UIDs and broken chains.
struct ColorData {
  int space = 0;
  std::vector<double> components;
};
std::optional<ColorData> colorDataForSwatch(IDataBase* database, UID swatch);
// Tint swatches: the base swatch and the percentage; none for other swatches.
std::optional<std::pair<UID, double>> tintOfSwatch(IDataBase* database, UID swatch);
UID blackSwatchUID(IDataBase* database);
UID paperSwatchUID(IDataBase* database);
// The swatch utilities' usage test: in use by a page item, text or a tint.
bool isSwatchUsed(IDataBase* database, UID swatch);
// Deletes the swatches in one change, the reserved ones skipped (counted in
// skipped); uses become the replacement at the tint given with each swatch
// times their own (IDocument::deleteSwatches). The host's error code.
ErrorCode deleteSwatches(IDataBase* database, const std::vector<IDocument::SwatchDeletion>& swatches,
                         UID replacement, int* skipped = nullptr);

// The page's margins (left, top, right, bottom widths); empty for no page.
PMRect marginsForPage(const UIDRef& page);
// The rectangle enclosing the spread's pages, in spread coordinates.
PMRect getPagesBounds(ISpread* spread);
// The same rectangle in pasteboard coordinates, where page items' bounds are.
PMRect getPagesBoundsOnPasteboard(ISpread* spread);
// The right edge of each of the page's columns (the second value of each
// column's pair), empty without a page or with fewer than 2 values.
std::vector<float> getColWidthsForPage(IDataBase* database, UID page);
// Start of the document's baseline grid; 0 without a document.
double baselineStartForDoc(IDocument* document);

}  // namespace korvex
