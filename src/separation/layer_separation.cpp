#include "separation/layer_separation.h"

#include <memory>
#include <unordered_map>

#include "docmodel/documents.h"
#include "docmodel/frame_content.h"
#include "docmodel/frames.h"
#include "docmodel/host_actions.h"
#include "docmodel/layers.h"
#include "docmodel/pictures.h"
#include "docmodel/styles_colors_pages.h"
#include "docmodel/traversal.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/file_labels.h"
#include "foundation/log.h"
#include "foundation/unicode.h"
#include "separation/frame_list.h"
#include "separation/frame_overlaps.h"
#include "separation/text_colour.h"

namespace korvex {

namespace {

constexpr const char* kTextLayer = "TEXT";
constexpr const char* kImageLayer = "BILDER";
// The host action run on each text frame before its text is looked at.
constexpr int kTextFrameAction = 0x10928;

struct Run {
  IDocument* document = nullptr;
  IDataBase* database = nullptr;
  bool failed = false;
  UID textLayer = kInvalidUID;
  UID imageLayer = kInvalidUID;
  std::optional<PMPoint> origin;  // the first page's corner, for every snapshot
  std::vector<std::unique_ptr<KXFrame>> owned;
  std::vector<KXFrame*> frames;
  FrameList textList, imageList;
  std::vector<UID> colorList;

  // The last marking decides. A frame already on the layer is taken off the
  // other list but not listed: it is not moved.
  void markForImageLayer(KXFrame* f) {
    textList.remove(f);
    if (f->docLayerUID() != imageLayer) imageList.append(f);
  }
  void markForTextLayer(KXFrame* f) {
    imageList.remove(f);
    if (f->docLayerUID() != textLayer) textList.append(f);
  }
};

UIDList uidList(IDataBase* database, const std::vector<UID>& uids) {
  UIDList list(database);
  for (UID uid : uids) list.Append(uid);
  return list;
}

// Items whose bounds neither touch nor lie on their spread's pages, both in
// pasteboard coordinates.
void deleteItemsOffTheSpreads(IDocument* document) {
  struct Walk {
    IDocument* document;
    PMRect pages;
    std::vector<UID> off;
  } walk{document, {}, {}};
  EnumSpreads(
      document->GetUIDRef(),
      [](ISpread* spread, void* data) {
        auto* w = static_cast<Walk*>(data);
        w->pages = getPagesBoundsOnPasteboard(spread);
        EnumSpread(
            spread,
            [](const UIDRef& item, void* walkData) {
              auto* on = static_cast<Walk*>(walkData);
              const auto b = on->document->pathBounds(item.GetUID());
              if (!b) return true;  // no geometry: nothing to judge by
              const PMRect& p = on->pages;
              const bool meets =
                  b->left <= p.right && p.left <= b->right && b->top <= p.bottom && p.top <= b->bottom;
              if (!meets) on->off.push_back(item.GetUID());
              return true;
            },
            w);
        return true;
      },
      &walk);
  MyLog("deleting page items outside spreads: %d", static_cast<int>(walk.off.size()));
  if (!walk.off.empty()) deletePageItems(uidList(document->GetDocDataBase(), walk.off));
}

void collectGroups(IDataBase* database, UID group, std::vector<UID>& groups) {
  groups.push_back(group);
  struct Walk {
    IDataBase* database;
    std::vector<UID>* groups;
  } walk{database, &groups};
  EnumHierarchy(
      database, group,
      [](const UIDRef& item, void* data) {
        auto* w = static_cast<Walk*>(data);
        if (isGroupFrame(item)) collectGroups(w->database, item.GetUID(), *w->groups);
        return true;
      },
      &walk);
}

void ungroupAll(IDocument* document) {
  std::vector<UID> groups;
  struct Walk {
    IDataBase* database;
    std::vector<UID>* groups;
  } walk{document->GetDocDataBase(), &groups};
  EnumBoxes(
      document,
      [](const UIDRef& item, void* data) {
        auto* w = static_cast<Walk*>(data);
        if (isGroupFrame(item)) collectGroups(w->database, item.GetUID(), *w->groups);
        return true;
      },
      &walk);
  MyLog("ungrouping: %d", static_cast<int>(groups.size()));
  ungroupFrames(uidList(document->GetDocDataBase(), groups));
}

void takeSnapshots(Run& run) {
  run.origin = firstPageOrigin(run.database);
  EnumBoxes(
      run.document,
      [](const UIDRef& item, void* data) {
        auto* r = static_cast<Run*>(data);
        r->owned.push_back(std::make_unique<KXFrame>(item, r->origin));
        r->frames.push_back(r->owned.back().get());
        return true;
      },
      &run);
  MyLog("%@", describeFrames({run.frames.begin(), run.frames.end()}));
}

void passLines(Run& run) {
  for (KXFrame* f : run.frames) {
    if (!f->isLine()) continue;
    if (colorIsColor(run.database, f->strokeColorDataUID(), f->strokeColorName()))
      run.markForImageLayer(f);
    else
      run.markForTextLayer(f);
  }
}

void passEmptyFrames(Run& run) {
  for (KXFrame* f : run.frames) {
    if (!f->isEmpty()) continue;
    if (colorIsColor(run.database, f->strokeColorDataUID(), f->strokeColorName()) ||
        colorIsColor(run.database, f->fillColorDataUID(), f->fillColorName()))
      run.markForImageLayer(f);
    else
      run.markForTextLayer(f);
  }
}

void passTextFrames(Run& run, FrameOverlapIndex& overlaps) {
  for (KXFrame* f : run.frames) {
    if (!f->isText()) continue;
    selectFrame(f->frameRef(), 0);
    performAction(kTextFrameAction);
    // A Paper fill behind black text is taken away below, not counted as colour here.
    if (colorIsColor(run.database, f->strokeColorDataUID(), f->strokeColorName()) ||
        (f->fillColorName() != "Paper" &&
         colorIsColor(run.database, f->fillColorDataUID(), f->fillColorName()))) {
      run.markForImageLayer(f);
      continue;
    }
    auto* story = run.database->instantiate<ITextModel>(f->storyRef().GetUID());
    if (!story) continue;
    TextRunContext context = textRunContext(run.database, &run.colorList);
    enumTextRuns(story, AttributeClass::kTextColor, normalizeGreyRun, context);

    context.flag = true;
    enumTextRuns(story, AttributeClass::kTextColor, isBlackRun, context);
    if (context.flag) {
      if (f->fillColorName() == "Paper") {
        setFillColor(f->frameRef(), StringArg("None"));
        f->setFillColorName("None");
      }
      context.flag = false;
      enumTextRuns(story, AttributeClass::kTextTint, isTintBelow100Run, context);
      if (context.flag) {
        bool onAFill = false;
        for (const KXFrame* below : overlaps.earlierOverlappingFrames(f))
          if (below->fillColorName() != "None" && below->fillColorName() != "Paper") onAFill = true;
        if (onAFill) {
          run.markForImageLayer(f);
        } else {
          enumTextRuns(story, AttributeClass::kTextColor, flagTintedBlackRun, context);
          run.markForTextLayer(f);
        }
      } else {
        run.markForTextLayer(f);
      }
    }

    context.flag = false;
    enumTextRuns(story, AttributeClass::kTextColor, isPaperRun, context);
    if (context.flag) {
      const std::vector<KXFrame*> black = overlaps.earlierBlackFrames(f);
      if (!black.empty()) {
        run.markForImageLayer(f);
        for (KXFrame* b : black) run.markForImageLayer(b);
      }
    } else {
      context.flag = false;
      enumTextRuns(story, AttributeClass::kTextTint, isZeroTintRun, context);
      if (context.flag) run.markForImageLayer(f);
    }
  }
}

void passGraphics(Run& run, FrameOverlapIndex& overlaps) {
  for (KXFrame* f : run.frames) {
    if (!f->isGraphics()) continue;
    if (f->colorSpace() == KXFrame::kSpaceGrey) {
      run.markForTextLayer(f);
      continue;
    }
    run.markForImageLayer(f);
    for (KXFrame* b : overlaps.earlierBlackFrames(f)) run.markForImageLayer(b);
  }
}

// Step 14: the grey swatches go, their remaining uses become Black at the grey's strength.
void deleteGreySwatches(Run& run) {
  MyLog("delete colors: %d", static_cast<int>(run.colorList.size()));
  if (run.colorList.empty()) return;
  std::vector<IDocument::SwatchDeletion> deletions;
  for (UID swatch : run.colorList)
    deletions.push_back({swatch, blackTintOfSwatch(run.database, swatch).value_or(100)});
  if (ErrorCode e = deleteSwatches(run.database, deletions, blackSwatchUID(run.database))) logError(e);
}

void deleteUnusedSwatches(IDocument* document) {
  dprintf("removeColors");
  IDataBase* database = document->GetDocDataBase();
  std::vector<IDocument::SwatchDeletion> unused;
  for (UID swatch : document->swatchList())
    if (!isSwatchUsed(database, swatch)) unused.push_back({swatch, 100});
  if (ErrorCode e = deleteSwatches(database, unused, kInvalidUID)) logError(e);
}

}  // namespace

void deleteEmptyLayers(IDocument* document) {
  struct Walk {
    IDocument* document;
    std::vector<UID> doomed;
  } walk{document, {}};
  EnumDocLayers(
      document,
      [](IDocumentLayer* layer, const std::string& name, void* data) {
        auto* w = static_cast<Walk*>(data);
        if (toUpper(name).starts_with("CHECK")) {
          w->doomed.push_back(layer->GetUID());
          return true;
        }
        if (name == kImageLayer || name == kTextLayer) return true;
        // Master spreads count too: their items would go with the layer.
        int items = 0;
        for (const std::vector<UID>* list : {&w->document->spreadList(), &w->document->masterSpreadList()})
          for (UID s : *list)
            if (auto* spread = w->document->GetDocDataBase()->instantiate<ISpread>(s))
              if (ISpreadLayer* sl = spread->QueryLayer(layer->GetUID())) items += sl->GetChildCount();
        if (items == 0) w->doomed.push_back(layer->GetUID());
        return true;
      },
      &walk);
  MyLog("deleting layers without content: %d", static_cast<int>(walk.doomed.size()));
  removeLayers(uidList(document->GetDocDataBase(), walk.doomed));
}

void moveFramesToLayer(std::span<KXFrame* const> frames, IDataBase* database, UID layer) {
  if (!database || layer == kInvalidUID) return;
  UIDList items(database);
  for (const KXFrame* f : frames) items.Append(f->frameUID());
  if (items.empty()) return;
  if (ErrorCode e = moveItemsToLayer(items, layer)) logError(e);
}

bool doLayerSeparation(IDocument* document, const DictPtr& action) {
  if (!document) return true;
  Run run;
  run.document = document;
  run.database = document->GetDocDataBase();

  if ((run.textLayer = docLayerByName(document, kTextLayer, false)) == kInvalidUID) {
    MyLog("\t####\tEbene 'TEXT' fehlt");
    run.failed = true;
  } else if ((run.imageLayer = docLayerByName(document, kImageLayer, false)) == kInvalidUID) {
    MyLog("\t####\tEbene 'BILDER' fehlt");
    run.failed = true;
  }

  if (!run.failed) {
    deleteItemsOffTheSpreads(document);
    deleteEmptyLayers(document);
    ungroupAll(document);

    setLogos(action ? action->get("Logos").dictionary() : nullptr);
    run.textLayer = docLayerByName(document, kTextLayer, false);
    run.imageLayer = docLayerByName(document, kImageLayer, false);
    takeSnapshots(run);
    FrameOverlapIndex overlaps(run.frames);

    passLines(run);
    passEmptyFrames(run);
    passTextFrames(run, overlaps);
    passGraphics(run, overlaps);

    const std::vector<KXFrame*> toText = run.textList.frames();
    const std::vector<KXFrame*> toImage = run.imageList.frames();
    MyLog("moving to text Layer: %d", static_cast<int>(toText.size()));
    moveFramesToLayer(toText, run.database, run.textLayer);
    MyLog("moving to image Layer: %d", static_cast<int>(toImage.size()));
    moveFramesToLayer(toImage, run.database, run.imageLayer);

    deleteGreySwatches(run);
    deleteEmptyLayers(document);

    if (integerForKey(action, "deleteImageLayer", 0) == 1) {
      if (UID layer = docLayerByName(document, kImageLayer, false); layer != kInvalidUID) {
        MyLog("remove layer (BILDER)");
        removeLayers(uidList(run.database, {layer}));
      }
      deleteUnusedSwatches(document);
    }
    if (integerForKey(action, "Save", 0) == 1) saveDoc(document->GetUIDRef());
  }

  if (const auto path = pathForDoc(document)) setLabelColorForPath(*path, run.failed ? 6 : 2);
  return true;
}

}  // namespace korvex
