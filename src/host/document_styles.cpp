#include "host/document.h"
#include "host/used_fonts.h"

namespace korvex {

StyleGroup& IDocument::styleGroup(StyleKind kind) {
  return const_cast<StyleGroup&>(static_cast<const IDocument*>(this)->styleGroup(kind));
}

const StyleGroup& IDocument::styleGroup(StyleKind kind) const {
  switch (kind) {
    case StyleKind::Paragraph: return paragraphStyles_;
    case StyleKind::Character: return characterStyles_;
    case StyleKind::Table: return tableStyles_;
    case StyleKind::Cell: return cellStyles_;
    case StyleKind::Object: break;
  }
  return objectStyles_;
}

UID IDocument::findStyle(StyleKind kind, const std::string& name) const {
  return styleGroup(kind).FindByName(*database_, name);
}

ErrorCode IDocument::createStyle(StyleKind kind, const std::string& name, UID basedOn, UID* created,
                                 UID uid) {
  if (name.empty() || findStyle(kind, name) != kInvalidUID) return kInvalidParameterError;
  if (basedOn != kInvalidUID) {
    auto* parent = database_->instantiate<Style>(basedOn);
    if (!parent || parent->kind() != kind) return kInvalidParameterError;
  }
  auto* s = uid == kInvalidUID ? database_->create<Style>(kind, name, basedOn)
                               : database_->createWithUID<Style>(uid, kind, name, basedOn);
  if (!s) return kInvalidParameterError;
  styleGroup(kind).add(s->GetUID());
  if (created) *created = s->GetUID();
  touch();
  return kSuccess;
}

UID IDocument::findLanguage(const std::string& name) const {
  return languageNames_.find(languages_, name, [&](UID uid) -> const std::string* {
    const auto* l = database_->instantiate<Language>(uid);
    return l ? &l->name() : nullptr;
  });
}

UID IDocument::addLanguage(const std::string& name, UID uid) {
  if (name.empty()) return kInvalidUID;
  if (UID existing = findLanguage(name)) return existing;
  auto* l =
      uid == kInvalidUID ? database_->create<Language>(name) : database_->createWithUID<Language>(uid, name);
  if (!l) return kInvalidUID;
  languages_.push_back(l->GetUID());
  touch();
  return l->GetUID();
}

ErrorCode IDocument::setDocumentGrid(const DocumentGrid& grid) {
  if (!(grid.division > 0) || !(grid.horizontalSpacing > 0) || !(grid.verticalSpacing > 0) ||
      grid.horizontalSubdivisions < 1 || grid.verticalSubdivisions < 1)
    return kInvalidParameterError;
  grid_ = grid;
  touch();
  return kSuccess;
}

ErrorCode IDocument::setBaselineGrid(const BaselineGrid& grid) {
  if (!(grid.increment > 0) || grid.start < 0) return kInvalidParameterError;
  baselineGrid_ = grid;
  touch();
  return kSuccess;
}

ErrorCode IDocument::setXMLRoot(XMLElement root) {
  if (root.tag.empty()) return kInvalidParameterError;
  xmlRoot_ = std::move(root);
  touch();
  return kSuccess;
}

ErrorCode IDocument::deleteXMLContent() {
  if (xmlRoot_.content.empty() && xmlRoot_.children.empty()) return kSuccess;
  xmlRoot_.content.clear();
  xmlRoot_.children.clear();
  touch();
  return kSuccess;
}

ErrorCode IDocument::setDeclaredFonts(std::vector<DeclaredFont> fonts) {
  for (const DeclaredFont& f : fonts)
    if (f.family.empty()) return kInvalidParameterError;
  declaredFonts_ = std::move(fonts);
  touch();
  return kSuccess;
}

IUsedFontList IDocument::usedFontList() const {
  return IUsedFontList(*this);
}

std::vector<UID> IDocument::allPageItems() const {
  std::vector<UID> result;
  auto walk = [&](auto& self, UID uid) -> void {
    auto* node = database_->instantiate<IHierarchy>(uid);
    if (!node) return;
    if (dynamic_cast<PageItem*>(node)) result.push_back(uid);
    for (UID child : node->children()) self(self, child);
  };
  for (UID s : spreadsAndMasters()) walk(walk, s);
  // Anchored items live under their stories' inline items.
  for (UID st : stories_)
    if (ITextModel* s = story(st))
      for (const auto& [pos, inl] : s->ownedItems()) walk(walk, inl);
  return result;
}

UID IDocument::fontFamilyUID(const std::string& family) const {
  if (family.empty()) return kInvalidUID;
  if (auto it = fontFamilies_.find(family); it != fontFamilies_.end()) return it->second;
  FontFamily* f = database_->create<FontFamily>(family);
  if (!f) return kInvalidUID;
  fontFamilies_.emplace(family, f->GetUID());
  return f->GetUID();
}

}  // namespace korvex
