#include "host/duplicate_items.h"

#include <algorithm>
#include <map>
#include <vector>

namespace korvex {

namespace {

class Duplicator {
 public:
  explicit Duplicator(IDocument& document) : doc_(document), db_(*document.GetDocDataBase()) {}

  // The copy's UID, or kInvalidUID when the item can't be copied there.
  UID copy(UID item, UID parent) {
    HostObject* object = db_.object(item);
    if (!object) return kInvalidUID;
    switch (object->GetClass()) {
      case ClassID::kGroupItem: return copyGroup(static_cast<Group&>(*object), parent);
      case ClassID::kSplineItem: return copySpline(static_cast<SplineItem&>(*object), parent);
      case ClassID::kGraphicLine: return copyLine(static_cast<GraphicLine&>(*object), parent);
      default: return kInvalidUID;
    }
  }

 private:
  static bool copyCommon(const PageItem& from, PageItem& to) {
    if (to.setTransform(from.transform()) != kSuccess) return false;
    if (to.setGraphicAttributes(from.graphicAttributes()) != kSuccess) return false;
    if (to.setTextWrap(from.textWrap()) != kSuccess) return false;
    for (const auto& [key, value] : from.labels().entries())
      if (to.setLabel(key, value) != kSuccess) return false;
    return from.objectStyle().empty() || to.setObjectStyle(from.objectStyle()) == kSuccess;
  }

  UID copyGroup(const Group& from, UID parent) {
    Group* to = doc_.createGroup(parent);
    if (!to) return kInvalidUID;
    if (!copyCommon(from, *to)) return kInvalidUID;
    for (UID child : from.children())
      if (copy(child, to->GetUID()) == kInvalidUID) return kInvalidUID;
    return to->GetUID();
  }

  UID copyLine(const GraphicLine& from, UID parent) {
    GraphicLine* to = doc_.createGraphicLine(parent, {0, 0}, {1, 0});
    if (!to || to->setPath(*from.path()) != kSuccess || !copyCommon(from, *to)) return kInvalidUID;
    return to->GetUID();
  }

  UID copySpline(const SplineItem& from, UID parent) {
    SplineItem* to = doc_.createSplineItem(parent, from.shape(), *from.path());
    if (!to || !copyCommon(from, *to)) return kInvalidUID;
    if (UID content = from.placedContentUID(); content != kInvalidUID) {
      if (!copyPlacedContent(*db_.instantiate<PlacedContent>(content), to->GetUID())) return kInvalidUID;
    } else if (UID text = from.textContentUID(); text != kInvalidUID) {
      if (!copyTextContent(*db_.instantiate<MultiColumnItem>(text), to->GetUID())) return kInvalidUID;
    }
    return to->GetUID();
  }

  bool copyPlacedContent(const PlacedContent& from, UID frame) {
    PlacedContent* to = doc_.createPlacedContent(frame, from.GetClass(), from.path()->bounds());
    if (!to || to->setPath(*from.path()) != kSuccess || !copyCommon(from, *to)) return false;
    if (from.imageAttributes() && to->setImageAttributes(from.imageAttributes()) != kSuccess) return false;
    auto* link = db_.instantiate<ILink>(from.linkUID());
    LinkResource* resource = link ? link->resource() : nullptr;
    if (!resource) return true;
    ILink* copied = doc_.createLink(to->GetUID(), resource->path());
    if (!copied) return false;
    // The copy records what the original recorded: a changed file stays modified.
    copied->resource()->restore(resource->path(), resource->stamp(), resource->isEmbedded(),
                                resource->embeddedData());
    return true;
  }

  // Frames of one story copied together share one copied story, threaded in
  // their original order; a frame copied alone gets the whole story.
  bool copyTextContent(const MultiColumnItem& from, UID frame) {
    ITextModel* source = doc_.story(from.storyUID());
    if (!source) return false;
    const std::vector<UID>& thread = source->threadedFrames();
    const int sourceIndex =
        static_cast<int>(std::find(thread.begin(), thread.end(), from.GetUID()) - thread.begin());
    auto copied = storyCopies_.find(source->GetUID());
    if (copied == storyCopies_.end()) {
      ITextModel* story = copyStory(*source);
      if (!story) return false;
      copied = storyCopies_.emplace(source->GetUID(), StoryCopy{story->GetUID(), {}}).first;
    }
    std::vector<int>& placed = copied->second.threadIndexes;
    const int index =
        static_cast<int>(std::count_if(placed.begin(), placed.end(), [&](int i) { return i < sourceIndex; }));
    MultiColumnItem* to = doc_.createTextFrameContent(frame, copied->second.story, index);
    if (!to || to->setSettings(from.settings()) != kSuccess) return false;
    placed.push_back(sourceIndex);
    return to->setTransform(from.transform()) == kSuccess;
  }

  ITextModel* copyStory(const ITextModel& source) {
    ITextModel* story = doc_.createStory();
    if (!story) return nullptr;
    std::u32string chars = source.characters();
    if (!chars.empty() && chars.back() == kTextChar_EndOfStory) chars.pop_back();
    if (story->setCharacters(chars) != kSuccess) return nullptr;
    for (const auto& [attribute, runs] : source.attributeRuns()) {
      int position = 0;
      for (const RunList::Run& run : runs.runs()) {
        if (run.length > 0 &&
            story->ApplyAttributes(position, run.length, {{attribute, run.value}}) != kSuccess)
          return nullptr;
        position += run.length;
      }
    }
    for (const auto& [position, inlineUID] : source.ownedItems()) {
      auto* anchor = db_.instantiate<InlineItem>(inlineUID);
      InlineItem* copiedAnchor = doc_.createInlineItem(story->GetUID(), position);
      if (!anchor || !copiedAnchor) return nullptr;
      for (UID child : anchor->children())
        if (copy(child, copiedAnchor->GetUID()) == kInvalidUID) return nullptr;
    }
    return story;
  }

  struct StoryCopy {
    UID story;
    std::vector<int> threadIndexes;  // source thread positions of the frames copied so far
  };
  std::map<UID, StoryCopy> storyCopies_;
  IDocument& doc_;
  IDataBase& db_;
};

}  // namespace

ErrorCode duplicateItems(IDocument& document, const UIDList& items, UID destination, UIDList* copies) {
  IDataBase* db = document.GetDocDataBase();
  if (items.GetDataBase() && items.GetDataBase() != db) return kInvalidParameterError;
  auto* parent = db->instantiate<IHierarchy>(destination);
  if (!parent) return kObjectNotFoundError;
  for (UID item : items)
    if (!db->instantiate<PageItem>(item)) return kObjectNotFoundError;
  const std::vector<UID> before = parent->children();
  Duplicator duplicator(document);
  UIDList made(db);
  for (UID item : items) {
    const UID copy = duplicator.copy(item, destination);
    if (copy == kInvalidUID) {
      // Everything new in the destination goes, a half-made copy included.
      UIDList added(db);
      for (UID child : db->instantiate<IHierarchy>(destination)->children())
        if (std::find(before.begin(), before.end(), child) == before.end()) added.Append(child);
      document.deleteItems(added);
      return kFailure;
    }
    made.Append(copy);
  }
  if (copies) *copies = made;
  return kSuccess;
}

namespace {

std::string freeCopyName(const IDocument& document, const std::string& name) {
  std::string candidate = name + " copy";
  for (int n = 2; document.findLayer(candidate); ++n) candidate = name + " copy " + std::to_string(n);
  return candidate;
}

ErrorCode duplicateLayer(IDocument& document, UID source, UID* copy) {
  IDataBase* db = document.GetDocDataBase();
  const int index = document.layerIndex(source);
  if (index < 0) return kObjectNotFoundError;
  if (index == 0) return kInvalidParameterError;  // the pages layer
  const IDocumentLayer* from = document.layerAt(index);
  IDocumentLayer* layer = document.createLayer(freeCopyName(document, from->GetName()), index + 1);
  if (!layer) return kFailure;
  (void)layer->SetVisible(from->IsVisible());
  (void)layer->SetPrintable(from->IsPrintable());
  (void)layer->SetLocked(from->IsLocked());
  (void)layer->SetColor(from->GetColor());
  std::vector<UID> spreads = document.spreadList();
  spreads.insert(spreads.end(), document.masterSpreadList().begin(), document.masterSpreadList().end());
  // One duplicator for the whole layer: a story threaded across spreads
  // gets one copy, threaded like the original.
  Duplicator duplicator(document);
  for (UID s : spreads) {
    const auto* spread = db->instantiate<ISpread>(s);
    const ISpreadLayer* sourceLayer = spread ? spread->QueryLayer(source) : nullptr;
    const ISpreadLayer* targetLayer = spread ? spread->QueryLayer(layer->GetUID()) : nullptr;
    if (!sourceLayer || !targetLayer) continue;
    const std::vector<UID> items = sourceLayer->children();
    for (UID item : items) {
      if (duplicator.copy(item, targetLayer->GetUID()) == kInvalidUID) {
        // The layer goes with everything copied onto it.
        (void)document.deleteLayer(layer->GetUID());
        return kFailure;
      }
    }
  }
  *copy = layer->GetUID();
  return kSuccess;
}

}  // namespace

ErrorCode duplicateLayers(IDocument& document, const UIDList& layers, UIDList* copies) {
  IDataBase* db = document.GetDocDataBase();
  if (layers.GetDataBase() && layers.GetDataBase() != db) return kInvalidParameterError;
  UIDList made(db);
  for (UID source : layers) {
    UID copy = kInvalidUID;
    if (const ErrorCode error = duplicateLayer(document, source, &copy); error != kSuccess) {
      for (UID done : made) (void)document.deleteLayer(done);
      return error;
    }
    made.Append(copy);
  }
  if (copies) *copies = made;
  return kSuccess;
}

}  // namespace korvex
