#include "docmodel/frame_content.h"

#include <algorithm>
#include <cstdio>

#include "docmodel/frames.h"
#include "foundation/hfs_path.h"
#include "foundation/log.h"
#include "foundation/value.h"
#include "host/interaction.h"
#include "host/place.h"

namespace korvex {

namespace {

template <typename T>
T* instantiate(const UIDRef& ref) {
  IDataBase* db = ref.GetDataBase();
  return db ? db->instantiate<T>(ref.GetUID()) : nullptr;
}

IDocument* documentOf(IDataBase* db) {
  return db ? db->document() : nullptr;
}

MultiColumnItem* textContent(const UIDRef& frame) {
  auto* s = instantiate<SplineItem>(frame);
  if (!s || s->textContentUID() == kInvalidUID) return nullptr;
  return frame.GetDataBase()->instantiate<MultiColumnItem>(s->textContentUID());
}

// The first link the document knows for the object.
UIDRef firstLinkOf(IDataBase* db, UID object) {
  IDocument* doc = documentOf(db);
  if (!doc || object == kInvalidUID) return {};
  const std::vector<UID> links = doc->linksForObject(object);
  if (links.empty()) return {};
  return {db, links.front()};
}

template <typename Change>
ErrorCode changeAttributes(const UIDList& frames, Change change) {
  IDataBase* db = frames.GetDataBase();
  if (!db) return kInvalidParameterError;
  for (UID uid : frames)
    if (!db->instantiate<PageItem>(uid)) return kObjectNotFoundError;
  for (UID uid : frames) {
    auto* item = db->instantiate<PageItem>(uid);
    GraphicAttributes a = item->graphicAttributes();
    change(a);
    if (const ErrorCode error = item->setGraphicAttributes(a); error != kSuccess) return error;
  }
  return kSuccess;
}

PageItem* labelStoreOf(const UIDRef& item) {
  return instantiate<PageItem>(item);
}

}  // namespace

// --- text

UIDRef storyForFrame(const UIDRef& frame) {
  MultiColumnItem* mc = textContent(frame);
  if (!mc) return UIDRef::gNull();
  return {frame.GetDataBase(), mc->storyUID()};
}

UIDList frameListForStory(const UIDRef& story) {
  IDataBase* db = story.GetDataBase();
  UIDList list(db);
  auto* model = instantiate<ITextModel>(story);
  if (!model) return list;
  for (UID column : model->frameList()) {
    auto* c = db->instantiate<IHierarchy>(column);
    IHierarchy* multiColumn = c ? c->parent() : nullptr;
    IHierarchy* frame = multiColumn ? multiColumn->parent() : nullptr;
    if (frame && !list.contains(frame->GetUID())) list.Append(frame->GetUID());
  }
  return list;
}

UIDRef firstFrameForStory(const UIDRef& story) {
  const UIDList list = frameListForStory(story);
  return list.empty() ? UIDRef() : list.GetRef(0);
}

UIDRef lastFrameForStory(const UIDRef& story) {
  const UIDList list = frameListForStory(story);
  return list.empty() ? UIDRef() : list.GetRef(list.size() - 1);
}

UIDRef frameForTextModel(const ITextModel* story) {
  if (!story) return {};
  const std::vector<UID> columns = story->frameList();
  if (columns.empty()) return {};
  IDataBase* db = story->GetDataBase();
  auto* c = db->instantiate<IHierarchy>(columns.front());
  IHierarchy* multiColumn = c ? c->parent() : nullptr;
  IHierarchy* frame = multiColumn ? multiColumn->parent() : nullptr;
  return frame ? UIDRef(db, frame->GetUID()) : UIDRef();
}

void setVerticalJustificationForStory(const UIDRef& story, VerticalJustification justification) {
  const UIDList frames = frameListForStory(story);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    MultiColumnItem* mc = textContent(frames.GetRef(i));
    if (!mc) continue;
    TextFrameSettings s = mc->settings();
    s.verticalJustification = justification;
    mc->setSettings(s);
  }
}

float textInsetForFrame(const UIDRef& frame) {
  MultiColumnItem* mc = textContent(frame);
  if (!mc) return 0;
  return static_cast<float>(mc->settings().inset.left + mc->settings().inset.right);
}

float textInsetForStory(const UIDRef& story) {
  const UIDRef first = firstFrameForStory(story);
  return first.isValid() ? textInsetForFrame(first) : 0;
}

ErrorCode setTextInsetForFrame(const UIDRef& frame, float inset) {
  MultiColumnItem* mc = textContent(frame);
  if (!mc) return kInvalidParameterError;
  TextFrameSettings s = mc->settings();
  s.inset = {inset, inset, inset, inset};
  return mc->setSettings(s);
}

long numberOfColumnsForFrame(const UIDRef& frame) {
  MultiColumnItem* mc = textContent(frame);
  return mc ? mc->settings().columnCount : 0;
}

ErrorCode setNumberOfColumnsForFrame(const UIDRef& frame, long columns, float gutter) {
  MultiColumnItem* mc = textContent(frame);
  // Without a text frame there is nothing to give the command to.
  if (!mc) return kSuccess;
  TextFrameSettings s = mc->settings();
  ErrorCode error = kSuccess;
  if (columns < 1 || columns > 40) {
    error = kInvalidParameterError;
  } else {
    s.columnCount = static_cast<int>(columns);
    if (gutter > 0) s.gutter = gutter;
    error = mc->setSettings(s);
  }
  if (error != kSuccess) MyLog("\t####\tsetNumberOfColumns failed!");
  return error;
}

ErrorCode linkTextFrames(const UIDRef& first, const UIDRef& second, unsigned char) {
  if (!isTextFrame(first) || !isTextFrame(second) || first.GetDataBase() != second.GetDataBase()) return 1;
  return first.GetDataBase()->document()->linkTextFrames(first.GetUID(), second.GetUID());
}

void linkTextFrames(const UIDList& frames) {
  for (std::size_t i = 0; i + 1 < frames.size(); ++i)
    linkTextFrames(frames.GetRef(i), frames.GetRef(i + 1), 0);
}

void selectText(const UIDRef& story, long start, long length) {
  ActiveSelection* selection = activeSelection();
  if (!selection) return;
  long end = start + length;
  if (start < 0) start = 0;
  if (end < start) end = start;
  selection->selectText(story.GetUID(), static_cast<int>(start), static_cast<int>(end));
}

// --- links

UIDRef linkForFrame(const UIDRef& frame) {
  const UIDRef content = getChildRef(frame);
  if (!content.isValid()) return {};
  return firstLinkOf(content.GetDataBase(), content.GetUID());
}

UIDRef frameForLink(const UIDRef& link, unsigned char parentFrame) {
  auto* l = instantiate<ILink>(link);
  if (!l) return {};
  UIDRef object(link.GetDataBase(), l->GetObject());
  if (parentFrame && object.isValid()) return getParentRef(object);
  return object;
}

std::optional<std::string> pathForLink(const UIDRef& link, ILink::ResourceModificationState* state,
                                       unsigned char hfs) {
  auto* l = instantiate<ILink>(link);
  LinkResource* resource = l ? l->resource() : nullptr;
  if (!resource) return std::nullopt;
  if (state) *state = l->GetResourceModificationState();
  if (resource->path().empty()) return std::nullopt;
  if (hfs == 1) return posixToHfs(resource->path());
  return resource->path();
}

std::optional<std::string> pathForFrame(const UIDRef& frame, unsigned char hfs) {
  const UIDRef link = firstLinkOf(frame.GetDataBase(), frame.GetUID());
  if (!link.isValid()) return std::nullopt;
  return pathForLink(link, nullptr, hfs);
}

bool isMissingLink(const UIDRef& link) {
  auto* l = instantiate<ILink>(link);
  if (!l || !l->resource()) return false;
  return l->GetResourceModificationState() == ILink::kResourceMissing;
}

bool isModifiedLink(const UIDRef& link) {
  auto* l = instantiate<ILink>(link);
  if (!l || !l->resource()) return false;
  return l->GetResourceModificationState() == ILink::kResourceModified;
}

ErrorCode updateLink(const UIDRef& link) {
  auto* l = instantiate<ILink>(link);
  LinkResource* resource = l ? l->resource() : nullptr;
  if (!resource) return kObjectNotFoundError;
  return resource->update();
}

ErrorCode deleteLinks(const UIDList& links) {
  IDocument* doc = documentOf(links.GetDataBase());
  if (!doc) return kInvalidParameterError;
  ErrorCode result = kSuccess;
  for (UID link : links)
    if (const ErrorCode error = doc->deleteLink(link); error != kSuccess && result == kSuccess)
      result = error;
  return result;
}

void embedLinkForFrame(UIDRef& frame) {
  const UIDRef content = getChildRef(frame);
  if (!content.isValid()) return;
  frame = content;
  const UIDRef link = firstLinkOf(content.GetDataBase(), content.GetUID());
  if (auto* l = instantiate<ILink>(link))
    if (LinkResource* resource = l->resource()) resource->embed();
}

ErrorCode updateLinkWithFile(const UIDRef& link, const IDFile& file) {
  auto* l = instantiate<ILink>(link);
  LinkResource* resource = l ? l->resource() : nullptr;
  if (!resource) return 1;
  const IDFile target = URIUtils::URIToIDFile(URIUtils::IDFileToURI(file));
  if (target.empty()) return kInvalidParameterError;
  return link.GetDataBase()->document()->relinkLink(link.GetUID(), target.path());
}

ErrorCode updateLinkWithFile(const UIDRef& link, const std::string& path) {
  return updateLinkWithFile(link, IDFile(path));
}

ErrorCode updateFrameWithFile(const UIDRef& frame, const std::string& path) {
  return updateLinkWithFile(linkForFrame(frame), path);
}

ErrorCode createLinkObject(const UIDRef& item, UIDRef* object) {
  if (!instantiate<PageItem>(item)) return kObjectNotFoundError;
  // The host's page items are their own link objects.
  if (object) *object = item;
  return kSuccess;
}

ErrorCode createLinkResource(IDataBase* database, const std::string& path, UIDRef* resource) {
  IDocument* doc = documentOf(database);
  if (!doc) return kInvalidParameterError;
  UID uid = kInvalidUID;
  const ErrorCode error = doc->createLinkResource(path, &uid);
  if (error == kSuccess && resource) *resource = UIDRef(database, uid);
  return error;
}

ErrorCode createLink(const UIDRef& object, const UIDRef& resource, UIDRef* link) {
  IDocument* doc = documentOf(object.GetDataBase());
  if (!doc || resource.GetDataBase() != object.GetDataBase()) return kInvalidParameterError;
  UID uid = kInvalidUID;
  const ErrorCode error = doc->createLink(object.GetUID(), resource.GetUID(), &uid);
  if (error == kSuccess && link) *link = UIDRef(object.GetDataBase(), uid);
  return error;
}

ErrorCode setImageToEmbeddedProfile(const UIDRef& item, std::string* message) {
  IDocument* doc = documentOf(item.GetDataBase());
  if (!doc) return kInvalidParameterError;
  return doc->useEmbeddedProfile(item.GetUID(), message);
}

// --- colours

std::optional<std::string> fillColorNameForFrame(const UIDRef& frame) {
  auto* item = instantiate<PageItem>(frame);
  IDocument* doc = documentOf(frame.GetDataBase());
  const Swatch* s = item && doc ? doc->swatch(item->graphicAttributes().fillSwatch) : nullptr;
  if (!s) return std::nullopt;
  return s->name();
}

std::optional<std::string> strokeColorNameForFrame(const UIDRef& frame) {
  auto* item = instantiate<PageItem>(frame);
  IDocument* doc = documentOf(frame.GetDataBase());
  const Swatch* s = item && doc ? doc->swatch(item->graphicAttributes().strokeSwatch) : nullptr;
  if (!s) return std::nullopt;
  return s->name();
}

UID getColorUID(IDataBase* database, StringArg name) {
  IDocument* doc = documentOf(database);
  if (!doc || !name) return 0;
  const Swatch* s = doc->findSwatch(std::string(*name));
  return s ? s->GetUID() : 0;
}

ErrorCode setFillColor(const UIDList& frames, UID color) {
  IDocument* doc = documentOf(frames.GetDataBase());
  if (!doc || !doc->swatch(color)) return kInvalidParameterError;
  return changeAttributes(frames, [&](GraphicAttributes& a) { a.fillSwatch = color; });
}

void setFillColor(const UIDRef& frame, UID color) {
  setFillColor(UIDList(frame), color);
}

ErrorCode setFillColor(const UIDList& frames, StringArg name) {
  const UID color = getColorUID(frames.GetDataBase(), name);
  if (color == kInvalidUID) return kObjectNotFoundError;
  return setFillColor(frames, color);
}

ErrorCode setStrokeColor(const UIDList& frames, StringArg name) {
  const UID color = getColorUID(frames.GetDataBase(), name);
  if (color == kInvalidUID) return kObjectNotFoundError;
  return changeAttributes(frames, [&](GraphicAttributes& a) { a.strokeSwatch = color; });
}

void setFillColor(const UIDRef& frame, StringArg name) {
  setFillColor(UIDList(frame), name);
}
void setStrokeColor(const UIDRef& frame, StringArg name) {
  setStrokeColor(UIDList(frame), name);
}

float getStrokeWidth(const UIDRef& frame) {
  auto* item = instantiate<PageItem>(frame);
  IDocument* doc = documentOf(frame.GetDataBase());
  if (!item || !doc) return 0;
  const GraphicAttributes& a = item->graphicAttributes();
  if (a.strokeSwatch == kInvalidUID || a.strokeSwatch == doc->noneSwatch()) return 0;
  return static_cast<float>(a.strokeWeight);
}

ErrorCode setStrokeWidth(const UIDRef& frame, float width) {
  if (width < 0) return kInvalidParameterError;
  return changeAttributes(UIDList(frame), [&](GraphicAttributes& a) { a.strokeWeight = width; });
}

ErrorCode setStrokeAlignment(const UIDRef& frame, StrokeAlignment alignment) {
  return changeAttributes(UIDList(frame), [&](GraphicAttributes& a) { a.strokeAlignment = alignment; });
}

float cornerRadiusForFrame(const UIDRef& frame) {
  auto* item = instantiate<PageItem>(frame);
  return item ? static_cast<float>(item->graphicAttributes().cornerRadius) : 0;
}

int applyBGColor(const UIDRef&, StringArg) {
  return 1;
}

// --- printing

bool frameIsPrinting(const UIDRef& frame) {
  auto* item = instantiate<PageItem>(frame);
  return !item || !item->graphicAttributes().nonPrinting;
}

ErrorCode setFramePrinting(const UIDList& frames, unsigned char printing) {
  return changeAttributes(frames, [&](GraphicAttributes& a) { a.nonPrinting = !printing; });
}

ErrorCode setFramePrinting(const UIDRef& frame, unsigned char printing) {
  return setFramePrinting(UIDList(frame), printing);
}

// --- labels

std::optional<std::string> stringForKey(const UIDRef& item, const char* key,
                                        const std::optional<std::string>& defaultValue) {
  PageItem* store = labelStoreOf(item);
  if (!store || !key) return defaultValue;
  auto value = store->labels().get(key);
  if (!value || value->empty()) return defaultValue;
  return value;
}

std::optional<std::string> stringForKey(const UIDRef& item, const std::string& key,
                                        const std::optional<std::string>& defaultValue) {
  return stringForKey(item, key.c_str(), defaultValue);
}

std::optional<std::string> stringForKey(const HostObject* item, const char* key,
                                        const std::optional<std::string>& defaultValue) {
  if (!item) return defaultValue;
  return stringForKey(UIDRef(item->GetDataBase(), item->GetUID()), key, defaultValue);
}

int intForKey(const UIDRef& item, const char* key, int defaultValue) {
  const auto value = stringForKey(item, key, std::nullopt);
  return value ? Value(*value).intValue() : defaultValue;
}

float floatForKey(const UIDRef& item, const char* key, float defaultValue) {
  const auto value = stringForKey(item, key, std::nullopt);
  return value ? Value(*value).floatValue() : defaultValue;
}

void setStringForKey(const UIDRef& item, const char* key, StringArg value) {
  PageItem* store = labelStoreOf(item);
  if (!store || !key || !value) return;
  store->setLabel(key, std::string(*value));
}

void setStringForKey(const UIDRef& item, const std::string& key, StringArg value) {
  setStringForKey(item, key.c_str(), value);
}

void setStringForKey(const HostObject* item, const char* key, StringArg value) {
  if (!item) return;
  setStringForKey(UIDRef(item->GetDataBase(), item->GetUID()), key, value);
}

std::string numberText(int value) {
  return std::to_string(value);
}

std::string numberText(float value) {
  // Seven significant digits, as a single-precision number prints itself.
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.7g", static_cast<double>(value));
  return buffer;
}

void setIntForKey(const UIDRef& item, const char* key, int value) {
  setStringForKey(item, key, numberText(value));
}

void setFloatForKey(const UIDRef& item, const char* key, float value) {
  setStringForKey(item, key, numberText(value));
}

// --- object styles, pages, spreads

ErrorCode applyObjectStyle(const UIDRef& item, StringArg name) {
  IDocument* doc = documentOf(item.GetDataBase());
  auto* pageItem = instantiate<PageItem>(item);
  if (!name || !doc || !pageItem) return 1;
  const UID styleUID = doc->findStyle(StyleKind::Object, std::string(*name));
  auto* style = item.GetDataBase()->instantiate<Style>(styleUID);
  if (!style) return 1;
  // The style's fill, stroke and weight become the item's.
  GraphicAttributes a = pageItem->graphicAttributes();
  for (const auto& [key, value] : style->properties()) {
    if (key == "FillColor") {
      if (const Swatch* s = doc->findSwatch(value)) a.fillSwatch = s->GetUID();
    } else if (key == "StrokeColor") {
      if (const Swatch* s = doc->findSwatch(value)) a.strokeSwatch = s->GetUID();
    } else if (key == "StrokeWeight") {
      const float weight = Value(value).floatValue();
      if (weight >= 0) a.strokeWeight = weight;
    }
  }
  if (const ErrorCode error = pageItem->setGraphicAttributes(a); error != kSuccess) return error;
  return pageItem->setObjectStyle(style->name());
}

ErrorCode applyObjectStyle(IDataBase* database, UID item, StringArg name) {
  return applyObjectStyle(UIDRef(database, item), name);
}

UID pageUIDForFrame(const UIDRef& item) {
  IDocument* doc = documentOf(item.GetDataBase());
  return doc ? doc->pageOf(item.GetUID()) : 0;
}

UID pageUIDForObj(const HostObject* object) {
  if (!object) return 0;
  return pageUIDForFrame(UIDRef(object->GetDataBase(), object->GetUID()));
}

UID spreadUIDForFrame(const UIDRef& item) {
  IDocument* doc = documentOf(item.GetDataBase());
  return doc ? doc->spreadOf(item.GetUID()) : 0;
}

}  // namespace korvex
