#include "host/document.h"

#include <algorithm>

namespace korvex {

IDocument::IDocument(std::unique_ptr<IDataBase> db, UID uid)
    : HostObject(db.get(), uid), database_(std::move(db)) {
  database_->attachDocument(this, uid);
}

std::unique_ptr<IDocument> IDocument::createEmpty(UID documentUID) {
  if (documentUID == kInvalidUID) return nullptr;
  return std::make_unique<IDocument>(std::make_unique<IDataBase>(), documentUID);
}

IDocumentLayer* IDocument::createPagesLayer(UID uid) {
  if (!layers_.empty()) return nullptr;
  auto* pages = uid == kInvalidUID ? database_->create<IDocumentLayer>("Pages", true)
                                   : database_->createWithUID<IDocumentLayer>(uid, "Pages", true);
  if (pages) {
    layers_.push_back(pages->GetUID());
    layerIndexes_.clear();
  }
  return pages;
}

Swatch* IDocument::createReservedSwatch(ReservedSwatch which, UID uid) {
  static const char* const kNames[] = {"None", "Registration", "Paper", "Black"};
  UID* slots[] = {&none_, &registration_, &paper_, &black_};
  const auto index = static_cast<std::size_t>(which);
  if (*slots[index] != kInvalidUID || findSwatch(kNames[index])) return nullptr;
  const SwatchKind kind = which == ReservedSwatch::None ? SwatchKind::None : SwatchKind::Color;
  Swatch* s = uid == kInvalidUID ? database_->create<Swatch>(kNames[index], kind)
                                 : database_->createWithUID<Swatch>(uid, kNames[index], kind);
  if (!s) return nullptr;
  switch (which) {
    case ReservedSwatch::None: break;
    case ReservedSwatch::Registration:
      s->setColor(ColorModel::Registration, ColorSpace::CMYK, {1, 1, 1, 1});
      break;
    case ReservedSwatch::Paper: s->setColor(ColorModel::Process, ColorSpace::CMYK, {0, 0, 0, 0}); break;
    case ReservedSwatch::Black: s->setColor(ColorModel::Process, ColorSpace::CMYK, {0, 0, 0, 1}); break;
  }
  s->setReserved(true);
  *slots[index] = s->GetUID();
  swatches_.push_back(s->GetUID());
  return s;
}

void IDocument::addMissingEssentials() {
  if (layers_.empty()) createPagesLayer();
  for (auto which :
       {ReservedSwatch::None, ReservedSwatch::Registration, ReservedSwatch::Paper, ReservedSwatch::Black})
    createReservedSwatch(which);
  struct Default {
    StyleKind kind;
    const char* name;
    const char* basedOn;
  };
  static const Default kDefaults[] = {
      {StyleKind::Paragraph, "[No Paragraph Style]", nullptr},
      {StyleKind::Paragraph, "[Basic Paragraph]", "[No Paragraph Style]"},
      {StyleKind::Character, "[None]", nullptr},
      {StyleKind::Table, "[No Table Style]", nullptr},
      {StyleKind::Table, "[Basic Table]", "[No Table Style]"},
      {StyleKind::Cell, "[None]", nullptr},
      {StyleKind::Object, "[None]", nullptr},
      {StyleKind::Object, "[Basic Graphics Frame]", "[None]"},
      {StyleKind::Object, "[Basic Text Frame]", "[None]"},
  };
  for (const Default& d : kDefaults)
    if (findStyle(d.kind, d.name) == kInvalidUID) {
      Style* s =
          database_->create<Style>(d.kind, d.name, d.basedOn ? findStyle(d.kind, d.basedOn) : kInvalidUID);
      StyleGroup& group = styleGroup(d.kind);
      group.add(s->GetUID());
    }
}

std::unique_ptr<IDocument> IDocument::createBare(UID documentUID) {
  auto doc = createEmpty(documentUID);
  if (!doc) return nullptr;
  doc->addMissingEssentials();
  doc->addLanguage("Neutral");
  doc->database_->SetModified(false);
  return doc;
}

std::unique_ptr<IDocument> IDocument::createNew(const DocumentSetup& setup) {
  if (setup.pages < 1 || !(setup.pageWidth > 0) || !(setup.pageHeight > 0)) return nullptr;
  auto doc = createBare();
  doc->facingPages_ = setup.facingPages;
  doc->pageWidth_ = setup.pageWidth;
  doc->pageHeight_ = setup.pageHeight;
  for (const std::string& name : setup.layers) {
    if (name.empty() || doc->findLayer(name)) return nullptr;
    doc->createLayer(name);
  }
  if (doc->GetLayerCount() < 2) doc->createLayer("Layer 1");
  doc->activeLayer_ = doc->layers_[1];
  // Facing pages: a single right-hand first page, then pairs.
  // Places are kept as the spreads are made: createSpread and addPage would look at all before.
  int made = 0;
  PMReal bottom = -kSpreadGap;
  while (made < setup.pages) {
    ISpread* spread = doc->createSpreadAt(bottom + kSpreadGap);
    const int onSpread = setup.facingPages && made > 0 ? std::min(2, setup.pages - made) : 1;
    for (int i = 0; i < onSpread; ++i) {
      Page* page = doc->addPageAt(spread, i * setup.pageWidth, setup.pageWidth, setup.pageHeight);
      page->setMargins(setup.margins);
      page->setName(std::to_string(++made));
    }
    bottom = std::max(bottom, spreadBottom(*spread));
  }
  doc->database_->SetModified(false);
  return doc;
}

ErrorCode IDocument::setFacingPages(bool facing) {
  facingPages_ = facing;
  touch();
  return kSuccess;
}

ErrorCode IDocument::setDefaultPageSize(PMReal width, PMReal height) {
  if (!(width > 0) || !(height > 0)) return kInvalidParameterError;
  pageWidth_ = width;
  pageHeight_ = height;
  touch();
  return kSuccess;
}

ErrorCode IDocument::setLabel(const std::string& key, std::string value) {
  if (key.empty()) return kInvalidParameterError;
  labels_.set(key, std::move(value));
  touch();
  return kSuccess;
}

}  // namespace korvex
