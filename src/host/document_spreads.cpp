#include <algorithm>

#include "host/document.h"

namespace korvex {

ISpread* IDocument::spreadAt(int index) const {
  if (index < 0 || index >= GetSpreadCount()) return nullptr;
  return database_->instantiate<ISpread>(spreads_[static_cast<std::size_t>(index)]);
}

int IDocument::spreadIndex(UID spread) const {
  auto it = std::find(spreads_.begin(), spreads_.end(), spread);
  return it == spreads_.end() ? -1 : static_cast<int>(it - spreads_.begin());
}

PMReal IDocument::spreadBottom(const ISpread& spread) {
  return spread.GetNumPages() ? spread.GetPagesBounds(true).bottom : spread.transform().ty;
}

PMRect IDocument::nextSpreadPlace() const {
  PMReal bottom = -kSpreadGap;
  for (UID s : spreads_) bottom = std::max(bottom, spreadBottom(*database_->instantiate<ISpread>(s)));
  return {0, bottom + kSpreadGap, 0, bottom + kSpreadGap};
}

ISpread* IDocument::createSpread(int index, UID uid, const std::vector<UID>& spreadLayerUIDs) {
  if (!spreadLayerUIDs.empty() && spreadLayerUIDs.size() != layers_.size()) return nullptr;
  return createSpreadAt(nextSpreadPlace().top, index, uid, spreadLayerUIDs);
}

ISpread* IDocument::createSpreadAt(PMReal top, int index, UID uid, const std::vector<UID>& spreadLayerUIDs) {
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
  spread->setTransform(PMMatrix::translation(0, top));
  if (index < 0 || index > GetSpreadCount()) index = GetSpreadCount();
  spreads_.insert(spreads_.begin() + index, spread->GetUID());
  touch();
  return spread;
}

Page* IDocument::addPage(ISpread* spread, PMReal width, PMReal height, UID uid) {
  if (!spread) return nullptr;
  // Pages sit side by side from the spread's origin.
  PMReal x = 0;
  for (Page* p : spread->pages()) x = std::max(x, p->transform().tx + p->width());
  return addPageAt(spread, x, width, height, uid);
}

Page* IDocument::addPageAt(ISpread* spread, PMReal left, PMReal width, PMReal height, UID uid) {
  if (!spread || !(width > 0) || !(height > 0)) return nullptr;
  ISpreadLayer* layer = spread->pagesLayer();
  if (!layer) return nullptr;
  auto* page = uid == kInvalidUID ? database_->create<Page>(width, height)
                                  : database_->createWithUID<Page>(uid, width, height);
  if (!page) return nullptr;
  page->setTransform(PMMatrix::translation(left, 0));
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

std::vector<UID> IDocument::spreadsAndMasters() const {
  std::vector<UID> all = spreads_;
  all.insert(all.end(), masters_.begin(), masters_.end());
  return all;
}

// Masters lie left of the document's spreads on the pasteboard, one below the other.
ISpread* IDocument::createMasterSpread(const std::string& name, UID uid, const std::vector<UID>& spreadLayerUIDs) {
  if (name.empty() || findMasterSpread(name)) return nullptr;
  PMReal top = 0;
  for (UID m : masters_) top = std::max(top, spreadBottom(*database_->instantiate<ISpread>(m)) + kSpreadGap);
  ISpread* spread = createSpreadAt(top, -1, uid, spreadLayerUIDs);
  if (!spread) return nullptr;
  spreads_.pop_back();
  masters_.push_back(spread->GetUID());
  spread->setMasterName(name);
  spread->setTransform(PMMatrix::translation(-kMasterPasteboardOffset, top));
  return spread;
}

ISpread* IDocument::findMasterSpread(const std::string& name) const {
  for (UID m : masters_)
    if (auto* s = database_->instantiate<ISpread>(m); s && s->masterName() == name) return s;
  return nullptr;
}

Page* IDocument::masterPageFor(const Page& page) const {
  auto* master = database_->instantiate<ISpread>(page.appliedMaster());
  if (!master) return nullptr;
  const std::vector<Page*> masterPages = master->pages();
  if (masterPages.empty()) return nullptr;
  if (masterPages.size() == 1) return masterPages.front();
  // Facing pages: a page left of its spread's first page's right edge is a left page.
  auto* spread = database_->instantiate<ISpread>(spreadOf(page.GetUID()));
  const std::vector<Page*> own = spread ? spread->pages() : std::vector<Page*>{};
  const bool left = facingPages_ && own.size() > 1 && own.front() == &page;
  if (facingPages_ && own.size() == 1) {
    // A single page: even page numbers are left pages.
    const int index = pageIndex(page.GetUID());
    return index % 2 == 1 ? masterPages.front() : masterPages.back();
  }
  return left || !facingPages_ ? masterPages.front() : masterPages.back();
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

}  // namespace korvex
