// The small persistent objects: database bookkeeping, the hierarchy, page
// items, layout objects, swatches, styles and links.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/database.h"
#include "host/document.h"
#include "host/image_info.h"
#include "host/session.h"

namespace korvex {

void HostObject::markModified() const {
  if (db_) db_->SetModified(true);
}

std::uint64_t IDataBase::nextSerial() {
  static std::uint64_t next = 0;
  return ++next;
}

HostObject* IDataBase::object(UID uid) const {
  if (uid == kInvalidUID) return nullptr;
  if (uid == rootUID_) return document_;
  auto it = objects_.find(uid);
  return it == objects_.end() ? nullptr : it->second.get();
}

bool IDataBase::destroy(UID uid) {
  return uid != rootUID_ && objects_.erase(uid) > 0;
}

void IDataBase::attachDocument(IDocument* document, UID uid) {
  document_ = document;
  rootUID_ = uid;
  reserveThrough(uid);
}

// --- hierarchy

UID IHierarchy::GetChildUID(int index) const {
  return index >= 0 && index < GetChildCount() ? children_[static_cast<std::size_t>(index)] : kInvalidUID;
}

int IHierarchy::GetChildIndex(UID child) const {
  auto it = std::find(children_.begin(), children_.end(), child);
  return it == children_.end() ? -1 : static_cast<int>(it - children_.begin());
}

ErrorCode IHierarchy::setTransform(const PMMatrix& m) {
  if (!m.inverse()) return kInvalidParameterError;
  transform_ = m;
  markModified();
  return kSuccess;
}

ErrorCode IHierarchy::addChild(IHierarchy* child, int index) {
  if (!child || child == this || child->GetDataBase() != GetDataBase()) return kInvalidParameterError;
  if (child->parent_ != kInvalidUID) return kInvalidParameterError;
  // A node may not become its own descendant.
  for (const IHierarchy* p = this; p; p = p->parent())
    if (p == child) return kInvalidParameterError;
  if (index < 0 || index > GetChildCount()) index = GetChildCount();
  children_.insert(children_.begin() + index, child->GetUID());
  child->parent_ = GetUID();
  markModified();
  return kSuccess;
}

ErrorCode IHierarchy::removeChild(IHierarchy* child) {
  const int index = child ? GetChildIndex(child->GetUID()) : -1;
  if (index < 0) return kObjectNotFoundError;
  children_.erase(children_.begin() + index);
  child->parent_ = kInvalidUID;
  markModified();
  return kSuccess;
}

std::vector<IHierarchy*> IHierarchy::detachChildren(const std::unordered_set<UID>& which) {
  std::vector<IHierarchy*> detached;
  std::vector<UID> kept;
  kept.reserve(children_.size());
  for (UID uid : children_) {
    if (which.contains(uid))
      if (auto* child = GetDataBase()->instantiate<IHierarchy>(uid)) {
        child->parent_ = kInvalidUID;
        detached.push_back(child);
        continue;
      }
    kept.push_back(uid);
  }
  if (!detached.empty()) {
    children_ = std::move(kept);
    markModified();
  }
  return detached;
}

IHierarchy* IHierarchy::parent() const {
  return parent_ == kInvalidUID ? nullptr : GetDataBase()->instantiate<IHierarchy>(parent_);
}

PMMatrix IHierarchy::innerToPasteboard() const {
  PMMatrix m = transform_;
  for (const IHierarchy* p = parent(); p; p = p->parent()) m = p->transform_ * m;
  return m;
}

// --- page items

std::optional<std::string> LabelStore::get(const std::string& key) const {
  for (const auto& [k, v] : entries_)
    if (k == key) return v.empty() ? std::nullopt : std::optional<std::string>(v);
  return std::nullopt;
}

void LabelStore::set(const std::string& key, std::string value) {
  for (auto& [k, v] : entries_)
    if (k == key) {
      v = std::move(value);
      return;
    }
  entries_.emplace_back(key, std::move(value));
}

bool LabelStore::remove(const std::string& key) {
  auto it = std::find_if(entries_.begin(), entries_.end(), [&](const auto& e) { return e.first == key; });
  if (it == entries_.end()) return false;
  entries_.erase(it);
  return true;
}

ErrorCode PageItem::setGraphicAttributes(const GraphicAttributes& a) {
  if (a.strokeWeight < 0 || a.cornerRadius < 0) return kInvalidParameterError;
  if ((a.fillTint && (*a.fillTint < 0 || *a.fillTint > 100)) ||
      (a.strokeTint && (*a.strokeTint < 0 || *a.strokeTint > 100)))
    return kInvalidParameterError;
  attributes_ = a;
  markModified();
  return kSuccess;
}

ErrorCode PageItem::setTextWrap(const TextWrapSettings& wrap) {
  textWrap_ = wrap;
  markModified();
  return kSuccess;
}

ErrorCode PageItem::setLabel(const std::string& key, std::string value) {
  if (key.empty()) return kInvalidParameterError;
  labels_.set(key, std::move(value));
  markModified();
  return kSuccess;
}

ErrorCode PageItem::removeLabel(const std::string& key) {
  if (!labels_.remove(key)) return kObjectNotFoundError;
  markModified();
  return kSuccess;
}

ErrorCode PageItem::setObjectStyle(std::string name) {
  objectStyle_ = std::move(name);
  markModified();
  return kSuccess;
}

ErrorCode SplineItem::setPath(Path p) {
  if (p.points.size() < 2) return kInvalidParameterError;
  path_ = std::move(p);
  markModified();
  return kSuccess;
}

UID SplineItem::textContentUID() const {
  const UID child = GetChildUID(0);
  return GetDataBase()->instantiate<MultiColumnItem>(child) ? child : kInvalidUID;
}

UID SplineItem::placedContentUID() const {
  const UID child = GetChildUID(0);
  return GetDataBase()->instantiate<PlacedContent>(child) ? child : kInvalidUID;
}

ErrorCode GraphicLine::setPath(Path p) {
  if (p.points.size() < 2) return kInvalidParameterError;
  path_ = std::move(p);
  markModified();
  return kSuccess;
}

ErrorCode PlacedContent::setPath(Path p) {
  if (p.points.size() < 2) return kInvalidParameterError;
  path_ = std::move(p);
  markModified();
  return kSuccess;
}

ErrorCode PlacedContent::setKind(ClassID kind) {
  if (kind != ClassID::kImageItem && kind != ClassID::kPDFItem && kind != ClassID::kEPSItem)
    return kInvalidParameterError;
  kind_ = kind;
  markModified();
  return kSuccess;
}

ErrorCode PlacedContent::setEmbeddedProfile(std::optional<std::string> name) {
  if (name && (kind_ != ClassID::kImageItem || name->empty())) return kInvalidParameterError;
  embeddedProfile_ = std::move(name);
  markModified();
  return kSuccess;
}

ErrorCode PlacedContent::setImageAttributes(std::optional<ImageAttributes> attributes) {
  imageAttributes_ = attributes;
  markModified();
  return kSuccess;
}

ErrorCode MultiColumnItem::setSettings(const TextFrameSettings& s) {
  if (s.columnCount < 1 || s.columnCount > 40 || s.gutter < 0) return kInvalidParameterError;
  IDataBase* db = GetDataBase();
  while (GetChildCount() < s.columnCount) {
    auto* column = db->create<TextColumn>();
    addChild(column);
  }
  while (GetChildCount() > s.columnCount) {
    const UID last = GetChildUID(GetChildCount() - 1);
    removeChild(db->instantiate<IHierarchy>(last));
    db->destroy(last);
  }
  settings_ = s;
  markModified();
  return kSuccess;
}

UID TextColumn::storyUID() const {
  auto* mc = GetDataBase()->instantiate<MultiColumnItem>(GetParentUID());
  return mc ? mc->storyUID() : kInvalidUID;
}

int TextColumn::TextStart() const {
  auto* story = GetDataBase()->instantiate<ITextModel>(storyUID());
  return story ? story->columnRange(GetUID()).first : 0;
}

int TextColumn::TextSpan() const {
  auto* story = GetDataBase()->instantiate<ITextModel>(storyUID());
  return story ? story->columnRange(GetUID()).second : 0;
}

// --- layout

ErrorCode IDocumentLayer::SetName(std::string name) {
  if (name.empty()) return kInvalidParameterError;
  name_ = std::move(name);
  if (const IDocument* doc = GetDataBase() ? GetDataBase()->document() : nullptr) doc->nameChanged();
  markModified();
  return kSuccess;
}
ErrorCode IDocumentLayer::SetVisible(bool v) {
  visible_ = v;
  markModified();
  return kSuccess;
}
ErrorCode IDocumentLayer::SetPrintable(bool v) {
  printable_ = v;
  markModified();
  return kSuccess;
}
ErrorCode IDocumentLayer::SetLocked(bool v) {
  locked_ = v;
  markModified();
  return kSuccess;
}
ErrorCode IDocumentLayer::SetColor(std::string color) {
  color_ = std::move(color);
  markModified();
  return kSuccess;
}

ErrorCode IDocumentLayer::SetStockColor(int index) {
  const std::vector<StockColor>& stock = stockColors();
  if (index < 0 || index >= static_cast<int>(stock.size())) return kInvalidParameterError;
  return SetColor(stock[static_cast<std::size_t>(index)].name);
}

ErrorCode Page::setSize(PMReal width, PMReal height) {
  if (!(width > 0) || !(height > 0)) return kInvalidParameterError;
  width_ = width;
  height_ = height;
  markModified();
  return kSuccess;
}

ErrorCode Page::setName(std::string name) {
  name_ = std::move(name);
  markModified();
  return kSuccess;
}

ErrorCode Page::setAppliedMaster(UID masterSpread) {
  master_ = masterSpread;
  markModified();
  return kSuccess;
}

ErrorCode Page::setMargins(const PageMargins& m) {
  if (m.left < 0 || m.top < 0 || m.right < 0 || m.bottom < 0) return kInvalidParameterError;
  margins_ = m;
  markModified();
  return kSuccess;
}

std::vector<PMReal> Page::columns() const {
  if (!columns_.empty()) return columns_;
  return {margins_.left, width_ - margins_.right};
}

ErrorCode Page::setColumns(std::vector<PMReal> pairs) {
  if (pairs.size() % 2 != 0) return kInvalidParameterError;
  for (std::size_t i = 0; i + 1 < pairs.size(); i += 2)
    if (pairs[i] > pairs[i + 1]) return kInvalidParameterError;
  columns_ = std::move(pairs);
  markModified();
  return kSuccess;
}

ISpreadLayer* ISpread::QueryLayer(UID documentLayer) const {
  for (UID child : children()) {
    auto* layer = GetDataBase()->instantiate<ISpreadLayer>(child);
    if (layer && layer->documentLayerUID() == documentLayer) return layer;
  }
  return nullptr;
}

ISpreadLayer* ISpread::pagesLayer() const {
  return children().empty() ? nullptr : GetDataBase()->instantiate<ISpreadLayer>(children().front());
}

std::vector<Page*> ISpread::pages() const {
  std::vector<Page*> result;
  if (ISpreadLayer* layer = pagesLayer())
    for (UID child : layer->children())
      if (auto* page = GetDataBase()->instantiate<Page>(child)) result.push_back(page);
  return result;
}

int ISpread::GetNumPages() const {
  return static_cast<int>(pages().size());
}

PMRect ISpread::GetPagesBounds(bool inPasteboard) const {
  PMRect r;
  for (Page* page : pages()) {
    // Page transform within the spread, then the spread's own when asked.
    const PMMatrix m = inPasteboard ? page->innerToPasteboard() : page->transform();
    r = r.united(Path::rectangle(page->innerBounds()).bounds(m));
  }
  return r;
}

// --- swatches

std::string validateColorComponents(ColorSpace space, const std::vector<double>& c) {
  const std::size_t want = space == ColorSpace::CMYK ? 4 : 3;
  if (c.size() != want) return "expected " + std::to_string(want) + " components";
  for (std::size_t i = 0; i < c.size(); ++i) {
    double lo = 0, hi = 1;
    if (space == ColorSpace::Lab) {
      lo = i == 0 ? 0 : -128;
      hi = i == 0 ? 100 : 127;
    }
    if (!std::isfinite(c[i]) || c[i] < lo || c[i] > hi) return "component out of range";
  }
  return {};
}

ErrorCode Swatch::setName(std::string name) {
  if (reserved_ || name.empty()) return kInvalidParameterError;
  name_ = std::move(name);
  if (const IDocument* doc = GetDataBase() ? GetDataBase()->document() : nullptr) doc->nameChanged();
  markModified();
  return kSuccess;
}

ErrorCode Swatch::setColor(ColorModel model, ColorSpace space, std::vector<double> components) {
  if (kind_ != SwatchKind::Color || !validateColorComponents(space, components).empty())
    return kInvalidParameterError;
  model_ = model;
  space_ = space;
  components_ = std::move(components);
  markModified();
  return kSuccess;
}

ErrorCode Swatch::setTint(UID base, double percent) {
  if (kind_ != SwatchKind::Tint || !(percent >= 0 && percent <= 100) || base == GetUID())
    return kInvalidParameterError;
  base_ = base;
  tint_ = percent;
  markModified();
  return kSuccess;
}

// --- styles

void StyleGroup::remove(UID style) {
  styles_.erase(std::remove(styles_.begin(), styles_.end(), style), styles_.end());
  names_.invalidate();
}

UID StyleGroup::FindByName(const IDataBase& db, const std::string& name) const {
  return names_.find(styles_, name, [&](UID uid) -> const std::string* {
    const auto* style = db.instantiate<Style>(uid);
    return style ? &style->name() : nullptr;
  });
}

ErrorCode Style::setBasedOn(UID parent) {
  // No cycles: the chain of parents must not come back here.
  for (UID p = parent; p != kInvalidUID;) {
    if (p == GetUID()) return kInvalidParameterError;
    auto* s = GetDataBase()->instantiate<Style>(p);
    if (!s || s->kind() != kind_) return kInvalidParameterError;
    p = s->basedOn();
  }
  basedOn_ = parent;
  markModified();
  return kSuccess;
}

ErrorCode Style::setProperty(const std::string& key, std::string value) {
  if (key.empty()) return kInvalidParameterError;
  for (auto& [k, v] : properties_)
    if (k == key) {
      v = std::move(value);
      markModified();
      return kSuccess;
    }
  properties_.emplace_back(key, std::move(value));
  markModified();
  return kSuccess;
}

// --- links

std::optional<FileStamp> stampOfFile(const std::string& path) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) return std::nullopt;
  const auto time = std::filesystem::last_write_time(path, ec);
  if (ec) return std::nullopt;
  const auto sys = std::chrono::file_clock::to_sys(time);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sys.time_since_epoch()).count();
  return FileStamp{size, static_cast<std::int64_t>(ms)};
}

ErrorCode LinkResource::relink(const std::string& path) {
  const auto stamp = stampOfFile(path);
  if (!stamp) return kFileNotFoundError;
  path_ = path;
  stamp_ = *stamp;
  embedded_ = false;
  data_.clear();
  markModified();
  return kSuccess;
}

ErrorCode LinkResource::update() {
  return relink(path_);
}

ErrorCode LinkResource::embed() {
  if (embedded_) return kSuccess;
  std::ifstream in(path_, std::ios::binary);
  if (!in) return kFileNotFoundError;
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return kFileReadError;
  if (auto stamp = stampOfFile(path_)) stamp_ = *stamp;
  data_ = std::move(bytes);
  embedded_ = true;
  markModified();
  return kSuccess;
}

ErrorCode LinkResource::unembed() {
  if (!embedded_) return kSuccess;
  // Keep the data unless the file is there to link to again.
  if (!stampOfFile(path_)) return kFileNotFoundError;
  return relink(path_);
}

void LinkResource::restore(std::string path, FileStamp stamp, bool embedded, std::vector<std::uint8_t> data) {
  path_ = std::move(path);
  stamp_ = stamp;
  embedded_ = embedded;
  data_ = std::move(data);
}

LinkResource* ILink::resource() const {
  return GetDataBase()->instantiate<LinkResource>(resource_);
}

ILink::ResourceModificationState ILink::GetResourceModificationState() const {
  const LinkResource* r = resource();
  if (!r) return kResourceMissing;
  if (r->isEmbedded()) return kResourceNormal;
  const auto stamp = stampOfFile(r->path());
  if (!stamp) return kResourceMissing;
  return *stamp == r->stamp() ? kResourceNormal : kResourceModified;
}

std::optional<std::string> ILink::undrawableReason() const {
  const LinkResource* r = resource();
  const auto* content = GetDataBase()->instantiate<PlacedContent>(object_);
  // A missing file is its own state; an embedded copy is checked when it is drawn.
  if (!r || !content || r->isEmbedded() || !stampOfFile(r->path())) return std::nullopt;
  return korvex::undrawableReason(r->path(), content->GetClass());
}

}  // namespace korvex
