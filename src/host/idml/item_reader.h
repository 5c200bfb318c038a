#pragma once

// Page items from IDML elements into a document: the reverse of ItemWriter.
// Swatches are matched by name and created when missing; stories are kept as
// read until the first text frame that shows them is made. Values that can't
// be read fall back to the defaults: IDML from elsewhere is not refused.

#include <libxml/tree.h>

#include <map>
#include <string>
#include <vector>

#include "host/document.h"
#include "host/idml/idml_xml.h"

namespace korvex::idml {

class ItemReader {
 public:
  explicit ItemReader(IDocument& doc) : doc_(doc), db_(doc.GetDocDataBase()) {}

  // Reads the Color, Tint and Story elements among container's children.
  // Items refer to them, so they come first.
  void readDefinitions(xmlNodePtr container);
  // Creates the item the element describes (a group with its members) in
  // parent, in front; kInvalidUID when it can't be made.
  UID readItem(xmlNodePtr node, UID parent, TransformSpace space);
  // Whether the element is one readItem makes.
  static bool isItem(xmlNodePtr node);

 private:
  struct Range {
    std::string text;
    xmlNodePtr attributes;  // the CharacterStyleRange, or null
  };

  UID swatchFor(const std::string& ref);
  void readAttributes(xmlNodePtr node, PageItem& item);
  void readText(xmlNodePtr node, UID frame);
  void readPlaced(xmlNodePtr node, UID frame);
  void fillStory(ITextModel& model, const std::vector<Range>& ranges);

  IDocument& doc_;
  IDataBase* db_;
  std::map<std::string, UID> refs_;
  std::map<std::string, std::vector<Range>> storyRanges_;
  std::map<std::string, UID> stories_;
};

}  // namespace korvex::idml
