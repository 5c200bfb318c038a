#pragma once

// "Frames earlier in the list that share area with this one": the plain scan
// of the list, and an index over the list's bounds that gives the same
// answers without looking at every earlier frame (a hashed grid: each frame
// sits in the cells its bounds cover; frames that cover very many cells are
// kept aside and checked on every question).

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "separation/kx_frame.h"

namespace korvex {

// Frames before frame in the list that share area with it, in list order.
std::vector<KXFrame*> earlierOverlappingFrames(const KXFrame* frame, std::span<KXFrame* const> frames);
// Those of them whose fill or stroke is named "Black".
std::vector<KXFrame*> earlierBlackFrames(const KXFrame* frame, std::span<KXFrame* const> frames);

class FrameOverlapIndex {
 public:
  // The list is borrowed and must not change while the index is used; the
  // frames' bounds must not change either (colour names may).
  explicit FrameOverlapIndex(std::span<KXFrame* const> frames);

  std::vector<KXFrame*> earlierOverlappingFrames(const KXFrame* frame);
  std::vector<KXFrame*> earlierBlackFrames(const KXFrame* frame);

 private:
  std::uint64_t cellKey(std::int64_t column, std::int64_t row) const;
  bool coversFewCells(const MyRect& bounds) const;

  std::span<KXFrame* const> _frames;
  std::unordered_map<const KXFrame*, int> _position;
  float _cell = 1;
  std::unordered_map<std::uint64_t, std::vector<int>> _cells;
  std::vector<int> _wide;            // frames kept aside, in list order
  std::vector<std::uint32_t> _seen;  // last question that found each frame
  std::uint32_t _question = 0;
};

bool hasBlackFillOrStroke(const KXFrame* frame);

}  // namespace korvex
