#pragma once

// Page items and stories from IDML elements into a document: the reverse of
// ItemWriter, for snippets and packages alike. Swatches are matched by name
// and created when missing; a story is made when the first text frame that
// shows it is. Values that can't be read fall back to the defaults: IDML from
// elsewhere is not refused. What the model does not hold is counted by kind
// (see unsupported()).

#include <libxml/tree.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/document.h"
#include "host/idml/idml_xml.h"

namespace korvex::idml {

// A story's text as read: the characters, attribute runs and the elements
// of the items anchored at its U+FFFC characters.
struct StoryText {
  struct Run {
    int start = 0, length = 0;
    std::vector<std::pair<AttributeClass, AttributeValue>> values;
  };
  std::u32string text;
  std::vector<Run> runs;
  std::vector<std::pair<int, xmlNodePtr>> anchored;
  std::vector<int> pageNumbers;  // where kPageNumberMark stands for the page's number
  // XML elements around parts of the text; their content is taken once the text is final.
  struct Marker {
    XMLElement element;
    int start = 0, end = 0;
    std::vector<Marker> children;
  };
  std::vector<Marker> markers;
  std::vector<Marker>* markerTarget = nullptr;  // while reading: the inner elements of the one being read
};

// Stands in for a page number until the story's page is known; never left in the text.
inline constexpr char32_t kPageNumberMark = 0xFFFF;

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

  // ---- for packages ----
  // Where links that are relative or not found at their path are looked for.
  void setLinkFolder(std::string folder) { linkFolder_ = std::move(folder); }
  // Makes the swatch of a Color or Tint element (tints after their bases).
  void readSwatch(xmlNodePtr node);
  void addSwatchRef(const std::string& self, UID uid) { refs_[self] = uid; }
  void addStyleRef(const std::string& self, UID uid) { styles_[self] = uid; }
  // Reads a Story element; its story is made when a frame shows it or by finishStories.
  void readStory(xmlNodePtr story);
  // Text frames are threaded by finishStories in the order of their
  // PreviousTextFrame/NextTextFrame links instead of as they are read.
  void deferThreads() { deferThreads_ = true; }
  // Threads the deferred frames and makes the stories no frame shows.
  void finishStories();
  // The story a Story element's Self became, else kInvalidUID.
  UID storyUID(const std::string& id) const {
    auto it = stories_.find(id);
    return it == stories_.end() ? kInvalidUID : it->second;
  }
  // The XML elements marking text in a Story element's text.
  const std::vector<XMLElement>& storyMarkers(const std::string& id) const {
    static const std::vector<XMLElement> kNone;
    auto it = storyMarkers_.find(id);
    return it == storyMarkers_.end() ? kNone : it->second;
  }
  // A MarkupTag ("XMLTag/Titel%20Zeile") as the tag's name ("Titel Zeile").
  static std::string tagName(std::string markupTag);
  // The page items and swatches made, by the Self that named them.
  const std::map<std::string, UID>& itemRefs() const { return items_; }
  const std::map<std::string, UID>& swatchRefs() const { return refs_; }
  // Kinds of content the model does not hold, with their counts.
  const std::map<std::string, int>& unsupported() const { return unsupported_; }
  void count(const std::string& kind, int n = 1) { unsupported_[kind] += n; }

 private:
  struct PendingFrame {
    UID frame;
    std::string self, previous, story;
    xmlNodePtr preferences;
  };

  UID swatchFor(const std::string& ref);
  UID styleFor(const std::string& ref) const;
  void readAttributes(xmlNodePtr node, PageItem& item);
  void readText(xmlNodePtr node, UID frame);
  void makeTextFrame(UID frame, const std::string& storyID, xmlNodePtr preferences);
  void readPlaced(xmlNodePtr node, UID frame);
  UID storyFor(const std::string& id, UID frame = kInvalidUID);
  void resolvePageNumbers(StoryText& text, UID frame);
  void fillStory(ITextModel& model, const StoryText& story);
  void readMarker(xmlNodePtr node, StoryText& out,
                  const std::vector<std::pair<AttributeClass, AttributeValue>>& values);
  void readRange(xmlNodePtr node, StoryText& out, std::vector<std::pair<AttributeClass, AttributeValue>> values);
  std::vector<std::pair<AttributeClass, AttributeValue>> characterValues(xmlNodePtr range);
  std::string linkPath(const std::string& uri) const;
  static void recordStoredStamp(ILink& link, xmlNodePtr element);

  IDocument& doc_;
  IDataBase* db_;
  std::map<std::string, UID> refs_;
  std::map<std::string, UID> items_;
  std::map<std::string, UID> styles_;
  std::map<std::string, StoryText> storyTexts_;
  std::map<std::string, std::vector<XMLElement>> storyMarkers_;
  std::map<std::string, UID> stories_;
  std::vector<std::string> storyOrder_;
  std::vector<PendingFrame> pending_;
  bool deferThreads_ = false;
  std::string linkFolder_;
  std::map<std::string, int> unsupported_;
};

}  // namespace korvex::idml
