#include "workflows/import_labels.h"

#include <cmath>

#include "dialogs/message_box.h"
#include "dialogs/modal_windows.h"
#include "docmodel/documents.h"
#include "docmodel/frame_content.h"
#include "docmodel/frames.h"
#include "docmodel/traversal.h"
#include "foundation/log.h"

namespace korvex {

namespace {

constexpr const char* kLabelKey = "Label";

// Every text frame of every story, stories in list order, frames in thread order.
UIDList textFrames(IDocument* document) {
  UIDList frames(document->GetDocDataBase());
  for (UID story : document->storyList())
    for (UID frame : frameListForStory(UIDRef(document->GetDocDataBase(), story))) frames.Append(frame);
  return frames;
}

bool sameBounds(const PMRect& a, const PMRect& b) {
  constexpr double kTolerance = 1e-8;
  return std::fabs(a.left - b.left) < kTolerance && std::fabs(a.top - b.top) < kTolerance &&
         std::fabs(a.right - b.right) < kTolerance && std::fabs(a.bottom - b.bottom) < kTolerance;
}

}  // namespace

bool doImportLabels(IDocument* document, const DictPtr&) {
  // Opening the source makes it the front document: the target is held from here.
  IDocument* target = document && documentIsOpen(document) ? document : nullptr;
  if (!target) {
    msgBox("noDocument");
    return false;
  }
  const auto chosen = chooseFiles(stringForKey("Import labels"), {"indd", "idml"}, false);
  if (!chosen || chosen->empty() || chosen->front().empty()) return false;
  const std::string& path = chosen->front();
  IDocument* source = documentForRef(openDoc2(path, true));
  if (!source) {
    msgBox("cantOpenDocument", path, GetExecutionContextSession()->application()->errorMessage());
    return false;
  }
  if (source == target) {
    msgBox("Dokument bereits geöffnet!");
    return false;
  }
  const UIDList sources = textFrames(source);
  const UIDList targets = textFrames(target);
  for (int t = 0; t < targets.Length(); ++t) {
    const UIDRef targetFrame = targets.GetRef(static_cast<std::size_t>(t));
    const PMRect bounds = boundsForFrame(targetFrame);
    for (int s = 0; s < sources.Length(); ++s) {
      const UIDRef sourceFrame = sources.GetRef(static_cast<std::size_t>(s));
      if (!sameBounds(boundsForFrame(sourceFrame), bounds)) continue;
      const std::string label = stringForKey(sourceFrame, kLabelKey, std::string()).value_or(std::string());
      setStringForKey(targetFrame, kLabelKey, std::string_view(label));
      break;
    }
  }
  return true;
}

}  // namespace korvex
