#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_set>

#include "host/document.h"

namespace korvex {

ErrorCode IDocument::moveItemsToLayer(const UIDList& items, UID documentLayer) {
  if (layerIndex(documentLayer) <= 0) return kInvalidParameterError;
  // Where each movable item stands now: spread, its layer's place in the
  // layer list, its place among that spread layer's children.
  struct Place {
    UID spread;
    int layer;
    int child;
    UID uid;
  };
  std::vector<Place> places;
  std::map<UID, std::unordered_set<UID>> bySourceLayer;  // spread layer -> items leaving it
  std::unordered_set<UID> seen;
  bool refused = false;
  for (UID uid : items) {
    if (!seen.insert(uid).second) continue;
    PageItem* it = item(uid);
    auto* source = it ? dynamic_cast<ISpreadLayer*>(it->parent()) : nullptr;
    auto* spread = source ? dynamic_cast<ISpread*>(source->parent()) : nullptr;
    if (!spread || !spread->QueryLayer(documentLayer)) {
      refused = true;
      continue;
    }
    places.push_back({spread->GetUID(), layerIndex(source->documentLayerUID()), -1, uid});
    bySourceLayer[source->GetUID()].insert(uid);
  }
  // Child indexes from one walk of each source layer, not one search per item.
  std::unordered_map<UID, int> childIndex;
  for (const auto& [layerUID, moving] : bySourceLayer) {
    const auto* layer = database_->instantiate<ISpreadLayer>(layerUID);
    const std::vector<UID>& children = layer->children();
    for (std::size_t i = 0; i < children.size(); ++i)
      if (moving.contains(children[i])) childIndex[children[i]] = static_cast<int>(i);
  }
  for (Place& p : places) p.child = childIndex[p.uid];
  std::stable_sort(places.begin(), places.end(), [](const Place& a, const Place& b) {
    return std::tie(a.spread, a.layer, a.child) < std::tie(b.spread, b.layer, b.child);
  });

  std::unordered_map<UID, PMMatrix> toPasteboard;
  for (const Place& p : places) toPasteboard.emplace(p.uid, item(p.uid)->innerToPasteboard());
  for (const auto& [layerUID, moving] : bySourceLayer)
    database_->instantiate<ISpreadLayer>(layerUID)->detachChildren(moving);
  for (const Place& p : places) {
    ISpreadLayer* target = database_->instantiate<ISpread>(p.spread)->QueryLayer(documentLayer);
    PageItem* it = item(p.uid);
    target->addChild(it);
    if (auto inverse = target->innerToPasteboard().inverse())
      it->setTransform(*inverse * toPasteboard[p.uid]);
  }
  if (!places.empty()) touch();
  return refused ? kInvalidParameterError : kSuccess;
}

}  // namespace korvex
