#pragma once

// Lookup by name over a list of UIDs in list order (the first of equal names
// wins), without a walk over the whole list per lookup. Entries appended to
// the list are taken in at the next lookup; any other change to the list, and
// any rename, must call invalidate().

#include <string>
#include <unordered_map>
#include <vector>

#include "host/host_types.h"

namespace korvex {

class NameIndex {
 public:
  // nameOf(uid) answers the object's name, or null when it is gone.
  template <typename NameOf>
  UID find(const std::vector<UID>& list, const std::string& name, NameOf nameOf) const {
    if (stale_ || taken_ > list.size()) rebuild();
    for (; taken_ < list.size(); ++taken_)
      if (const std::string* n = nameOf(list[taken_])) byName_.emplace(*n, list[taken_]);
    auto it = byName_.find(name);
    if (it == byName_.end()) return kInvalidUID;
    // An object gone from the database without the list being told: start over once.
    if (const std::string* n = nameOf(it->second); !n || *n != name) {
      rebuild();
      return find(list, name, nameOf);
    }
    return it->second;
  }
  void invalidate() const { stale_ = true; }

 private:
  void rebuild() const {
    byName_.clear();
    taken_ = 0;
    stale_ = false;
  }
  mutable std::unordered_map<std::string, UID> byName_;
  mutable std::size_t taken_ = 0;
  mutable bool stale_ = false;
};

}  // namespace korvex
