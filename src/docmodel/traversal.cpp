#include "docmodel/traversal.h"

#include "docmodel/documents.h"
#include "docmodel/frame_content.h"
#include "docmodel/frames.h"
#include "docmodel/my_doc.h"
#include "docmodel/styles_colors_pages.h"
#include "host/used_fonts.h"

namespace korvex {

namespace {

// Walks keep the database and UID rather than the object: a callback may
// delete what is being walked, and the walk then ends instead of reading
// freed memory.
bool walkChildren(IDataBase* db, UID parent, bool openGroups, ItemCallback callback, void* data) {
  auto* node = db ? db->instantiate<IHierarchy>(parent) : nullptr;
  if (!node) return true;
  for (int i = node->GetChildCount() - 1; i >= 0; --i) {
    node = db->instantiate<IHierarchy>(parent);
    if (!node) return true;
    // Children removed by earlier callbacks shorten the list.
    if (i >= node->GetChildCount()) continue;
    const UID child = node->GetChildUID(i);
    if (openGroups && isGroupFrame(UIDRef(db, child))) {
      if (!walkChildren(db, child, true, callback, data)) return false;
    } else if (!callback(UIDRef(db, child), data)) {
      return false;
    }
  }
  return true;
}

bool walkHierarchy(IHierarchy* hierarchy, bool openGroups, ItemCallback callback, void* data) {
  if (!hierarchy) return false;
  return walkChildren(hierarchy->GetDataBase(), hierarchy->GetUID(), openGroups, callback, data);
}

// Layer by layer from list index 1, each spread layer last child first.
bool walkSpread(IDocument* document, ISpread* spread, bool openGroups, ItemCallback callback, void* data) {
  if (!document || !spread) return true;
  IDataBase* db = spread->GetDataBase();
  const UID spreadUID = spread->GetUID();
  for (int index = 1; index < document->GetLayerCount(); ++index) {
    auto* current = db->instantiate<ISpread>(spreadUID);
    if (!current) return true;
    ISpreadLayer* layer = current->QueryLayer(document->layerList()[static_cast<std::size_t>(index)]);
    if (!layer) continue;
    if (!walkChildren(db, layer->GetUID(), openGroups, callback, data)) return false;
  }
  return true;
}

IDocument* documentOfDataBase(IDataBase* db) {
  return db ? documentForDataBase(db) : nullptr;
}

std::vector<UID> spreadUIDs(const IDocument* document) {
  return document ? document->spreadList() : std::vector<UID>{};
}

}  // namespace

bool EnumHierarchy(IHierarchy* hierarchy, ItemCallback callback, void* data) {
  return walkHierarchy(hierarchy, false, callback, data);
}

bool EnumHierarchy(HostObject* object, ItemCallback callback, void* data) {
  return walkHierarchy(dynamic_cast<IHierarchy*>(object), false, callback, data);
}

bool EnumHierarchy(IDataBase* database, UID object, ItemCallback callback, void* data) {
  return walkHierarchy(database ? database->instantiate<IHierarchy>(object) : nullptr, false, callback, data);
}

bool EnumHierarchy2(IHierarchy* hierarchy, ItemCallback callback, void* data) {
  return walkHierarchy(hierarchy, true, callback, data);
}

bool EnumHierarchy2(HostObject* object, ItemCallback callback, void* data) {
  return walkHierarchy(dynamic_cast<IHierarchy*>(object), true, callback, data);
}

bool EnumHierarchy2(IDataBase* database, UID object, ItemCallback callback, void* data) {
  return walkHierarchy(database ? database->instantiate<IHierarchy>(object) : nullptr, true, callback, data);
}

bool EnumSpread(ISpread* spread, ItemCallback callback, void* data) {
  if (!spread) return true;
  return walkSpread(documentOfDataBase(spread->GetDataBase()), spread, false, callback, data);
}

bool EnumSpread2(ISpread* spread, ItemCallback callback, void* data) {
  if (!spread) return true;
  return walkSpread(documentOfDataBase(spread->GetDataBase()), spread, true, callback, data);
}

bool EnumSpreads(const UIDRef& document, SpreadCallback callback, void* data) {
  IDocument* doc = documentForRef(document);
  for (UID uid : spreadUIDs(doc)) {
    auto* spread = document.GetDataBase()->instantiate<ISpread>(uid);
    if (!spread) continue;
    if (!callback(spread, data)) return false;
  }
  return true;
}

bool EnumBoxes(IDocument* document, ItemCallback callback, void* data) {
  if (!document) document = frontDoc();
  if (!document || !documentIsOpen(document)) return true;
  return MyDoc(document).enumBoxes(callback, data);
}

bool EnumBoxes(IDataBase* database, ItemCallback callback, void* data) {
  return EnumBoxes(documentOfDataBase(database), callback, data);
}

bool EnumBoxes(const UIDRef& document, ItemCallback callback, void* data) {
  return EnumBoxes(documentForRef(document), callback, data);
}

bool EnumBoxes(const UIDRef& document, int spreadNumber, ItemCallback callback, void* data) {
  IDocument* doc = documentForRef(document);
  if (!doc) return true;
  return EnumSpread(doc->spreadAt(spreadNumber - 1), callback, data);
}

bool EnumDocLayers(const UIDRef& document, DocLayerCallback callback, void* data) {
  IDocument* doc = documentForRef(document);
  if (!doc) return true;
  for (int index = 1; index < doc->GetLayerCount(); ++index) {
    IDocumentLayer* layer = doc->layerAt(index);
    if (!layer) continue;
    // A copy: the callback may rename or delete the layer.
    const std::string name = layer->GetName();
    if (!callback(layer, name, data)) return false;
  }
  return true;
}

bool EnumDocLayers(IDocument* document, DocLayerCallback callback, void* data) {
  return EnumDocLayers(refForDocument(document), callback, data);
}

UIDList getPageItems(const UIDRef& parent) {
  UIDList items(parent.GetDataBase());
  auto* node =
      parent.GetDataBase() ? parent.GetDataBase()->instantiate<IHierarchy>(parent.GetUID()) : nullptr;
  if (!node) return items;
  for (UID child : node->children()) items.Append(child);
  return items;
}

bool EnumLinks(IDataBase* database, ItemCallback callback, void* data) {
  if (!database) return true;
  IDocument* doc = documentOfDataBase(database);
  if (!doc) return true;
  // A copy: callbacks may delete links.
  const std::vector<UID> links = doc->linkList();
  for (UID link : links) {
    if (!database->instantiate<ILink>(link)) continue;
    if (!callback(UIDRef(database, link), data)) return false;
  }
  return true;
}

bool EnumLinks(IDocument* document, ItemCallback callback, void* data) {
  if (!document || !documentIsOpen(document)) return false;
  return EnumLinks(document->GetDocDataBase(), callback, data);
}

bool EnumLinks(const UIDRef& document, ItemCallback callback, void* data) {
  return EnumLinks(documentForRef(document), callback, data);
}

bool EnumStories(IDocument* document, StoryCallback callback, void* data) {
  if (!document || !documentIsOpen(document)) return true;
  const std::vector<UID> stories = document->storyList();
  for (UID uid : stories) {
    ITextModel* story = document->story(uid);
    if (!story) continue;
    if (!callback(story, data)) return false;
  }
  return true;
}

bool EnumStories(const UIDRef& document, StoryCallback callback, void* data) {
  return EnumStories(documentForRef(document), callback, data);
}

bool EnumFonts(IDocument* document, FontCallback callback, void* data) {
  if (!document || !documentIsOpen(document)) return true;
  IUsedFontList fonts = document->usedFontList();
  for (const UsedFont& font : fonts.fonts())
    if (!callback(document->GetDocDataBase(), &fonts, font.uid, data)) return false;
  return true;
}

bool EnumAnchoredBoxes(ITextModel* story, AnchoredBoxCallback callback, int start, int end, void* data) {
  if (!story) return true;
  IDataBase* db = story->GetDataBase();
  const UID storyUID = story->GetUID();
  if (end == -1) end = story->TotalLength() - 1;
  // A copy: callbacks may change the text.
  const std::map<int, UID> owned = story->ownedItems();
  for (auto it = owned.lower_bound(start); it != owned.end() && it->first <= end; ++it) {
    auto* inlineItem = db->instantiate<InlineItem>(it->second);
    if (!inlineItem || inlineItem->GetChildCount() == 0) continue;
    if (!callback(UIDRef(db, inlineItem->GetChildUID(0)), UIDRef(db, storyUID), it->first, data))
      return false;
  }
  return true;
}

bool EnumAnchoredBoxes(const UIDRef& story, AnchoredBoxCallback callback, int start, int end, void* data) {
  if (!story.isValid() || !documentForDataBase(story.GetDataBase())) return true;
  return EnumAnchoredBoxes(story.GetDataBase()->instantiate<ITextModel>(story.GetUID()), callback, start, end,
                           data);
}

bool EnumAnchoredBoxes(const UIDRef& story, AnchoredBoxCallback callback, void* data) {
  return EnumAnchoredBoxes(story, callback, 0, -1, data);
}

// --- counts, references and rectangles

int pageCntForDoc(IDocument* document) {
  if (!document) document = frontDoc();
  if (!document || !documentIsOpen(document)) return 0;
  return document->GetPageCount();
}

int pageCntForDoc(const UIDRef& document) {
  IDocument* doc = documentForRef(document);
  return doc ? doc->GetPageCount() : 0;
}

int spreadCntForDoc(IDocument* document) {
  if (!document || !documentIsOpen(document)) return 0;
  return document->GetSpreadCount();
}

int spreadCntForDoc(const UIDRef& document) {
  IDocument* doc = documentForRef(document);
  return doc ? doc->GetSpreadCount() : 0;
}

int pageCntForSpread(const UIDRef& document, int spreadIndex) {
  IDocument* doc = documentForRef(document);
  ISpread* spread = doc ? doc->spreadAt(spreadIndex) : nullptr;
  return spread ? spread->GetNumPages() : 0;
}

UID pageUIDForDoc(const UIDRef& document, int pageIndex) {
  IDocument* doc = documentForRef(document);
  if (!doc || pageIndex < 0 || pageIndex >= doc->GetPageCount()) return kInvalidUID;
  Page* page = doc->pageAt(pageIndex);
  return page ? page->GetUID() : kInvalidUID;
}

UID pageUIDForDoc(IDocument* document, int pageIndex) {
  return pageUIDForDoc(refForDocument(document), pageIndex);
}

int pageIndexForDoc(IDocument* document, UID page) {
  if (!document || !documentIsOpen(document)) return -1;
  return document->pageIndex(page);
}

UIDRef spreadRefForDoc(IDocument* document, int spreadIndex) {
  if (!document || !documentIsOpen(document)) return {};
  ISpread* spread = document->spreadAt(spreadIndex);
  return spread ? UIDRef(document->GetDocDataBase(), spread->GetUID()) : UIDRef();
}

int spreadNumForSpread(const UIDRef& spread) {
  IDocument* doc = documentForDataBase(spread.GetDataBase());
  return doc ? doc->spreadIndex(spread.GetUID()) : -1;
}

void setupPageUIDs(IDocument* document, UIDList* pages) {
  if (!pages || !document || !documentIsOpen(document)) return;
  for (Page* page : document->pages()) pages->Append(page->GetUID());
}

PMRect pageRectForDoc(IDocument* document, int pageIndex, unsigned char inMillimetres) {
  if (!document || !documentIsOpen(document)) return {};
  return boundsForFrame(UIDRef(document->GetDocDataBase(), pageUIDForDoc(document, pageIndex)),
                        inMillimetres);
}

PMRect marginsForDoc(IDocument* document, int pageIndex) {
  if (!document || !documentIsOpen(document)) return {};
  return marginsForPage(UIDRef(document->GetDocDataBase(), pageUIDForDoc(document, pageIndex)));
}

PMRect pageRectForDocWithoutMargins(IDocument* document, int pageIndex) {
  const PMRect page = pageRectForDoc(document, pageIndex, 0);
  const PMRect margins = marginsForDoc(document, 0);
  return {page.left + margins.left, page.top + margins.top, page.right - margins.right,
          page.bottom - margins.bottom};
}

PMRect pageRectForDocWithoutMargins(const UIDRef& document) {
  if (!document.isValid()) return {};
  return pageRectForDocWithoutMargins(documentForRef(document), 0);
}

// --- the handle's walks

IDocument* MyDoc::liveDocument() const {
  IDocument* document = documentForDataBase(_database);
  return document && document == _document ? document : nullptr;
}

bool MyDoc::enumSpread(ISpread* spread, ItemCallback callback, void* data) const {
  return walkSpread(liveDocument(), spread, false, callback, data);
}

bool MyDoc::enumSpreads(SpreadCallback callback, void* data) const {
  return EnumSpreads(reference(), callback, data);
}

bool MyDoc::enumSpreads(IDocumentLayer* layer, ItemCallback callback, void* data) const {
  IDocument* doc = liveDocument();
  if (!doc || !layer) return true;
  IDataBase* db = doc->GetDocDataBase();
  const UID layerUID = layer->GetUID();
  for (UID uid : doc->spreadList()) {
    auto* spread = db->instantiate<ISpread>(uid);
    ISpreadLayer* spreadLayer = spread ? spread->QueryLayer(layerUID) : nullptr;
    if (!spreadLayer) continue;
    if (!walkChildren(db, spreadLayer->GetUID(), false, callback, data)) return false;
  }
  return true;
}

bool MyDoc::enumSpreads(const UIDRef& layer, ItemCallback callback, void* data) const {
  if (!layer.isValid()) return false;
  auto* docLayer = layer.GetDataBase()->instantiate<IDocumentLayer>(layer.GetUID());
  if (!docLayer) return false;
  return enumSpreads(docLayer, callback, data);
}

bool MyDoc::enumBoxes(ItemCallback callback, void* data) const {
  IDocument* doc = liveDocument();
  if (!doc) return true;
  // A copy: callbacks may add or delete spreads.
  const std::vector<UID> spreads = doc->spreadList();
  for (UID uid : spreads) {
    auto* spread = doc->GetDocDataBase()->instantiate<ISpread>(uid);
    if (!spread) continue;
    if (!enumSpread(spread, callback, data)) return false;
  }
  return true;
}

bool MyDoc::enumVisibleBoxes(ItemCallback callback, void* data) const {
  return enumBoxes(callback, data);
}

bool MyDoc::enumDocLayer(const std::string& layerName, ItemCallback callback, void* data) const {
  IDocument* doc = liveDocument();
  if (!doc) return true;
  IDocumentLayer* layer = doc->findLayer(layerName);
  ISpread* spread = doc->spreadAt(0);
  ISpreadLayer* spreadLayer = layer && spread ? spread->QueryLayer(layer->GetUID()) : nullptr;
  if (!spreadLayer) return true;
  IDataBase* db = doc->GetDocDataBase();
  const UIDList items = getPageItems(UIDRef(db, spreadLayer->GetUID()));
  for (UID item : items) {
    if (!db->instantiate<IHierarchy>(item)) continue;
    if (!callback(getChildRef(UIDRef(db, item)), data)) return false;
  }
  return true;
}

bool MyDoc::enumDocLayers(DocLayerCallback callback, void* data) const {
  return EnumDocLayers(reference(), callback, data);
}

bool MyDoc::enumSpreadLayers(int spreadIndex, SpreadLayerCallback callback, void* data) const {
  IDocument* doc = liveDocument();
  ISpread* spread = doc ? doc->spreadAt(spreadIndex) : nullptr;
  if (!spread) return true;
  IDataBase* db = doc->GetDocDataBase();
  const UID spreadUID = spread->GetUID();
  for (int index = 1; index < doc->GetLayerCount(); ++index) {
    IDocumentLayer* layer = doc->layerAt(index);
    spread = db->instantiate<ISpread>(spreadUID);
    if (!layer || !spread) continue;
    const std::string name = layer->GetName();
    if (!callback(spread, spread->QueryLayer(layer->GetUID()), name, data)) return false;
  }
  return true;
}

bool MyDoc::enumPages(PageRectCallback callback, void* data) const {
  IDocument* doc = liveDocument();
  if (!doc) return true;
  // UIDs, not pages: a callback may delete pages.
  UIDList pages(doc->GetDocDataBase());
  setupPageUIDs(doc, &pages);
  for (UID page : pages) {
    PMRect bounds = boundsForFrame(UIDRef(doc->GetDocDataBase(), page), 1);
    if (!callback(bounds, data)) return false;
  }
  return true;
}

bool MyDoc::enumLinks(ItemCallback callback, void* data) const {
  return EnumLinks(liveDocument(), callback, data);
}

bool MyDoc::enumStories(StoryCallback callback, void* data) const {
  return EnumStories(liveDocument(), callback, data);
}

std::vector<std::string> MyDoc::picturePaths() const {
  std::vector<std::string> paths;
  IDocument* doc = liveDocument();
  if (!doc) return paths;
  for (UID link : doc->linkList())
    if (auto path = pathForLink(UIDRef(doc->GetDocDataBase(), link))) paths.push_back(std::move(*path));
  return paths;
}

int MyDoc::getNumPages() const {
  IDocument* doc = liveDocument();
  return doc ? doc->GetPageCount() : 0;
}

int MyDoc::getNumSpreads() const {
  IDocument* doc = liveDocument();
  return doc ? doc->GetSpreadCount() : 0;
}

UIDRef MyDoc::getSpreadRef(int spreadIndex) const {
  return spreadRefForDoc(liveDocument(), spreadIndex);
}

UIDList MyDoc::spreadList() const {
  IDocument* doc = liveDocument();
  UIDList list(doc ? doc->GetDocDataBase() : nullptr);
  if (doc)
    for (UID uid : doc->spreadList()) list.Append(uid);
  return list;
}

UIDList MyDoc::pageRange(int first, int last) const {
  IDocument* doc = liveDocument();
  UIDList list(doc ? doc->GetDocDataBase() : nullptr);
  if (!doc) return list;
  first = std::max(first, 1);
  last = std::min(last, doc->GetPageCount());
  for (int number = first; number <= last; ++number)
    if (Page* page = doc->pageAt(number - 1)) list.Append(page->GetUID());
  return list;
}

UIDRef MyDoc::getPageRef(int pageIndex, UIDRef* spreadOut, int* indexInSpreadOut) const {
  IDocument* doc = liveDocument();
  Page* page = doc ? doc->pageAt(pageIndex) : nullptr;
  if (!page) return {};
  IDataBase* db = doc->GetDocDataBase();
  if (spreadOut) {
    // The page lives on the pages layer's spread layer: its grandparent is the spread.
    *spreadOut = getParentRef(getParentRef(UIDRef(db, page->GetUID())));
    if (indexInSpreadOut) {
      if (auto* spread = db->instantiate<ISpread>(spreadOut->GetUID())) {
        const std::vector<Page*> pages = spread->pages();
        for (std::size_t i = 0; i < pages.size(); ++i)
          if (pages[i] == page) *indexInSpreadOut = static_cast<int>(i);
      }
    }
  }
  return UIDRef(db, page->GetUID());
}

PMRect MyDoc::getSpreadBounds(int spreadIndex, int* pageCountOut) const {
  IDocument* doc = liveDocument();
  ISpread* spread = doc ? doc->spreadAt(spreadIndex) : nullptr;
  if (!spread) {
    // No such spread: nothing to enclose.
    if (pageCountOut) *pageCountOut = 0;
    return {};
  }
  if (pageCountOut) *pageCountOut = spread->GetNumPages();
  return getPagesBounds(spread);
}

}  // namespace korvex
