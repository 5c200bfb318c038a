#include "workflows/duz_severance.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "docmodel/frame_content.h"
#include "docmodel/frames.h"
#include "docmodel/my_frame.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/log.h"
#include "workflows/system_console.h"

namespace korvex {

namespace {

constexpr const char* kStandardLayer = "Standard";
constexpr const char* kLineWorkLayer = "LW";
constexpr const char* kReproLayer = "Repro";
constexpr const char* kBlack = "Black";
constexpr const char* kNone = "None";
constexpr const char* kLineWorkLogos = "Logos_LW_Ebenen";

// A colour name, none for no colour ("None" is no colour).
std::optional<std::string> colourName(std::optional<std::string> name) {
  if (name && *name == kNone) return std::nullopt;
  return name;
}

struct ItemColours {
  std::optional<std::string> stroke, fill;
};

ItemColours coloursOf(const UIDRef& item) {
  return {colourName(strokeColorNameForFrame(item)), colourName(fillColorNameForFrame(item))};
}

enum class Target { None, Standard, LineWork, Repro };

struct Severance {
  MyDoc* document = nullptr;
  std::vector<std::string> repro;
  bool hasRepro = false;
  UIDList standard, lineWork, reproItems;
};

bool blackOrNone(const std::optional<std::string>& stroke) {
  return !stroke || *stroke == kBlack;
}

// Every child is tested on its own stroke and fill (a group's on its own
// too), and a child group's children in turn: a group of filled boxes is no
// line work, whatever the group itself carries.
bool isLineWorkGroup(const UIDRef& group) {
  auto* hierarchy = group.GetDataBase()->instantiate<IHierarchy>(group.GetUID());
  if (!hierarchy) return true;
  const int count = hierarchy->GetChildCount();
  MyLog("\tgroup: %d frames", count);
  for (int i = 0; i < count; ++i) {
    const UIDRef child(group.GetDataBase(), hierarchy->GetChildUID(i));
    const ItemColours colours = coloursOf(child);
    if (colours.fill || !blackOrNone(colours.stroke)) return false;
    const MyFrame frame(child);
    if (frame.isGraphicFrame() && frame.getPath(1)) return false;
    if (frame.isGroup() && !isLineWorkGroup(child)) return false;
  }
  return true;
}

Target classify(const Severance& run, const UIDRef& item) {
  const ItemColours colours = coloursOf(item);
  consoleLog("frameColor: %@", colours.stroke);
  consoleLog("fillColor: %@", colours.fill);
  if (run.hasRepro) {
    auto listed = [&](const std::optional<std::string>& name) {
      return name && std::find(run.repro.begin(), run.repro.end(), *name) != run.repro.end();
    };
    if (listed(colours.stroke) || listed(colours.fill)) return Target::Repro;
  }
  const MyFrame frame(item);
  if (frame.isGraphicFrame()) {
    const std::optional<std::string> path = frame.getPath(1);
    MyLog("\tpath: %@", path);
    if (!path) return colours.stroke == kBlack && !colours.fill ? Target::LineWork : Target::Standard;
    const Target target =
        path->find(kLineWorkLogos) != std::string::npos ? Target::LineWork : Target::Standard;
    dumpUID(frame.getChild());
    dumpUID(item);
    return target;
  }
  if (frame.isTextFrame()) {
    if (colours.fill) return Target::Standard;
    return blackOrNone(colours.stroke) ? Target::LineWork : Target::Standard;
  }
  if (frame.isGroup()) {
    MyLog("\tgroup");
    return isLineWorkGroup(item) ? Target::LineWork : Target::Standard;
  }
  return Target::None;
}

bool collectItem(const UIDRef& item, void* data) {
  auto& run = *static_cast<Severance*>(data);
  switch (classify(run, item)) {
    case Target::Standard: run.standard.Append(item.GetUID()); break;
    case Target::LineWork: run.lineWork.Append(item.GetUID()); break;
    case Target::Repro: run.reproItems.Append(item.GetUID()); break;
    case Target::None: break;
  }
  return true;
}

bool collectLayer(IDocumentLayer* layer, const std::string&, void* data) {
  auto& run = *static_cast<Severance*>(data);
  if (!layer->IsLocked()) run.document->enumSpreads(layer, collectItem, data);
  return true;
}

// Each item goes to the layer's spread layer on its own spread, keeping its
// place; they go in back to front so that their stacking order stays.
void moveItems(IDocument& document, const UIDList& items, UID layer) {
  struct Placed {
    UID item;
    int layerIndex, childIndex;
  };
  IDataBase* db = document.GetDocDataBase();
  std::vector<Placed> order;
  for (UID uid : items) {
    auto* node = db->instantiate<IHierarchy>(uid);
    auto* parent = node ? node->parent() : nullptr;
    auto* spreadLayer = parent ? db->instantiate<ISpreadLayer>(parent->GetUID()) : nullptr;
    if (!spreadLayer) continue;
    order.push_back({uid, document.layerIndex(spreadLayer->documentLayerUID()), parent->GetChildIndex(uid)});
  }
  std::stable_sort(order.begin(), order.end(), [](const Placed& a, const Placed& b) {
    return a.layerIndex != b.layerIndex ? a.layerIndex < b.layerIndex : a.childIndex < b.childIndex;
  });
  for (const Placed& placed : order) {
    auto* spread = db->instantiate<ISpread>(document.spreadOf(placed.item));
    ISpreadLayer* target = spread ? spread->QueryLayer(layer) : nullptr;
    if (!target) continue;
    if (ErrorCode error = document.reparent(placed.item, target->GetUID()); error != kSuccess)
      MyLog("\t####\tmove to layer failed (err: %d)", error);
  }
}

void moveList(MyDoc& document, const UIDList& items, const char* layerName) {
  MyLog("\t\tmove frames to %@", layerName);
  if (items.empty()) return;
  const UID layer = document.docLayerByName(layerName, true);
  IDocument* doc = document.liveDocument();
  if (layer == kInvalidUID || !doc) return;
  moveItems(*doc, items, layer);
}

// Empty: on every spread the layer's spread layer is there and holds nothing.
bool layerIsEmpty(const IDocument& document, UID layer) {
  IDataBase* db = document.GetDocDataBase();
  for (UID uid : document.spreadList()) {
    auto* spread = db->instantiate<ISpread>(uid);
    ISpreadLayer* spreadLayer = spread ? spread->QueryLayer(layer) : nullptr;
    if (!spreadLayer || spreadLayer->GetChildCount() > 0) return false;
  }
  return true;
}

}  // namespace

bool duzSeverance(MyDoc& document, const DictPtr& action) {
  IDocument* doc = document.liveDocument();
  if (!doc) return true;
  Severance run;
  run.document = &document;
  IDataBase* db = doc->GetDocDataBase();
  run.standard = run.lineWork = run.reproItems = UIDList(db);
  if (ArrayPtr repro = arrayForKey(action, "Repro", false)) {
    run.hasRepro = true;
    for (const Value& name : *repro)
      if (const std::string* s = name.string()) run.repro.push_back(*s);
  }

  // All layers are walked before anything moves.
  document.enumDocLayers(collectLayer, &run);
  moveList(document, run.standard, kStandardLayer);
  moveList(document, run.lineWork, kLineWorkLayer);
  moveList(document, run.reproItems, kReproLayer);

  std::vector<std::string> empty;
  for (int index = 1; index < doc->GetLayerCount(); ++index) {
    IDocumentLayer* layer = doc->layerAt(index);
    if (!layer || !layerIsEmpty(*doc, layer->GetUID())) continue;
    consoleLog("\t\tempty: %@, %@", layer->GetName(), static_cast<long>(layer->GetUID()));
    empty.push_back(layer->GetName());
  }
  for (const std::string& name : empty) {
    consoleLog("removeLayer: %@", name);
    IDocumentLayer* layer = doc->findLayer(name);
    if (!layer) continue;
    MyLog("\t\tremove: %d", static_cast<long>(layer->GetUID()));
    if (doc->deleteLayer(layer->GetUID()) != kSuccess) MyLog("\t####\tdelete Layer failed!");
  }

  if (intForKey(action, "Save", 0) == 1) document.save();
  return true;
}

}  // namespace korvex
