#pragma once

// Finding, creating, deleting and locking document layers by name. Layers
// are identified by their UID in the document's database (kInvalidUID: none).

#include <string>

#include "host/document.h"
#include "host/uid_ref.h"

namespace korvex {

// The layer with that name; with create, a new visible, printable, unlocked
// layer when there is none. kInvalidUID when nothing is found or made.
UID docLayerByName(IDocument* document, const std::string& name, bool create);
// Replaces any layer of that name (with its page items) by a new one; the new
// layer's UID, or kInvalidUID when it could not be made.
UID createDocLayer(IDocument* document, const std::string& name, bool visible, bool printable, bool locked);
// Deletes the layers in list order; the first failure is logged
// ("\t####\tremoveLayers failed (%d/%d!") and ends the work.
void removeLayers(const UIDList& layers);
void removeLayer(IDocument* document, const std::string& name);
void removeLayer(IDocumentLayer* layer);
void setLayerLocked(IDocument* document, UID layer);
// The layer utilities' move of page items to a document layer, in one call:
// order among themselves, places and text threads kept. The host's error
// code; -1 without a database or document.
ErrorCode moveItemsToLayer(const UIDList& items, UID layer);
// Whether the layer prints (and exports); the host's error code.
ErrorCode setLayerPrintable(IDocument* document, UID layer, bool printable);
// The host's layer duplication: each layer of the list is copied with its
// items on every spread, the copy directly above its source (host/duplicate_items.h).
// The host's error code; -1 for a list without a document. copies gets the new layers.
ErrorCode duplicateDocLayers(const UIDList& layers, UIDList* copies);
// Gives the layer the colour of the host's stock colour number index (from 0);
// the host's error code, -1 without a layer.
ErrorCode setLayerStockColor(IDocumentLayer* layer, int index);

}  // namespace korvex
