#include "host/idml/item_writer.h"

#include <algorithm>
#include <map>
#include <string>

#include "host/place.h"
#include "host/styles.h"

namespace korvex::idml {

namespace {

// A path as IDML writes it: anchor and the two direction points of each point.
void writePath(xmlNodePtr properties, const Path& path) {
  xmlNodePtr geometry = xmlNewChild(properties, nullptr, xmlChars("PathGeometry"), nullptr);
  xmlNodePtr type = xmlNewChild(geometry, nullptr, xmlChars("GeometryPathType"), nullptr);
  setAttr(type, "PathOpen", path.closed ? "false" : "true");
  xmlNodePtr array = xmlNewChild(type, nullptr, xmlChars("PathPointArray"), nullptr);
  for (const PathPoint& p : path.points) {
    xmlNodePtr point = xmlNewChild(array, nullptr, xmlChars("PathPointType"), nullptr);
    setAttr(point, "Anchor", formatNumbers({p.anchor.x, p.anchor.y}));
    setAttr(point, "LeftDirection", formatNumbers({p.in.x, p.in.y}));
    setAttr(point, "RightDirection", formatNumbers({p.out.x, p.out.y}));
  }
}

const char* placedElementName(ClassID kind) {
  switch (kind) {
    case ClassID::kPDFItem: return "PDF";
    case ClassID::kEPSItem: return "EPS";
    default: return "Image";
  }
}

}  // namespace

std::string swatchRef(const IDocument& doc, UID uid) {
  const Swatch* s = doc.swatch(uid);
  if (!s) return "Swatch/None";
  if (s->kind() == SwatchKind::None) return "Swatch/None";
  return (s->kind() == SwatchKind::Tint ? "Tint/" : "Color/") + s->name();
}


void ItemWriter::writeItem(xmlNodePtr parent, UID uid, TransformSpace space) {
  auto* item = db_->instantiate<PageItem>(uid);
  if (!item) return;
  const PMMatrix m = space == TransformSpace::Pasteboard ? item->innerToPasteboard() : item->transform();
  const ClassID kind = item->GetClass();
  xmlNodePtr node = nullptr;
  if (kind == ClassID::kGroupItem) {
    node = xmlNewChild(parent, nullptr, xmlChars("Group"), nullptr);
  } else if (kind == ClassID::kGraphicLine) {
    node = xmlNewChild(parent, nullptr, xmlChars("GraphicLine"), nullptr);
  } else if (kind == ClassID::kSplineItem) {
    auto* s = static_cast<SplineItem*>(item);
    const char* name = s->textContentUID() != kInvalidUID   ? "TextFrame"
                       : s->shape() == SplineShape::Oval    ? "Oval"
                       : s->shape() == SplineShape::Polygon ? "Polygon"
                                                            : "Rectangle";
    node = xmlNewChild(parent, nullptr, xmlChars(name), nullptr);
  } else {
    return;
  }
  setAttr(node, "Self", "u" + std::to_string(uid));
  setAttr(node, "ItemTransform", matrixText(m));
  writeAttributes(node, *item);
  xmlNodePtr properties = xmlNewChild(node, nullptr, xmlChars("Properties"), nullptr);
  if (const Path* path = item->path()) writePath(properties, *path);
  if (!item->labels().empty()) {
    xmlNodePtr label = xmlNewChild(properties, nullptr, xmlChars("Label"), nullptr);
    for (const auto& [key, value] : item->labels().entries()) {
      xmlNodePtr pair = xmlNewChild(label, nullptr, xmlChars("KeyValuePair"), nullptr);
      setAttr(pair, "Key", key);
      setAttr(pair, "Value", value);
    }
  }
  if (kind == ClassID::kGroupItem) {
    for (UID c : item->children()) writeItem(node, c, TransformSpace::Parent);
    return;
  }
  if (kind != ClassID::kSplineItem) return;
  auto* s = static_cast<SplineItem*>(item);
  if (UID text = s->textContentUID(); text != kInvalidUID) {
    auto* mc = db_->instantiate<MultiColumnItem>(text);
    setAttr(node, "ParentStory", "u" + std::to_string(mc->storyUID()));
    stories_.insert(mc->storyUID());
    const TextFrameSettings& t = mc->settings();
    xmlNodePtr pref = xmlNewChild(node, nullptr, xmlChars("TextFramePreference"), nullptr);
    setAttr(pref, "TextColumnCount", std::to_string(t.columnCount));
    setAttr(pref, "TextColumnGutter", formatNumber(t.gutter));
    setAttr(pref, "InsetSpacing", formatNumbers({t.inset.top, t.inset.left, t.inset.bottom, t.inset.right}));
    static const char* const kJustification[] = {"TopAlign", "CenterAlign", "BottomAlign", "JustifyAlign"};
    setAttr(pref, "VerticalJustification", kJustification[static_cast<int>(t.verticalJustification)]);
  } else if (UID content = s->placedContentUID(); content != kInvalidUID) {
    auto* c = db_->instantiate<PlacedContent>(content);
    xmlNodePtr placed = xmlNewChild(node, nullptr, xmlChars(placedElementName(c->GetClass())), nullptr);
    setAttr(placed, "Self", "u" + std::to_string(content));
    setAttr(placed, "ItemTransform", matrixText(c->transform()));
    xmlNodePtr cp = xmlNewChild(placed, nullptr, xmlChars("Properties"), nullptr);
    const PMRect b = c->path()->bounds();
    xmlNodePtr gb = xmlNewChild(cp, nullptr, xmlChars("GraphicBounds"), nullptr);
    setAttr(gb, "Left", formatNumber(b.left));
    setAttr(gb, "Top", formatNumber(b.top));
    setAttr(gb, "Right", formatNumber(b.right));
    setAttr(gb, "Bottom", formatNumber(b.bottom));
    if (auto* link = db_->instantiate<ILink>(c->linkUID())) {
      xmlNodePtr l = xmlNewChild(placed, nullptr, xmlChars("Link"), nullptr);
      setAttr(l, "Self", "u" + std::to_string(link->GetUID()));
      if (LinkResource* r = link->resource()) {
        setAttr(l, "LinkResourceURI", URIUtils::IDFileToURI(IDFile(r->path())).text());
        setAttr(l, "StoredState", r->isEmbedded() ? "Embedded" : "Normal");
      }
    }
  }
}

void ItemWriter::writeSwatches(xmlNodePtr parent) {
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
      xmlNodePtr t = xmlNewChild(parent, nullptr, xmlChars("Tint"), nullptr);
      setAttr(t, "Self", "Tint/" + s->name());
      setAttr(t, "Name", s->name());
      setAttr(t, "BaseColor", swatchRef(doc_, s->baseSwatch()));
      setAttr(t, "TintValue", formatNumber(s->tintPercent()));
      continue;
    }
    xmlNodePtr c = xmlNewChild(parent, nullptr, xmlChars("Color"), nullptr);
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
    // IDML counts CMYK in percent and RGB in 0…255; Lab as it is.
    const double scale = s->space() == ColorSpace::CMYK ? 100 : s->space() == ColorSpace::RGB ? 255 : 1;
    std::string values;
    for (double v : s->components()) values += (values.empty() ? "" : " ") + formatNumber(v * scale);
    setAttr(c, "ColorValue", values);
  }
}

// A story as character ranges: one range wherever a carried attribute changes,
// paragraph ends as Br.
void ItemWriter::writeStory(xmlNodePtr parent, UID u) {
  static constexpr AttributeClass kCarried[] = {
      AttributeClass::kTextColor,       AttributeClass::kTextTint,       AttributeClass::kFontFamily,
      AttributeClass::kFontStyle,       AttributeClass::kPointSize,      AttributeClass::kParagraphStyle,
      AttributeClass::kCharacterStyle,  AttributeClass::kLeading,        AttributeClass::kAlignment,
      AttributeClass::kFirstLineIndent, AttributeClass::kLeftIndent,     AttributeClass::kRightIndent,
      AttributeClass::kSpaceBefore,     AttributeClass::kSpaceAfter,     AttributeClass::kTracking,
      AttributeClass::kCapitalization};
  const ITextModel* s = doc_.story(u);
  if (!s) return;
  xmlNodePtr story = xmlNewChild(parent, nullptr, xmlChars("Story"), nullptr);
  setAttr(story, "Self", "u" + std::to_string(u));
  xmlNodePtr paragraphs = xmlNewChild(story, nullptr, xmlChars("ParagraphStyleRange"), nullptr);
  const int length = s->TotalLength() - 1;  // without the end-of-story mark
  int start = 0;
  while (start < length) {
    int end = length;
    xmlNodePtr range = xmlNewChild(paragraphs, nullptr, xmlChars("CharacterStyleRange"), nullptr);
    for (AttributeClass c : kCarried) {
      const auto run = s->QueryRun(c, start);
      if (!run) continue;
      end = std::min(end, start + std::max(1, run->length));
      writeCharacterAttribute(range, c, run->value);
    }
    // Paragraph ends are Br; an anchored item stands where its U+FFFC is.
    std::u32string pending;
    const auto flush = [&] {
      if (pending.empty()) return;
      xmlNodePtr content = xmlNewChild(range, nullptr, xmlChars("Content"), nullptr);
      xmlNodeAddContent(content, xmlChars(utf32ToUtf8(pending).c_str()));
      pending.clear();
    };
    for (int i = start; i < end; ++i) {
      const char32_t c = s->characters()[static_cast<std::size_t>(i)];
      if (c == U'\r') {
        flush();
        xmlNewChild(range, nullptr, xmlChars("Br"), nullptr);
      } else if (c == kTextChar_ObjectReplacement) {
        flush();
        const auto owned = s->ownedItems().find(i);
        const auto* inl = owned == s->ownedItems().end() ? nullptr : db_->instantiate<IHierarchy>(owned->second);
        if (inl && !inl->children().empty()) writeItem(range, inl->children().front(), TransformSpace::Parent);
      } else {
        pending += c;
      }
    }
    flush();
    start = end;
  }
}

std::string styleSelf(StyleKind kind, const std::string& hostName) {
  static const std::map<std::pair<StyleKind, std::string>, std::string> kDefaults = {
      {{StyleKind::Paragraph, "[No Paragraph Style]"}, "$ID/[No paragraph style]"},
      {{StyleKind::Paragraph, "[Basic Paragraph]"}, "$ID/NormalParagraphStyle"},
      {{StyleKind::Character, "[None]"}, "$ID/[No character style]"},
      {{StyleKind::Table, "[No Table Style]"}, "$ID/[No table style]"},
      {{StyleKind::Table, "[Basic Table]"}, "$ID/[Basic Table]"},
      {{StyleKind::Cell, "[None]"}, "$ID/[None]"},
      {{StyleKind::Object, "[None]"}, "$ID/[None]"},
      {{StyleKind::Object, "[Basic Graphics Frame]"}, "$ID/[Normal Graphics Frame]"},
      {{StyleKind::Object, "[Basic Text Frame]"}, "$ID/[Normal Text Frame]"},
  };
  static const char* const kElements[] = {"ParagraphStyle", "CharacterStyle", "TableStyle", "CellStyle",
                                          "ObjectStyle"};
  const auto it = kDefaults.find({kind, hostName});
  const std::string name = it != kDefaults.end() ? it->second : hostName;
  const char* element = kind == StyleKind::Paragraph   ? kElements[0]
                        : kind == StyleKind::Character ? kElements[1]
                        : kind == StyleKind::Table     ? kElements[2]
                        : kind == StyleKind::Cell      ? kElements[3]
                                                       : kElements[4];
  return std::string(element) + "/" + name;
}

void ItemWriter::useSwatch(UID swatch) {
  if (swatch != kInvalidUID) swatches_.insert(swatch);
}

void ItemWriter::writeCharacterAttribute(xmlNodePtr range, AttributeClass c, const AttributeValue& value) {
  const auto number = [&](const char* name) {
    if (std::holds_alternative<double>(value)) setAttr(range, name, formatNumber(std::get<double>(value)));
  };
  const auto style = [&](const char* name, StyleKind kind) {
    if (!std::holds_alternative<UID>(value)) return;
    if (const auto* st = db_->instantiate<Style>(std::get<UID>(value))) setAttr(range, name, styleSelf(kind, st->name()));
  };
  const std::string text = std::holds_alternative<std::string>(value) ? std::get<std::string>(value) : "";
  switch (c) {
    case AttributeClass::kTextColor:
      if (std::holds_alternative<UID>(value)) {
        const UID swatch = std::get<UID>(value);
        setAttr(range, "FillColor", swatchRef(doc_, swatch));
        useSwatch(swatch);
      }
      break;
    case AttributeClass::kTextTint: number("FillTint"); break;
    case AttributeClass::kFontFamily:
      if (!text.empty()) setAttr(range, "AppliedFont", text);
      break;
    case AttributeClass::kFontStyle:
      if (!text.empty()) setAttr(range, "FontStyle", text);
      break;
    case AttributeClass::kPointSize: number("PointSize"); break;
    case AttributeClass::kParagraphStyle: style("AppliedParagraphStyle", StyleKind::Paragraph); break;
    case AttributeClass::kCharacterStyle: style("AppliedCharacterStyle", StyleKind::Character); break;
    case AttributeClass::kLeading:
      if (text == "auto" || text == "Auto") setAttr(range, "Leading", "Auto");
      number("Leading");
      break;
    case AttributeClass::kAlignment:
      if (!text.empty())
        setAttr(range, "Justification",
                text == "center"    ? "CenterAlign"
                : text == "right"   ? "RightAlign"
                : text == "justify" ? "LeftJustified"
                                    : "LeftAlign");
      break;
    case AttributeClass::kFirstLineIndent: number("FirstLineIndent"); break;
    case AttributeClass::kLeftIndent: number("LeftIndent"); break;
    case AttributeClass::kRightIndent: number("RightIndent"); break;
    case AttributeClass::kSpaceBefore: number("SpaceBefore"); break;
    case AttributeClass::kSpaceAfter: number("SpaceAfter"); break;
    case AttributeClass::kTracking: number("Tracking"); break;
    case AttributeClass::kCapitalization:
      if (!text.empty())
        setAttr(range, "Capitalization",
                text == "allCaps" ? "AllCaps" : text == "smallCaps" ? "SmallCaps" : "Normal");
      break;
    default: break;
  }
}

void ItemWriter::writeAttributes(xmlNodePtr node, const PageItem& item) {
  const GraphicAttributes& a = item.graphicAttributes();
  setAttr(node, "FillColor", swatchRef(doc_, a.fillSwatch));
  setAttr(node, "StrokeColor", swatchRef(doc_, a.strokeSwatch));
  if (a.fillTint) setAttr(node, "FillTint", formatNumber(*a.fillTint));
  if (a.strokeTint) setAttr(node, "StrokeTint", formatNumber(*a.strokeTint));
  setAttr(node, "StrokeWeight", formatNumber(a.strokeWeight));
  setAttr(node, "StrokeAlignment",
          a.strokeAlignment == StrokeAlignment::Inside    ? "InsideAlignment"
          : a.strokeAlignment == StrokeAlignment::Outside ? "OutsideAlignment"
                                                          : "CenterAlignment");
  if (a.cornerRadius > 0) setAttr(node, "CornerRadius", formatNumber(a.cornerRadius));
  if (a.nonPrinting) setAttr(node, "Nonprinting", "true");
  if (!item.objectStyle().empty()) setAttr(node, "AppliedObjectStyle", "ObjectStyle/" + item.objectStyle());
  for (UID u : {a.fillSwatch, a.strokeSwatch})
    if (u != kInvalidUID) swatches_.insert(u);
}

}  // namespace korvex::idml
