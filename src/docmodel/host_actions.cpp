#include "docmodel/host_actions.h"

#include "docmodel/documents.h"
#include "host/interaction.h"
#include "host/page_item.h"

namespace korvex {

void performAction(int actionID) {
  const std::optional<ActiveContext> context = activeContext();
  ActionManager* manager = actionManager();
  if (!context || !manager) return;
  // (-32767, -32767): no mouse position.
  manager->performAction(actionID, *context, PMPoint{-32767, -32767}, 0);
}

ClassID getBoss(const UIDRef& reference) {
  if (!reference.GetDataBase() || !documentForDataBase(reference.GetDataBase())) return kInvalidClass;
  const HostObject* object = reference.GetDataBase()->object(reference.GetUID());
  return object ? object->GetClass() : kInvalidClass;
}

ErrorCode setFrameWrap(const UIDRef& frame) {
  if (!frame.GetDataBase() || !documentForDataBase(frame.GetDataBase())) return -1;
  auto* item = frame.GetDataBase()->instantiate<PageItem>(frame.GetUID());
  if (!item) return -1;
  TextWrapSettings wrap = item->textWrap();
  wrap.mode = TextWrapMode::NextColumn;
  wrap.side = 0;
  wrap.contour = 0;
  return item->setTextWrap(wrap);
}

}  // namespace korvex
