#pragma once

// What a document opened from an IDML package keeps of it, so that exporting
// it again can hand back the package's own bytes for every part the run did
// not change: the package as read, and per part what the model held of that
// part right after loading (the part as the package writer writes it from the
// model). A part whose projection is still the same is unchanged.

#include <map>
#include <string>
#include <vector>

#include "host/host_types.h"

namespace korvex::idml {

struct SourcePackage {
  std::string bytes;  // the whole package, as read
  // Part name -> the part as written from the model when it was read.
  std::map<std::string, std::string> projections;
  // Part name -> its kind: "designmap" or the designmap's element naming it ("Spread", "Story"…).
  std::map<std::string, std::string> kinds;
  // The spreads (masters too) or stories each such part held.
  std::map<std::string, std::vector<UID>> objects;
  // Self -> UID of the layers, swatches and page items the package named.
  std::map<std::string, UID> selfs;

  std::vector<UID> objectsOf(const std::string& part) const {
    auto it = objects.find(part);
    return it == objects.end() ? std::vector<UID>{} : it->second;
  }
};

}  // namespace korvex::idml
