#include "docmodel/frames.h"

#include "foundation/log.h"
#include "foundation/workspace.h"
#include "host/interaction.h"
#include "host/place.h"

namespace korvex {

namespace {

IDocument* documentOf(const UIDRef& ref) {
  IDataBase* db = ref.GetDataBase();
  return db ? db->document() : nullptr;
}

template <typename T>
T* instantiate(const UIDRef& ref) {
  IDataBase* db = ref.GetDataBase();
  return db ? db->instantiate<T>(ref.GetUID()) : nullptr;
}

PMRect toMillimetres(PMRect r) {
  return {r.left * 25.4 / 72, r.top * 25.4 / 72, r.right * 25.4 / 72, r.bottom * 25.4 / 72};
}

void toPoints(PMRect& r) {
  r = {r.left * 72 / 25.4, r.top * 72 / 25.4, r.right * 72 / 25.4, r.bottom * 72 / 25.4};
}

}  // namespace

// --- classification

bool isGroupFrame(const UIDRef& frame) {
  return instantiate<Group>(frame) != nullptr;
}

bool isGraphicsFrame(const UIDRef& frame) {
  auto* s = instantiate<SplineItem>(frame);
  return s && s->textContentUID() == kInvalidUID;
}

bool isTextFrame(const UIDRef& frame) {
  auto* s = instantiate<SplineItem>(frame);
  return s && s->textContentUID() != kInvalidUID;
}

bool isInlineFrame(const UIDRef& frame) {
  auto* node = instantiate<IHierarchy>(frame);
  if (!node) return false;
  if (node->GetClass() == ClassID::kInlineItem) return true;
  const IHierarchy* parent = node->parent();
  return parent && parent->GetClass() == ClassID::kInlineItem;
}

bool isLineFrame(const UIDRef& frame) {
  auto* item = instantiate<PageItem>(frame);
  const Path* path = item ? item->path() : nullptr;
  return path && path->isLine();
}

bool isValidFrame(const UIDRef& frame) {
  return !(frame == UIDRef::gNull());
}

// --- hierarchy

UIDRef getParentRef(const UIDRef& frame) {
  auto* node = instantiate<IHierarchy>(frame);
  if (!node || node->GetParentUID() == kInvalidUID) return {};
  return {frame.GetDataBase(), node->GetParentUID()};
}

UIDRef getChildRef(const UIDRef& frame) {
  auto* node = instantiate<IHierarchy>(frame);
  if (!node || node->GetChildCount() < 1) return {};
  return {frame.GetDataBase(), node->GetChildUID(0)};
}

UID spreadLayerUIDForFrame(const UIDRef& frame) {
  for (IHierarchy* node = instantiate<IHierarchy>(frame); node; node = node->parent())
    if (node->GetClass() == ClassID::kSpreadLayer) return node->GetUID();
  return kInvalidUID;
}

UID docLayerUIDForFrame(const UIDRef& frame) {
  const UID spreadLayer = spreadLayerUIDForFrame(frame);
  if (spreadLayer == kInvalidUID) return kInvalidUID;
  return frame.GetDataBase()->instantiate<ISpreadLayer>(spreadLayer)->documentLayerUID();
}

std::optional<std::string> layerNameForFrame(const UIDRef& frame) {
  const UID layer = docLayerUIDForFrame(frame);
  if (layer == kInvalidUID) return std::nullopt;
  auto* documentLayer = frame.GetDataBase()->instantiate<IDocumentLayer>(layer);
  if (!documentLayer) return std::nullopt;
  return documentLayer->GetName();
}

bool EnumFrames(const UIDList* frames, FrameCallback callback, void* data) {
  if (!frames || !callback) return true;
  for (std::size_t i = 0; i < frames->size(); ++i) {
    UIDRef ref = frames->GetRef(i);
    if (!callback(ref, data)) return false;
  }
  return true;
}

bool EnumFrames(const UIDList& frames, FrameCallback callback, void* data) {
  return EnumFrames(&frames, callback, data);
}

// --- geometry

PMRect pmRectWithMyRect(const MyRect& r) {
  return {r.x, r.y, r.x + r.width, r.y + r.height};
}

MyRect myRectWithPMRect(const PMRect& r) {
  return {static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right - r.left),
          static_cast<float>(r.bottom - r.top)};
}

PMRect boundsForFrame(const UIDRef& frame, unsigned char inMillimetres) {
  IDocument* doc = documentOf(frame);
  if (!doc) return {};
  const auto bounds = doc->pathBounds(frame.GetUID());
  if (!bounds) return {};
  return inMillimetres == 1 ? toMillimetres(*bounds) : *bounds;
}

PMRect strokeBoundsForFrame(const UIDRef& frame, unsigned char inMillimetres) {
  IDocument* doc = documentOf(frame);
  if (!doc) return {};
  const auto bounds = doc->strokeBounds(frame.GetUID());
  if (!bounds) return {};
  return inMillimetres == 1 ? toMillimetres(*bounds) : *bounds;
}

MyRect myRectForFrame(const UIDRef& frame) {
  return myRectWithPMRect(boundsForFrame(frame, 0));
}

PMRect boundsForFrames(const UIDList* frames) {
  PMRect result;
  if (!frames) return result;
  for (std::size_t i = 0; i < frames->size(); ++i)
    result = result.united(boundsForFrame(frames->GetRef(i), 0));
  return result;
}

PMRect boundsForFrames(const UIDList& frames) {
  return boundsForFrames(&frames);
}

MyRect myRectForFrames(const UIDList& frames) {
  return myRectWithPMRect(boundsForFrames(frames));
}

ErrorCode setBoundsForFrame(const UIDRef& frame, PMRect& bounds, unsigned char inMillimetres) {
  if (inMillimetres == 1) toPoints(bounds);
  IDocument* doc = documentOf(frame);
  if (!doc) return kInvalidParameterError;
  return doc->setPathBounds(frame.GetUID(), bounds);
}

ErrorCode setStrokeBoundsForFrame(const UIDRef& frame, PMRect& bounds) {
  IDocument* doc = documentOf(frame);
  if (!doc) return kInvalidParameterError;
  return doc->setStrokeBounds(frame.GetUID(), bounds);
}

ErrorCode setMyRectForFrame(const UIDRef& frame, const MyRect& rect) {
  PMRect bounds = pmRectWithMyRect(rect);
  return setBoundsForFrame(frame, bounds, 0);
}

ErrorCode offsetFrame(const UIDRef& frame, PMReal dx, PMReal dy) {
  PMRect bounds = boundsForFrame(frame, 0);
  bounds.left += dx;
  bounds.right += dx;
  bounds.top += dy;
  bounds.bottom += dy;
  return setBoundsForFrame(frame, bounds, 0);
}

void moveFrameBy(const UIDRef& frame, PMReal dx, PMReal dy) {
  IDocument* doc = documentOf(frame);
  if (!doc || !frame.isValid()) return;
  doc->transformBy(frame.GetUID(), PMMatrix::translation(dx, dy));
}

void moveFrameBy(const UIDRef& frame, float dx, float dy) {
  moveFrameBy(frame, static_cast<PMReal>(dx), static_cast<PMReal>(dy));
}

ErrorCode moveFramesBy(const UIDList& frames, PMReal dx, PMReal dy) {
  IDataBase* db = frames.GetDataBase();
  if (!db || !db->document()) return kInvalidParameterError;
  return db->document()->moveBy(frames, dx, dy);
}

void moveFrameTo(const UIDRef& frame, PMReal x, PMReal y) {
  if (!frame.isValid()) return;
  const PMRect bounds = boundsForFrame(frame, 0);
  MyLog("moveFrame: [%.1f %.1f] --> [%.1f %.1f]", bounds.left, bounds.top, x, y);
  moveFramesBy(UIDList(frame), x - bounds.left, y - bounds.top);
}

void moveFrameTo(const UIDRef& frame, const PMPoint& point) {
  moveFrameTo(frame, point.x, point.y);
}

MyRect scaleRect(const MyRect& target, const MyRect& source, float margin) {
  const float aw = target.width - 2 * margin, ah = target.height - 2 * margin;
  const float sw = source.width, sh = source.height;
  const float sx = aw / sw, sy = ah / sh;
  float width, height, xOffset, yOffset;
  if (sy > sx) {
    width = aw;
    height = sh * sx;
    xOffset = 0;
    yOffset = (ah - sh * sx) * 0.5f;
  } else {
    height = ah;
    width = sw * sy;
    xOffset = (aw - sw * sy) * 0.5f;
    yOffset = 0;
  }
  return {target.x + margin + xOffset, target.y + margin + yOffset, width, height};
}

PMRect scaleRect(const PMRect& target, const PMRect& source, float margin) {
  return pmRectWithMyRect(scaleRect(myRectWithPMRect(target), myRectWithPMRect(source), margin));
}

ErrorCode fitContentProp(const UIDRef& frame) {
  return FrameContentFacade::FitContentProp(UIDList(frame));
}
ErrorCode centerContent(const UIDRef& frame) {
  return FrameContentFacade::CenterContent(UIDList(frame));
}
ErrorCode fillContentProp(const UIDRef& frame) {
  return FrameContentFacade::FillFrameProp(UIDList(frame));
}
ErrorCode fitFrameToContent(const UIDRef& frame) {
  return FrameContentFacade::FitFrameToContent(UIDList(frame));
}
ErrorCode fitContentToFrame(const UIDRef& frame) {
  return FrameContentFacade::FitContentToFrame(UIDList(frame));
}

// --- grouping

UIDRef groupFrames(const UIDList& frames) {
  if (frames.size() < 2) return {};
  const UIDList items = frames;
  IDataBase* db = items.GetDataBase();
  UID group = kInvalidUID;
  const ErrorCode error =
      db && db->document() ? db->document()->groupItems(items, &group) : ErrorCode{kInvalidParameterError};
  if (error != kSuccess || group == kInvalidUID) {
    MyLog("\t####\tgrouping failed!");
    return {};
  }
  return {db, group};
}

UIDRef groupFrames(const UIDRef& first, const UIDRef& second) {
  UIDList list(first);
  list.Append(second.GetUID());
  return groupFrames(list);
}

void ungroupFrames(const UIDList& groups) {
  if (groups.empty()) return;
  IDataBase* db = groups.GetDataBase();
  ErrorCode error = db && db->document() ? kSuccess : kInvalidParameterError;
  // Every entry must be a group before anything changes.
  for (UID uid : groups)
    if (error == kSuccess && !db->instantiate<Group>(uid)) error = kInvalidParameterError;
  for (UID uid : groups)
    if (error == kSuccess) error = db->document()->ungroup(uid);
  if (error != kSuccess) MyLog("\t####\tungrouping failed!");
}

void ungroupFrame(const UIDRef& group) {
  if (!group.isValid()) return;
  ungroupFrames(UIDList(group));
}

// --- selection

void selectFrames(const UIDList& frames, unsigned char scrollIntoView) {
  ActiveSelection* selection = activeSelection();
  if (!selection) return;
  selection->deselectAll();
  selection->select(frames, scrollIntoView ? SelectionScroll::ScrollIntoView : SelectionScroll::None);
}

void selectFrame(const UIDRef& frame, unsigned char scrollIntoView) {
  if (!frame.isValid()) return;
  selectFrames(UIDList(frame), scrollIntoView);
}

void deselectAll() {
  if (ActiveSelection* selection = activeSelection()) selection->deselectAll();
}

// --- deleting, cutting, pasting

ErrorCode deleteFrames(const UIDList& frames) {
  IDataBase* db = frames.GetDataBase();
  if (!db || !db->document()) return kSuccess;  // no command to process
  return db->document()->deleteItems(frames);
}

ErrorCode deleteFrame(const UIDRef& frame) {
  return deleteFrames(UIDList(frame));
}

int cutFrame(const UIDRef& frame) {
  selectFrame(frame, 0);
  if (!activeSelection()) return 0;
  Clipboard* clipboard = activeClipboard();
  if (!clipboard || ScrapSuite::CanCut() != 1) return 0;
  return ScrapSuite::Cut(*clipboard);
}

int pasteFrame() {
  Clipboard* clipboard = activeClipboard();
  const auto context = activeContext();
  if (!activeSelection() || !clipboard || !context) return 0;
  if (ScrapSuite::CanPaste(*clipboard) != 1) return 0;
  return ScrapSuite::Paste(*clipboard, *context);
}

// --- creation

UIDRef createRectangle(const UIDRef& parent, const PMRect& bounds, GraphicAttrType attributes) {
  IDocument* doc = documentOf(parent);
  if (!doc || !instantiate<ISpreadLayer>(parent)) return {};
  SplineItem* item = doc->createRectangle(parent.GetUID(), bounds);
  if (!item) return {};
  GraphicAttributes a = item->graphicAttributes();
  switch (attributes) {
    case GraphicAttrType::kDefaultGraphicAttributes:
      a.fillSwatch = doc->noneSwatch();
      a.strokeSwatch = doc->blackSwatch();
      a.strokeWeight = 1;
      break;
    case GraphicAttrType::kDefaultTextAttributes:
      a.fillSwatch = doc->noneSwatch();
      a.strokeSwatch = doc->noneSwatch();
      a.strokeWeight = 0;
      break;
    case GraphicAttrType::kNoGraphicAttributes: break;
  }
  item->setGraphicAttributes(a);
  return {parent.GetDataBase(), item->GetUID()};
}

// --- diagnostics

void dumpUIDs(const UIDList* frames) {
  if (!frames || frames->empty()) return;
  for (std::size_t i = 0; i < frames->size(); ++i) {
    const UIDRef ref = frames->GetRef(i);
    MyLog("\tuid: %ld", static_cast<long>(ref.GetUID()));
    if (!isGroupFrame(ref)) continue;
    for (UID child : ref.GetDataBase()->instantiate<Group>(ref.GetUID())->children())
      MyLog("\t\tuid: %ld", static_cast<long>(child));
  }
}

void dumpUID(const UIDRef& frame) {
  const UIDList list(frame);
  dumpUIDs(&list);
}

void dumpUID(UID uid) {
  MyLog("uid: %d", uid);
}

ErrorCode processCmd(ICommand* command, ClassID) {
  if (!command) return kInvalidParameterError;
  return command->Do();
}

}  // namespace korvex
