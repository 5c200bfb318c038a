#include "docmodel/my_frame.h"

#include <cstring>

#include "docmodel/frame_content.h"
#include "docmodel/frames.h"
#include "foundation/log.h"
#include "foundation/value.h"
#include "foundation/workspace.h"
#include "host/place.h"

namespace korvex {

MyFrame::MyFrame(const UIDRef& reference) : _database(reference.GetDataBase()), _uid(reference.GetUID()) {}

MyFrame::MyFrame(const UIDList* list, int index) {
  // Callers pass positions inside the list; any other position gives an invalid frame.
  if (!list || list->empty() || index < 0 || static_cast<std::size_t>(index) >= list->size()) return;
  _database = list->GetDataBase();
  _uid = (*list)[static_cast<std::size_t>(index)];
}

MyFrame::MyFrame(IDataBase* database, UID uid) : _database(database), _uid(uid) {}

MyFrame::MyFrame(const HostObject* object) {
  if (!object) return;
  _database = object->GetDataBase();
  _uid = object->GetUID();
}

bool MyFrame::isGraphicFrame() const {
  if (!_database) return false;
  auto* s = _database->instantiate<SplineItem>(_uid);
  return s && isGraphicsFrame(ref()) && s->textContentUID() == kInvalidUID;
}

bool MyFrame::isTextFrame() const {
  return korvex::isTextFrame(ref());
}

bool MyFrame::isGroup() const {
  return isGroupFrame(ref());
}

UID MyFrame::getParent() const {
  auto* node = _database ? _database->instantiate<IHierarchy>(_uid) : nullptr;
  return node ? node->GetParentUID() : kInvalidUID;
}

UIDRef MyFrame::getChild() const {
  return getChildRef(ref());
}

UIDList MyFrame::children() const {
  UIDList list(_database);
  auto* node = _database ? _database->instantiate<IHierarchy>(_uid) : nullptr;
  if (node)
    for (UID child : node->children()) list.Append(child);
  return list;
}

UIDRef MyFrame::storyRef() const {
  return storyForFrame(ref());
}

PMRect MyFrame::getRect() const {
  auto* item = _database ? _database->instantiate<PageItem>(_uid) : nullptr;
  const Path* path = item ? item->path() : nullptr;
  if (!path) return {};
  // The inner bounds' corners carried to the pasteboard.
  const PMRect inner = path->bounds();
  return Path::rectangle(inner).bounds(item->innerToPasteboard());
}

ErrorCode MyFrame::setRect(PMRect& rect) {
  return setBoundsForFrame(ref(), rect, 0);
}

PMRect MyFrame::bounds(unsigned char inMillimetres) const {
  return boundsForFrame(ref(), inMillimetres);
}

ErrorCode MyFrame::setBounds(PMRect& rect, unsigned char inMillimetres) {
  return setBoundsForFrame(ref(), rect, inMillimetres);
}

std::optional<std::string> MyFrame::getPath(unsigned char ofContent) const {
  if (ofContent == 1) return pathForFrame(getChild(), 0);
  return pathForFrame(ref(), 0);
}

std::optional<std::string> MyFrame::getTag(const char* key) const {
  return korvex::stringForKey(ref(), key, std::nullopt);
}

int MyFrame::getInt(const char* key) const {
  const auto value = getTag(key);
  return value ? Value(*value).intValue() : 0;
}

void MyFrame::setTag(const char* key, StringArg value) {
  korvex::setStringForKey(ref(), key, value);
}

void MyFrame::setTag(const std::string& key, StringArg value) {
  korvex::setStringForKey(ref(), key, value);
}

void MyFrame::setInt(const char* key, int value) {
  korvex::setStringForKey(ref(), key, numberText(value));
}

const char* MyFrame::stringForKey(const char* key) {
  const auto value = korvex::stringForKey(ref(), key, std::nullopt);
  if (!value) return nullptr;
  // A value longer than the buffer is cut before the last whole UTF-8 character that fits.
  std::size_t length = std::min(value->size(), kLabelBufferSize - 1);
  if (length < value->size())
    while (length > 0 && (static_cast<unsigned char>((*value)[length]) & 0xC0) == 0x80) --length;
  std::memcpy(_label, value->data(), length);
  _label[length] = '\0';
  return _label;
}

void MyFrame::setStringForKey(const char* key, const char* value) {
  if (!value) return;
  korvex::setStringForKey(ref(), key, std::string_view(value));
}

short MyFrame::relink(const IDFile& file) {
  const UIDRef link = [&]() -> UIDRef {
    IDocument* doc = _database ? _database->document() : nullptr;
    if (!doc) return {};
    const auto links = doc->linksForObject(_uid);
    return links.empty() ? UIDRef() : UIDRef(_database, links.front());
  }();
  return static_cast<short>(updateLinkWithFile(link, file));
}

short MyFrame::relink(const std::string& path) {
  return relink(IDFile(path));
}

short MyFrame::fitContentToFrame() {
  const ErrorCode error = FrameContentFacade::FitContentProp(UIDList(ref()));
  if (error != kSuccess) MyLog("\t####\tfitContentToFrame: %d", error);
  return static_cast<short>(error);
}

ErrorCode MyFrame::fitFrameToContent() {
  const ErrorCode error = FrameContentFacade::FitFrameToContent(UIDList(ref()));
  if (error != kSuccess) MyLog("\t####\tfitFrameToContent: %d", error);
  return error;
}

long MyFrame::numberOfColumns() const {
  return numberOfColumnsForFrame(ref());
}

ErrorCode MyFrame::setNumberOfColumns(long columns) {
  return setNumberOfColumnsForFrame(ref(), columns, 0);
}

void MyFrame::remove() {
  if (!ref().isValid()) return;
  IDocument* doc = _database->document();
  if (!doc || doc->deleteItems(UIDList(ref())) != kSuccess) beep();
}

void MyFrame::removeChild() {
  MyFrame(getChild()).remove();
}

std::optional<std::string> MyFrame::fillColorName() const {
  auto name = fillColorNameForFrame(ref());
  if (name && *name == "None") return std::nullopt;
  return name;
}

UID MyFrame::fillColor() const {
  auto* item = _database ? _database->instantiate<PageItem>(_uid) : nullptr;
  return item ? item->graphicAttributes().fillSwatch : 0;
}

void MyFrame::setFillColor(UID color) {
  korvex::setFillColor(ref(), color);
}

void MyFrame::log() const {
  MyLog("db: %08x, uid: %d", static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(_database)), _uid);
}

}  // namespace korvex
