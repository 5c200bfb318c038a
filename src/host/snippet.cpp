#include "host/snippet.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "host/image_info.h"
#include "host/place.h"

namespace korvex {

namespace {

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

const xmlChar* X(const char* s) {
  return reinterpret_cast<const xmlChar*>(s);
}

std::string number(double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.10g", v);
  return buffer;
}

std::string numbers(std::initializer_list<double> values) {
  std::string out;
  for (double v : values) out += (out.empty() ? "" : " ") + number(v);
  return out;
}

std::vector<double> parseNumbers(const std::string& text) {
  std::vector<double> out;
  std::istringstream in(text);
  double v;
  while (in >> v) out.push_back(v);
  return out;
}

void setAttr(xmlNodePtr node, const char* name, const std::string& value) {
  xmlSetProp(node, X(name), X(value.c_str()));
}

std::string attr(xmlNodePtr node, const char* name) {
  xmlChar* v = xmlGetProp(node, X(name));
  if (!v) return {};
  std::string out(reinterpret_cast<const char*>(v));
  xmlFree(v);
  return out;
}

bool named(xmlNodePtr node, const char* name) {
  return node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, X(name)) == 0;
}

xmlNodePtr child(xmlNodePtr parent, const char* name) {
  for (xmlNodePtr c = parent->children; c; c = c->next)
    if (named(c, name)) return c;
  return nullptr;
}

std::string matrixText(const PMMatrix& m) {
  return numbers({m.a, m.b, m.c, m.d, m.tx, m.ty});
}

PMMatrix parseMatrix(const std::string& text) {
  const auto v = parseNumbers(text);
  if (v.size() != 6) return {};
  return {v[0], v[1], v[2], v[3], v[4], v[5]};
}

std::string swatchRef(const IDocument& doc, UID uid) {
  const Swatch* s = doc.swatch(uid);
  if (!s) return "Swatch/None";
  if (s->kind() == SwatchKind::None) return "Swatch/None";
  return (s->kind() == SwatchKind::Tint ? "Tint/" : "Color/") + s->name();
}

// A path as IDML writes it: anchor and the two direction points of each point.
void writePath(xmlNodePtr properties, const Path& path) {
  xmlNodePtr geometry = xmlNewChild(properties, nullptr, X("PathGeometry"), nullptr);
  xmlNodePtr type = xmlNewChild(geometry, nullptr, X("GeometryPathType"), nullptr);
  setAttr(type, "PathOpen", path.closed ? "false" : "true");
  xmlNodePtr array = xmlNewChild(type, nullptr, X("PathPointArray"), nullptr);
  for (const PathPoint& p : path.points) {
    xmlNodePtr point = xmlNewChild(array, nullptr, X("PathPointType"), nullptr);
    setAttr(point, "Anchor", numbers({p.anchor.x, p.anchor.y}));
    setAttr(point, "LeftDirection", numbers({p.in.x, p.in.y}));
    setAttr(point, "RightDirection", numbers({p.out.x, p.out.y}));
  }
}

std::optional<Path> readPath(xmlNodePtr element) {
  xmlNodePtr properties = child(element, "Properties");
  xmlNodePtr geometry = properties ? child(properties, "PathGeometry") : nullptr;
  xmlNodePtr type = geometry ? child(geometry, "GeometryPathType") : nullptr;
  xmlNodePtr array = type ? child(type, "PathPointArray") : nullptr;
  if (!array) return std::nullopt;
  Path path;
  path.closed = attr(type, "PathOpen") != "true";
  for (xmlNodePtr p = array->children; p; p = p->next) {
    if (!named(p, "PathPointType")) continue;
    const auto a = parseNumbers(attr(p, "Anchor")), l = parseNumbers(attr(p, "LeftDirection")),
               r = parseNumbers(attr(p, "RightDirection"));
    if (a.size() != 2 || l.size() != 2 || r.size() != 2) return std::nullopt;
    path.points.push_back({{a[0], a[1]}, {l[0], l[1]}, {r[0], r[1]}});
  }
  return path;
}

const char* placedElementName(ClassID kind) {
  switch (kind) {
    case ClassID::kPDFItem: return "PDF";
    case ClassID::kEPSItem: return "EPS";
    default: return "Image";
  }
}

class Writer {
 public:
  explicit Writer(const IDocument& doc) : doc_(doc), db_(doc.GetDocDataBase()) {}

  void writeItem(xmlNodePtr parent, UID uid, bool topLevel) {
    auto* item = db_->instantiate<PageItem>(uid);
    if (!item) return;
    const PMMatrix m = topLevel ? item->innerToPasteboard() : item->transform();
    const ClassID kind = item->GetClass();
    xmlNodePtr node = nullptr;
    if (kind == ClassID::kGroupItem) {
      node = xmlNewChild(parent, nullptr, X("Group"), nullptr);
    } else if (kind == ClassID::kGraphicLine) {
      node = xmlNewChild(parent, nullptr, X("GraphicLine"), nullptr);
    } else if (kind == ClassID::kSplineItem) {
      auto* s = static_cast<SplineItem*>(item);
      const char* name = s->textContentUID() != kInvalidUID   ? "TextFrame"
                         : s->shape() == SplineShape::Oval    ? "Oval"
                         : s->shape() == SplineShape::Polygon ? "Polygon"
                                                              : "Rectangle";
      node = xmlNewChild(parent, nullptr, X(name), nullptr);
    } else {
      return;
    }
    setAttr(node, "Self", "u" + std::to_string(uid));
    setAttr(node, "ItemTransform", matrixText(m));
    writeAttributes(node, *item);
    xmlNodePtr properties = xmlNewChild(node, nullptr, X("Properties"), nullptr);
    if (const Path* path = item->path()) writePath(properties, *path);
    if (!item->labels().empty()) {
      xmlNodePtr label = xmlNewChild(properties, nullptr, X("Label"), nullptr);
      for (const auto& [key, value] : item->labels().entries()) {
        xmlNodePtr pair = xmlNewChild(label, nullptr, X("KeyValuePair"), nullptr);
        setAttr(pair, "Key", key);
        setAttr(pair, "Value", value);
      }
    }
    if (kind == ClassID::kGroupItem) {
      for (UID c : item->children()) writeItem(node, c, false);
      return;
    }
    if (kind != ClassID::kSplineItem) return;
    auto* s = static_cast<SplineItem*>(item);
    if (UID text = s->textContentUID(); text != kInvalidUID) {
      auto* mc = db_->instantiate<MultiColumnItem>(text);
      setAttr(node, "ParentStory", "u" + std::to_string(mc->storyUID()));
      stories_.insert(mc->storyUID());
      const TextFrameSettings& t = mc->settings();
      xmlNodePtr pref = xmlNewChild(node, nullptr, X("TextFramePreference"), nullptr);
      setAttr(pref, "TextColumnCount", std::to_string(t.columnCount));
      setAttr(pref, "TextColumnGutter", number(t.gutter));
      setAttr(pref, "InsetSpacing", numbers({t.inset.top, t.inset.left, t.inset.bottom, t.inset.right}));
      setAttr(pref, "VerticalJustification", std::to_string(static_cast<int>(t.verticalJustification)));
    } else if (UID content = s->placedContentUID(); content != kInvalidUID) {
      auto* c = db_->instantiate<PlacedContent>(content);
      xmlNodePtr placed = xmlNewChild(node, nullptr, X(placedElementName(c->GetClass())), nullptr);
      setAttr(placed, "Self", "u" + std::to_string(content));
      setAttr(placed, "ItemTransform", matrixText(c->transform()));
      xmlNodePtr cp = xmlNewChild(placed, nullptr, X("Properties"), nullptr);
      const PMRect b = c->path()->bounds();
      xmlNodePtr gb = xmlNewChild(cp, nullptr, X("GraphicBounds"), nullptr);
      setAttr(gb, "Left", number(b.left));
      setAttr(gb, "Top", number(b.top));
      setAttr(gb, "Right", number(b.right));
      setAttr(gb, "Bottom", number(b.bottom));
      if (auto* link = db_->instantiate<ILink>(c->linkUID())) {
        xmlNodePtr l = xmlNewChild(placed, nullptr, X("Link"), nullptr);
        setAttr(l, "Self", "u" + std::to_string(link->GetUID()));
        if (LinkResource* r = link->resource()) {
          setAttr(l, "LinkResourceURI", URIUtils::IDFileToURI(IDFile(r->path())).text());
          setAttr(l, "StoredState", r->isEmbedded() ? "Embedded" : "Normal");
        }
      }
    }
  }

  void writeSwatches(xmlNodePtr root) {
    // Tints first need their bases; bases are written before the tints.
    std::vector<UID> order;
    for (UID u : swatches_) {
      const Swatch* s = doc_.swatch(u);
      if (s && s->kind() == SwatchKind::Tint && !swatches_.count(s->baseSwatch()))
        order.push_back(s->baseSwatch());
    }
    for (UID u : swatches_) order.push_back(u);
    std::set<UID> written;
    for (UID u : order) {
      const Swatch* s = doc_.swatch(u);
      if (!s || s->kind() == SwatchKind::None || !written.insert(u).second) continue;
      if (s->kind() == SwatchKind::Tint) {
        xmlNodePtr t = xmlNewChild(root, nullptr, X("Tint"), nullptr);
        setAttr(t, "Self", "Tint/" + s->name());
        setAttr(t, "Name", s->name());
        setAttr(t, "BaseColor", swatchRef(doc_, s->baseSwatch()));
        setAttr(t, "TintValue", number(s->tintPercent()));
        continue;
      }
      xmlNodePtr c = xmlNewChild(root, nullptr, X("Color"), nullptr);
      setAttr(c, "Self", "Color/" + s->name());
      setAttr(c, "Name", s->name());
      setAttr(c, "Model",
              s->model() == ColorModel::Spot           ? "Spot"
              : s->model() == ColorModel::Registration ? "Registration"
                                                       : "Process");
      setAttr(c, "Space",
              s->space() == ColorSpace::RGB   ? "RGB"
              : s->space() == ColorSpace::Lab ? "LAB"
                                              : "CMYK");
      std::string values;
      for (double v : s->components()) values += (values.empty() ? "" : " ") + number(v);
      setAttr(c, "ColorValue", values);
    }
  }

  // Stories as character ranges: one range wherever a carried attribute changes.
  void writeStories(xmlNodePtr root) {
    static constexpr AttributeClass kCarried[] = {AttributeClass::kTextColor, AttributeClass::kTextTint,
                                                  AttributeClass::kFontFamily, AttributeClass::kFontStyle,
                                                  AttributeClass::kPointSize};
    for (UID u : stories_) {
      const ITextModel* s = doc_.story(u);
      if (!s) continue;
      xmlNodePtr story = xmlNewChild(root, nullptr, X("Story"), nullptr);
      setAttr(story, "Self", "u" + std::to_string(u));
      xmlNodePtr paragraphs = xmlNewChild(story, nullptr, X("ParagraphStyleRange"), nullptr);
      const int length = s->TotalLength() - 1;  // without the end-of-story mark
      int start = 0;
      while (start < length) {
        int end = length;
        xmlNodePtr range = xmlNewChild(paragraphs, nullptr, X("CharacterStyleRange"), nullptr);
        for (AttributeClass c : kCarried) {
          const auto run = s->QueryRun(c, start);
          if (!run) continue;
          end = std::min(end, start + std::max(1, run->length));
          writeCharacterAttribute(range, c, run->value);
        }
        // Anchored frames are not carried; their anchor characters are left out.
        std::u32string text =
            s->characters().substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
        std::erase(text, kTextChar_ObjectReplacement);
        xmlNodePtr content = xmlNewChild(range, nullptr, X("Content"), nullptr);
        xmlNodeAddContent(content, X(utf32ToUtf8(text).c_str()));
        start = end;
      }
    }
  }

 private:
  void writeCharacterAttribute(xmlNodePtr range, AttributeClass c, const AttributeValue& value) {
    if (c == AttributeClass::kTextColor && std::holds_alternative<UID>(value)) {
      const UID swatch = std::get<UID>(value);
      setAttr(range, "FillColor", swatchRef(doc_, swatch));
      if (swatch != kInvalidUID) swatches_.insert(swatch);
    } else if (c == AttributeClass::kTextTint && std::holds_alternative<double>(value)) {
      setAttr(range, "FillTint", number(std::get<double>(value)));
    } else if (c == AttributeClass::kFontFamily && std::holds_alternative<std::string>(value)) {
      setAttr(range, "AppliedFont", std::get<std::string>(value));
    } else if (c == AttributeClass::kFontStyle && std::holds_alternative<std::string>(value)) {
      setAttr(range, "FontStyle", std::get<std::string>(value));
    } else if (c == AttributeClass::kPointSize && std::holds_alternative<double>(value)) {
      setAttr(range, "PointSize", number(std::get<double>(value)));
    }
  }

  void writeAttributes(xmlNodePtr node, const PageItem& item) {
    const GraphicAttributes& a = item.graphicAttributes();
    setAttr(node, "FillColor", swatchRef(doc_, a.fillSwatch));
    setAttr(node, "StrokeColor", swatchRef(doc_, a.strokeSwatch));
    if (a.fillTint) setAttr(node, "FillTint", number(*a.fillTint));
    if (a.strokeTint) setAttr(node, "StrokeTint", number(*a.strokeTint));
    setAttr(node, "StrokeWeight", number(a.strokeWeight));
    setAttr(node, "StrokeAlignment",
            a.strokeAlignment == StrokeAlignment::Inside    ? "InsideAlignment"
            : a.strokeAlignment == StrokeAlignment::Outside ? "OutsideAlignment"
                                                            : "CenterAlignment");
    if (a.cornerRadius > 0) setAttr(node, "CornerRadius", number(a.cornerRadius));
    if (a.nonPrinting) setAttr(node, "Nonprinting", "true");
    if (!item.objectStyle().empty()) setAttr(node, "AppliedObjectStyle", "ObjectStyle/" + item.objectStyle());
    for (UID u : {a.fillSwatch, a.strokeSwatch})
      if (u != kInvalidUID) swatches_.insert(u);
  }

  const IDocument& doc_;
  IDataBase* db_;
  std::set<UID> swatches_;
  std::set<UID> stories_;
};

class Reader {
 public:
  explicit Reader(IDocument& doc) : doc_(doc), db_(doc.GetDocDataBase()) {}

  void readSwatches(xmlNodePtr root) {
    for (xmlNodePtr n = root->children; n; n = n->next) {
      if (named(n, "Color")) {
        const std::string name = attr(n, "Name");
        if (name.empty()) continue;
        if (Swatch* existing = doc_.findSwatch(name)) {
          refs_["Color/" + name] = existing->GetUID();
          continue;
        }
        const std::string model = attr(n, "Model"), space = attr(n, "Space");
        const ColorSpace cs = space == "RGB"   ? ColorSpace::RGB
                              : space == "LAB" ? ColorSpace::Lab
                                               : ColorSpace::CMYK;
        if (Swatch* s = doc_.createColor(name, model == "Spot" ? ColorModel::Spot : ColorModel::Process, cs,
                                         parseNumbers(attr(n, "ColorValue"))))
          refs_["Color/" + name] = s->GetUID();
      } else if (named(n, "Tint")) {
        const std::string name = attr(n, "Name");
        if (Swatch* existing = doc_.findSwatch(name)) {
          refs_["Tint/" + name] = existing->GetUID();
          continue;
        }
        const UID base = swatchFor(attr(n, "BaseColor"));
        const auto percent = parseNumbers(attr(n, "TintValue"));
        if (base == kInvalidUID || percent.size() != 1) continue;
        if (Swatch* s = doc_.createTint(base, percent[0], name)) refs_["Tint/" + name] = s->GetUID();
      } else if (named(n, "Story")) {
        std::vector<Range>& ranges = storyRanges_[attr(n, "Self")];
        for (xmlNodePtr p = n->children; p; p = p->next) {
          if (named(p, "Content")) ranges.push_back({contentOf(p), nullptr});
          if (!named(p, "ParagraphStyleRange")) continue;
          for (xmlNodePtr r = p->children; r; r = r->next)
            if (named(r, "CharacterStyleRange"))
              if (xmlNodePtr content = child(r, "Content")) ranges.push_back({contentOf(content), r});
        }
      }
    }
  }

  UID readItem(xmlNodePtr node, UID parent, const PMMatrix& parentToPasteboardInverse, bool topLevel) {
    const std::string kind = reinterpret_cast<const char*>(node->name);
    PMMatrix m = parseMatrix(attr(node, "ItemTransform"));
    if (topLevel) m = parentToPasteboardInverse * m;
    UID created = kInvalidUID;
    if (kind == "Group") {
      Group* g = doc_.createGroup(parent);
      if (!g) return kInvalidUID;
      created = g->GetUID();
      g->setTransform(m);
      for (xmlNodePtr c = node->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && isItem(c)) readItem(c, created, {}, false);
    } else if (kind == "GraphicLine") {
      auto path = readPath(node);
      if (!path || path->points.size() != 2) return kInvalidUID;
      GraphicLine* line = doc_.createGraphicLine(parent, path->points[0].anchor, path->points[1].anchor);
      if (!line) return kInvalidUID;
      line->setPath(*path);
      line->setTransform(m);
      created = line->GetUID();
    } else {
      auto path = readPath(node);
      if (!path) return kInvalidUID;
      const SplineShape shape = kind == "Oval"      ? SplineShape::Oval
                                : kind == "Polygon" ? SplineShape::Polygon
                                                    : SplineShape::Rectangle;
      SplineItem* s = doc_.createSplineItem(parent, shape, *path);
      if (!s) return kInvalidUID;
      s->setTransform(m);
      created = s->GetUID();
      if (kind == "TextFrame") readText(node, created);
      for (xmlNodePtr c = node->children; c; c = c->next)
        if (named(c, "Image") || named(c, "PDF") || named(c, "EPS")) readPlaced(c, created);
    }
    auto* item = db_->instantiate<PageItem>(created);
    readAttributes(node, *item);
    if (xmlNodePtr properties = child(node, "Properties"))
      if (xmlNodePtr label = child(properties, "Label"))
        for (xmlNodePtr p = label->children; p; p = p->next)
          if (named(p, "KeyValuePair")) item->setLabel(attr(p, "Key"), attr(p, "Value"));
    return created;
  }

  static bool isItem(xmlNodePtr n) {
    return named(n, "Group") || named(n, "GraphicLine") || named(n, "Rectangle") || named(n, "Oval") ||
           named(n, "Polygon") || named(n, "TextFrame");
  }

 private:
  UID swatchFor(const std::string& ref) {
    if (ref.empty() || ref == "Swatch/None") return doc_.noneSwatch();
    if (auto it = refs_.find(ref); it != refs_.end()) return it->second;
    const auto slash = ref.find('/');
    if (Swatch* s = doc_.findSwatch(slash == std::string::npos ? ref : ref.substr(slash + 1)))
      return s->GetUID();
    return doc_.noneSwatch();
  }

  void readAttributes(xmlNodePtr node, PageItem& item) {
    GraphicAttributes a = item.graphicAttributes();
    a.fillSwatch = swatchFor(attr(node, "FillColor"));
    a.strokeSwatch = swatchFor(attr(node, "StrokeColor"));
    if (auto v = parseNumbers(attr(node, "FillTint")); v.size() == 1) a.fillTint = v[0];
    if (auto v = parseNumbers(attr(node, "StrokeTint")); v.size() == 1) a.strokeTint = v[0];
    if (auto v = parseNumbers(attr(node, "StrokeWeight")); v.size() == 1) a.strokeWeight = v[0];
    const std::string align = attr(node, "StrokeAlignment");
    a.strokeAlignment = align == "InsideAlignment"    ? StrokeAlignment::Inside
                        : align == "OutsideAlignment" ? StrokeAlignment::Outside
                                                      : StrokeAlignment::Center;
    if (auto v = parseNumbers(attr(node, "CornerRadius")); v.size() == 1) a.cornerRadius = v[0];
    a.nonPrinting = attr(node, "Nonprinting") == "true";
    item.setGraphicAttributes(a);
    const std::string style = attr(node, "AppliedObjectStyle");
    if (style.rfind("ObjectStyle/", 0) == 0) item.setObjectStyle(style.substr(12));
  }

  void readText(xmlNodePtr node, UID frame) {
    const std::string storyID = attr(node, "ParentStory");
    UID story = kInvalidUID;
    if (auto it = stories_.find(storyID); it != stories_.end()) story = it->second;
    MultiColumnItem* mc = nullptr;
    if (doc_.makeTextFrame(frame, story, &mc) != kSuccess || !mc) return;
    if (story == kInvalidUID) {
      stories_[storyID] = mc->storyUID();
      if (ITextModel* model = doc_.story(mc->storyUID())) fillStory(*model, storyRanges_[storyID]);
    }
    if (xmlNodePtr pref = child(node, "TextFramePreference")) {
      TextFrameSettings t = mc->settings();
      if (auto v = parseNumbers(attr(pref, "TextColumnCount")); v.size() == 1 && v[0] >= 1)
        t.columnCount = static_cast<int>(v[0]);
      if (auto v = parseNumbers(attr(pref, "TextColumnGutter")); v.size() == 1) t.gutter = v[0];
      if (auto v = parseNumbers(attr(pref, "InsetSpacing")); v.size() == 4)
        t.inset = {v[1], v[0], v[3], v[2]};
      if (auto v = parseNumbers(attr(pref, "VerticalJustification")); v.size() == 1 && v[0] >= 0 && v[0] <= 3)
        t.verticalJustification = static_cast<VerticalJustification>(static_cast<int>(v[0]));
      mc->setSettings(t);
    }
  }

  void readPlaced(xmlNodePtr node, UID frame) {
    const ClassID kind = named(node, "PDF")   ? ClassID::kPDFItem
                         : named(node, "EPS") ? ClassID::kEPSItem
                                              : ClassID::kImageItem;
    PMRect bounds;
    if (xmlNodePtr properties = child(node, "Properties"))
      if (xmlNodePtr gb = child(properties, "GraphicBounds")) {
        const auto l = parseNumbers(attr(gb, "Left")), t = parseNumbers(attr(gb, "Top")),
                   r = parseNumbers(attr(gb, "Right")), b = parseNumbers(attr(gb, "Bottom"));
        if (l.size() == 1 && t.size() == 1 && r.size() == 1 && b.size() == 1)
          bounds = {l[0], t[0], r[0], b[0]};
      }
    PlacedContent* c = doc_.createPlacedContent(frame, kind, bounds);
    if (!c) return;
    c->setTransform(parseMatrix(attr(node, "ItemTransform")));
    GraphicAttributes a;
    a.fillSwatch = doc_.noneSwatch();
    a.strokeSwatch = doc_.noneSwatch();
    c->setGraphicAttributes(a);
    if (xmlNodePtr link = child(node, "Link")) {
      const std::string path = URIUtils::URIToIDFile(URI(attr(link, "LinkResourceURI"))).path();
      if (!path.empty()) doc_.createLink(c->GetUID(), path);
      if (kind == ClassID::kImageItem) c->setImageAttributes(readImageAttributes(path));
    }
  }

  struct Range {
    std::string text;
    xmlNodePtr attributes;  // the CharacterStyleRange, or null
  };

  static std::string contentOf(xmlNodePtr node) {
    xmlChar* text = xmlNodeGetContent(node);
    std::string out = text ? reinterpret_cast<const char*>(text) : "";
    if (text) xmlFree(text);
    return out;
  }

  // The whole text goes in first so that no range inherits its neighbour's attributes.
  void fillStory(ITextModel& model, const std::vector<Range>& ranges) {
    std::vector<std::u32string> texts;
    std::u32string all;
    for (const Range& r : ranges) {
      std::u32string text = utf8ToUtf32(r.text);
      // Anchors and end marks belong to the host's own bookkeeping.
      std::erase(text, kTextChar_ObjectReplacement);
      std::erase(text, kTextChar_EndOfStory);
      all += text;
      texts.push_back(std::move(text));
    }
    if (all.empty() || model.Insert(0, utf32ToUtf8(all)) != kSuccess) return;
    int at = 0;
    for (std::size_t i = 0; i < ranges.size(); ++i) {
      const int length = static_cast<int>(texts[i].size());
      if (xmlNodePtr a = ranges[i].attributes; a && length > 0) {
        std::vector<std::pair<AttributeClass, AttributeValue>> values;
        const std::string fill = attr(a, "FillColor");
        if (!fill.empty()) values.emplace_back(AttributeClass::kTextColor, swatchFor(fill));
        if (auto v = parseNumbers(attr(a, "FillTint")); v.size() == 1)
          values.emplace_back(AttributeClass::kTextTint, v[0]);
        if (const std::string font = attr(a, "AppliedFont"); !font.empty())
          values.emplace_back(AttributeClass::kFontFamily, font);
        if (const std::string style = attr(a, "FontStyle"); !style.empty())
          values.emplace_back(AttributeClass::kFontStyle, style);
        if (auto v = parseNumbers(attr(a, "PointSize")); v.size() == 1 && v[0] > 0)
          values.emplace_back(AttributeClass::kPointSize, v[0]);
        if (!values.empty()) model.ApplyAttributes(at, length, values);
      }
      at += length;
    }
  }

  IDocument& doc_;
  IDataBase* db_;
  std::map<std::string, UID> refs_;
  std::map<std::string, std::vector<Range>> storyRanges_;
  std::map<std::string, UID> stories_;
};

}  // namespace

ErrorCode exportSnippet(const IDocument& document, const UIDList& items, std::string& xml) {
  if (items.GetDataBase() != document.GetDocDataBase()) return kInvalidParameterError;
  DocPtr doc(xmlNewDoc(X("1.0")));
  xmlNodePtr pi = xmlNewDocPI(doc.get(), X("aid"),
                              X("style=\"50\" type=\"snippet\" readerVersion=\"6.0\" "
                                "featureSet=\"513\" product=\"8.0(370)\""));
  xmlAddChild(reinterpret_cast<xmlNodePtr>(doc.get()), pi);
  xmlNodePtr pi2 = xmlNewDocPI(doc.get(), X("aid"), X("SnippetType=\"PageItem\""));
  xmlAddChild(reinterpret_cast<xmlNodePtr>(doc.get()), pi2);
  xmlNodePtr root = xmlNewDocNode(doc.get(), nullptr, X("Document"), nullptr);
  xmlDocSetRootElement(doc.get(), root);
  setAttr(root, "DOMVersion", "8.0");
  setAttr(root, "Self", "d");
  Writer writer(document);
  // Items go into a holder first so that swatches and stories can precede them.
  xmlNodePtr holder = xmlNewNode(nullptr, X("Holder"));
  for (UID uid : items) {
    if (!document.GetDocDataBase()->instantiate<PageItem>(uid)) {
      xmlFreeNode(holder);
      return kObjectNotFoundError;
    }
    writer.writeItem(holder, uid, true);
  }
  xmlNodePtr stories = xmlNewNode(nullptr, X("Holder"));
  writer.writeStories(stories);
  writer.writeSwatches(root);
  while (xmlNodePtr c = stories->children) {
    xmlUnlinkNode(c);
    xmlAddChild(root, c);
  }
  xmlFreeNode(stories);
  while (xmlNodePtr c = holder->children) {
    xmlUnlinkNode(c);
    xmlAddChild(root, c);
  }
  xmlFreeNode(holder);
  xmlChar* buffer = nullptr;
  int size = 0;
  xmlDocDumpFormatMemoryEnc(doc.get(), &buffer, &size, "UTF-8", 1);
  if (!buffer) return kFailure;
  xml.assign(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(size));
  xmlFree(buffer);
  return kSuccess;
}

ErrorCode importSnippet(IDocument& document, UID parent, std::string_view xml, UIDList* created) {
  IDataBase* db = document.GetDocDataBase();
  auto* target = db->instantiate<IHierarchy>(parent);
  if (!target || !(target->GetClass() == ClassID::kSpreadLayer || target->GetClass() == ClassID::kGroupItem))
    return kInvalidParameterError;
  DocPtr doc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "snippet.idms", "UTF-8",
                           XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (!doc) return kFileReadError;
  xmlNodePtr root = xmlDocGetRootElement(doc.get());
  if (!root || !named(root, "Document")) return kFileReadError;
  Reader reader(document);
  reader.readSwatches(root);
  const PMMatrix inverse = target->innerToPasteboard().inverse().value_or(PMMatrix{});
  UIDList made(db);
  for (xmlNodePtr n = root->children; n; n = n->next)
    if (Reader::isItem(n))
      if (UID uid = reader.readItem(n, parent, inverse, true); uid != kInvalidUID) made.Append(uid);
  if (created) *created = made;
  return kSuccess;
}

}  // namespace korvex
