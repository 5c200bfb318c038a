#include "workflows/pn_trennung.h"

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "config/action_files.h"
#include "docmodel/documents.h"
#include "docmodel/frame_content.h"
#include "docmodel/frames.h"
#include "docmodel/layers.h"
#include "docmodel/styles_colors_pages.h"
#include "docmodel/traversal.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/file_labels.h"
#include "foundation/log.h"
#include "foundation/strings.h"
#include "foundation/unicode.h"
#include "separation/frame_list.h"
#include "separation/kx_frame.h"
#include "separation/layer_separation.h"
#include "workflows/text_replacement.h"

namespace korvex {

namespace {

constexpr const char* kActionName = "PNTrennung";
constexpr const char* kStatusLayer = "STATUS";
constexpr const char* kGreyLayer = "Grauebene";
constexpr const char* kTextLayer = "Text";
constexpr const char* kImageLayer = "Standard";
// The two new layers go to this entry of the layer list (0 is the pages
// layer): in front of the backmost content layer.
constexpr int kLayerPlace = 2;
constexpr int kDoneLabel = 2;

// Prefixes and names are both compared upper-cased, so "laser" in a file
// catches a layer "Laser 2".
std::vector<std::string> ignorePrefixes(const DictPtr& parameters) {
  const ArrayPtr list = arrayForKey(parameters, "LayersToIgnore", false);
  if (!list) return {"CHECK", "DIGI-TABLEAU", "LASER"};
  std::vector<std::string> prefixes;
  for (std::size_t i = 0; i < list->size(); ++i)
    if (const std::string* prefix = list->at(i).string()) prefixes.push_back(toUpper(*prefix));
  return prefixes;
}

bool ignored(const std::vector<std::string>& prefixes, const std::string& layerName) {
  return stringStartsWith(toUpper(layerName), prefixes);
}

UIDList uidList(IDataBase* database, const std::vector<UID>& uids) {
  UIDList list(database);
  for (UID uid : uids) list.Append(uid);
  return list;
}

void removeStatusLayers(IDocument* document) {
  std::vector<UID> status;
  EnumDocLayers(
      document,
      [](IDocumentLayer* layer, const std::string& name, void* data) {
        if (toUpper(name) == kStatusLayer) static_cast<std::vector<UID>*>(data)->push_back(layer->GetUID());
        return true;
      },
      &status);
  removeLayers(uidList(document->GetDocDataBase(), status));
}

struct GroupWalk {
  IDataBase* database;
  const std::vector<std::string>* ignore;
  std::vector<UID> groups;
};

void collectGroups(GroupWalk& walk, UID group) {
  walk.groups.push_back(group);
  EnumHierarchy(
      walk.database, group,
      [](const UIDRef& item, void* data) {
        auto* w = static_cast<GroupWalk*>(data);
        if (isGroupFrame(item)) collectGroups(*w, item.GetUID());
        return true;
      },
      &walk);
}

void ungroupAll(IDocument* document, const std::vector<std::string>& ignore) {
  GroupWalk walk{document->GetDocDataBase(), &ignore, {}};
  EnumBoxes(
      document,
      [](const UIDRef& item, void* data) {
        auto* w = static_cast<GroupWalk*>(data);
        if (!isGroupFrame(item) || ignored(*w->ignore, layerNameForFrame(item).value_or(""))) return true;
        collectGroups(*w, item.GetUID());
        return true;
      },
      &walk);
  MyLog("ungrouping: %d", static_cast<int>(walk.groups.size()));
  ungroupFrames(uidList(document->GetDocDataBase(), walk.groups));
}

void prepareLayers(IDocument* document) {
  UID grey = docLayerByName(document, kGreyLayer, false);
  if (grey == kInvalidUID) grey = createDocLayer(document, kGreyLayer, false, true, false);
  UID text = docLayerByName(document, kTextLayer, false);
  if (text == kInvalidUID) text = createDocLayer(document, kTextLayer, true, true, false);
  if (grey == kInvalidUID || text == kInvalidUID || document->GetLayerCount() < 2) return;
  if (ErrorCode e = document->moveLayers({grey, text}, kLayerPlace)) logError(e);
}

struct Run {
  IDocument* document = nullptr;
  IDataBase* database = nullptr;
  const std::vector<std::string>* ignore = nullptr;
  UID textLayer = kInvalidUID;
  UID imageLayer = kInvalidUID;
  std::optional<PMPoint> origin;
  std::vector<std::unique_ptr<KXFrame>> frames;
  FrameList textList, imageList;

  // A frame already on the layer is taken off the other list but not listed.
  void markForImageLayer(KXFrame* f) {
    textList.remove(f);
    if (f->docLayerUID() != imageLayer) imageList.append(f);
  }
  void markForTextLayer(KXFrame* f) {
    imageList.remove(f);
    if (f->docLayerUID() != textLayer) textList.append(f);
  }
};

void takeSnapshots(Run& run) {
  run.origin = firstPageOrigin(run.database);
  EnumBoxes(
      run.document,
      [](const UIDRef& item, void* data) {
        auto* r = static_cast<Run*>(data);
        auto frame = std::make_unique<KXFrame>(item, r->origin);
        if (!ignored(*r->ignore, frame->layerName())) r->frames.push_back(std::move(frame));
        return true;
      },
      &run);
  std::vector<const KXFrame*> all;
  for (const auto& f : run.frames) all.push_back(f.get());
  MyLog("%@", describeFrames(all));
}

void sortFrames(Run& run) {
  for (const auto& f : run.frames)
    if (f->isLine()) run.markForImageLayer(f.get());
  for (const auto& f : run.frames)
    if (f->isText()) run.markForTextLayer(f.get());
  for (const auto& f : run.frames) {
    if (!f->isGraphics()) continue;
    if (f->colorSpace() == KXFrame::kSpaceGrey)
      run.markForTextLayer(f.get());
    else
      run.markForImageLayer(f.get());
  }
}

void moveFrames(Run& run) {
  const std::vector<KXFrame*> toText = run.textList.frames();
  const std::vector<KXFrame*> toImage = run.imageList.frames();
  MyLog("%@", describeFrames({toText.begin(), toText.end()}));
  MyLog("%@", describeFrames({toImage.begin(), toImage.end()}));
  MyLog("moving to text Layer: %d", static_cast<int>(toText.size()));
  moveFramesToLayer(toText, run.database, run.textLayer);
  MyLog("moving to image Layer: %d", static_cast<int>(toImage.size()));
  moveFramesToLayer(toImage, run.database, run.imageLayer);
}

// A cyan rectangle over the first spread's pages on the grey layer.
void addGreyBacking(IDocument* document) {
  const UID grey = docLayerByName(document, kGreyLayer, false);
  ISpread* spread = document->spreadAt(0);
  if (grey == kInvalidUID || !spread) return;
  ISpreadLayer* layer = spread->QueryLayer(grey);
  if (!layer) return;
  const UIDRef rectangle = createRectangle({document->GetDocDataBase(), layer->GetUID()},
                                           getPagesBounds(spread), GraphicAttrType::kNoGraphicAttributes);
  if (rectangle.isValid()) setFillColor(rectangle, StringArg("Cyan"));
}

}  // namespace

bool doPNTrennung(IDocument* document, const DictPtr& action) {
  if (!document) {
    openAction(kActionName);
    return true;
  }
  const DictPtr parameters = action ? action : dictForAction(kActionName, Dictionary::make());
  setLogos(dictForKey(parameters, "Logos", false));
  const std::vector<std::string> ignore = ignorePrefixes(parameters);

  removeStatusLayers(document);
  ungroupAll(document, ignore);
  prepareLayers(document);

  Run run;
  run.document = document;
  run.database = document->GetDocDataBase();
  run.ignore = &ignore;
  run.textLayer = docLayerByName(document, kTextLayer, false);
  run.imageLayer = docLayerByName(document, kImageLayer, false);
  takeSnapshots(run);
  sortFrames(run);
  moveFrames(run);

  addGreyBacking(document);
  if (const DictPtr replacements = dictForKey(parameters, "Replacements", false))
    replaceText(document, replacements);
  if (integerForKey(parameters, "Save", 0) == 1) saveDoc(document->GetUIDRef());
  if (const auto path = pathForDoc(document)) setLabelColorForPath(*path, kDoneLabel);
  return true;
}

}  // namespace korvex
