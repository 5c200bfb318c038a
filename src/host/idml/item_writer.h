#pragma once

// Page items as IDML elements (Rectangle, Oval, Polygon, GraphicLine, Group,
// TextFrame): geometry and transform, fill and stroke, labels, placed content
// with its link, text frame settings; and the stories and swatches the items
// refer to. Containers (a snippet, a package's spreads and stories) decide
// where each element goes.

#include <libxml/tree.h>

#include <set>
#include <string>

#include "host/document.h"
#include "host/idml/idml_xml.h"

namespace korvex::idml {

// A style's Self: "ParagraphStyle/Title", the application's own names for
// the default styles ("ParagraphStyle/$ID/NormalParagraphStyle").
std::string styleSelf(StyleKind kind, const std::string& hostName);
// How an item names its fill or stroke swatch: "Color/NAME", "Tint/NAME", "Swatch/None".
std::string swatchRef(const IDocument& doc, UID uid);

class ItemWriter {
 public:
  explicit ItemWriter(const IDocument& doc) : doc_(doc), db_(doc.GetDocDataBase()) {}

  // Appends the page item (a group with its members) to parent; nothing for
  // anything else.
  void writeItem(xmlNodePtr parent, UID uid, TransformSpace space);
  // The stories of the text frames written so far.
  const std::set<UID>& stories() const { return stories_; }
  // Appends a Story element; its text colours join the swatches to write.
  void writeStory(xmlNodePtr parent, UID story);
  // Adds a swatch to those writeSwatches writes.
  void useSwatch(UID swatch);
  // Color and Tint elements for the swatches the items and stories written so
  // far use, each tint's base before it: write them last.
  void writeSwatches(xmlNodePtr parent);

 private:
  void writeCharacterAttribute(xmlNodePtr range, AttributeClass c, const AttributeValue& value);
  void writeAttributes(xmlNodePtr node, const PageItem& item);

  const IDocument& doc_;
  IDataBase* db_;
  std::set<UID> swatches_;
  std::set<UID> stories_;
};

}  // namespace korvex::idml
