#pragma once

// Documents as IDML packages. A document born native is written as a whole
// package in the published structure; one opened from a package gets back
// the package's own bytes for every part the run did not change, and the
// parts it did change are edited in place, so that what the model does not
// hold (unknown elements and attributes, every Self) stays.

#include <libxml/tree.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/result.h"
#include "host/document.h"
#include "host/idml/source_package.h"

namespace korvex::idml {

// The kinds of part a designmap refers to, by the element that names them.
inline constexpr const char* kPartKinds[] = {"Graphic",      "Fonts",  "Styles", "Preferences", "Tags",
                                             "MasterSpread", "Spread", "Story",  "BackingStory"};

// One part as the model says it: kind is one of kPartKinds or "designmap";
// objects are the spreads or stories a spread or story part holds. The same
// model gives the same bytes.
std::string writePart(const IDocument& doc, const std::string& kind, const std::vector<UID>& objects);

// A designmap Layer element's attributes and colour, and an element's
// Properties/Label, as the model says them.
void writeLayerElement(xmlNodePtr layerElement, const IDocumentLayer& layer);
void writeLabelElement(xmlNodePtr properties, const LabelStore& labels);

// Writes the package to path through a temporary beside it; a failure
// leaves an existing file untouched and names path and the problem.
Status writePackage(const IDocument& doc, const std::string& path);

}  // namespace korvex::idml
