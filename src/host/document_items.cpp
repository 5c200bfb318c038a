#include <algorithm>

#include "host/document.h"

namespace korvex {

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

}  // namespace korvex
