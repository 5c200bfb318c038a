#include <algorithm>

#include "host/document.h"

namespace korvex {

std::optional<PMRect> IDocument::pathBounds(UID uid) const {
  auto* node = database_->instantiate<IHierarchy>(uid);
  if (!node) return std::nullopt;
  if (auto* pi = dynamic_cast<PageItem*>(node); pi && pi->path())
    return pi->path()->bounds(pi->innerToPasteboard());
  if (auto* page = dynamic_cast<Page*>(node))
    return Path::rectangle(page->innerBounds()).bounds(page->innerToPasteboard());
  if (node->GetClass() == ClassID::kGroupItem) {
    PMRect r;
    bool any = false;
    for (UID child : node->children())
      if (auto b = pathBounds(child)) {
        r = any ? PMRect{std::min(r.left, b->left), std::min(r.top, b->top), std::max(r.right, b->right),
                         std::max(r.bottom, b->bottom)}
                : *b;
        any = true;
      }
    return any ? std::optional<PMRect>(r) : std::nullopt;
  }
  return std::nullopt;
}

std::optional<PMRect> IDocument::strokeBounds(UID uid) const {
  auto* pi = item(uid);
  if (!pi) return std::nullopt;
  if (pi->GetClass() == ClassID::kGroupItem) {
    std::optional<PMRect> r;
    for (UID child : pi->children())
      if (auto b = strokeBounds(child))
        r = r ? PMRect{std::min(r->left, b->left), std::min(r->top, b->top), std::max(r->right, b->right),
                       std::max(r->bottom, b->bottom)}
              : *b;
    return r;
  }
  auto b = pathBounds(uid);
  if (!b || !pi->path()) return b;
  const GraphicAttributes& a = pi->graphicAttributes();
  const PMReal weight = a.strokeSwatch == none_ || a.strokeSwatch == kInvalidUID ? 0 : a.strokeWeight;
  return korvex::strokeBounds(*b, weight, a.strokeAlignment, pi->path()->closed);
}

ErrorCode IDocument::transformBy(UID uid, const PMMatrix& m) {
  PageItem* it = item(uid);
  if (!it || !m.inverse()) return kInvalidParameterError;
  const auto parentInverse =
      (it->innerToPasteboard() * it->transform().inverse().value_or(PMMatrix{})).inverse();
  if (!parentInverse) return kInvalidParameterError;
  const PMMatrix parentToPb = *(parentInverse->inverse());
  // New transform T' with parentToPb·T' = m·parentToPb·T.
  return it->setTransform(*parentInverse * m * parentToPb * it->transform());
}

ErrorCode IDocument::moveBy(const UIDList& items, PMReal dx, PMReal dy) {
  for (UID uid : items)
    if (!item(uid)) return kObjectNotFoundError;
  for (UID uid : items)
    if (ErrorCode e = transformBy(uid, PMMatrix::translation(dx, dy))) return e;
  return kSuccess;
}

ErrorCode IDocument::setPathBounds(UID uid, const PMRect& target) {
  PageItem* it = item(uid);
  if (!it || target.right < target.left || target.bottom < target.top) return kInvalidParameterError;
  const auto current = pathBounds(uid);
  if (!current) return kInvalidParameterError;
  const PMMatrix m = rectToRect(*current, target);
  if (it->GetClass() == ClassID::kGroupItem) {
    // A group resizes by resizing its members proportionally.
    for (UID child : it->children()) {
      const auto b = pathBounds(child);
      if (!b) continue;
      const PMPoint a = m.apply({b->left, b->top}), z = m.apply({b->right, b->bottom});
      if (ErrorCode e = setPathBounds(child, {a.x, a.y, z.x, z.y})) return e;
    }
    return kSuccess;
  }
  // Reshape the path in inner coordinates; the transform (rotation, position of content) stays.
  const PMMatrix toPb = it->innerToPasteboard();
  const auto fromPb = toPb.inverse();
  if (!fromPb || !it->path()) return kInvalidParameterError;
  return it->setPath(it->path()->transformed(*fromPb * m * toPb));
}

ErrorCode IDocument::setStrokeBounds(UID uid, const PMRect& target) {
  const auto path = pathBounds(uid), stroke = strokeBounds(uid);
  if (!path || !stroke) return kInvalidParameterError;
  return setPathBounds(
      uid, {target.left + (path->left - stroke->left), target.top + (path->top - stroke->top),
            target.right - (stroke->right - path->right), target.bottom - (stroke->bottom - path->bottom)});
}

ErrorCode IDocument::fitFrameToContent(UID frame) {
  auto* f = database_->instantiate<SplineItem>(frame);
  if (!f) return kInvalidParameterError;
  const UID content = f->placedContentUID();
  if (content == kInvalidUID) return kInvalidParameterError;
  return setPathBounds(frame, *pathBounds(content));
}

ErrorCode IDocument::fitContentToFrame(UID frame, bool proportional) {
  auto* f = database_->instantiate<SplineItem>(frame);
  if (!f || f->placedContentUID() == kInvalidUID) return kInvalidParameterError;
  const UID content = f->placedContentUID();
  const PMRect fb = *pathBounds(frame), cb = *pathBounds(content);
  if (cb.width() <= 0 || cb.height() <= 0) return kInvalidParameterError;
  PMMatrix m = rectToRect(cb, fb);
  if (proportional) {
    const PMReal s = std::min(fb.width() / cb.width(), fb.height() / cb.height());
    const PMReal w = cb.width() * s, h = cb.height() * s;
    const PMReal x = fb.left + (fb.width() - w) / 2, y = fb.top + (fb.height() - h) / 2;
    m = rectToRect(cb, {x, y, x + w, y + h});
  }
  return transformBy(content, m);
}

ErrorCode IDocument::centerContent(UID frame) {
  auto* f = database_->instantiate<SplineItem>(frame);
  if (!f || f->placedContentUID() == kInvalidUID) return kInvalidParameterError;
  const UID content = f->placedContentUID();
  const PMRect fb = *pathBounds(frame), cb = *pathBounds(content);
  return transformBy(content, PMMatrix::translation((fb.left + fb.right - cb.left - cb.right) / 2,
                                                    (fb.top + fb.bottom - cb.top - cb.bottom) / 2));
}

}  // namespace korvex
