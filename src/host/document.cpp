#include "host/document.h"

#include <algorithm>
#include <cmath>

#include "host/image_info.h"
#include "host/vector_bounds.h"
#include "host/session.h"
#include "host/used_fonts.h"

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
  if (pages) layers_.push_back(pages->GetUID());
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
  int made = 0;
  while (made < setup.pages) {
    ISpread* spread = doc->createSpread();
    const int onSpread = setup.facingPages && made > 0 ? std::min(2, setup.pages - made) : 1;
    for (int i = 0; i < onSpread; ++i) {
      Page* page = doc->addPage(spread, setup.pageWidth, setup.pageHeight);
      page->setMargins(setup.margins);
      page->setName(std::to_string(++made));
    }
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

// --- layers

IDocumentLayer* IDocument::layerAt(int index) const {
  if (index < 0 || index >= GetLayerCount()) return nullptr;
  return database_->instantiate<IDocumentLayer>(layers_[static_cast<std::size_t>(index)]);
}

IDocumentLayer* IDocument::findLayer(const std::string& name) const {
  for (UID uid : layers_)
    if (auto* layer = database_->instantiate<IDocumentLayer>(uid); layer && layer->GetName() == name)
      return layer;
  return nullptr;
}

int IDocument::layerIndex(UID layer) const {
  auto it = std::find(layers_.begin(), layers_.end(), layer);
  return it == layers_.end() ? -1 : static_cast<int>(it - layers_.begin());
}

IDocumentLayer* IDocument::createLayer(const std::string& name, int index, UID uid) {
  if (name.empty() || findLayer(name)) return nullptr;
  auto* layer = uid == kInvalidUID ? database_->create<IDocumentLayer>(name)
                                   : database_->createWithUID<IDocumentLayer>(uid, name);
  if (!layer) return nullptr;
  if (index < 1 || index > GetLayerCount()) index = GetLayerCount();
  layers_.insert(layers_.begin() + index, layer->GetUID());
  for (UID s : spreads_) {
    auto* spread = database_->instantiate<ISpread>(s);
    auto* sl = database_->create<ISpreadLayer>(layer->GetUID());
    spread->addChild(sl, index);
  }
  if (activeLayer_ == kInvalidUID) activeLayer_ = layer->GetUID();
  touch();
  return layer;
}

ErrorCode IDocument::deleteLayer(UID layer) {
  const int index = layerIndex(layer);
  if (index < 0) return kObjectNotFoundError;
  if (index == 0) return kInvalidParameterError;
  for (UID s : spreads_) {
    auto* spread = database_->instantiate<ISpread>(s);
    if (ISpreadLayer* sl = spread->QueryLayer(layer)) {
      spread->removeChild(sl);
      destroyTree(sl->GetUID());
    }
  }
  layers_.erase(layers_.begin() + index);
  database_->destroy(layer);
  if (activeLayer_ == layer) activeLayer_ = layers_.size() > 1 ? layers_[1] : kInvalidUID;
  touch();
  return kSuccess;
}

ErrorCode IDocument::setActiveLayer(UID layer) {
  if (layerIndex(layer) < 1) return kInvalidParameterError;
  activeLayer_ = layer;
  touch();
  return kSuccess;
}

// --- spreads and pages

ISpread* IDocument::spreadAt(int index) const {
  if (index < 0 || index >= GetSpreadCount()) return nullptr;
  return database_->instantiate<ISpread>(spreads_[static_cast<std::size_t>(index)]);
}

int IDocument::spreadIndex(UID spread) const {
  auto it = std::find(spreads_.begin(), spreads_.end(), spread);
  return it == spreads_.end() ? -1 : static_cast<int>(it - spreads_.begin());
}

PMRect IDocument::nextSpreadPlace() const {
  PMReal bottom = -kSpreadGap;
  for (UID s : spreads_) {
    auto* spread = database_->instantiate<ISpread>(s);
    const PMRect r = spread->GetPagesBounds(true);
    bottom = std::max(bottom, spread->GetNumPages() ? r.bottom : spread->transform().ty);
  }
  return {0, bottom + kSpreadGap, 0, bottom + kSpreadGap};
}

ISpread* IDocument::createSpread(int index, UID uid, const std::vector<UID>& spreadLayerUIDs) {
  if (!spreadLayerUIDs.empty() && spreadLayerUIDs.size() != layers_.size()) return nullptr;
  auto* spread = uid == kInvalidUID ? database_->create<ISpread>() : database_->createWithUID<ISpread>(uid);
  if (!spread) return nullptr;
  for (std::size_t i = 0; i < layers_.size(); ++i) {
    ISpreadLayer* sl = spreadLayerUIDs.empty()
                           ? database_->create<ISpreadLayer>(layers_[i])
                           : database_->createWithUID<ISpreadLayer>(spreadLayerUIDs[i], layers_[i]);
    if (!sl) {
      destroyTree(spread->GetUID());
      return nullptr;
    }
    spread->addChild(sl);
  }
  const PMRect place = nextSpreadPlace();
  spread->setTransform(PMMatrix::translation(0, place.top));
  if (index < 0 || index > GetSpreadCount()) index = GetSpreadCount();
  spreads_.insert(spreads_.begin() + index, spread->GetUID());
  touch();
  return spread;
}

Page* IDocument::addPage(ISpread* spread, PMReal width, PMReal height, UID uid) {
  if (!spread || !(width > 0) || !(height > 0)) return nullptr;
  ISpreadLayer* layer = spread->pagesLayer();
  if (!layer) return nullptr;
  auto* page = uid == kInvalidUID ? database_->create<Page>(width, height)
                                  : database_->createWithUID<Page>(uid, width, height);
  if (!page) return nullptr;
  // Pages sit side by side from the spread's origin.
  PMReal x = 0;
  for (Page* p : spread->pages()) x = std::max(x, p->transform().tx + p->width());
  page->setTransform(PMMatrix::translation(x, 0));
  layer->addChild(page);
  touch();
  return page;
}

ErrorCode IDocument::deleteSpread(UID spread) {
  const int index = spreadIndex(spread);
  if (index < 0) return kObjectNotFoundError;
  spreads_.erase(spreads_.begin() + index);
  destroyTree(spread);
  touch();
  return kSuccess;
}

std::vector<Page*> IDocument::pages() const {
  std::vector<Page*> result;
  for (UID s : spreads_) {
    auto p = database_->instantiate<ISpread>(s)->pages();
    result.insert(result.end(), p.begin(), p.end());
  }
  return result;
}

int IDocument::GetPageCount() const {
  int n = 0;
  for (UID s : spreads_)
    if (ISpreadLayer* layer = database_->instantiate<ISpread>(s)->pagesLayer()) n += layer->GetChildCount();
  return n;
}

Page* IDocument::pageAt(int index) const {
  if (index < 0) return nullptr;
  for (UID s : spreads_) {
    ISpreadLayer* layer = database_->instantiate<ISpread>(s)->pagesLayer();
    if (!layer) continue;
    if (index < layer->GetChildCount()) return database_->instantiate<Page>(layer->GetChildUID(index));
    index -= layer->GetChildCount();
  }
  return nullptr;
}

int IDocument::pageIndex(UID page) const {
  int index = 0;
  for (UID s : spreads_) {
    ISpreadLayer* layer = database_->instantiate<ISpread>(s)->pagesLayer();
    if (!layer) continue;
    const int i = layer->GetChildIndex(page);
    if (i >= 0) return index + i;
    index += layer->GetChildCount();
  }
  return -1;
}

UID IDocument::spreadOf(UID object) const {
  for (auto* node = database_->instantiate<IHierarchy>(object); node; node = node->parent())
    if (node->GetClass() == ClassID::kSpread) return node->GetUID();
  return kInvalidUID;
}

UID IDocument::pageOf(UID itemUID) const {
  const auto bounds = pathBounds(itemUID);
  auto* spread = database_->instantiate<ISpread>(spreadOf(itemUID));
  if (!bounds || !spread) return kInvalidUID;
  const PMPoint centre{(bounds->left + bounds->right) / 2, (bounds->top + bounds->bottom) / 2};
  for (Page* page : spread->pages()) {
    const PMRect r = Path::rectangle(page->innerBounds()).bounds(page->innerToPasteboard());
    if (centre.x >= r.left && centre.x <= r.right && centre.y >= r.top && centre.y <= r.bottom)
      return page->GetUID();
  }
  return kInvalidUID;
}

// --- page items

PageItem* IDocument::item(UID uid) const {
  return database_->instantiate<PageItem>(uid);
}

bool IDocument::isContainer(UID uid) const {
  HostObject* o = database_->object(uid);
  if (!o) return false;
  switch (o->GetClass()) {
    case ClassID::kSpreadLayer: {
      // The pages layer holds pages, not page items.
      auto* sl = static_cast<ISpreadLayer*>(o);
      return layerIndex(sl->documentLayerUID()) > 0;
    }
    case ClassID::kGroupItem:
    case ClassID::kInlineItem: return true;
    default: return false;
  }
}

SplineItem* IDocument::createSplineItem(UID parent, SplineShape shape, Path path, int index, UID uid) {
  auto* p = database_->instantiate<IHierarchy>(parent);
  if (!p || !isContainer(parent) || path.points.size() < 2 || database_->instantiate<SplineItem>(parent))
    return nullptr;
  auto* s = uid == kInvalidUID ? database_->create<SplineItem>(shape, std::move(path))
                               : database_->createWithUID<SplineItem>(uid, shape, std::move(path));
  if (!s) return nullptr;
  GraphicAttributes a;
  a.fillSwatch = none_;
  a.strokeSwatch = none_;
  s->setGraphicAttributes(a);
  p->addChild(s, index);
  touch();
  return s;
}

GraphicLine* IDocument::createGraphicLine(UID parent, PMPoint from, PMPoint to, UID uid) {
  auto* p = database_->instantiate<IHierarchy>(parent);
  if (!p || !isContainer(parent) || database_->instantiate<SplineItem>(parent)) return nullptr;
  auto* line = uid == kInvalidUID ? database_->create<GraphicLine>(Path::line(from, to))
                                  : database_->createWithUID<GraphicLine>(uid, Path::line(from, to));
  if (!line) return nullptr;
  GraphicAttributes a;
  a.fillSwatch = none_;
  a.strokeSwatch = black_;
  a.strokeWeight = 1;
  line->setGraphicAttributes(a);
  p->addChild(line);
  touch();
  return line;
}

Group* IDocument::createGroup(UID parent, int index, UID uid) {
  auto* p = database_->instantiate<IHierarchy>(parent);
  if (!p || !isContainer(parent) || database_->instantiate<SplineItem>(parent)) return nullptr;
  auto* g = uid == kInvalidUID ? database_->create<Group>() : database_->createWithUID<Group>(uid);
  if (!g) return nullptr;
  GraphicAttributes a;
  a.fillSwatch = none_;
  a.strokeSwatch = none_;
  g->setGraphicAttributes(a);
  p->addChild(g, index);
  touch();
  return g;
}

PlacedContent* IDocument::createPlacedContent(UID frame, ClassID kind, const PMRect& bounds, UID uid) {
  auto* f = database_->instantiate<SplineItem>(frame);
  if (!f || f->GetChildCount() != 0) return nullptr;
  if (kind != ClassID::kImageItem && kind != ClassID::kPDFItem && kind != ClassID::kEPSItem) return nullptr;
  auto* c = uid == kInvalidUID ? database_->create<PlacedContent>(kind, bounds)
                               : database_->createWithUID<PlacedContent>(uid, kind, bounds);
  if (!c) return nullptr;
  f->addChild(c);
  touch();
  return c;
}

MultiColumnItem* IDocument::createTextFrameContent(UID frame, UID storyUID, int threadIndex, UID uid,
                                                   const std::vector<UID>& columnUIDs) {
  auto* f = database_->instantiate<SplineItem>(frame);
  ITextModel* s = story(storyUID);
  if (!f || !s || f->GetChildCount() != 0) return nullptr;
  auto* mc = uid == kInvalidUID ? database_->create<MultiColumnItem>(storyUID)
                                : database_->createWithUID<MultiColumnItem>(uid, storyUID);
  if (!mc) return nullptr;
  for (UID cu : columnUIDs) {
    auto* column = database_->createWithUID<TextColumn>(cu);
    if (!column) {
      destroyTree(mc->GetUID());
      return nullptr;
    }
    mc->addChild(column);
  }
  TextFrameSettings settings;
  settings.columnCount = std::max(1, static_cast<int>(columnUIDs.size()));
  mc->setSettings(settings);
  f->addChild(mc);
  s->threadFrame(mc->GetUID(), threadIndex);
  touch();
  return mc;
}

InlineItem* IDocument::anchorItem(UID storyUID, int position, UID itemUID, UID uid) {
  ITextModel* s = story(storyUID);
  PageItem* it = item(itemUID);
  if (!s || !it || position < 0 || position >= s->TotalLength()) return nullptr;
  auto* inl = uid == kInvalidUID ? database_->create<InlineItem>(storyUID)
                                 : database_->createWithUID<InlineItem>(uid, storyUID);
  if (!inl) return nullptr;
  if (IHierarchy* old = it->parent()) old->removeChild(it);
  inl->addChild(it);
  s->InsertOwnedItem(position, inl->GetUID());
  touch();
  return inl;
}

InlineItem* IDocument::createInlineItem(UID storyUID, int position, UID uid) {
  ITextModel* s = story(storyUID);
  if (!s) return nullptr;
  auto* inl = uid == kInvalidUID ? database_->create<InlineItem>(storyUID)
                                 : database_->createWithUID<InlineItem>(uid, storyUID);
  if (!inl) return nullptr;
  if (s->attachOwnedItem(position, inl->GetUID()) != kSuccess) {
    database_->destroy(inl->GetUID());
    return nullptr;
  }
  touch();
  return inl;
}

void IDocument::destroyTree(UID uid) {
  auto* node = database_->instantiate<IHierarchy>(uid);
  if (!node) {
    database_->destroy(uid);
    return;
  }
  const std::vector<UID> children = node->children();
  for (UID child : children) destroyTree(child);
  switch (node->GetClass()) {
    case ClassID::kMultiColumnItem:
      if (ITextModel* s = story(static_cast<MultiColumnItem*>(node)->storyUID())) s->unthreadFrame(uid);
      break;
    case ClassID::kImageItem:
    case ClassID::kPDFItem:
    case ClassID::kEPSItem:
      for (UID link : linksForObject(uid)) deleteLink(link);
      break;
    default: break;
  }
  database_->destroy(uid);
}

ErrorCode IDocument::deleteItems(const UIDList& items) {
  for (UID uid : items)
    if (!item(uid)) return kObjectNotFoundError;
  for (UID uid : items) {
    PageItem* it = item(uid);
    if (!it) continue;  // already gone with an earlier item's tree
    if (IHierarchy* parent = it->parent()) {
      parent->removeChild(it);
      // An emptied inline item goes with its anchor character.
      if (parent->GetClass() == ClassID::kInlineItem) {
        auto* inl = static_cast<InlineItem*>(parent);
        if (ITextModel* s = story(inl->storyUID()))
          for (const auto& [pos, owned] : s->ownedItems())
            if (owned == inl->GetUID()) {
              s->Delete(pos, 1);
              break;
            }
        database_->destroy(inl->GetUID());
      }
    }
    destroyTree(uid);
  }
  touch();
  return kSuccess;
}

ErrorCode IDocument::reparent(UID itemUID, UID newParent, int index) {
  PageItem* it = item(itemUID);
  auto* target = database_->instantiate<IHierarchy>(newParent);
  if (!it || !target || !isContainer(newParent)) return kInvalidParameterError;
  const PMMatrix pb = it->innerToPasteboard();
  const auto targetInverse = target->innerToPasteboard().inverse();
  if (!targetInverse) return kInvalidParameterError;
  IHierarchy* old = it->parent();
  if (old) old->removeChild(it);
  if (ErrorCode e = target->addChild(it, index)) {
    if (old) old->addChild(it);
    return e;
  }
  it->setTransform(*targetInverse * pb);
  touch();
  return kSuccess;
}

ErrorCode IDocument::groupItems(const UIDList& items, UID* groupOut, UID uid) {
  if (items.size() < 2) return kInvalidParameterError;
  // All items on one spread, none inside another of the list.
  UID spread = kInvalidUID;
  for (UID u : items) {
    PageItem* it = item(u);
    if (!it || it->GetClass() == ClassID::kImageItem || it->GetClass() == ClassID::kPDFItem ||
        it->GetClass() == ClassID::kEPSItem)
      return kInvalidParameterError;
    const UID s = spreadOf(u);
    if (s == kInvalidUID || (spread != kInvalidUID && s != spread)) return kInvalidParameterError;
    spread = s;
    for (IHierarchy* p = it->parent(); p; p = p->parent())
      if (items.contains(p->GetUID())) return kInvalidParameterError;
  }
  // The front-most item decides the group's parent and place: later layers and higher indexes are in front.
  auto frontness = [&](UID u) {
    std::vector<int> key;
    for (IHierarchy* node = item(u); node && node->parent(); node = node->parent())
      key.insert(key.begin(), node->parent()->GetChildIndex(node->GetUID()));
    return key;
  };
  UID front = items[0];
  for (UID u : items)
    if (frontness(u) > frontness(front)) front = u;
  IHierarchy* parent = item(front)->parent();
  // Items keep their stacking order inside the group.
  std::vector<UID> ordered = items.uids();
  std::sort(ordered.begin(), ordered.end(), [&](UID a, UID b) { return frontness(a) < frontness(b); });
  const int at = parent->GetChildIndex(front) + 1;
  Group* g = createGroup(parent->GetUID(), at, uid);
  if (!g) return kFailure;
  for (UID u : ordered)
    if (ErrorCode e = reparent(u, g->GetUID())) return e;
  if (groupOut) *groupOut = g->GetUID();
  touch();
  return kSuccess;
}

ErrorCode IDocument::ungroup(UID groupUID, UIDList* released) {
  auto* g = database_->instantiate<Group>(groupUID);
  if (!g || !g->parent()) return kInvalidParameterError;
  IHierarchy* parent = g->parent();
  int at = parent->GetChildIndex(groupUID);
  const std::vector<UID> children = g->children();
  for (UID child : children) {
    if (ErrorCode e = reparent(child, parent->GetUID(), at++)) return e;
    if (released) released->Append(child);
  }
  parent->removeChild(g);
  database_->destroy(groupUID);
  touch();
  return kSuccess;
}

// --- geometry

std::optional<PMRect> IDocument::pathBounds(UID uid) const {
  auto* node = database_->instantiate<IHierarchy>(uid);
  if (!node) return std::nullopt;
  if (auto* pi = dynamic_cast<PageItem*>(node); pi && pi->path())
    return pi->path()->bounds(pi->innerToPasteboard());
  if (auto* page = dynamic_cast<Page*>(node))
    return Path::rectangle(page->innerBounds()).bounds(page->innerToPasteboard());
  if (node->GetClass() == ClassID::kGroupItem) {
    PMRect r;
    bool any = false;
    for (UID child : node->children())
      if (auto b = pathBounds(child)) {
        r = any ? PMRect{std::min(r.left, b->left), std::min(r.top, b->top), std::max(r.right, b->right),
                         std::max(r.bottom, b->bottom)}
                : *b;
        any = true;
      }
    return any ? std::optional<PMRect>(r) : std::nullopt;
  }
  return std::nullopt;
}

std::optional<PMRect> IDocument::strokeBounds(UID uid) const {
  auto* pi = item(uid);
  if (!pi) return std::nullopt;
  if (pi->GetClass() == ClassID::kGroupItem) {
    std::optional<PMRect> r;
    for (UID child : pi->children())
      if (auto b = strokeBounds(child))
        r = r ? PMRect{std::min(r->left, b->left), std::min(r->top, b->top), std::max(r->right, b->right),
                       std::max(r->bottom, b->bottom)}
              : *b;
    return r;
  }
  auto b = pathBounds(uid);
  if (!b || !pi->path()) return b;
  const GraphicAttributes& a = pi->graphicAttributes();
  const PMReal weight = a.strokeSwatch == none_ || a.strokeSwatch == kInvalidUID ? 0 : a.strokeWeight;
  return korvex::strokeBounds(*b, weight, a.strokeAlignment, pi->path()->closed);
}

ErrorCode IDocument::transformBy(UID uid, const PMMatrix& m) {
  PageItem* it = item(uid);
  if (!it || !m.inverse()) return kInvalidParameterError;
  const auto parentInverse =
      (it->innerToPasteboard() * it->transform().inverse().value_or(PMMatrix{})).inverse();
  if (!parentInverse) return kInvalidParameterError;
  const PMMatrix parentToPb = *(parentInverse->inverse());
  // New transform T' with parentToPb·T' = m·parentToPb·T.
  return it->setTransform(*parentInverse * m * parentToPb * it->transform());
}

ErrorCode IDocument::moveBy(const UIDList& items, PMReal dx, PMReal dy) {
  for (UID uid : items)
    if (!item(uid)) return kObjectNotFoundError;
  for (UID uid : items)
    if (ErrorCode e = transformBy(uid, PMMatrix::translation(dx, dy))) return e;
  return kSuccess;
}

ErrorCode IDocument::setPathBounds(UID uid, const PMRect& target) {
  PageItem* it = item(uid);
  if (!it || target.right < target.left || target.bottom < target.top) return kInvalidParameterError;
  const auto current = pathBounds(uid);
  if (!current) return kInvalidParameterError;
  const PMMatrix m = rectToRect(*current, target);
  if (it->GetClass() == ClassID::kGroupItem) {
    // A group resizes by resizing its members proportionally.
    for (UID child : it->children()) {
      const auto b = pathBounds(child);
      if (!b) continue;
      const PMPoint a = m.apply({b->left, b->top}), z = m.apply({b->right, b->bottom});
      if (ErrorCode e = setPathBounds(child, {a.x, a.y, z.x, z.y})) return e;
    }
    return kSuccess;
  }
  // Reshape the path in inner coordinates; the transform (rotation, position of content) stays.
  const PMMatrix toPb = it->innerToPasteboard();
  const auto fromPb = toPb.inverse();
  if (!fromPb || !it->path()) return kInvalidParameterError;
  return it->setPath(it->path()->transformed(*fromPb * m * toPb));
}

ErrorCode IDocument::setStrokeBounds(UID uid, const PMRect& target) {
  const auto path = pathBounds(uid), stroke = strokeBounds(uid);
  if (!path || !stroke) return kInvalidParameterError;
  return setPathBounds(
      uid, {target.left + (path->left - stroke->left), target.top + (path->top - stroke->top),
            target.right - (stroke->right - path->right), target.bottom - (stroke->bottom - path->bottom)});
}

ErrorCode IDocument::fitFrameToContent(UID frame) {
  auto* f = database_->instantiate<SplineItem>(frame);
  if (!f) return kInvalidParameterError;
  const UID content = f->placedContentUID();
  if (content == kInvalidUID) return kInvalidParameterError;
  return setPathBounds(frame, *pathBounds(content));
}

ErrorCode IDocument::fitContentToFrame(UID frame, bool proportional) {
  auto* f = database_->instantiate<SplineItem>(frame);
  if (!f || f->placedContentUID() == kInvalidUID) return kInvalidParameterError;
  const UID content = f->placedContentUID();
  const PMRect fb = *pathBounds(frame), cb = *pathBounds(content);
  if (cb.width() <= 0 || cb.height() <= 0) return kInvalidParameterError;
  PMMatrix m = rectToRect(cb, fb);
  if (proportional) {
    const PMReal s = std::min(fb.width() / cb.width(), fb.height() / cb.height());
    const PMReal w = cb.width() * s, h = cb.height() * s;
    const PMReal x = fb.left + (fb.width() - w) / 2, y = fb.top + (fb.height() - h) / 2;
    m = rectToRect(cb, {x, y, x + w, y + h});
  }
  return transformBy(content, m);
}

ErrorCode IDocument::centerContent(UID frame) {
  auto* f = database_->instantiate<SplineItem>(frame);
  if (!f || f->placedContentUID() == kInvalidUID) return kInvalidParameterError;
  const UID content = f->placedContentUID();
  const PMRect fb = *pathBounds(frame), cb = *pathBounds(content);
  return transformBy(content, PMMatrix::translation((fb.left + fb.right - cb.left - cb.right) / 2,
                                                    (fb.top + fb.bottom - cb.top - cb.bottom) / 2));
}

// --- placing and text

ErrorCode IDocument::placeFile(UID frame, const std::string& path, UID* contentOut) {
  auto* f = database_->instantiate<SplineItem>(frame);
  if (!f || f->GetChildCount() != 0) return kInvalidParameterError;
  if (!stampOfFile(path)) return kFileNotFoundError;
  const PlacedFileKind kind = placedFileKind(path);
  if (kind == PlacedFileKind::Unknown) return kInvalidParameterError;
  std::optional<ImageAttributes> attributes;
  PMRect bounds = *pathBounds(frame);
  bounds = {0, 0, bounds.width(), bounds.height()};
  if (kind == PlacedFileKind::Image) {
    attributes = readImageAttributes(path);
    if (!attributes) return kFileReadError;
    bounds = placedBoundsFor(*attributes);
  } else if (auto size = kind == PlacedFileKind::PDF ? pdfCropBoxSize(path) : epsBoundingBoxSize(path)) {
    bounds = *size;
  }
  PlacedContent* c = createPlacedContent(frame, classForPlacedFile(kind), bounds);
  if (!c) return kFailure;
  c->setImageAttributes(attributes);
  // The content starts at the frame's top-left corner, in the frame's coordinates.
  const PMRect inner = f->path()->bounds();
  c->setTransform(PMMatrix::translation(inner.left, inner.top));
  GraphicAttributes a;
  a.fillSwatch = none_;
  a.strokeSwatch = none_;
  c->setGraphicAttributes(a);
  if (!createLink(c->GetUID(), path)) return kFailure;
  if (contentOut) *contentOut = c->GetUID();
  return kSuccess;
}

ITextModel* IDocument::createStory(UID uid) {
  auto* s = uid == kInvalidUID ? database_->create<ITextModel>() : database_->createWithUID<ITextModel>(uid);
  if (!s) return nullptr;
  stories_.push_back(s->GetUID());
  touch();
  return s;
}

ITextModel* IDocument::story(UID uid) const {
  return database_->instantiate<ITextModel>(uid);
}

ErrorCode IDocument::makeTextFrame(UID frame, UID storyUID, MultiColumnItem** content) {
  auto* f = database_->instantiate<SplineItem>(frame);
  if (!f || f->GetChildCount() != 0) return kInvalidParameterError;
  if (storyUID == kInvalidUID) {
    ITextModel* s = createStory();
    if (!s) return kFailure;
    storyUID = s->GetUID();
  }
  MultiColumnItem* mc = createTextFrameContent(frame, storyUID);
  if (!mc) return kInvalidParameterError;
  if (content) *content = mc;
  return kSuccess;
}

ErrorCode IDocument::linkTextFrames(UID first, UID second) {
  auto* a = database_->instantiate<SplineItem>(first);
  auto* b = database_->instantiate<SplineItem>(second);
  if (!a || !b || a->textContentUID() == kInvalidUID || b->textContentUID() == kInvalidUID || first == second)
    return kInvalidParameterError;
  auto* mcA = database_->instantiate<MultiColumnItem>(a->textContentUID());
  auto* mcB = database_->instantiate<MultiColumnItem>(b->textContentUID());
  ITextModel* target = story(mcA->storyUID());
  ITextModel* source = story(mcB->storyUID());
  if (source != target) {
    // The second frame's own text joins the end of the first story.
    if (source->TotalLength() > 1) target->Insert(target->TotalLength() - 1, source->text());
    source->unthreadFrame(mcB->GetUID());
    if (source->threadedFrames().empty()) {
      stories_.erase(std::remove(stories_.begin(), stories_.end(), source->GetUID()), stories_.end());
      database_->destroy(source->GetUID());
    }
    mcB->setStoryUID(target->GetUID());
  } else {
    target->unthreadFrame(mcB->GetUID());
  }
  const auto& now = target->threadedFrames();
  const int at = static_cast<int>(std::find(now.begin(), now.end(), mcA->GetUID()) - now.begin()) + 1;
  target->threadFrame(mcB->GetUID(), at);
  touch();
  return kSuccess;
}

// --- links

ILink* IDocument::createLink(UID object, const std::string& path, UID linkUID, UID resourceUID) {
  if (!database_->instantiate<PlacedContent>(object)) return nullptr;
  auto* resource = resourceUID == kInvalidUID ? database_->create<LinkResource>(path)
                                              : database_->createWithUID<LinkResource>(resourceUID, path);
  if (!resource) return nullptr;
  if (auto stamp = stampOfFile(path)) resource->restore(path, *stamp, false, {});
  auto* link = linkUID == kInvalidUID ? database_->create<ILink>(object, resource->GetUID())
                                      : database_->createWithUID<ILink>(linkUID, object, resource->GetUID());
  if (!link) {
    database_->destroy(resource->GetUID());
    return nullptr;
  }
  database_->instantiate<PlacedContent>(object)->setLinkUID(link->GetUID());
  links_.push_back(link->GetUID());
  touch();
  return link;
}

std::vector<UID> IDocument::linksForObject(UID object) const {
  std::vector<UID> result;
  for (UID l : links_)
    if (auto* link = database_->instantiate<ILink>(l); link && link->GetObject() == object)
      result.push_back(l);
  return result;
}

ErrorCode IDocument::deleteLink(UID linkUID) {
  auto* link = database_->instantiate<ILink>(linkUID);
  if (!link) return kObjectNotFoundError;
  if (auto* c = database_->instantiate<PlacedContent>(link->GetObject()); c && c->linkUID() == linkUID)
    c->setLinkUID(kInvalidUID);
  database_->destroy(link->GetResource());
  database_->destroy(linkUID);
  links_.erase(std::remove(links_.begin(), links_.end(), linkUID), links_.end());
  touch();
  return kSuccess;
}

// --- swatches

Swatch* IDocument::swatch(UID uid) const {
  return database_->instantiate<Swatch>(uid);
}

Swatch* IDocument::findSwatch(const std::string& name) const {
  for (UID uid : swatches_)
    if (Swatch* s = swatch(uid); s && s->name() == name) return s;
  return nullptr;
}

Swatch* IDocument::createColor(const std::string& name, ColorModel model, ColorSpace space,
                               std::vector<double> components, UID uid) {
  if (name.empty() || findSwatch(name) || model == ColorModel::Registration ||
      !validateColorComponents(space, components).empty())
    return nullptr;
  auto* s = uid == kInvalidUID ? database_->create<Swatch>(name, SwatchKind::Color)
                               : database_->createWithUID<Swatch>(uid, name, SwatchKind::Color);
  if (!s) return nullptr;
  s->setColor(model, space, std::move(components));
  swatches_.push_back(s->GetUID());
  touch();
  return s;
}

Swatch* IDocument::createTint(UID base, double percent, const std::string& givenName, UID uid) {
  Swatch* b = swatch(base);
  if (!b || b->kind() != SwatchKind::Color || !(percent >= 0 && percent <= 100)) return nullptr;
  char pct[32];
  std::snprintf(pct, sizeof pct, "%g", percent);
  const std::string name = givenName.empty() ? b->name() + " " + pct + "%" : givenName;
  if (findSwatch(name)) return nullptr;
  auto* s = uid == kInvalidUID ? database_->create<Swatch>(name, SwatchKind::Tint)
                               : database_->createWithUID<Swatch>(uid, name, SwatchKind::Tint);
  if (!s) return nullptr;
  s->setTint(base, percent);
  swatches_.push_back(s->GetUID());
  touch();
  return s;
}

UID IDocument::stockColorUID(int index) {
  const std::vector<StockColor>& stock = stockColors();
  if (index < 0 || index >= static_cast<int>(stock.size())) return kInvalidUID;
  for (UID uid : swatches_)
    if (swatch(uid)->stockIndex() == index) return uid;
  const StockColor& c = stock[static_cast<std::size_t>(index)];
  Swatch* s = findSwatch(c.name);
  if (!s) s = createColor(c.name, ColorModel::Process, ColorSpace::CMYK, c.cmyk);
  if (!s) return kInvalidUID;
  s->setStockIndex(index);
  return s->GetUID();
}

bool IDocument::isSwatchUsed(UID swatchUID) const {
  if (swatchUID == kInvalidUID) return false;
  for (UID s : swatches_)
    if (Swatch* sw = swatch(s); sw && sw->kind() == SwatchKind::Tint && sw->baseSwatch() == swatchUID)
      return true;
  for (UID uid : allPageItems()) {
    const GraphicAttributes& a = item(uid)->graphicAttributes();
    if (a.fillSwatch == swatchUID || a.strokeSwatch == swatchUID) return true;
  }
  for (UID st : stories_)
    if (ITextModel* s = story(st)) {
      auto it = s->attributeRuns().find(AttributeClass::kTextColor);
      if (it != s->attributeRuns().end())
        for (const RunList::Run& r : it->second.runs())
          if (const UID* v = std::get_if<UID>(&r.value); v && *v == swatchUID) return true;
    }
  return false;
}

void IDocument::replaceSwatchUses(UID from, UID to) {
  for (UID uid : allPageItems()) {
    PageItem* it = item(uid);
    GraphicAttributes a = it->graphicAttributes();
    if (a.fillSwatch != from && a.strokeSwatch != from) continue;
    if (a.fillSwatch == from) a.fillSwatch = to;
    if (a.strokeSwatch == from) a.strokeSwatch = to;
    it->setGraphicAttributes(a);
  }
  for (UID st : stories_) {
    ITextModel* s = story(st);
    auto found = s->attributeRuns().find(AttributeClass::kTextColor);
    if (found == s->attributeRuns().end()) continue;
    const std::vector<RunList::Run> runs = found->second.runs();
    int pos = 0;
    for (const RunList::Run& r : runs) {
      if (const UID* v = std::get_if<UID>(&r.value); v && *v == from)
        s->ApplyAttributes(pos, r.length, {{AttributeClass::kTextColor, AttributeValue(to)}});
      pos += r.length;
    }
  }
}

ErrorCode IDocument::deleteSwatch(UID swatchUID, UID replacement) {
  Swatch* s = swatch(swatchUID);
  if (!s) return kObjectNotFoundError;
  if (s->isReserved()) return kInvalidParameterError;
  if (replacement == kInvalidUID) replacement = none_;
  Swatch* r = swatch(replacement);
  if (!r || replacement == swatchUID) return kInvalidParameterError;
  // Tints of the deleted colour become tints of the replacement, or plain uses of it.
  const std::vector<UID> all = swatches_;
  for (UID t : all) {
    Swatch* tint = swatch(t);
    if (tint->kind() != SwatchKind::Tint || tint->baseSwatch() != swatchUID) continue;
    if (r->kind() == SwatchKind::Color) {
      tint->setTint(replacement, tint->tintPercent());
    } else {
      replaceSwatchUses(t, replacement);
      swatches_.erase(std::remove(swatches_.begin(), swatches_.end(), t), swatches_.end());
      database_->destroy(t);
    }
  }
  replaceSwatchUses(swatchUID, replacement);
  swatches_.erase(std::remove(swatches_.begin(), swatches_.end(), swatchUID), swatches_.end());
  database_->destroy(swatchUID);
  touch();
  return kSuccess;
}

// --- styles, languages, preferences

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
  for (UID uid : languages_)
    if (auto* l = database_->instantiate<Language>(uid); l && l->name() == name) return uid;
  return kInvalidUID;
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
  if (!(grid.horizontalSpacing > 0) || !(grid.verticalSpacing > 0) || grid.horizontalSubdivisions < 1 ||
      grid.verticalSubdivisions < 1)
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
  for (UID s : spreads_) walk(walk, s);
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
