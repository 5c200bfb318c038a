#include <algorithm>

#include "host/document.h"

namespace korvex {

IDocumentLayer* IDocument::layerAt(int index) const {
  if (index < 0 || index >= GetLayerCount()) return nullptr;
  return database_->instantiate<IDocumentLayer>(layers_[static_cast<std::size_t>(index)]);
}

IDocumentLayer* IDocument::findLayer(const std::string& name) const {
  const UID found = layerNames_.find(layers_, name, [&](UID uid) -> const std::string* {
    auto* layer = database_->instantiate<IDocumentLayer>(uid);
    return layer ? &layer->GetName() : nullptr;
  });
  return database_->instantiate<IDocumentLayer>(found);
}

int IDocument::layerIndex(UID layer) const {
  // Asked for every page item made; the list changes only with layers made or deleted.
  if (layerIndexes_.empty())
    for (std::size_t i = 0; i < layers_.size(); ++i) layerIndexes_.emplace(layers_[i], static_cast<int>(i));
  auto it = layerIndexes_.find(layer);
  return it == layerIndexes_.end() ? -1 : it->second;
}

void IDocument::nameChanged() const {
  layerNames_.invalidate();
  swatchNames_.invalidate();
}

IDocumentLayer* IDocument::createLayer(const std::string& name, int index, UID uid) {
  if (name.empty() || findLayer(name)) return nullptr;
  auto* layer = uid == kInvalidUID ? database_->create<IDocumentLayer>(name)
                                   : database_->createWithUID<IDocumentLayer>(uid, name);
  if (!layer) return nullptr;
  if (index < 1 || index > GetLayerCount()) index = GetLayerCount();
  if (index != GetLayerCount()) layerNames_.invalidate();
  layers_.insert(layers_.begin() + index, layer->GetUID());
  layerIndexes_.clear();
  for (UID s : spreadsAndMasters()) {
    auto* spread = database_->instantiate<ISpread>(s);
    auto* sl = database_->create<ISpreadLayer>(layer->GetUID());
    spread->addChild(sl, index);
  }
  if (activeLayer_ == kInvalidUID) activeLayer_ = layer->GetUID();
  touch();
  return layer;
}

ErrorCode IDocument::deleteLayer(UID layer) {
  const int index = layerIndex(layer);
  if (index < 0) return kObjectNotFoundError;
  if (index == 0) return kInvalidParameterError;
  if (GetLayerCount() <= 2) return kLastLayerError;
  // Stories shown only on the layer go with it (and their anchored items):
  // text no frame shows would stay behind as overset text.
  std::vector<UID> shown;
  for (UID st : stories_) {
    ITextModel* text = story(st);
    if (!text || text->threadedFrames().empty()) continue;
    const bool onlyHere =
        std::all_of(text->threadedFrames().begin(), text->threadedFrames().end(), [&](UID frame) {
          for (auto* node = database_->instantiate<IHierarchy>(frame); node; node = node->parent())
            if (auto* sl = database_->instantiate<ISpreadLayer>(node->GetUID()))
              return sl->documentLayerUID() == layer;
          return false;
        });
    if (onlyHere) shown.push_back(st);
  }
  for (UID s : spreadsAndMasters()) {
    auto* spread = database_->instantiate<ISpread>(s);
    if (ISpreadLayer* sl = spread->QueryLayer(layer)) {
      spread->removeChild(sl);
      destroyTree(sl->GetUID());
    }
  }
  for (UID st : shown) {
    ITextModel* text = story(st);
    if (!text || !text->threadedFrames().empty()) continue;
    std::vector<UID> anchored;
    for (const auto& [position, inlineItem] : text->ownedItems()) anchored.push_back(inlineItem);
    stories_.erase(std::remove(stories_.begin(), stories_.end(), st), stories_.end());
    for (UID inlineItem : anchored) destroyTree(inlineItem);
    database_->destroy(st);
  }
  layers_.erase(layers_.begin() + index);
  layerIndexes_.clear();
  layerNames_.invalidate();
  database_->destroy(layer);
  if (activeLayer_ == layer) activeLayer_ = layers_.size() > 1 ? layers_[1] : kInvalidUID;
  touch();
  return kSuccess;
}

ErrorCode IDocument::moveLayers(const std::vector<UID>& layers, int index) {
  if (layers.empty()) return kSuccess;
  if (index < 1) return kInvalidParameterError;
  for (auto it = layers.begin(); it != layers.end(); ++it) {
    const int at = layerIndex(*it);
    if (at < 0) return kObjectNotFoundError;
    if (at == 0 || std::find(layers.begin(), it, *it) != it) return kInvalidParameterError;
  }
  // The others keep their order; the moved ones go in as a block at index.
  std::vector<UID> order;
  order.reserve(layers_.size());
  for (UID uid : layers_)
    if (std::find(layers.begin(), layers.end(), uid) == layers.end()) order.push_back(uid);
  const auto at = order.begin() + std::min<std::ptrdiff_t>(index, static_cast<std::ptrdiff_t>(order.size()));
  order.insert(at, layers.begin(), layers.end());
  if (order == layers_) return kSuccess;
  // Every spread holds its spread layers in layer order.
  for (UID s : spreadsAndMasters()) {
    auto* spread = database_->instantiate<ISpread>(s);
    std::vector<ISpreadLayer*> spreadLayers;
    for (UID uid : order)
      if (ISpreadLayer* sl = spread->QueryLayer(uid)) spreadLayers.push_back(sl);
    for (ISpreadLayer* sl : spreadLayers) spread->removeChild(sl);
    int position = 0;
    for (ISpreadLayer* sl : spreadLayers) spread->addChild(sl, position++);
  }
  layers_ = std::move(order);
  layerIndexes_.clear();
  layerNames_.invalidate();
  touch();
  return kSuccess;
}

ErrorCode IDocument::setActiveLayer(UID layer) {
  if (layerIndex(layer) < 1) return kInvalidParameterError;
  activeLayer_ = layer;
  touch();
  return kSuccess;
}

}  // namespace korvex
