#include "workflows/vantry.h"

#include "docmodel/frame_content.h"
#include "docmodel/frames.h"

namespace korvex {

namespace {

constexpr const char* kTextLayer = "Text";
constexpr const char* kCheckLayer = "Text-Check";
constexpr const char* kCheckColour = "Magenta";

struct Colouring {
  IDocument* document;
  UID checkLayer;
};

bool colourCopiedStory(ITextModel* story, void* data) {
  const auto& run = *static_cast<Colouring*>(data);
  IDataBase* db = run.document->GetDocDataBase();
  const UIDRef frame = firstFrameForStory(UIDRef(db, story->GetUID()));
  if (!frame.isValid()) return true;
  auto* spreadLayer = db->instantiate<ISpreadLayer>(spreadLayerUIDForFrame(frame));
  if (!spreadLayer || spreadLayer->documentLayerUID() != run.checkLayer) return true;
  const Swatch* magenta = run.document->findSwatch(kCheckColour);
  // The end-of-story mark keeps its colour.
  const int length = story->TotalLength() - 1;
  if (!magenta || length <= 0) return true;
  story->ApplyAttributes(0, length, {{AttributeClass::kTextColor, magenta->GetUID()}});
  return true;
}

}  // namespace

bool vantry(MyDoc& document, const DictPtr&) {
  const UID checkLayer = document.createDocLayer(kCheckLayer, false, false, false);
  if (checkLayer == kInvalidUID) return true;
  document.duplicateLayer(kTextLayer, kCheckLayer);
  Colouring run{document.liveDocument(), checkLayer};
  if (run.document) document.enumStories(colourCopiedStory, &run);
  return true;
}

}  // namespace korvex
