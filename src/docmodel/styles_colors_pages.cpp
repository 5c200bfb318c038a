#include "docmodel/styles_colors_pages.h"

#include <algorithm>

#include "docmodel/documents.h"
#include "docmodel/my_doc.h"
#include "host/session.h"

namespace korvex {

UID getStyle(IDataBase* database, StyleKind styleGroup, const std::string& name) {
  IDocument* document = database ? documentForDataBase(database) : nullptr;
  return document ? document->findStyle(styleGroup, name) : kInvalidUID;
}

UID getParaStyle(IDataBase* database, const std::string& name) {
  return getStyle(database, StyleKind::Paragraph, name);
}

UID getCharStyle(IDataBase* database, const std::string& name) {
  return getStyle(database, StyleKind::Character, name);
}

UID getTableStyle(IDataBase* database, const std::string& name) {
  return getStyle(database, StyleKind::Table, name);
}

UID getCellStyle(IDataBase* database, const std::string& name) {
  return getStyle(database, StyleKind::Cell, name);
}

UID createParaStyle(IDocument* document, const std::string& name, const std::string& basedOnName) {
  if (!document || !documentIsOpen(document)) return kInvalidUID;
  if (UID existing = document->findStyle(StyleKind::Paragraph, name); existing != kInvalidUID)
    return existing;
  const UID basedOn = document->findStyle(StyleKind::Paragraph, basedOnName);
  UID created = kInvalidUID;
  if (document->createStyle(StyleKind::Paragraph, name, basedOn, &created) != kSuccess ||
      created == kInvalidUID)
    return basedOn;
  return created;
}

std::vector<std::string> objectStyles(IDocument* document) {
  std::vector<std::string> names;
  if (!document || !documentIsOpen(document)) return names;
  IDataBase* db = document->GetDocDataBase();
  for (UID uid : document->styleGroup(StyleKind::Object).styles())
    if (auto* style = db->instantiate<Style>(uid)) names.push_back(style->name());
  return names;
}

bool isNoneColor(IDataBase* database, UID color) {
  IDocument* document = database ? documentForDataBase(database) : nullptr;
  return document && color == document->noneSwatch();
}

bool isBlackColor(IDataBase* database, UID color) {
  IDocument* document = database ? documentForDataBase(database) : nullptr;
  return document && color == document->blackSwatch();
}

std::optional<std::string> swatchName(IDataBase* database, UID swatch) {
  IDocument* document = database ? documentForDataBase(database) : nullptr;
  const Swatch* s = document ? document->swatch(swatch) : nullptr;
  if (!s) return std::nullopt;
  return s->name();
}

std::optional<ColorData> colorDataForSwatch(IDataBase* database, UID swatch) {
  IDocument* document = database ? documentForDataBase(database) : nullptr;
  if (!document) return std::nullopt;
  // A chain of tints ends in a colour; a loop or a missing base gives none.
  for (int depth = 0; depth < 32; ++depth) {
    const Swatch* s = document->swatch(swatch);
    if (!s || s->kind() == SwatchKind::None) return std::nullopt;
    if (s->kind() == SwatchKind::Color) return ColorData{static_cast<int>(s->space()), s->components()};
    swatch = s->baseSwatch();
  }
  return std::nullopt;
}

std::optional<std::pair<UID, double>> tintOfSwatch(IDataBase* database, UID swatch) {
  IDocument* document = database ? documentForDataBase(database) : nullptr;
  const Swatch* s = document ? document->swatch(swatch) : nullptr;
  if (!s || s->kind() != SwatchKind::Tint) return std::nullopt;
  return std::pair{s->baseSwatch(), s->tintPercent()};
}

UID blackSwatchUID(IDataBase* database) {
  IDocument* document = database ? documentForDataBase(database) : nullptr;
  return document ? document->blackSwatch() : kInvalidUID;
}

UID paperSwatchUID(IDataBase* database) {
  IDocument* document = database ? documentForDataBase(database) : nullptr;
  return document ? document->paperSwatch() : kInvalidUID;
}

bool isSwatchUsed(IDataBase* database, UID swatch) {
  IDocument* document = database ? documentForDataBase(database) : nullptr;
  return document && document->isSwatchUsed(swatch);
}

ErrorCode deleteSwatches(IDataBase* database, const std::vector<IDocument::SwatchDeletion>& swatches,
                         UID replacement, int* skipped) {
  IDocument* document = database ? documentForDataBase(database) : nullptr;
  if (!document) return -1;
  return document->deleteSwatches(swatches, replacement, skipped);
}

PMRect marginsForPage(const UIDRef& page) {
  if (!page.GetDataBase() || !documentForDataBase(page.GetDataBase())) return {};
  auto* object = page.GetDataBase()->instantiate<Page>(page.GetUID());
  if (!object) return {};
  const PageMargins& m = object->margins();
  return {m.left, m.top, m.right, m.bottom};
}

PMRect getPagesBounds(ISpread* spread) {
  return spread ? spread->GetPagesBounds(false) : PMRect{};
}

PMRect getPagesBoundsOnPasteboard(ISpread* spread) {
  return spread ? spread->GetPagesBounds(true) : PMRect{};
}

std::vector<float> getColWidthsForPage(IDataBase* database, UID page) {
  std::vector<float> widths;
  if (!database || !documentForDataBase(database)) return widths;
  auto* object = database->instantiate<Page>(page);
  if (!object) return widths;
  const std::vector<PMReal> values = object->columns();
  if (values.size() < 2) return widths;
  for (std::size_t i = 1; i < values.size(); i += 2) widths.push_back(static_cast<float>(values[i]));
  return widths;
}

double baselineStartForDoc(IDocument* document) {
  if (!document || !documentIsOpen(document)) return 0;
  return document->baselineGrid().start;
}

// --- the handle's lookups

UID MyDoc::getParaStyle(const std::string& name) const {
  return korvex::getParaStyle(liveDocument() ? _database : nullptr, name);
}

UID MyDoc::getCharStyle(const std::string& name) const {
  return korvex::getCharStyle(liveDocument() ? _database : nullptr, name);
}

UID MyDoc::getLanguage(const std::optional<std::string>& name) {
  IDocument* doc = liveDocument();
  if (!doc) return kInvalidUID;
  const std::string wanted = name.value_or("Neutral");
  if (UID found = doc->findLanguage(wanted); found != kInvalidUID) return found;
  const std::vector<std::string>& session = GetExecutionContextSession()->languages();
  if (std::find(session.begin(), session.end(), wanted) == session.end()) return kInvalidUID;
  doc->addLanguage(wanted);
  return doc->findLanguage(wanted);
}

}  // namespace korvex
