#pragma once

// Frames to move to one layer: each once, in order of first marking. Removal
// leaves a gap, so that a large document pays no search per mark.

#include <cstddef>
#include <unordered_map>
#include <vector>

#include "separation/kx_frame.h"

namespace korvex {

class FrameList {
 public:
  bool contains(KXFrame* f) const { return _at.contains(f); }
  void append(KXFrame* f) {
    if (_at.emplace(f, _order.size()).second) _order.push_back(f);
  }
  void remove(KXFrame* f) {
    if (auto it = _at.find(f); it != _at.end()) {
      _order[it->second] = nullptr;
      _at.erase(it);
    }
  }
  int size() const { return static_cast<int>(_at.size()); }
  std::vector<KXFrame*> frames() const {
    std::vector<KXFrame*> out;
    out.reserve(_at.size());
    for (KXFrame* f : _order)
      if (f) out.push_back(f);
    return out;
  }

 private:
  std::vector<KXFrame*> _order;
  std::unordered_map<KXFrame*, std::size_t> _at;
};

}  // namespace korvex
