#pragma once

// A small but complete IDML package, "Flyer": masters, layers, spot and
// process colours, tints, styles in groups, a threaded story with a table,
// groups with transforms, linked pictures, an effect and the XML structure;
// kept as readable XML parts and zipped with libzip by the tests.

#include <map>
#include <string>
#include <vector>

#include "support/zip_archive.h"

namespace korvex::test {

inline constexpr const char* kMime = "application/vnd.adobe.indesign-idml-package";

// A part's root element <idPkg:ELEMENT …> around body.
std::string pkg(const std::string& element, const std::string& body);
// A rectangle path from (l, t) to (r, b) in the item's inner coordinates.
std::string rectPath(double l, double t, double r, double b);

// The parts of a two-spread package: A4-ish pages of 400 x 600 points; the
// spread's origin is the centre of the spread, as the application writes it.
struct IdmlParts {
  std::map<std::string, std::string> files;
  std::vector<std::string> order;
  void set(const std::string& name, const std::string& data) {
    if (!files.count(name)) order.push_back(name);
    files[name] = data;
  }
  std::vector<ZipEntry> entries() const {
    std::vector<ZipEntry> out;
    for (const std::string& n : order) out.push_back({n, files.at(n)});
    return out;
  }
};

// linkRecord: attributes of the picture's Link that record the file's size and date.
IdmlParts flyerParts(const std::string& pictureURI, const std::string& missingURI, const std::string& linkRecord = "");

}  // namespace korvex::test
