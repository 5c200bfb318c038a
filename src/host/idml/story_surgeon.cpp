#include "host/idml/story_surgeon.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/idml/idml_xml.h"
#include "host/idml/item_reader.h"
#include "host/text_model.h"

namespace korvex::idml {

namespace {

// The ranges around a stretch of a written story: one per range, shared by its units.
struct Look {
  std::string text;                               // the ranges' start tags and properties
  std::map<std::string, std::string> attributes;  // their attributes, inner ones winning
};

// One unit of a story's text as the reader counts it.
struct Unit {
  enum class Kind { Char, Break, Item, Opaque };
  Kind kind = Kind::Char;
  char32_t c = 0;
  std::shared_ptr<const Look> look;  // written stories only
  xmlNodePtr node = nullptr;         // the package's story: Content, Br or item element
  std::size_t at = 0;                // its characters: the index in the Content's text
  bool pageNumber = false;           // stands for the page's number, whose length the reader decides
  std::string item = {};             // written stories: an item's element
};

const std::string& lookOf(const Unit& u) {
  static const std::string kNone;
  return u.look ? u.look->text : kNone;
}

const std::map<std::string, std::string>& attributesOf(const Unit& u) {
  static const std::map<std::string, std::string> kNone;
  return u.look ? u.look->attributes : kNone;
}

bool same(const Unit& a, const Unit& b) {
  return a.kind == b.kind && a.c == b.c && lookOf(a) == lookOf(b) && a.item == b.item;
}

bool isRange(xmlNodePtr n) {
  return named(n, "ParagraphStyleRange") || named(n, "CharacterStyleRange");
}

// A story as the package writer writes it: ranges of Content, Br and items.
void readWritten(xmlNodePtr node, const std::shared_ptr<const Look>& look, std::vector<Unit>& out) {
  for (xmlNodePtr c = node->children; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE || named(c, "Properties")) continue;
    if (isRange(c)) {
      auto inner = std::make_shared<Look>(look ? *look : Look{});
      inner->text += std::string("<") + reinterpret_cast<const char*>(c->name);
      for (xmlAttrPtr a = c->properties; a; a = a->next) {
        const char* name = reinterpret_cast<const char*>(a->name);
        inner->text += std::string(" ") + name + "=" + attr(c, name);
        inner->attributes[name] = attr(c, name);
      }
      if (xmlNodePtr p = childNamed(c, "Properties")) inner->text += xmlString(p);
      inner->text += ">";
      readWritten(c, inner, out);
    } else if (named(c, "Content")) {
      for (char32_t ch : utf8ToUtf32(xmlStringValue(c))) out.push_back({Unit::Kind::Char, ch, look});
    } else if (named(c, "Br")) {
      out.push_back({Unit::Kind::Break, U'\r', look});
    } else {
      Unit u{Unit::Kind::Item, 0, look};
      u.item = xmlString(c);
      out.push_back(std::move(u));
    }
  }
}

// The package's own story, walked as the package reader walks it. Text the
// reader makes of other things (tables, tabs, text variables, page numbers)
// is opaque: it lines up with any text but is never edited.
class PackageStory {
 public:
  explicit PackageStory(xmlNodePtr story) { walk(story, false); }

  std::vector<Unit> units;
  std::map<xmlNodePtr, std::u32string> texts;  // each Content's text

  // Whether the units line up with written, page numbers taking the length
  // that makes them fit.
  bool linesUp(const std::vector<Unit>& written) {
    std::size_t numbers = 0;
    for (const Unit& u : units) numbers += u.pageNumber;
    const std::size_t known = units.size() - numbers;
    if (numbers == 0 ? written.size() != known
                     : written.size() < known || (written.size() - known) % numbers != 0)
      return false;
    if (numbers > 0) {
      const std::size_t length = (written.size() - known) / numbers;
      std::vector<Unit> fitted;
      for (const Unit& u : units)
        if (!u.pageNumber)
          fitted.push_back(u);
        else
          fitted.insert(fitted.end(), length, Unit{Unit::Kind::Opaque, 0, {}, u.node});
      units = std::move(fitted);
    }
    for (std::size_t i = 0; i < units.size(); ++i) {
      const Unit& u = units[i];
      if (u.kind != Unit::Kind::Opaque && (u.kind != written[i].kind || u.c != written[i].c)) return false;
    }
    return true;
  }

 private:
  void push(Unit::Kind kind, bool opaque, char32_t c = 0, xmlNodePtr node = nullptr, std::size_t at = 0) {
    units.push_back({opaque ? Unit::Kind::Opaque : kind, c, {}, node, at});
  }

  void walk(xmlNodePtr node, bool opaque) {
    for (xmlNodePtr c = node->children; c; c = c->next) {
      if (c->type == XML_PI_NODE) {
        if (xmlStrcmp(c->name, xmlChars("ACE")) != 0) continue;
        const auto code = parseNumbers(c->content ? reinterpret_cast<const char*>(c->content) : "");
        if (code.size() != 1) continue;
        if (code[0] == 8) push(Unit::Kind::Opaque, true, U'\t', c);
        if (code[0] == 18) units.push_back({Unit::Kind::Opaque, 0, {}, c, 0, true});
        continue;
      }
      if (c->type != XML_ELEMENT_NODE) continue;
      if (named(c, "Content")) {
        std::u32string& text = texts[c] = utf8ToUtf32(xmlStringValue(c));
        for (std::size_t i = 0; i < text.size(); ++i)
          if (text[i] != kTextChar_ObjectReplacement && text[i] != kTextChar_EndOfStory)
            push(Unit::Kind::Char, opaque, text[i], c, i);
      } else if (named(c, "Br")) {
        push(Unit::Kind::Break, opaque, U'\r', c);
      } else if (isRange(c) || named(c, "XMLElement") || named(c, "HyperlinkTextSource") ||
                 named(c, "HyperlinkTextDestination") || named(c, "CrossReferenceSource") ||
                 (named(c, "Change") && attr(c, "ChangeType") != "DeletedText")) {
        walk(c, opaque);
      } else if (ItemReader::isItem(c)) {
        push(Unit::Kind::Item, opaque, 0, c);
      } else if (named(c, "TextVariableInstance")) {
        for (char32_t ch : utf8ToUtf32(attr(c, "ResultText"))) push(Unit::Kind::Opaque, true, ch, c);
      } else if (named(c, "Table")) {
        int row = -1;
        for (xmlNodePtr cell = c->children; cell; cell = cell->next) {
          if (!named(cell, "Cell")) continue;
          const std::string name = attr(cell, "Name");
          const auto colon = name.find(':');
          const auto r = parseNumbers(colon == std::string::npos ? "" : name.substr(colon + 1));
          const int thisRow = r.size() == 1 ? static_cast<int>(r[0]) : row;
          if (row != -1) push(Unit::Kind::Opaque, true, 0, c);
          row = thisRow;
          walk(cell, true);
        }
        if (row != -1) push(Unit::Kind::Opaque, true, 0, c);
      }
      // Anything else holds no text of the story's (notes, footnotes, properties…).
    }
  }
};

void setText(xmlNodePtr content, const std::u32string& text) {
  xmlNodeSetContent(content, nullptr);
  xmlNodeAddContent(content, xmlChars(utf32ToUtf8(text).c_str()));
}

xmlNodePtr newElement(xmlNodePtr near, const char* name, const std::u32string& text = {}) {
  xmlNodePtr n = xmlNewDocNode(near->doc, nullptr, xmlChars(name), nullptr);
  if (!text.empty()) setText(n, text);
  return n;
}

// A range left with nothing but its properties goes, and so on outwards.
void dropEmptyRanges(xmlNodePtr node, std::set<xmlNodePtr>& freed) {
  while (node && isRange(node)) {
    for (xmlNodePtr c = node->children; c; c = c->next)
      if ((c->type == XML_ELEMENT_NODE && !named(c, "Properties")) || c->type == XML_PI_NODE) return;
    xmlNodePtr parent = node->parent;
    xmlUnlinkNode(node);
    xmlFreeNode(node);
    freed.insert(node);
    node = parent;
  }
}

// Paragraph attributes belong to the package's paragraph ranges, which may
// hold more paragraphs than the change: they are not set on a character range.
bool isParagraphAttribute(const std::string& name) {
  static const std::set<std::string> kNames = {
      "AppliedParagraphStyle", "Justification", "FirstLineIndent", "LeftIndent",
      "RightIndent",           "SpaceBefore",   "SpaceAfter"};
  return kNames.count(name) > 0;
}

// A range with range's attributes and properties and none of its text.
xmlNodePtr emptyCopy(xmlNodePtr range) {
  xmlNodePtr copy = xmlDocCopyNode(range, range->doc, 2);
  if (xmlNodePtr p = childNamed(range, "Properties")) xmlAddChild(copy, xmlDocCopyNode(p, range->doc, 1));
  return copy;
}

// Moves first, last and the siblings between them to the end of into.
void moveInto(xmlNodePtr into, xmlNodePtr first, xmlNodePtr last) {
  for (xmlNodePtr n = first, next = nullptr; n; n = next) {
    next = n == last ? nullptr : n->next;
    xmlUnlinkNode(n);
    xmlAddChild(into, n);
  }
}

// The text of content from index k on goes to a new Content after it, answered.
xmlNodePtr splitContent(xmlNodePtr content, std::size_t k) {
  const std::u32string text = utf8ToUtf32(xmlStringValue(content));
  setText(content, text.substr(0, k));
  return xmlAddNextSibling(content, newElement(content, "Content", text.substr(k)));
}

// The same text in other character attributes: each stretch that changed
// becomes a character range of its own, a copy of the package's range around
// it with the changed attributes set; names maps the model's names to the
// package's. False when a change can't be said on a character range.
bool restyle(const std::vector<Unit>& units, const std::vector<Unit>& was, const std::vector<Unit>& is,
             std::size_t p, std::size_t q, const std::map<std::string, std::string>& names) {
  struct Stretch {
    std::size_t first, last;
    xmlNodePtr range;
    std::map<std::string, std::string> set;
  };
  std::vector<Stretch> stretches;
  for (std::size_t i = p; i < q; ++i) {
    std::map<std::string, std::string> set;
    const auto& before = attributesOf(was[i]);
    const auto& after = attributesOf(is[i]);
    for (const auto& [name, value] : after) {
      const auto w = before.find(name);
      if (w != before.end() && w->second == value) continue;
      if (isParagraphAttribute(name)) return false;
      const auto mapped = names.find(value);
      set[name] = mapped == names.end() ? value : mapped->second;
    }
    for (const auto& [name, value] : before)
      if (!after.count(name)) return false;
    if (set.empty()) continue;
    const Unit& u = units[i];
    if (u.kind != Unit::Kind::Char && u.kind != Unit::Kind::Break) return false;
    xmlNodePtr range = u.node->parent;
    if (!named(range, "CharacterStyleRange")) return false;
    if (!stretches.empty() && stretches.back().last + 1 == i && stretches.back().range == range &&
        stretches.back().set == set)
      stretches.back().last = i;
    else
      stretches.push_back({i, i, range, std::move(set)});
  }
  // Last first: splitting a text keeps the places of what comes before.
  for (auto s = stretches.rbegin(); s != stretches.rend(); ++s) {
    const Unit& a = units[s->first];
    const Unit& b = units[s->last];
    xmlNodePtr end = b.node;
    if (b.kind == Unit::Kind::Char && b.at + 1 < utf8ToUtf32(xmlStringValue(b.node)).size())
      splitContent(b.node, b.at + 1);
    xmlNodePtr start = a.node;
    if (a.kind == Unit::Kind::Char && a.at > 0) {
      start = splitContent(a.node, a.at);
      if (end == a.node) end = start;
    }
    xmlNodePtr range = s->range;
    xmlNodePtr rest = end->next;
    xmlNodePtr middle = xmlAddNextSibling(range, emptyCopy(range));
    moveInto(middle, start, end);
    bool more = false;
    for (xmlNodePtr n = rest; n; n = n->next)
      more = more || n->type == XML_ELEMENT_NODE || n->type == XML_PI_NODE;
    if (more) moveInto(xmlAddNextSibling(middle, emptyCopy(range)), rest, range->last);
    xmlNodePtr properties = childNamed(middle, "Properties");
    for (const auto& [name, value] : s->set) {
      if (xmlNodePtr property = properties ? childNamed(properties, name.c_str()) : nullptr)
        setText(property, utf8ToUtf32(value));
      else
        setAttr(middle, name.c_str(), value);
    }
    std::set<xmlNodePtr> freed;
    dropEmptyRanges(range, freed);
  }
  return true;
}
}  // namespace

XmlNode editedStory(xmlNodePtr original, xmlNodePtr before, xmlNodePtr now,
                    const std::map<std::string, std::string>& names) {
  std::vector<Unit> was, is;
  readWritten(before, nullptr, was);
  readWritten(now, nullptr, is);
  XmlNode copy(xmlDocCopyNode(original, original->doc, 1));
  if (!copy) return {};
  PackageStory story(copy.get());
  if (!story.linesUp(was)) return {};
  std::vector<Unit>& units = story.units;

  // The changed stretch: was[p, q) became is[p, r).
  std::size_t p = 0;
  while (p < was.size() && p < is.size() && same(was[p], is[p])) ++p;
  std::size_t tail = 0;
  while (tail < was.size() - p && tail < is.size() - p &&
         same(was[was.size() - 1 - tail], is[is.size() - 1 - tail]))
    ++tail;
  const std::size_t q = was.size() - tail, r = is.size() - tail;
  if (p == q && p == r) return copy;
  bool sameText = q == r;
  for (std::size_t i = p; sameText && i < q; ++i) sameText = was[i].kind == is[i].kind && was[i].c == is[i].c;
  if (sameText) {
    if (!restyle(units, was, is, p, q, names)) return {};
    PackageStory restyled(copy.get());
    if (!restyled.linesUp(is)) return {};
    return copy;
  }
  for (std::size_t i = p; i < q; ++i)
    if (units[i].kind == Unit::Kind::Item || units[i].kind == Unit::Kind::Opaque) return {};

  // New text joins the text beside it whose attributes it has: the text it
  // replaces first, else the text before it, else the text after it.
  std::vector<std::u32string> lines(1);
  const Unit* anchor = nullptr;
  bool after = false;
  if (r > p) {
    const std::string& look = lookOf(is[p]);
    for (std::size_t i = p; i < r; ++i) {
      if (is[i].kind == Unit::Kind::Item || lookOf(is[i]) != look) return {};
      if (is[i].kind == Unit::Kind::Break)
        lines.emplace_back();
      else
        lines.back() += is[i].c;
    }
    if (q > p && lookOf(was[p]) == look) {
      anchor = &units[p];
    } else if (p > 0 && lookOf(was[p - 1]) == look) {
      anchor = &units[p - 1];
      after = true;
    } else if (p < was.size() && lookOf(was[p]) == look) {
      anchor = &units[p];
    } else {
      return {};
    }
    if (anchor->kind == Unit::Kind::Opaque) return {};
  }

  std::map<xmlNodePtr, std::vector<bool>> gone;
  std::vector<xmlNodePtr> breaks;
  for (std::size_t i = p; i < q; ++i) {
    if (units[i].kind == Unit::Kind::Break) {
      breaks.push_back(units[i].node);
    } else {
      auto& flags = gone[units[i].node];
      flags.resize(story.texts[units[i].node].size());
      flags[units[i].at] = true;
    }
  }
  const auto kept = [&](xmlNodePtr content, std::size_t from, std::size_t to) {
    const std::u32string& text = story.texts[content];
    const auto flags = gone.find(content);
    std::u32string out;
    for (std::size_t i = from; i < to; ++i)
      if (flags == gone.end() || !flags->second[i]) out += text[i];
    return out;
  };

  std::set<xmlNodePtr> rewritten;
  if (anchor && anchor->kind == Unit::Kind::Char) {
    xmlNodePtr content = anchor->node;
    const std::size_t size = story.texts[content].size();
    const std::size_t split = anchor->at + (after ? 1 : 0);
    const std::u32string rest = kept(content, split, size);
    if (lines.size() == 1) {
      setText(content, kept(content, 0, split) + lines[0] + rest);
    } else {
      setText(content, kept(content, 0, split) + lines[0]);
      xmlNodePtr cursor = content;
      for (std::size_t i = 1; i < lines.size(); ++i) {
        cursor = xmlAddNextSibling(cursor, newElement(content, "Br"));
        const std::u32string text = lines[i] + (i + 1 == lines.size() ? rest : U"");
        if (!text.empty()) cursor = xmlAddNextSibling(cursor, newElement(content, "Content", text));
      }
    }
    rewritten.insert(content);
  } else if (anchor) {
    std::vector<xmlNodePtr> nodes;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i > 0) nodes.push_back(newElement(anchor->node, "Br"));
      if (!lines[i].empty()) nodes.push_back(newElement(anchor->node, "Content", lines[i]));
    }
    xmlNodePtr cursor = anchor->node;
    for (xmlNodePtr n : nodes)
      cursor = after ? xmlAddNextSibling(cursor, n) : xmlAddPrevSibling(anchor->node, n);
  }

  std::set<xmlNodePtr> emptied;
  for (const auto& [content, flags] : gone) {
    if (rewritten.count(content)) continue;
    const std::u32string text = kept(content, 0, flags.size());
    if (!text.empty()) {
      setText(content, text);
    } else {
      emptied.insert(content->parent);
      xmlUnlinkNode(content);
      xmlFreeNode(content);
    }
  }
  for (xmlNodePtr br : breaks) {
    emptied.insert(br->parent);
    xmlNodePtr left = xmlPreviousElementSibling(br), right = xmlNextElementSibling(br);
    xmlUnlinkNode(br);
    xmlFreeNode(br);
    // The text on both sides of a paragraph end taken out is one text again.
    if (left && right && named(left, "Content") && named(right, "Content") &&
        xmlNextElementSibling(left) == right) {
      setText(left, utf8ToUtf32(xmlStringValue(left)) + utf8ToUtf32(xmlStringValue(right)));
      xmlUnlinkNode(right);
      xmlFreeNode(right);
    }
  }
  // Inner ranges first, so that an outer one emptied by them goes too.
  std::vector<xmlNodePtr> ranges(emptied.begin(), emptied.end());
  const auto depth = [](xmlNodePtr n) {
    int d = 0;
    for (; n; n = n->parent) ++d;
    return d;
  };
  std::sort(ranges.begin(), ranges.end(), [&](xmlNodePtr a, xmlNodePtr b) { return depth(a) > depth(b); });
  std::set<xmlNodePtr> freed;  // nothing is allocated meanwhile, so no address comes back
  for (xmlNodePtr range : ranges)
    if (!freed.count(range)) dropEmptyRanges(range, freed);

  // What the edit made must read as now says.
  PackageStory edited(copy.get());
  if (!edited.linesUp(is)) return {};
  return copy;
}

}  // namespace korvex::idml
