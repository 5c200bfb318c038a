#include "separation/frame_overlaps.h"

#include <algorithm>
#include <cmath>

namespace korvex {

namespace {

// Cells a frame may cover and still sit in the grid.
constexpr std::int64_t kMaxCells = 64;

std::int64_t cellOf(float value, float cell) {
  return static_cast<std::int64_t>(std::floor(static_cast<double>(value) / cell));
}

}  // namespace

bool hasBlackFillOrStroke(const KXFrame* frame) {
  return frame->fillColorName() == "Black" || frame->strokeColorName() == "Black";
}

std::vector<KXFrame*> earlierOverlappingFrames(const KXFrame* frame, std::span<KXFrame* const> frames) {
  std::vector<KXFrame*> found;
  for (KXFrame* other : frames) {
    if (other == frame) break;
    if (frame->sharesAreaWithFrame(other)) found.push_back(other);
  }
  return found;
}

std::vector<KXFrame*> earlierBlackFrames(const KXFrame* frame, std::span<KXFrame* const> frames) {
  std::vector<KXFrame*> found = earlierOverlappingFrames(frame, frames);
  std::erase_if(found, [](const KXFrame* f) { return !hasBlackFillOrStroke(f); });
  return found;
}

FrameOverlapIndex::FrameOverlapIndex(std::span<KXFrame* const> frames)
    : _frames(frames), _seen(frames.size(), 0) {
  // Cells twice the typical frame's larger side: most frames cover one to four.
  std::vector<float> sides;
  sides.reserve(frames.size());
  for (const KXFrame* f : frames) {
    const float side = std::max(f->bounds().width, f->bounds().height);
    if (std::isfinite(side) && side > 0) sides.push_back(side);
  }
  if (!sides.empty()) {
    auto middle = sides.begin() + static_cast<std::ptrdiff_t>(sides.size() / 2);
    std::nth_element(sides.begin(), middle, sides.end());
    _cell = std::max(1.0f, *middle * 2);
  }
  _position.reserve(frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const KXFrame* f = frames[i];
    _position.emplace(f, static_cast<int>(i));
    const MyRect& b = f->bounds();
    if (!coversFewCells(b)) {
      _wide.push_back(static_cast<int>(i));
      continue;
    }
    for (std::int64_t row = cellOf(b.y, _cell); row <= cellOf(b.y + b.height, _cell); ++row)
      for (std::int64_t column = cellOf(b.x, _cell); column <= cellOf(b.x + b.width, _cell); ++column)
        _cells[cellKey(column, row)].push_back(static_cast<int>(i));
  }
}

std::uint64_t FrameOverlapIndex::cellKey(std::int64_t column, std::int64_t row) const {
  return (static_cast<std::uint64_t>(column) << 32) ^ static_cast<std::uint32_t>(row);
}

bool FrameOverlapIndex::coversFewCells(const MyRect& b) const {
  if (!std::isfinite(b.x) || !std::isfinite(b.y) || !std::isfinite(b.width) || !std::isfinite(b.height))
    return false;
  const double columns = std::floor((b.x + b.width) / _cell) - std::floor(b.x / _cell) + 1;
  const double rows = std::floor((b.y + b.height) / _cell) - std::floor(b.y / _cell) + 1;
  return columns * rows <= kMaxCells && std::abs(b.x) < 1e9f && std::abs(b.y) < 1e9f;
}

std::vector<KXFrame*> FrameOverlapIndex::earlierOverlappingFrames(const KXFrame* frame) {
  auto at = _position.find(frame);
  if (at == _position.end()) return {};
  const int limit = at->second;
  const MyRect& b = frame->bounds();
  if (!coversFewCells(b)) return korvex::earlierOverlappingFrames(frame, _frames);

  if (++_question == 0) {  // wrapped: forget every earlier question
    std::fill(_seen.begin(), _seen.end(), 0);
    _question = 1;
  }
  std::vector<int> hits;
  auto consider = [&](int i) {
    if (i >= limit || _seen[static_cast<std::size_t>(i)] == _question) return;
    _seen[static_cast<std::size_t>(i)] = _question;
    if (frame->sharesAreaWithFrame(_frames[static_cast<std::size_t>(i)])) hits.push_back(i);
  };
  for (std::int64_t row = cellOf(b.y, _cell); row <= cellOf(b.y + b.height, _cell); ++row)
    for (std::int64_t column = cellOf(b.x, _cell); column <= cellOf(b.x + b.width, _cell); ++column) {
      auto cell = _cells.find(cellKey(column, row));
      if (cell == _cells.end()) continue;
      for (int i : cell->second) {
        if (i >= limit) break;  // cells hold frames in list order
        consider(i);
      }
    }
  for (int i : _wide) {
    if (i >= limit) break;
    consider(i);
  }
  std::sort(hits.begin(), hits.end());
  std::vector<KXFrame*> found;
  found.reserve(hits.size());
  for (int i : hits) found.push_back(_frames[static_cast<std::size_t>(i)]);
  return found;
}

std::vector<KXFrame*> FrameOverlapIndex::earlierBlackFrames(const KXFrame* frame) {
  std::vector<KXFrame*> found = earlierOverlappingFrames(frame);
  std::erase_if(found, [](const KXFrame* f) { return !hasBlackFillOrStroke(f); });
  return found;
}

}  // namespace korvex
