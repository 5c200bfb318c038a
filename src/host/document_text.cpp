#include <algorithm>

#include "host/document.h"
#include "host/image_info.h"
#include "host/vector_bounds.h"

namespace korvex {

ErrorCode IDocument::placeFile(UID frame, const std::string& path, UID* contentOut) {
  auto* f = database_->instantiate<SplineItem>(frame);
  if (!f || f->GetChildCount() != 0) return kInvalidParameterError;
  if (!stampOfFile(path)) return kFileNotFoundError;
  const PlacedFileKind kind = placedFileKind(path);
  if (kind == PlacedFileKind::Unknown) return kInvalidParameterError;
  std::optional<ImageAttributes> attributes;
  PMRect bounds = *pathBounds(frame);
  bounds = {0, 0, bounds.width(), bounds.height()};
  if (kind == PlacedFileKind::Image) {
    attributes = readImageAttributes(path);
    if (!attributes) return kFileReadError;
    bounds = placedBoundsFor(*attributes);
  } else if (kind == PlacedFileKind::PDF) {
    // A PDF that can't be read keeps the frame's size; the export reports it.
    if (auto size = pdfCropBoxSize(path)) bounds = *size;
  } else if (auto size = epsBoundingBoxSize(path)) {
    bounds = *size;
  }
  PlacedContent* c = createPlacedContent(frame, classForPlacedFile(kind), bounds);
  if (!c) return kFailure;
  c->setImageAttributes(attributes);
  // The content starts at the frame's top-left corner, in the frame's coordinates.
  const PMRect inner = f->path()->bounds();
  c->setTransform(PMMatrix::translation(inner.left, inner.top));
  GraphicAttributes a;
  a.fillSwatch = none_;
  a.strokeSwatch = none_;
  c->setGraphicAttributes(a);
  if (!createLink(c->GetUID(), path)) return kFailure;
  if (contentOut) *contentOut = c->GetUID();
  return kSuccess;
}

ITextModel* IDocument::createStory(UID uid) {
  auto* s = uid == kInvalidUID ? database_->create<ITextModel>() : database_->createWithUID<ITextModel>(uid);
  if (!s) return nullptr;
  stories_.push_back(s->GetUID());
  touch();
  return s;
}

ITextModel* IDocument::story(UID uid) const {
  return database_->instantiate<ITextModel>(uid);
}

ErrorCode IDocument::makeTextFrame(UID frame, UID storyUID, MultiColumnItem** content) {
  auto* f = database_->instantiate<SplineItem>(frame);
  if (!f || f->GetChildCount() != 0) return kInvalidParameterError;
  if (storyUID == kInvalidUID) {
    ITextModel* s = createStory();
    if (!s) return kFailure;
    storyUID = s->GetUID();
  }
  MultiColumnItem* mc = createTextFrameContent(frame, storyUID);
  if (!mc) return kInvalidParameterError;
  if (content) *content = mc;
  return kSuccess;
}

ErrorCode IDocument::linkTextFrames(UID first, UID second) {
  auto* a = database_->instantiate<SplineItem>(first);
  auto* b = database_->instantiate<SplineItem>(second);
  if (!a || !b || a->textContentUID() == kInvalidUID || b->textContentUID() == kInvalidUID || first == second)
    return kInvalidParameterError;
  auto* mcA = database_->instantiate<MultiColumnItem>(a->textContentUID());
  auto* mcB = database_->instantiate<MultiColumnItem>(b->textContentUID());
  ITextModel* target = story(mcA->storyUID());
  ITextModel* source = story(mcB->storyUID());
  if (source != target) {
    // The second frame's own text joins the end of the first story.
    if (source->TotalLength() > 1) target->Insert(target->TotalLength() - 1, source->text());
    source->unthreadFrame(mcB->GetUID());
    if (source->threadedFrames().empty()) {
      stories_.erase(std::remove(stories_.begin(), stories_.end(), source->GetUID()), stories_.end());
      database_->destroy(source->GetUID());
    }
    mcB->setStoryUID(target->GetUID());
  } else {
    target->unthreadFrame(mcB->GetUID());
  }
  const auto& now = target->threadedFrames();
  const int at = static_cast<int>(std::find(now.begin(), now.end(), mcA->GetUID()) - now.begin()) + 1;
  target->threadFrame(mcB->GetUID(), at);
  touch();
  return kSuccess;
}

}  // namespace korvex
