#include "docmodel/layers.h"

#include "docmodel/documents.h"
#include "docmodel/my_doc.h"
#include "docmodel/traversal.h"
#include "foundation/log.h"
#include "foundation/workspace.h"
#include "host/duplicate_items.h"

namespace korvex {

namespace {

IDocument* liveOrNull(IDocument* document) {
  return document && documentIsOpen(document) ? document : nullptr;
}

}  // namespace

UID docLayerByName(IDocument* document, const std::string& name, bool create) {
  document = liveOrNull(document);
  if (!document) return kInvalidUID;
  if (IDocumentLayer* layer = document->findLayer(name)) return layer->GetUID();
  return create ? createDocLayer(document, name, true, true, false) : kInvalidUID;
}

UID createDocLayer(IDocument* document, const std::string& name, bool visible, bool printable, bool locked) {
  document = liveOrNull(document);
  if (!document) return kInvalidUID;
  IDocumentLayer* former = document->findLayer(name);
  if (former && document->GetLayerCount() <= 2) {
    // The last content layer can't go before its successor is there: it
    // steps aside under a free name and goes once the new one exists.
    std::string aside = name;
    while (document->findLayer(aside)) aside += "~";
    if (former->SetName(aside) != kSuccess) return kInvalidUID;
  } else {
    removeLayer(document, name);
    former = nullptr;
  }
  IDocumentLayer* layer = document->createLayer(name);
  if (former) {
    if (!layer) {
      former->SetName(name);
      return kInvalidUID;
    }
    document->deleteLayer(former->GetUID());
  }
  if (!layer) return kInvalidUID;
  if (layer->SetVisible(visible) != kSuccess || layer->SetPrintable(printable) != kSuccess ||
      layer->SetLocked(locked) != kSuccess) {
    // Half-made layers don't stay behind.
    document->deleteLayer(layer->GetUID());
    return kInvalidUID;
  }
  return layer->GetUID();
}

ErrorCode duplicateDocLayers(const UIDList& layers, UIDList* copies) {
  IDocument* document = documentForDataBase(layers.GetDataBase());
  if (!document) return -1;
  return duplicateLayers(*document, layers, copies);
}

ErrorCode setLayerStockColor(IDocumentLayer* layer, int index) {
  if (!layer) return -1;
  return layer->SetStockColor(index);
}

void removeLayers(const UIDList& layers) {
  if (layers.empty()) return;
  IDocument* document = documentForDataBase(layers.GetDataBase());
  for (int i = 0; i < layers.Length(); ++i) {
    const ErrorCode error =
        document ? document->deleteLayer(layers[static_cast<std::size_t>(i)]) : kObjectNotFoundError;
    if (error != kSuccess) {
      MyLog("\t####\tremoveLayers failed (%d/%d!", i, layers.Length());
      return;
    }
  }
}

void removeLayer(IDocument* document, const std::string& name) {
  const UID layer = docLayerByName(document, name, false);
  if (layer == kInvalidUID) return;
  UIDList list(document->GetDocDataBase());
  list.Append(layer);
  removeLayers(list);
}

void removeLayer(IDocumentLayer* layer) {
  if (!layer) return;
  removeLayers(UIDList(UIDRef(layer->GetDataBase(), layer->GetUID())));
}

void setLayerLocked(IDocument* document, UID layer) {
  document = liveOrNull(document);
  if (!document) return;
  if (auto* docLayer = document->GetDocDataBase()->instantiate<IDocumentLayer>(layer))
    docLayer->SetLocked(true);
}

ErrorCode moveItemsToLayer(const UIDList& items, UID layer) {
  IDocument* document = items.GetDataBase() ? documentForDataBase(items.GetDataBase()) : nullptr;
  if (!document) return -1;
  return document->moveItemsToLayer(items, layer);
}

ErrorCode setLayerPrintable(IDocument* document, UID layer, bool printable) {
  document = liveOrNull(document);
  if (!document) return kObjectNotFoundError;
  auto* docLayer = document->GetDocDataBase()->instantiate<IDocumentLayer>(layer);
  if (!docLayer) return kObjectNotFoundError;
  return docLayer->IsPrintable() == printable ? kSuccess : docLayer->SetPrintable(printable);
}

// --- the handle's layer operations

UID MyDoc::docLayerByName(const std::string& name, bool create) {
  return korvex::docLayerByName(liveDocument(), name, create);
}

UIDRef MyDoc::getLayer(const std::string& name) const {
  return UIDRef(_database, korvex::docLayerByName(liveDocument(), name, false));
}

UID MyDoc::createDocLayer(const std::string& name, bool visible, bool printable, bool locked) {
  return korvex::createDocLayer(liveDocument(), name, visible, printable, locked);
}

void MyDoc::removeLayer(const std::string& name) {
  korvex::removeLayer(liveDocument(), name);
}

UIDRef MyDoc::getSpreadLayer(const std::string& name) const {
  IDocument* doc = liveDocument();
  if (!doc) return {};
  IDocumentLayer* layer = doc->findLayer(name);
  if (!layer) {
    MyLog("\tInvalid spreadLayer: %@", name);
    return {};
  }
  ISpread* spread = doc->spreadAt(0);
  ISpreadLayer* spreadLayer = spread ? spread->QueryLayer(layer->GetUID()) : nullptr;
  return spreadLayer ? UIDRef(_database, spreadLayer->GetUID()) : UIDRef();
}

ErrorCode MyDoc::duplicateLayer(const std::string& sourceName, const std::string& targetName) {
  MyLog("%@ --> %@", sourceName, targetName);
  const UIDRef source = getSpreadLayer(sourceName);
  if (source == UIDRef()) return -1;
  const UIDRef target = getSpreadLayer(targetName);
  if (target == UIDRef()) return -1;
  const UIDList items = getPageItems(source);
  const ErrorCode error = duplicateItems(*liveDocument(), items, target.GetUID());
  if (error != kSuccess) {
    MyLog("\t####\terr: %d", error);
    return error;
  }
  return kSuccess;
}

void MyDoc::activateLayer(const std::string& name) {
  IDocument* doc = liveDocument();
  if (!doc) return;
  const UID uid = korvex::docLayerByName(doc, name, false);
  auto* layer = _database->instantiate<IDocumentLayer>(uid);
  if (!layer) return;
  if (!layer->IsVisible() && layer->SetVisible(true) != kSuccess) beep();
  if (doc->setActiveLayer(uid) != kSuccess) beep();
}

}  // namespace korvex
