#include "host/idml/item_reader.h"

#include <optional>

#include "host/image_info.h"
#include "host/place.h"

namespace korvex::idml {

namespace {

std::optional<Path> readPath(xmlNodePtr element) {
  xmlNodePtr properties = childNamed(element, "Properties");
  xmlNodePtr geometry = properties ? childNamed(properties, "PathGeometry") : nullptr;
  xmlNodePtr type = geometry ? childNamed(geometry, "GeometryPathType") : nullptr;
  xmlNodePtr array = type ? childNamed(type, "PathPointArray") : nullptr;
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

std::string contentOf(xmlNodePtr node) {
  xmlChar* text = xmlNodeGetContent(node);
  std::string out = text ? reinterpret_cast<const char*>(text) : "";
  if (text) xmlFree(text);
  return out;
}

}  // namespace

void ItemReader::readDefinitions(xmlNodePtr container) {
  for (xmlNodePtr n = container->children; n; n = n->next) {
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
            if (xmlNodePtr content = childNamed(r, "Content")) ranges.push_back({contentOf(content), r});
      }
    }
  }
}

UID ItemReader::readItem(xmlNodePtr node, UID parent, TransformSpace space) {
  const std::string kind = reinterpret_cast<const char*>(node->name);
  PMMatrix m = parseMatrix(attr(node, "ItemTransform"));
  if (space == TransformSpace::Pasteboard)
    if (const auto* p = db_->instantiate<IHierarchy>(parent))
      m = p->innerToPasteboard().inverse().value_or(PMMatrix{}) * m;
  UID created = kInvalidUID;
  if (kind == "Group") {
    Group* g = doc_.createGroup(parent);
    if (!g) return kInvalidUID;
    created = g->GetUID();
    g->setTransform(m);
    for (xmlNodePtr c = node->children; c; c = c->next)
      if (c->type == XML_ELEMENT_NODE && isItem(c)) readItem(c, created, TransformSpace::Parent);
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
  if (xmlNodePtr properties = childNamed(node, "Properties"))
    if (xmlNodePtr label = childNamed(properties, "Label"))
      for (xmlNodePtr p = label->children; p; p = p->next)
        if (named(p, "KeyValuePair")) item->setLabel(attr(p, "Key"), attr(p, "Value"));
  return created;
}

bool ItemReader::isItem(xmlNodePtr n) {
  return named(n, "Group") || named(n, "GraphicLine") || named(n, "Rectangle") || named(n, "Oval") ||
         named(n, "Polygon") || named(n, "TextFrame");
}

UID ItemReader::swatchFor(const std::string& ref) {
  if (ref.empty() || ref == "Swatch/None") return doc_.noneSwatch();
  if (auto it = refs_.find(ref); it != refs_.end()) return it->second;
  const auto slash = ref.find('/');
  if (Swatch* s = doc_.findSwatch(slash == std::string::npos ? ref : ref.substr(slash + 1)))
    return s->GetUID();
  return doc_.noneSwatch();
}

void ItemReader::readAttributes(xmlNodePtr node, PageItem& item) {
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

void ItemReader::readText(xmlNodePtr node, UID frame) {
  const std::string storyID = attr(node, "ParentStory");
  UID story = kInvalidUID;
  if (auto it = stories_.find(storyID); it != stories_.end()) story = it->second;
  MultiColumnItem* mc = nullptr;
  if (doc_.makeTextFrame(frame, story, &mc) != kSuccess || !mc) return;
  if (story == kInvalidUID) {
    stories_[storyID] = mc->storyUID();
    if (ITextModel* model = doc_.story(mc->storyUID())) fillStory(*model, storyRanges_[storyID]);
  }
  if (xmlNodePtr pref = childNamed(node, "TextFramePreference")) {
    TextFrameSettings t = mc->settings();
    if (auto v = parseNumbers(attr(pref, "TextColumnCount")); v.size() == 1 && v[0] >= 1)
      t.columnCount = static_cast<int>(v[0]);
    if (auto v = parseNumbers(attr(pref, "TextColumnGutter")); v.size() == 1) t.gutter = v[0];
    if (auto v = parseNumbers(attr(pref, "InsetSpacing")); v.size() == 4) t.inset = {v[1], v[0], v[3], v[2]};
    if (auto v = parseNumbers(attr(pref, "VerticalJustification")); v.size() == 1 && v[0] >= 0 && v[0] <= 3)
      t.verticalJustification = static_cast<VerticalJustification>(static_cast<int>(v[0]));
    mc->setSettings(t);
  }
}

void ItemReader::readPlaced(xmlNodePtr node, UID frame) {
  const ClassID kind = named(node, "PDF")   ? ClassID::kPDFItem
                       : named(node, "EPS") ? ClassID::kEPSItem
                                            : ClassID::kImageItem;
  PMRect bounds;
  if (xmlNodePtr properties = childNamed(node, "Properties"))
    if (xmlNodePtr gb = childNamed(properties, "GraphicBounds")) {
      const auto l = parseNumbers(attr(gb, "Left")), t = parseNumbers(attr(gb, "Top")),
                 r = parseNumbers(attr(gb, "Right")), b = parseNumbers(attr(gb, "Bottom"));
      if (l.size() == 1 && t.size() == 1 && r.size() == 1 && b.size() == 1) bounds = {l[0], t[0], r[0], b[0]};
    }
  PlacedContent* c = doc_.createPlacedContent(frame, kind, bounds);
  if (!c) return;
  c->setTransform(parseMatrix(attr(node, "ItemTransform")));
  GraphicAttributes a;
  a.fillSwatch = doc_.noneSwatch();
  a.strokeSwatch = doc_.noneSwatch();
  c->setGraphicAttributes(a);
  if (xmlNodePtr link = childNamed(node, "Link")) {
    const std::string path = URIUtils::URIToIDFile(URI(attr(link, "LinkResourceURI"))).path();
    if (!path.empty()) doc_.createLink(c->GetUID(), path);
    if (kind == ClassID::kImageItem) c->setImageAttributes(readImageAttributes(path));
  }
}

// The whole text goes in first so that no range inherits its neighbour's attributes.
void ItemReader::fillStory(ITextModel& model, const std::vector<Range>& ranges) {
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

}  // namespace korvex::idml
