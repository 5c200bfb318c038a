#include "workflows/checkstr.h"

#include <algorithm>
#include <string>

#include "config/action_files.h"
#include "docmodel/documents.h"
#include "docmodel/frame_content.h"
#include "docmodel/host_actions.h"
#include "docmodel/layers.h"
#include "docmodel/my_doc.h"
#include "docmodel/pictures.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/files.h"
#include "foundation/folder_enum.h"
#include "foundation/folders.h"
#include "foundation/format.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/unicode.h"
#include "host/output/preview.h"
#include "run/run_values.h"

namespace korvex {

namespace {

// The host action the menu's preview mode runs.
constexpr int kPreviewModeAction = 118829;  // 0x1D02D
// The snapshot's "high" JPEG quality.
constexpr int kPreviewJpegQuality = 80;

struct CheckstrRun {
  IDocument* document = nullptr;
  UID layer = kInvalidUID;
  std::optional<std::string> chosenFile;  // a file placed instead of the previews
  std::string name;                       // the document's name without extension
  int counter = 0;
  double resolution = kMinPreviewResolution;
  bool embed = true;
  bool failed = false;
};

// Visits the folder beside the document that may hold a file to place on
// every spread. Each file is logged with its extension; none is chosen.
void visitCheckFolder(const MyDoc& doc, const std::string& folderName) {
  const std::optional<std::string> folder = doc.getPath(true);
  if (!folder || folderName.empty()) return;
  EnumFolder(stringByAppendingPathComponent(*folder, folderName), [&](const std::string& path) {
    if (pathIsFile(path)) MyLog("TEXT: %@, %@", path, toLower(pathExtension(path)));
    return true;
  });
}

bool makePreview(CheckstrRun& run, int spreadIndex, const std::string& previewPath) {
  const PreviewResult result =
      writeSpreadPreview(*run.document, spreadIndex, run.resolution, kPreviewJpegQuality, previewPath);
  for (const UndrawableFile& file : result.undrawable)
    MyLog("\t\t####\t%@: left out of the preview: %@", file.path, file.reason);
  if (result.error == kSuccess) return true;
  MyLog("\t\t####\terror creating preview");
  MyLog("\t\t####\t%@", result.message);
  return false;
}

bool checkSpread(ISpread* spread, void* data) {
  auto& run = *static_cast<CheckstrRun*>(data);
  const int spreadIndex = run.document->spreadIndex(spread->GetUID());
  std::string file;
  if (run.chosenFile) {
    file = *run.chosenFile;
  } else {
    file = stringByAppendingPathComponent(temporaryDirectory(),
                                          stringWithFormat("%@_%02d.jpg", run.name, run.counter));
    if (!makePreview(run, spreadIndex, file)) {
      run.failed = true;
      return false;
    }
  }
  ++run.counter;
  ISpreadLayer* layer = spread->QueryLayer(run.layer);
  if (!layer) return true;
  // Pasteboard coordinates: each spread's preview covers that spread's pages.
  UIDRef frame = placePicture(layer, file, spread->GetPagesBounds(true), false);
  if (frame.isValid()) embedLinkForFrame(frame);
  return true;
}

}  // namespace

bool doCheckStr(IDocument* document, const DictPtr& action) {
  if (!document || !documentIsOpen(document)) return true;
  const DictPtr parameters = action ? action : dictForAction("Checkstr", nullptr);
  MyDoc doc(document);

  CheckstrRun run;
  run.document = document;
  run.layer = doc.createDocLayer(kCheckstrLayerName, integerForKey(parameters, "Show", 0) != 0,
                                 integerForKey(parameters, "Printable", 0) != 0,
                                 integerForKey(parameters, "Locked", 1) != 0);
  if (run.layer != kInvalidUID) {
    run.embed = integerForKey(parameters, "Embed", 1) != 0;
    run.resolution = std::clamp(static_cast<double>(floatForKey(parameters, "Resolution", 72.0F)),
                                kMinPreviewResolution, kMaxPreviewResolution);
    run.name = doc.getName(false).value_or(document->GetName());
    visitCheckFolder(doc, stringForKey(parameters, "Checkebene", "Checkebene").value_or("Checkebene"));
    doc.enumSpreads(checkSpread, &run);
  }
  if (integerForKey(parameters, "PreviewMode", -1) == 0) performAction(kPreviewModeAction);
  setSaveProject(true);
  return !run.failed;
}

}  // namespace korvex
