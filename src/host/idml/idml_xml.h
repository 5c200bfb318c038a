#pragma once

// The small pieces of IDML's XML that every IDML part shares: attributes,
// numbers and matrices as IDML writes them, child elements by name.

#include <libxml/tree.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "host/geometry.h"

namespace korvex::idml {

inline const xmlChar* xmlChars(const char* s) {
  return reinterpret_cast<const xmlChar*>(s);
}

// Up to ten significant digits, no trailing zeros.
std::string formatNumber(double v);
// Space-separated, as in IDML's list attributes.
std::string formatNumbers(std::initializer_list<double> values);
// The leading numbers of a space-separated list.
std::vector<double> parseNumbers(const std::string& text);

void setAttr(xmlNodePtr node, const char* name, const std::string& value);
// Empty when the attribute is missing.
std::string attr(xmlNodePtr node, const char* name);
bool named(xmlNodePtr node, const char* name);
// The first child element with the name, or null.
xmlNodePtr childNamed(xmlNodePtr parent, const char* name);

// What an element's ItemTransform maps into: its parent's inner coordinates
// (items in a spread, members of a group), or the pasteboard (the top-level
// items of a snippet, which has no spread).
enum class TransformSpace { Parent, Pasteboard };

// "a b c d tx ty"
std::string matrixText(const PMMatrix& m);
// The identity unless the text holds six numbers.
PMMatrix parseMatrix(const std::string& text);

}  // namespace korvex::idml
