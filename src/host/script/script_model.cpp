// The object model scripts see: app, its documents and their layers, pages,
// spreads, page items, text frames, stories, swatches and links. A script
// object holds only its document's database serial and the object's UID and
// looks the host object up on every use, so it always shows the document as
// it is now, and an object that is gone (or whose document was closed)
// answers "Object is invalid".

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host/script/script_context.h"
#include "host/session.h"

namespace korvex::script {
namespace {

constexpr const char* kLabelKey = "Label";  // the key of an item's script label

IDocument* thisDocument(duk_context* ctx) {
  return thisTarget(ctx).document;
}

duk_ret_t documentName(duk_context* ctx) {
  duk_push_string(ctx, thisDocument(ctx)->GetName().c_str());
  return 1;
}

const std::string& savedPath(duk_context* ctx, const IDocument& document) {
  const IDFile& file = document.GetDocDataBase()->GetSysFile();
  if (file.empty()) throwError(ctx, "the document \"" + document.GetName() + "\" has not been saved yet");
  return file.path();
}

duk_ret_t documentFilePath(duk_context* ctx) {
  const IDocument* document = thisDocument(ctx);
  const std::string& path = savedPath(ctx, *document);
  const std::string folder = std::filesystem::path(path).parent_path().string();
  pushFolder(ctx, folder.empty() ? "/" : folder);
  return 1;
}

duk_ret_t documentFullName(duk_context* ctx) {
  const IDocument* document = thisDocument(ctx);
  pushFile(ctx, savedPath(ctx, *document));
  return 1;
}

duk_ret_t documentModified(duk_context* ctx) {
  pushBool(ctx, thisDocument(ctx)->GetDocDataBase()->IsModified());
  return 1;
}

duk_ret_t documentSaved(duk_context* ctx) {
  pushBool(ctx, !thisDocument(ctx)->GetDocDataBase()->GetSysFile().empty());
  return 1;
}

void checkSave(duk_context* ctx, ErrorCode code, const IDocument& document) {
  if (code == kSuccess) return;
  const std::string& reason = application()->errorMessage();
  throwError(ctx, "could not save \"" + document.GetName() + "\" (error " + std::to_string(code) + ")" +
                      (reason.empty() ? "" : ": " + reason));
}

duk_ret_t documentSave(duk_context* ctx) {
  IDocument* document = thisDocument(ctx);
  if (duk_is_null_or_undefined(ctx, 0)) {
    checkSave(ctx, application()->saveDocument(document), *document);
  } else {
    const std::string path = resolveScriptPath(runOf(ctx), pathArg(ctx, 0));
    checkSave(ctx, application()->saveDocumentAs(document, path), *document);
  }
  duk_push_this(ctx);
  return 1;
}

duk_ret_t documentClose(duk_context* ctx) {
  IDocument* document = thisDocument(ctx);
  if (duk_is_string(ctx, 0) && std::string(duk_get_string(ctx, 0)) == "YES") {
    checkSave(ctx, application()->saveDocument(document), *document);
  } else if (!duk_is_null_or_undefined(ctx, 0) && !duk_is_string(ctx, 0)) {
    throwError(ctx, "close: expected SaveOptions.YES, SaveOptions.NO or nothing");
  }
  check(ctx, application()->closeDocument(document), "close the document");
  return 0;
}

// Page items of the document's spreads (not of master spreads).
std::vector<UID> spreadItems(const IDocument& document, bool topLevelOnly) {
  const IDataBase* db = document.GetDocDataBase();
  std::vector<UID> items;
  for (UID uid : document.allPageItems()) {
    const auto* item = db->instantiate<PageItem>(uid);
    if (!item || !db->instantiate<ISpread>(document.spreadOf(uid))) continue;
    if (document.masterSpreadList().end() != std::find(document.masterSpreadList().begin(),
                                                       document.masterSpreadList().end(),
                                                       document.spreadOf(uid)))
      continue;
    if (topLevelOnly && !db->instantiate<ISpreadLayer>(item->GetParentUID())) continue;
    items.push_back(uid);
  }
  return items;
}

std::vector<UID> frontFirstLayers(const IDocument& document) {
  std::vector<UID> layers(document.layerList().rbegin(), document.layerList().rend());
  if (!layers.empty()) layers.pop_back();  // the pages layer
  return layers;
}

duk_ret_t documentLayers(duk_context* ctx) {
  const IDocument* document = thisDocument(ctx);
  pushCollection(ctx, "Layers", Kind::Layer, document, frontFirstLayers(*document));
  return 1;
}

std::vector<UID> pageUIDs(const std::vector<Page*>& pages) {
  std::vector<UID> uids;
  for (const Page* page : pages) uids.push_back(page->GetUID());
  return uids;
}

duk_ret_t documentPages(duk_context* ctx) {
  const IDocument* document = thisDocument(ctx);
  pushCollection(ctx, "Collection", Kind::Page, document, pageUIDs(document->pages()));
  return 1;
}

duk_ret_t documentSpreads(duk_context* ctx) {
  const IDocument* document = thisDocument(ctx);
  pushCollection(ctx, "Collection", Kind::Spread, document, document->spreadList());
  return 1;
}

duk_ret_t documentAllPageItems(duk_context* ctx) {
  const IDocument* document = thisDocument(ctx);
  pushCollection(ctx, "Collection", Kind::PageItem, document, spreadItems(*document, false));
  return 1;
}

duk_ret_t documentPageItems(duk_context* ctx) {
  const IDocument* document = thisDocument(ctx);
  pushCollection(ctx, "Collection", Kind::PageItem, document, spreadItems(*document, true));
  return 1;
}

duk_ret_t documentTextFrames(duk_context* ctx) {
  const IDocument* document = thisDocument(ctx);
  std::vector<UID> frames;
  for (UID uid : spreadItems(*document, true))
    if (isTextFrame(document, uid)) frames.push_back(uid);
  pushCollection(ctx, "Collection", Kind::PageItem, document, frames);
  return 1;
}

duk_ret_t documentStories(duk_context* ctx) {
  const IDocument* document = thisDocument(ctx);
  pushCollection(ctx, "Collection", Kind::Story, document, document->storyList());
  return 1;
}

duk_ret_t documentSwatches(duk_context* ctx) {
  const IDocument* document = thisDocument(ctx);
  pushCollection(ctx, "Collection", Kind::Swatch, document, document->swatchList());
  return 1;
}

duk_ret_t documentLinks(duk_context* ctx) {
  const IDocument* document = thisDocument(ctx);
  pushCollection(ctx, "Collection", Kind::Link, document, document->linkList());
  return 1;
}

duk_ret_t documentExtractLabel(duk_context* ctx) {
  const std::optional<std::string> value = thisDocument(ctx)->labels().get(stringArg(ctx, 0));
  duk_push_string(ctx, value ? value->c_str() : "");
  return 1;
}

duk_ret_t documentInsertLabel(duk_context* ctx) {
  check(ctx, thisDocument(ctx)->setLabel(stringArg(ctx, 0), stringArg(ctx, 1)), "insert the label");
  return 0;
}

// --- layers

IDocumentLayer* thisLayer(duk_context* ctx) {
  return thisObject<IDocumentLayer>(ctx);
}

duk_ret_t layerName(duk_context* ctx) {
  duk_push_string(ctx, thisLayer(ctx)->GetName().c_str());
  return 1;
}
duk_ret_t setLayerName(duk_context* ctx) {
  IDocumentLayer* layer = thisLayer(ctx);
  const std::string name = stringArg(ctx, 0);
  if (name != layer->GetName() && thisTarget(ctx).document->findLayer(name))
    throwError(ctx, "a layer named \"" + name + "\" exists already");
  check(ctx, layer->SetName(name), "rename the layer");
  return 0;
}
duk_ret_t layerVisible(duk_context* ctx) {
  pushBool(ctx, thisLayer(ctx)->IsVisible());
  return 1;
}
duk_ret_t setLayerVisible(duk_context* ctx) {
  check(ctx, thisLayer(ctx)->SetVisible(boolArg(ctx, 0)), "show or hide the layer");
  return 0;
}
duk_ret_t layerLocked(duk_context* ctx) {
  pushBool(ctx, thisLayer(ctx)->IsLocked());
  return 1;
}
duk_ret_t setLayerLocked(duk_context* ctx) {
  check(ctx, thisLayer(ctx)->SetLocked(boolArg(ctx, 0)), "lock or unlock the layer");
  return 0;
}
duk_ret_t layerPrintable(duk_context* ctx) {
  pushBool(ctx, thisLayer(ctx)->IsPrintable());
  return 1;
}
duk_ret_t setLayerPrintable(duk_context* ctx) {
  check(ctx, thisLayer(ctx)->SetPrintable(boolArg(ctx, 0)), "change the layer's printing");
  return 0;
}
duk_ret_t layerRemove(duk_context* ctx) {
  IDocumentLayer* layer = thisLayer(ctx);
  check(ctx, thisTarget(ctx).document->deleteLayer(layer->GetUID()), "remove the layer");
  return 0;
}

// layers.add(): a new layer in front of all others, named "Layer N" unless
// the properties ({name, visible, locked, printable}) or a name say otherwise.
duk_ret_t layersAdd(duk_context* ctx) {
  IDocument* document = collectionDocument(ctx);
  std::string name;
  if (duk_is_string(ctx, 0)) {
    name = stringArg(ctx, 0);
  } else if (duk_is_object(ctx, 0) && duk_get_prop_string(ctx, 0, "name")) {
    name = stringArg(ctx, -1);
  }
  if (name.empty())
    for (int n = 1; name.empty() || document->findLayer(name); ++n) name = "Layer " + std::to_string(n);
  if (document->findLayer(name)) throwError(ctx, "a layer named \"" + name + "\" exists already");
  IDocumentLayer* layer = document->createLayer(name);
  if (!layer) throwError(ctx, "could not add the layer \"" + name + "\"");
  if (duk_is_object(ctx, 0) && !duk_is_string(ctx, 0)) {
    if (duk_get_prop_string(ctx, 0, "visible") && !duk_is_undefined(ctx, -1))
      check(ctx, layer->SetVisible(boolArg(ctx, -1)), "show or hide the layer");
    if (duk_get_prop_string(ctx, 0, "locked") && !duk_is_undefined(ctx, -1))
      check(ctx, layer->SetLocked(boolArg(ctx, -1)), "lock the layer");
    if (duk_get_prop_string(ctx, 0, "printable") && !duk_is_undefined(ctx, -1))
      check(ctx, layer->SetPrintable(boolArg(ctx, -1)), "change the layer's printing");
  }
  pushHostObject(ctx, Kind::Layer, document, layer->GetUID());
  return 1;
}

// --- pages and spreads

std::string pageName(const IDocument& document, const Page& page) {
  return page.name().empty() ? std::to_string(document.pageIndex(page.GetUID()) + 1) : page.name();
}

duk_ret_t pageNameGetter(duk_context* ctx) {
  const Page* page = thisObject<Page>(ctx);
  duk_push_string(ctx, pageName(*thisTarget(ctx).document, *page).c_str());
  return 1;
}

duk_ret_t pageBounds(duk_context* ctx) {
  const Page* page = thisObject<Page>(ctx);
  const IDocument& document = *thisTarget(ctx).document;
  const PMMatrix m = page->innerToPasteboard();
  pushBounds(ctx, Path::rectangle(page->innerBounds()).bounds(m), originFor(document, page->GetUID()));
  return 1;
}

duk_ret_t pageParent(duk_context* ctx) {
  const Page* page = thisObject<Page>(ctx);
  const IDocument* document = thisTarget(ctx).document;
  pushHostObject(ctx, Kind::Spread, document, document->spreadOf(page->GetUID()));
  return 1;
}

duk_ret_t spreadName(duk_context* ctx) {
  const ISpread* spread = thisObject<ISpread>(ctx);
  const IDocument& document = *thisTarget(ctx).document;
  std::string name;
  for (const Page* page : spread->pages()) name += (name.empty() ? "" : "-") + pageName(document, *page);
  duk_push_string(ctx, name.c_str());
  return 1;
}

duk_ret_t spreadBounds(duk_context* ctx) {
  const ISpread* spread = thisObject<ISpread>(ctx);
  const PMRect pages = spread->GetPagesBounds(true);
  pushBounds(ctx, pages, {pages.left, pages.top});
  return 1;
}

duk_ret_t spreadPages(duk_context* ctx) {
  const ISpread* spread = thisObject<ISpread>(ctx);
  pushCollection(ctx, "Collection", Kind::Page, thisTarget(ctx).document, pageUIDs(spread->pages()));
  return 1;
}

// --- page items

PageItem* thisItem(duk_context* ctx) {
  return thisObject<PageItem>(ctx);
}

duk_ret_t itemGeometricBounds(duk_context* ctx) {
  const PageItem* item = thisItem(ctx);
  const IDocument& document = *thisTarget(ctx).document;
  pushBounds(ctx, document.pathBounds(item->GetUID()).value_or(PMRect{}),
             originFor(document, item->GetUID()));
  return 1;
}

duk_ret_t setItemGeometricBounds(duk_context* ctx) {
  const PageItem* item = thisItem(ctx);
  IDocument& document = *thisTarget(ctx).document;
  const std::vector<double> b = numbersArg(ctx, 0, 4, "geometricBounds");
  if (b[2] < b[0] || b[3] < b[1]) throwError(ctx, "geometricBounds: bottom above top or right left of left");
  const PMPoint o = originFor(document, item->GetUID());
  check(ctx, document.setPathBounds(item->GetUID(), {b[1] + o.x, b[0] + o.y, b[3] + o.x, b[2] + o.y}),
        "set the bounds");
  return 0;
}

duk_ret_t itemVisibleBounds(duk_context* ctx) {
  const PageItem* item = thisItem(ctx);
  const IDocument& document = *thisTarget(ctx).document;
  pushBounds(ctx, document.strokeBounds(item->GetUID()).value_or(PMRect{}),
             originFor(document, item->GetUID()));
  return 1;
}

duk_ret_t itemLabel(duk_context* ctx) {
  const std::optional<std::string> value = thisItem(ctx)->labels().get(kLabelKey);
  duk_push_string(ctx, value ? value->c_str() : "");
  return 1;
}

duk_ret_t setItemLabel(duk_context* ctx) {
  check(ctx, thisItem(ctx)->setLabel(kLabelKey, stringArg(ctx, 0)), "set the label");
  return 0;
}

duk_ret_t itemExtractLabel(duk_context* ctx) {
  const std::optional<std::string> value = thisItem(ctx)->labels().get(stringArg(ctx, 0));
  duk_push_string(ctx, value ? value->c_str() : "");
  return 1;
}

duk_ret_t itemInsertLabel(duk_context* ctx) {
  const std::string key = stringArg(ctx, 0);
  if (key.empty()) throwError(ctx, "insertLabel: the key is empty");
  check(ctx, thisItem(ctx)->setLabel(key, stringArg(ctx, 1)), "insert the label");
  return 0;
}

// The spread layer the item lies in (through its groups), else null.
const ISpreadLayer* spreadLayerOf(const IDocument& document, const PageItem& item) {
  const IDataBase* db = document.GetDocDataBase();
  for (UID uid = item.GetParentUID(); uid != kInvalidUID;) {
    if (const auto* layer = db->instantiate<ISpreadLayer>(uid)) return layer;
    const auto* node = db->instantiate<IHierarchy>(uid);
    if (!node) break;
    uid = node->GetParentUID();
  }
  return nullptr;
}

duk_ret_t itemLayer(duk_context* ctx) {
  const PageItem* item = thisItem(ctx);
  const IDocument* document = thisTarget(ctx).document;
  const ISpreadLayer* layer = spreadLayerOf(*document, *item);
  if (!layer) throwError(ctx, "the item lies on no layer");
  pushHostObject(ctx, Kind::Layer, document, layer->documentLayerUID());
  return 1;
}

void moveToLayer(duk_context* ctx, IDocument& document, const PageItem& item, duk_idx_t layerIdx) {
  const IDocumentLayer* layer = layerArg(ctx, document, layerIdx);
  const auto* spread = document.GetDocDataBase()->instantiate<ISpread>(document.spreadOf(item.GetUID()));
  const ISpreadLayer* target = spread ? spread->QueryLayer(layer->GetUID()) : nullptr;
  if (!target) throwError(ctx, "the item lies on no spread");
  check(ctx, document.reparent(item.GetUID(), target->GetUID()), "move the item to the layer");
}

duk_ret_t setItemLayer(duk_context* ctx) {
  const PageItem* item = thisItem(ctx);
  moveToLayer(ctx, *thisTarget(ctx).document, *item, 0);
  return 0;
}

duk_ret_t pushSwatchOf(duk_context* ctx, UID swatch) {
  const IDocument* document = thisTarget(ctx).document;
  pushHostObject(ctx, Kind::Swatch, document, swatch == kInvalidUID ? document->noneSwatch() : swatch);
  return 1;
}

duk_ret_t itemFillColor(duk_context* ctx) {
  return pushSwatchOf(ctx, thisItem(ctx)->graphicAttributes().fillSwatch);
}

duk_ret_t itemStrokeColor(duk_context* ctx) {
  return pushSwatchOf(ctx, thisItem(ctx)->graphicAttributes().strokeSwatch);
}

duk_ret_t setItemFillColor(duk_context* ctx) {
  PageItem* item = thisItem(ctx);
  GraphicAttributes attributes = item->graphicAttributes();
  attributes.fillSwatch = swatchArg(ctx, *thisTarget(ctx).document, 0);
  check(ctx, item->setGraphicAttributes(attributes), "set the fill colour");
  return 0;
}

duk_ret_t setItemStrokeColor(duk_context* ctx) {
  PageItem* item = thisItem(ctx);
  GraphicAttributes attributes = item->graphicAttributes();
  attributes.strokeSwatch = swatchArg(ctx, *thisTarget(ctx).document, 0);
  check(ctx, item->setGraphicAttributes(attributes), "set the stroke colour");
  return 0;
}

// move(to, by): to a layer, to a place ([x, y] of the top left corner), or by [dx, dy].
duk_ret_t itemMove(duk_context* ctx) {
  const PageItem* item = thisItem(ctx);
  IDocument& document = *thisTarget(ctx).document;
  UIDList items(document.GetDocDataBase());
  items.Append(item->GetUID());
  Kind kind;
  if (hostKindAt(ctx, 0, &kind) || duk_is_string(ctx, 0)) {
    moveToLayer(ctx, document, *item, 0);
  } else if (!duk_is_null_or_undefined(ctx, 0)) {
    const std::vector<double> to = numbersArg(ctx, 0, 2, "move");
    const PMRect bounds = document.pathBounds(item->GetUID()).value_or(PMRect{});
    const PMPoint o = originFor(document, item->GetUID());
    check(ctx, document.moveBy(items, to[0] + o.x - bounds.left, to[1] + o.y - bounds.top), "move the item");
  } else if (!duk_is_null_or_undefined(ctx, 1)) {
    const std::vector<double> by = numbersArg(ctx, 1, 2, "move");
    check(ctx, document.moveBy(items, by[0], by[1]), "move the item");
  } else {
    throwError(ctx, "move: expected a layer, a place [x, y] or a distance [dx, dy]");
  }
  duk_push_this(ctx);
  return 1;
}

duk_ret_t itemRemove(duk_context* ctx) {
  const PageItem* item = thisItem(ctx);
  IDocument& document = *thisTarget(ctx).document;
  UIDList items(document.GetDocDataBase());
  items.Append(item->GetUID());
  check(ctx, document.deleteItems(items), "remove the item");
  return 0;
}

duk_ret_t itemParentPage(duk_context* ctx) {
  const PageItem* item = thisItem(ctx);
  const IDocument* document = thisTarget(ctx).document;
  const UID page = document->pageOf(item->GetUID());
  if (page == kInvalidUID)
    duk_push_null(ctx);
  else
    pushHostObject(ctx, Kind::Page, document, page);
  return 1;
}

// --- text frames and stories

const MultiColumnItem* textOf(duk_context* ctx, const IDocument& document, const PageItem& item) {
  const auto* frame = dynamic_cast<const SplineItem*>(&item);
  const auto* text =
      frame ? document.GetDocDataBase()->instantiate<MultiColumnItem>(frame->textContentUID()) : nullptr;
  if (!text) throwError(ctx, "the item is not a text frame");
  return text;
}

ITextModel* storyOf(duk_context* ctx, const IDocument& document, const MultiColumnItem& text) {
  ITextModel* story = document.story(text.storyUID());
  if (!story) throwInvalid(ctx);
  return story;
}

// The characters the frame shows: its columns' ranges; the last frame of a
// thread also holds what overflows it.
std::pair<int, int> frameRange(const ITextModel& story, const MultiColumnItem& text) {
  int start = -1, end = -1;
  for (UID column : text.children()) {
    const auto [first, span] = story.columnRange(column);
    if (start < 0 || first < start) start = first;
    end = std::max(end, first + span);
  }
  const int length = story.TotalLength() - 1;  // without the end-of-story mark
  if (!story.threadedFrames().empty() && story.threadedFrames().back() == text.GetUID()) {
    if (start < 0) start = length;
    end = length;
  }
  if (start < 0) return {0, 0};
  start = std::clamp(start, 0, length);
  end = std::clamp(end, start, length);
  return {start, end - start};
}

duk_ret_t frameContents(duk_context* ctx) {
  const PageItem* item = thisItem(ctx);
  const IDocument& document = *thisTarget(ctx).document;
  const MultiColumnItem* text = textOf(ctx, document, *item);
  const ITextModel* story = storyOf(ctx, document, *text);
  const auto [start, length] = frameRange(*story, *text);
  duk_push_string(ctx, story->textRange(start, length).c_str());
  return 1;
}

void replaceText(duk_context* ctx, IDocument& document, ITextModel& story, int start, int length,
                 const std::string& text) {
  std::vector<UID> removed;
  check(ctx, story.Replace(start, length, text, &removed), "change the text");
  if (removed.empty()) return;
  UIDList items(document.GetDocDataBase());
  for (UID uid : removed) items.Append(uid);
  check(ctx, document.deleteItems(items), "remove the anchored items of the replaced text");
}

duk_ret_t setFrameContents(duk_context* ctx) {
  const PageItem* item = thisItem(ctx);
  IDocument& document = *thisTarget(ctx).document;
  const MultiColumnItem* text = textOf(ctx, document, *item);
  ITextModel* story = storyOf(ctx, document, *text);
  const auto [start, length] = frameRange(*story, *text);
  replaceText(ctx, document, *story, start, length, stringArg(ctx, 0));
  return 0;
}

duk_ret_t frameParentStory(duk_context* ctx) {
  const PageItem* item = thisItem(ctx);
  const IDocument* document = thisTarget(ctx).document;
  pushHostObject(ctx, Kind::Story, document, textOf(ctx, *document, *item)->storyUID());
  return 1;
}

duk_ret_t storyContents(duk_context* ctx) {
  duk_push_string(ctx, thisObject<ITextModel>(ctx)->text().c_str());
  return 1;
}

duk_ret_t setStoryContents(duk_context* ctx) {
  ITextModel* story = thisObject<ITextModel>(ctx);
  replaceText(ctx, *thisTarget(ctx).document, *story, 0, story->TotalLength() - 1, stringArg(ctx, 0));
  return 0;
}

duk_ret_t storyLength(duk_context* ctx) {
  duk_push_int(ctx, thisObject<ITextModel>(ctx)->TotalLength() - 1);
  return 1;
}

duk_ret_t storyTextContainers(duk_context* ctx) {
  const ITextModel* story = thisObject<ITextModel>(ctx);
  const IDocument* document = thisTarget(ctx).document;
  std::vector<UID> frames;
  for (UID uid : story->threadedFrames())
    if (const auto* text = document->GetDocDataBase()->instantiate<MultiColumnItem>(uid))
      frames.push_back(text->GetParentUID());
  pushCollection(ctx, "Collection", Kind::PageItem, document, frames);
  return 1;
}

// --- swatches

duk_ret_t swatchName(duk_context* ctx) {
  duk_push_string(ctx, thisObject<Swatch>(ctx)->name().c_str());
  return 1;
}

duk_ret_t setSwatchName(duk_context* ctx) {
  Swatch* swatch = thisObject<Swatch>(ctx);
  const std::string name = stringArg(ctx, 0);
  if (swatch->isReserved()) throwError(ctx, "the swatch \"" + swatch->name() + "\" can't be renamed");
  if (name != swatch->name() && thisTarget(ctx).document->findSwatch(name))
    throwError(ctx, "a swatch named \"" + name + "\" exists already");
  check(ctx, swatch->setName(name), "rename the swatch");
  return 0;
}

duk_ret_t swatchRemove(duk_context* ctx) {
  const Swatch* swatch = thisObject<Swatch>(ctx);
  IDocument& document = *thisTarget(ctx).document;
  if (swatch->isReserved()) throwError(ctx, "the swatch \"" + swatch->name() + "\" can't be removed");
  const UID replacement = duk_is_null_or_undefined(ctx, 0) ? kInvalidUID : swatchArg(ctx, document, 0);
  check(ctx, document.deleteSwatch(swatch->GetUID(), replacement), "remove the swatch");
  return 0;
}

// --- the application

duk_ret_t appDocuments(duk_context* ctx) {
  Application* app = application();
  duk_idx_t array = duk_push_array(ctx);
  for (int i = 0; i < app->GetDocumentCount(); ++i) {
    const IDocument* document = app->GetNthDocument(i);
    pushHostObject(ctx, Kind::Document, document, document->GetUID());
    duk_put_prop_index(ctx, array, static_cast<duk_uarridx_t>(i));
  }
  duk_push_int(ctx, static_cast<int>(Kind::Document));
  duk_put_prop_string(ctx, array, kKindKey);
  pushStoredPrototype(ctx, "Collection");
  duk_set_prototype(ctx, array);
  return 1;
}

duk_ret_t appActiveDocument(duk_context* ctx) {
  const IDocument* document = application()->frontDocument();
  if (!document) throwError(ctx, "no document is open");
  pushHostObject(ctx, Kind::Document, document, document->GetUID());
  return 1;
}

duk_ret_t appName(duk_context* ctx) {
  duk_push_string(ctx, "Korvex host");
  return 1;
}

void putStrings(duk_context* ctx, const char* object, const std::vector<const char*>& names) {
  duk_push_global_object(ctx);
  duk_push_object(ctx);
  for (const char* name : names) {
    duk_push_string(ctx, name);
    duk_put_prop_string(ctx, -2, name);
  }
  duk_freeze(ctx, -1);
  duk_put_prop_string(ctx, -2, object);
  duk_pop(ctx);
}

}  // namespace

void installObjectModel(duk_context* ctx) {
  const std::vector<Property> common{{"isValid", getIsValid, nullptr}, {"id", getID, nullptr}};
  auto with = [&](std::vector<Property> properties) {
    properties.insert(properties.end(), common.begin(), common.end());
    return properties;
  };

  pushPrototype(ctx,
                with({{"name", documentName, nullptr},
                      {"filePath", documentFilePath, nullptr},
                      {"fullName", documentFullName, nullptr},
                      {"modified", documentModified, nullptr},
                      {"saved", documentSaved, nullptr},
                      {"layers", documentLayers, nullptr},
                      {"pages", documentPages, nullptr},
                      {"spreads", documentSpreads, nullptr},
                      {"allPageItems", documentAllPageItems, nullptr},
                      {"pageItems", documentPageItems, nullptr},
                      {"textFrames", documentTextFrames, nullptr},
                      {"stories", documentStories, nullptr},
                      {"swatches", documentSwatches, nullptr},
                      {"links", documentLinks, nullptr}}),
                {{"save", documentSave, 1},
                 {"close", documentClose, 1},
                 {"extractLabel", documentExtractLabel, 1},
                 {"insertLabel", documentInsertLabel, 2}});
  storePrototype(ctx, "Document");

  pushPrototype(ctx,
                with({{"name", layerName, setLayerName},
                      {"visible", layerVisible, setLayerVisible},
                      {"locked", layerLocked, setLayerLocked},
                      {"printable", layerPrintable, setLayerPrintable}}),
                {{"remove", layerRemove, 0}});
  storePrototype(ctx, "Layer");

  pushPrototype(ctx,
                with({{"name", pageNameGetter, nullptr},
                      {"bounds", pageBounds, nullptr},
                      {"parent", pageParent, nullptr}}),
                {});
  storePrototype(ctx, "Page");
  pushPrototype(ctx,
                with({{"name", spreadName, nullptr},
                      {"bounds", spreadBounds, nullptr},
                      {"pages", spreadPages, nullptr}}),
                {});
  storePrototype(ctx, "Spread");

  const std::vector<Property> itemProperties =
      with({{"geometricBounds", itemGeometricBounds, setItemGeometricBounds},
            {"visibleBounds", itemVisibleBounds, nullptr},
            {"label", itemLabel, setItemLabel},
            {"itemLayer", itemLayer, setItemLayer},
            {"fillColor", itemFillColor, setItemFillColor},
            {"strokeColor", itemStrokeColor, setItemStrokeColor},
            {"parentPage", itemParentPage, nullptr}});
  const std::vector<Method> itemMethods{{"extractLabel", itemExtractLabel, 1},
                                        {"insertLabel", itemInsertLabel, 2},
                                        {"move", itemMove, 2},
                                        {"remove", itemRemove, 0}};
  pushPrototype(ctx, itemProperties, itemMethods);
  storePrototype(ctx, "PageItem");
  // Text frames are page items with text.
  pushPrototype(
      ctx, {{"contents", frameContents, setFrameContents}, {"parentStory", frameParentStory, nullptr}}, {});
  pushStoredPrototype(ctx, "PageItem");
  duk_set_prototype(ctx, -2);
  storePrototype(ctx, "TextFrame");

  pushPrototype(ctx,
                with({{"contents", storyContents, setStoryContents},
                      {"length", storyLength, nullptr},
                      {"textContainers", storyTextContainers, nullptr}}),
                {});
  storePrototype(ctx, "Story");
  pushPrototype(ctx, with({{"name", swatchName, setSwatchName}}), {{"remove", swatchRemove, 1}});
  storePrototype(ctx, "Swatch");
  installLinkPrototype(ctx, common);

  // Collections are arrays taken afresh at each access, with lookups.
  pushPrototype(ctx, {},
                {{"item", collectionItem, 1},
                 {"itemByName", collectionItemByName, 1},
                 {"firstItem", collectionFirstItem, 1},
                 {"lastItem", collectionLastItem, 1}});
  duk_get_global_string(ctx, "Array");
  duk_get_prop_string(ctx, -1, "prototype");
  duk_remove(ctx, -2);
  duk_set_prototype(ctx, -2);
  storePrototype(ctx, "Collection");
  pushPrototype(ctx, {}, {{"add", layersAdd, 1}});
  pushStoredPrototype(ctx, "Collection");
  duk_set_prototype(ctx, -2);
  storePrototype(ctx, "Layers");

  duk_push_global_object(ctx);
  pushPrototype(ctx,
                {{"documents", appDocuments, nullptr},
                 {"activeDocument", appActiveDocument, nullptr},
                 {"name", appName, nullptr}},
                {});
  duk_put_prop_string(ctx, -2, "app");
  duk_pop(ctx);
  putStrings(ctx, "LinkStatus", {"NORMAL", "LINK_OUT_OF_DATE", "LINK_MISSING", "LINK_EMBEDDED"});
  putStrings(ctx, "SaveOptions", {"YES", "NO", "ASK"});
}

}  // namespace korvex::script
