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
  for (UID s : spreadsAndMasters()) {
    auto* spread = database_->instantiate<ISpread>(s);
    if (ISpreadLayer* sl = spread->QueryLayer(layer)) {
      spread->removeChild(sl);
      destroyTree(sl->GetUID());
    }
  }
  layers_.erase(layers_.begin() + index);
  layerIndexes_.clear();
  layerNames_.invalidate();
  database_->destroy(layer);
  if (activeLayer_ == layer) activeLayer_ = layers_.size() > 1 ? layers_[1] : kInvalidUID;
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
