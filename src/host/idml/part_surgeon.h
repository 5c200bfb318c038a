#pragma once

// The parts of the package a document came from, edited in place to say
// what the model says now: only what changed since the package was read is
// touched, so unknown elements and attributes and every Self stay.

#include <libxml/tree.h>

#include <string>

#include "host/document.h"
#include "host/idml/source_package.h"

namespace korvex::idml {

// The part name of kind (its bytes as the package has them), edited; the
// model's own form where the part has nothing to edit in place.
std::string editPart(const IDocument& doc, const SourcePackage& source, const std::string& name,
                     const std::string& kind, const std::string& bytes);

// Element and everything in it name the layers, masters, stories and
// swatches the package already had by their Self there.
void usePackageSelfs(xmlNodePtr element, const IDocument& doc, const SourcePackage& source);

}  // namespace korvex::idml
