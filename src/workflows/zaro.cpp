#include "workflows/zaro.h"

#include <algorithm>
#include <set>
#include <vector>

#include "dialogs/message_box.h"
#include "dialogs/modal_windows.h"
#include "dialogs/progress_dialog.h"
#include "docmodel/documents.h"
#include "docmodel/frame_content.h"
#include "docmodel/frames.h"
#include "docmodel/layers.h"
#include "docmodel/my_doc.h"
#include "docmodel/traversal.h"
#include "foundation/file_labels.h"
#include "foundation/files.h"
#include "foundation/folder_enum.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/strings.h"
#include "foundation/unicode.h"
#include "foundation/workspace.h"
#include "host/export_provider.h"
#include "host/output/pdf_export.h"
#include "host/used_fonts.h"

namespace korvex {

namespace {

constexpr const char* kSeparatorLine = "-------------------------------------";
constexpr const char* kCopyFailed = "\t####\tFehler beim Kopieren der TextLayer-Ebene!";
// Finder label of a working copy whose fonts are missing.
constexpr int kMissingFontsLabel = 6;
// The layer colour of the check layer: the host's stock colour number 2.
constexpr int kCheckLayerStockColor = 2;

struct FoundLayer {
  IDocumentLayer* layer = nullptr;
  std::string suffix;
};

// The first layer in list order whose name is base:SUFFIX.
FoundLayer findSuffixedLayer(IDocument* document, const std::string& base) {
  struct Search {
    const std::string& base;
    FoundLayer found;
  } search{base, {}};
  EnumDocLayers(
      document,
      [](IDocumentLayer* layer, const std::string& name, void* data) {
        auto& s = *static_cast<Search*>(data);
        if (std::optional<std::string> suffix = layerSuffix(name, s.base)) {
          s.found = {layer, *suffix};
          return false;
        }
        return true;
      },
      &search);
  return search.found;
}

// Frames of the check layer whose text the copy carries.
class CheckFrameCollector {
 public:
  explicit CheckFrameCollector(IDataBase* database) : frames_(database) {}

  void collect(const UIDRef& item) {
    if (isGroupFrame(item)) {
      const UIDList children = getPageItems(item);
      for (UID child : children) collect(UIDRef(item.GetDataBase(), child));
    } else if (isTextFrame(item)) {
      const UIDRef story = storyForFrame(item);
      auto* model = story.isValid() ? story.GetDataBase()->instantiate<ITextModel>(story.GetUID()) : nullptr;
      if (!model || hasVisibleText(*model)) frames_.Append(item.GetUID());
      if (model) walkAnchored(*model);
    }
  }

  const UIDList& frames() const { return frames_; }

 private:
  // Anything but spaces and anchored objects before the story's last character.
  static bool hasVisibleText(const ITextModel& story) {
    const std::u32string& chars = story.characters();
    if (chars.size() < 2) return true;
    return std::any_of(chars.begin(), chars.end() - 1,
                       [](char32_t c) { return c != U' ' && c != kTextChar_ObjectReplacement; });
  }

  void walkAnchored(ITextModel& story) {
    EnumAnchoredBoxes(
        &story,
        [](const UIDRef& frame, const UIDRef&, int, void* data) {
          auto& self = *static_cast<CheckFrameCollector*>(data);
          if (isTextFrame(frame))
            self.frames_.Append(frame.GetUID());
          else if (isGroupFrame(frame))
            self.collect(frame);
          return true;
        },
        0, -1, this);
  }

  UIDList frames_;
};

// Two passes over the check layer: collect its text frames and clear their
// "Label" values, so that nothing looking for labelled frames finds the copies.
void clearCheckFrameLabels(MyDoc& doc, IDocumentLayer* layer) {
  for (int pass = 0; pass < 2; ++pass) {
    CheckFrameCollector collector(doc.database());
    doc.enumSpreads(
        layer,
        [](const UIDRef& item, void* data) {
          static_cast<CheckFrameCollector*>(data)->collect(item);
          return true;
        },
        &collector);
    for (UID frame : collector.frames().uids()) setStringForKey(UIDRef(doc.database(), frame), "Label", "");
  }
}

std::string siblingTarget(const std::string& documentPath, const char* folder, const char* extension) {
  const std::string dir = createDir(stringByDeletingLastPathComponent(documentPath), folder);
  return stringByAppendingPathComponent(
      dir, stringByReplacingPathExtension(lastPathComponent(documentPath), extension));
}

// --- batch mode

struct ZaroBatch {
  void (*process)(IDocument*, const std::optional<std::string>&);
};

bool processBatchFile(const ArrayPtr& items, std::size_t index, ProgressWindow& panel, void* data) {
  const auto& batch = *static_cast<ZaroBatch*>(data);
  const std::string path = *items->at(index).string();
  MyLog(kSeparatorLine);
  MyLog("Dokument: %@", path);
  // A document the user has open stays as it is: opening it again would hand
  // it back, and closing it would throw away unsaved changes.
  if (docForPath(path)) {
    MyLog("\t####\tDokument ist bereits geöffnet und wird übersprungen");
  } else {
    const UIDRef opened = openDoc2(path, false);
    if (!opened.isValid()) {
      const std::string reason = GetExecutionContextSession()->application()->errorMessage();
      MyLog("\t####\tDokument kann nicht geöffnet werden: %@", reason);
    } else {
      batch.process(documentForRef(opened), path);
      closeDoc2(opened, false);
    }
  }
  if (index + 1 < items->size()) panel.setLabel(index + 1, lastPathComponent(*items->at(index + 1).string()));
  return true;
}

void runZaroBatch(const char* title, const char* extension,
                  void (*process)(IDocument*, const std::optional<std::string>&)) {
  const std::optional<std::string> folder = chooseFolder(title);
  if (!folder) return;
  setupLog(true, "Tamrisk");
  MyLog(std::string(title) + ": %@", *folder);
  ArrayPtr files = Array::make();
  EnumFolderFlat(*folder, [&](const std::string& path) {
    if (pathIsFile(path) && toLower(pathExtension(path)) == extension) files->append(Value(path));
    return true;
  });
  if (files->size() > 0) {
    ZaroBatch batch{process};
    doProgressDialog(files, processBatchFile, std::string(title), lastPathComponent(*files->at(0).string()),
                     &batch);
  }
  showLogFile();
}

}  // namespace

std::optional<std::string> layerSuffix(const std::string& layerName, const std::string& base) {
  const std::size_t colon = layerName.find(':');
  if (colon == std::string::npos || layerName.find(':', colon + 1) != std::string::npos) return std::nullopt;
  if (layerName.compare(0, colon, base) != 0 || colon != base.size()) return std::nullopt;
  return layerName.substr(colon + 1);
}

void zaro1Document(IDocument* document, const std::optional<std::string>& path) {
  if (!document || !documentIsOpen(document)) return;
  MyDoc doc(document);
  const bool fontsMissing = !IUsedFontList(*document).missingFonts().empty();
  if (fontsMissing) MyLog("\t####\tFehlende Schriften!");

  const FoundLayer text = findSuffixedLayer(document, kZaroTextLayer);
  if (!text.layer) {
    MyLog(kCopyFailed);
    return;
  }
  const std::string checkName = std::string(kZaroCheckLayer) + ":" + text.suffix;
  doc.removeLayer(checkName);

  UIDList copies;
  if (duplicateDocLayers(UIDList(UIDRef(doc.database(), text.layer->GetUID())), &copies) != kSuccess ||
      copies.empty()) {
    beep();
    MyLog(kCopyFailed);
    return;
  }
  auto* check = doc.database()->instantiate<IDocumentLayer>(copies[0]);
  (void)check->SetName(checkName);
  (void)check->SetVisible(false);
  (void)check->SetPrintable(false);
  (void)check->SetLocked(false);
  (void)setLayerStockColor(check, kCheckLayerStockColor);
  clearCheckFrameLabels(doc, check);
  (void)check->SetVisible(true);
  (void)check->SetPrintable(false);
  (void)check->SetLocked(true);

  if (!path) return;
  const std::string target = siblingTarget(*path, kZaroWorkFolder, "indd");
  MyLog("\tSpeichern als: %@", target);
  if (const ErrorCode error = saveCopyAs(document, target); error != kSuccess) {
    MyLog("\t####\tSpeichern fehlgeschlagen (%d): %@", error,
          GetExecutionContextSession()->application()->errorMessage());
    return;
  }
  if (fontsMissing) setLabelColorForPath(target, kMissingFontsLabel);
}

void zaro2Document(IDocument* document, const std::optional<std::string>& path) {
  if (!document || !documentIsOpen(document)) return;
  const FoundLayer check = findSuffixedLayer(document, kZaroCheckLayer);
  if (!check.layer) return;
  removeLayer(check.layer);
  // Without a file there is no place beside it to deliver to.
  if (!path) return;
  const std::string target = siblingTarget(*path, kZaroDeliveryFolder, "idml");
  MyLog("\tSpeichern als: %@", target);
  Session& session = *GetExecutionContextSession();
  auto* provider = dynamic_cast<IdmlExportProvider*>(exportProviderFor(session, *document, kIdmlFormatName));
  if (!provider) {
    msgBox("noIDMLExportProvider");
    return;
  }
  std::string message;
  if (provider->exportDocument(*document, target, &message) != kSuccess) MyLog("\t####\t%@", message);
}

bool doZaro1(IDocument* document, const DictPtr&) {
  if (document)
    zaro1Document(document, pathForDoc(document));
  else
    runZaroBatch("Checkebenen erstellen", "idml", zaro1Document);
  return true;
}

bool doZaro2(IDocument* document, const DictPtr&) {
  if (document)
    zaro2Document(document, pathForDoc(document));
  else
    runZaroBatch("Checkebenen löschen", "indd", zaro2Document);
  return true;
}

}  // namespace korvex
