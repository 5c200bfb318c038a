#pragma once

// Walks over a document's spreads, layers, page items, links, stories, fonts
// and anchored frames, and the counts, references and rectangles of its
// spreads and pages. Page items come layer by layer in layer-list order (the
// pages layer, entry 0, is never visited) and within a layer from the last
// child (front-most) to the first. Indexes count from 0 unless stated.

#include <optional>
#include <string>
#include <vector>

#include "docmodel/enumerators.h"
#include "host/document.h"
#include "host/uid_ref.h"

namespace korvex {

// Direct children, last first. A null hierarchy gives false.
bool EnumHierarchy(IHierarchy* hierarchy, ItemCallback callback, void* data);
bool EnumHierarchy(HostObject* object, ItemCallback callback, void* data);
bool EnumHierarchy(IDataBase* database, UID object, ItemCallback callback, void* data);
// As EnumHierarchy, but groups are opened instead of reported, recursively;
// a stop inside a group stops the whole walk.
bool EnumHierarchy2(IHierarchy* hierarchy, ItemCallback callback, void* data);
bool EnumHierarchy2(HostObject* object, ItemCallback callback, void* data);
bool EnumHierarchy2(IDataBase* database, UID object, ItemCallback callback, void* data);

// Page items of one spread, layer by layer (EnumHierarchy / EnumHierarchy2).
// A null spread gives true.
bool EnumSpread(ISpread* spread, ItemCallback callback, void* data);
bool EnumSpread2(ISpread* spread, ItemCallback callback, void* data);
// Every spread in list order.
bool EnumSpreads(const UIDRef& document, SpreadCallback callback, void* data);

// Every page item; a null document means the front document.
bool EnumBoxes(IDocument* document, ItemCallback callback, void* data);
bool EnumBoxes(IDataBase* database, ItemCallback callback, void* data);
bool EnumBoxes(const UIDRef& document, ItemCallback callback, void* data);
// Page items of the spread numbered spreadNumber, counting from 1.
bool EnumBoxes(const UIDRef& document, int spreadNumber, ItemCallback callback, void* data);

// Document layers from list index 1, with their names.
bool EnumDocLayers(const UIDRef& document, DocLayerCallback callback, void* data);
bool EnumDocLayers(IDocument* document, DocLayerCallback callback, void* data);

// The parent's direct children, first to last (empty without a hierarchy).
UIDList getPageItems(const UIDRef& parent);

// Every link of the document in list order. A null database gives true, a
// null document false.
bool EnumLinks(IDataBase* database, ItemCallback callback, void* data);
bool EnumLinks(IDocument* document, ItemCallback callback, void* data);
bool EnumLinks(const UIDRef& document, ItemCallback callback, void* data);

// Every story of the story list.
bool EnumStories(IDocument* document, StoryCallback callback, void* data);
bool EnumStories(const UIDRef& document, StoryCallback callback, void* data);

// Every font of the document's used-font list.
bool EnumFonts(IDocument* document, FontCallback callback, void* data);

// Frames anchored in the story's text from start to end (both included; end
// -1 means the last character), in text order.
bool EnumAnchoredBoxes(ITextModel* story, AnchoredBoxCallback callback, int start, int end, void* data);
bool EnumAnchoredBoxes(const UIDRef& story, AnchoredBoxCallback callback, int start, int end, void* data);
bool EnumAnchoredBoxes(const UIDRef& story, AnchoredBoxCallback callback, void* data);

// Counts: 0 when anything is missing. pageCntForDoc(nullptr) counts the front document's pages.
int pageCntForDoc(IDocument* document);
int pageCntForDoc(const UIDRef& document);
int spreadCntForDoc(IDocument* document);
int spreadCntForDoc(const UIDRef& document);
int pageCntForSpread(const UIDRef& document, int spreadIndex);

// The page's UID; kInvalidUID when the index is outside the page list.
UID pageUIDForDoc(const UIDRef& document, int pageIndex);
UID pageUIDForDoc(IDocument* document, int pageIndex);
// -1 without a document, or when the page is not in its list.
int pageIndexForDoc(IDocument* document, UID page);
UIDRef spreadRefForDoc(IDocument* document, int spreadIndex);
// The spread's index in its document's spread list, else -1.
int spreadNumForSpread(const UIDRef& spread);
// Appends every page UID in page order.
void setupPageUIDs(IDocument* document, UIDList* pages);

// Page bounds in pasteboard coordinates (millimetres when inMillimetres is 1).
PMRect pageRectForDoc(IDocument* document, int pageIndex, unsigned char inMillimetres);
// The page's margins: left, top, right, bottom widths.
PMRect marginsForDoc(IDocument* document, int pageIndex);
// The page's bounds in points moved inward by the first page's margins.
PMRect pageRectForDocWithoutMargins(IDocument* document, int pageIndex);
PMRect pageRectForDocWithoutMargins(const UIDRef& document);

}  // namespace korvex
