#include "host/idml/package_reader.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "host/idml/idml_xml.h"
#include "host/idml/item_reader.h"
#include "host/idml/package.h"
#include "host/idml/package_writer.h"

namespace korvex::idml {

namespace {

// Parts the designmap refers to, by kind, in its order.
struct Parts {
  std::vector<std::string> graphic, fonts, styles, preferences, tags, masters, spreads, stories, backing;
};

std::optional<double> number(xmlNodePtr node, const char* name) {
  const auto v = parseNumbers(attr(node, name));
  if (v.size() != 1) return std::nullopt;
  return v[0];
}

std::string content(xmlNodePtr node) {
  xmlChar* text = xmlNodeGetContent(node);
  std::string out = text ? reinterpret_cast<const char*>(text) : "";
  if (text) xmlFree(text);
  return out;
}

// "LightBlue" as the host names layer colours: "Light Blue".
std::string spacedWords(const std::string& camel) {
  std::string out;
  for (char c : camel) {
    if (std::isupper(static_cast<unsigned char>(c)) && !out.empty() && out.back() != ' ') out += ' ';
    out += c;
  }
  return out;
}

// The application's own names for its default styles, and the host's.
std::string styleName(StyleKind kind, std::string name) {
  static const std::map<std::pair<StyleKind, std::string>, std::string> kDefaults = {
      {{StyleKind::Paragraph, "$ID/[No paragraph style]"}, "[No Paragraph Style]"},
      {{StyleKind::Paragraph, "$ID/NormalParagraphStyle"}, "[Basic Paragraph]"},
      {{StyleKind::Character, "$ID/[No character style]"}, "[None]"},
      {{StyleKind::Table, "$ID/[No table style]"}, "[No Table Style]"},
      {{StyleKind::Table, "$ID/[Basic Table]"}, "[Basic Table]"},
      {{StyleKind::Cell, "$ID/[None]"}, "[None]"},
      {{StyleKind::Object, "$ID/[None]"}, "[None]"},
      {{StyleKind::Object, "$ID/[Normal Graphics Frame]"}, "[Basic Graphics Frame]"},
      {{StyleKind::Object, "$ID/[Normal Text Frame]"}, "[Basic Text Frame]"},
  };
  if (auto it = kDefaults.find({kind, name}); it != kDefaults.end()) return it->second;
  if (name.rfind("$ID/", 0) == 0) name.erase(0, 4);
  return name;
}

class Builder {
 public:
  Builder(const Package& package, IDocument& doc, const std::string& baseFolder)
      : package_(package), doc_(doc), reader_(doc) {
    reader_.setLinkFolder(baseFolder);
    reader_.deferThreads();
  }

  const std::map<std::string, int>& unsupported() const { return reader_.unsupported(); }

  Status build() {
    Result<XmlDocument> designmap = package_.parse("designmap.xml");
    if (!designmap) return designmap.failure();
    xmlNodePtr root = designmap->root();
    if (!named(root, "Document"))
      return package_.failure("designmap.xml", "the root element is not <Document>");
    Parts parts;
    if (Status s = collectParts(root, parts); !s) return s;
    // Every part parses before anything is built: nothing half-loaded.
    std::map<std::string, XmlDocument> parsed;
    for (const auto* list : {&parts.graphic, &parts.fonts, &parts.styles, &parts.preferences, &parts.tags,
                             &parts.masters, &parts.spreads, &parts.stories, &parts.backing})
      for (const std::string& name : *list) {
        if (parsed.count(name)) continue;
        Result<XmlDocument> doc = package_.parse(name);
        if (!doc) return doc.failure();
        parsed.emplace(name, std::move(*doc));
      }
    const auto roots = [&](const std::vector<std::string>& names) {
      std::vector<xmlNodePtr> out;
      for (const std::string& n : names) out.push_back(parsed.at(n).root());
      return out;
    };

    for (xmlNodePtr p : roots(parts.preferences)) readPreferences(p);
    readLayers(root);
    for (xmlNodePtr g : roots(parts.graphic)) readGraphic(g);
    for (xmlNodePtr s : roots(parts.styles)) readStyles(s);
    readFonts(roots(parts.fonts));
    for (xmlNodePtr s : roots(parts.stories))
      for (xmlNodePtr c = s->children; c; c = c->next)
        if (named(c, "Story")) reader_.readStory(c);
    for (const std::string& name : parts.masters)
      for (xmlNodePtr c = parsed.at(name).root()->children; c; c = c->next)
        if (named(c, "MasterSpread"))
          if (UID u = readSpread(c, true); u != kInvalidUID) source_.objects[name].push_back(u);
    for (const std::string& name : parts.spreads)
      for (xmlNodePtr c = parsed.at(name).root()->children; c; c = c->next)
        if (named(c, "Spread"))
          if (UID u = readSpread(c, false); u != kInvalidUID) source_.objects[name].push_back(u);
    for (const auto& [page, ref] : appliedMasters_) {
      auto it = masters_.find(ref);
      if (it == masters_.end())
        reader_.count("pages whose master is missing");
      else if (doc_.spreadOf(page->GetUID()) == it->second)
        reader_.count("masters based on themselves");
      else
        (void)page->setAppliedMaster(it->second);
    }
    reader_.finishStories();
    for (const std::string& name : parts.stories)
      for (xmlNodePtr c = parsed.at(name).root()->children; c; c = c->next)
        if (named(c, "Story"))
          if (UID u = reader_.storyUID(attr(c, "Self")); u != kInvalidUID) {
            source_.objects[name].push_back(u);
            source_.selfs[attr(c, "Self")] = u;
          }
    for (xmlNodePtr b : roots(parts.backing))
      if (xmlNodePtr element = firstElement(b, "XMLElement")) (void)doc_.setXMLRoot(xmlElement(element, 0));
    if (xmlNodePtr properties = childNamed(root, "Properties"))
      if (xmlNodePtr label = childNamed(properties, "Label"))
        for (xmlNodePtr p = label->children; p; p = p->next)
          if (named(p, "KeyValuePair") && !attr(p, "Key").empty()) (void)doc_.setLabel(attr(p, "Key"), attr(p, "Value"));
    keepSource(parts);
    return {};
  }

  // What an export needs to write back the parts the run leaves alone.
  std::shared_ptr<SourcePackage> takeSource() { return std::make_shared<SourcePackage>(std::move(source_)); }

 private:
  void keepSource(const Parts& parts) {
    source_.selfs.insert(layers_.begin(), layers_.end());
    source_.selfs.insert(masters_.begin(), masters_.end());
    for (const auto* refs : {&reader_.swatchRefs(), &reader_.itemRefs()})
      for (const auto& [self, uid] : *refs) source_.selfs.emplace(self, uid);
    const std::pair<const char*, const std::vector<std::string> Parts::*> kinds[] = {
        {"Graphic", &Parts::graphic},         {"Fonts", &Parts::fonts},   {"Styles", &Parts::styles},
        {"Preferences", &Parts::preferences}, {"Tags", &Parts::tags},     {"MasterSpread", &Parts::masters},
        {"Spread", &Parts::spreads},          {"Story", &Parts::stories}, {"BackingStory", &Parts::backing}};
    source_.kinds["designmap.xml"] = "designmap";
    for (const auto& [kind, member] : kinds)
      for (const std::string& name : parts.*member) source_.kinds.emplace(name, kind);
    for (const auto& [name, kind] : source_.kinds)
      source_.projections[name] = writePart(doc_, kind, source_.objectsOf(name));
  }

  static xmlNodePtr firstElement(xmlNodePtr node, const char* name) {
    for (xmlNodePtr c = node->children; c; c = c->next) {
      if (c->type != XML_ELEMENT_NODE) continue;
      if (named(c, name)) return c;
      if (xmlNodePtr found = firstElement(c, name)) return found;
    }
    return nullptr;
  }

  // The document's XML structure: tags from MarkupTag ("XMLTag/Name", names
  // percent-encoded), XMLAttribute children, text from Content inside the
  // element or from the story its XMLContent names.
  XMLElement xmlElement(xmlNodePtr node, int depth) {
    XMLElement e;
    e.tag = ItemReader::tagName(attr(node, "MarkupTag"));
    // An element that names a story holds its text and the elements marking text in it.
    if (const UID story = reader_.storyUID(attr(node, "XMLContent")); story != kInvalidUID) {
      if (const ITextModel* model = doc_.story(story)) e.content = model->text();
      e.children = reader_.storyMarkers(attr(node, "XMLContent"));
    }
    const auto walk = [&](auto& self, xmlNodePtr parent) -> void {
      for (xmlNodePtr c = parent->children; c; c = c->next) {
        if (named(c, "XMLAttribute")) {
          e.attributes.emplace_back(attr(c, "Name"), attr(c, "Value"));
        } else if (named(c, "XMLElement")) {
          if (depth < 200) e.children.push_back(xmlElement(c, depth + 1));
        } else if (named(c, "Content")) {
          e.content += content(c);
        } else if (c->type == XML_ELEMENT_NODE && !named(c, "Properties")) {
          self(self, c);  // ranges around the element's text
        }
      }
    };
    walk(walk, node);
    return e;
  }

  Status collectParts(xmlNodePtr root, Parts& parts) {
    const std::pair<const char*, std::vector<std::string> Parts::*> kinds[] = {
        {"Graphic", &Parts::graphic},         {"Fonts", &Parts::fonts},
        {"Styles", &Parts::styles},           {"Preferences", &Parts::preferences},
        {"Tags", &Parts::tags},               {"MasterSpread", &Parts::masters},
        {"Spread", &Parts::spreads},          {"Story", &Parts::stories},
        {"BackingStory", &Parts::backing}};
    for (xmlNodePtr c = root->children; c; c = c->next) {
      if (c->type != XML_ELEMENT_NODE || !c->ns || !c->ns->prefix ||
          xmlStrcmp(c->ns->prefix, xmlChars("idPkg")) != 0)
        continue;
      const std::string src = attr(c, "src");
      if (src.empty()) continue;
      if (!package_.has(src))
        return package_.failure("designmap.xml", "refers to " + src + ", which the package lacks");
      for (const auto& [name, member] : kinds)
        if (named(c, name)) (parts.*member).push_back(src);
    }
    return {};
  }

  void readPreferences(xmlNodePtr root) {
    if (xmlNodePtr d = childNamed(root, "DocumentPreference")) {
      const auto w = number(d, "PageWidth"), h = number(d, "PageHeight");
      if (w && h && *w > 0 && *h > 0) (void)doc_.setDefaultPageSize(*w, *h);
      (void)doc_.setFacingPages(attr(d, "FacingPages") == "true");
    }
    if (xmlNodePtr m = childNamed(root, "MarginPreference")) defaultMargins_ = margins(m, PageMargins{});
    if (xmlNodePtr g = childNamed(root, "GridPreference")) {
      BaselineGrid b = doc_.baselineGrid();
      if (auto v = number(g, "BaselineStart"); v && *v >= 0) b.start = *v;
      if (auto v = number(g, "BaselineDivision"); v && *v > 0) b.increment = *v;
      if (auto v = number(g, "BaselineGridViewThreshold"); v && *v >= 0) b.viewThreshold = *v;
      b.relativeTo = attr(g, "BaselineGridRelativeOption") == "TopOfMarginOfBaselineGridRelativeOption"
                         ? BaselineRelativeTo::TopMargin
                         : BaselineRelativeTo::TopOfPage;
      (void)doc_.setBaselineGrid(b);
      DocumentGrid d = doc_.documentGrid();
      if (auto v = number(g, "HorizontalGridlineDivision"); v && *v > 0) d.horizontalSpacing = *v;
      if (auto v = number(g, "HorizontalGridSubdivision"); v && *v >= 1 && *v <= 1000)
        d.horizontalSubdivisions = static_cast<int>(*v);
      if (auto v = number(g, "VerticalGridlineDivision"); v && *v > 0) d.verticalSpacing = *v;
      if (auto v = number(g, "VerticalGridSubdivision"); v && *v >= 1 && *v <= 1000)
        d.verticalSubdivisions = static_cast<int>(*v);
      if (const std::string back = attr(g, "GridsInBack"); !back.empty()) d.inBack = back == "true";
      (void)doc_.setDocumentGrid(d);
    }
  }

  static PageMargins margins(xmlNodePtr m, PageMargins base) {
    if (auto v = number(m, "Left"); v && *v >= 0) base.left = *v;
    if (auto v = number(m, "Top"); v && *v >= 0) base.top = *v;
    if (auto v = number(m, "Right"); v && *v >= 0) base.right = *v;
    if (auto v = number(m, "Bottom"); v && *v >= 0) base.bottom = *v;
    return base;
  }

  // The designmap lists layers as the Layers panel does, front first.
  void readLayers(xmlNodePtr root) {
    std::vector<xmlNodePtr> layers;
    for (xmlNodePtr c = root->children; c; c = c->next)
      if (named(c, "Layer")) layers.push_back(c);
    for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
      xmlNodePtr l = *it;
      std::string name = attr(l, "Name");
      if (name.empty() || doc_.findLayer(name)) name = "Layer " + std::to_string(doc_.GetLayerCount());
      IDocumentLayer* layer = doc_.createLayer(name);
      if (!layer) continue;
      layers_[attr(l, "Self")] = layer->GetUID();
      (void)layer->SetVisible(attr(l, "Visible") != "false");
      (void)layer->SetPrintable(attr(l, "Printable") != "false");
      (void)layer->SetLocked(attr(l, "Locked") == "true");
      if (xmlNodePtr p = childNamed(l, "Properties"))
        if (xmlNodePtr color = childNamed(p, "LayerColor"); color && attr(color, "type") == "enumeration")
          (void)layer->SetColor(spacedWords(content(color)));
    }
    if (doc_.GetLayerCount() < 2) doc_.createLayer("Layer 1");
    if (auto it = layers_.find(attr(root, "ActiveLayer")); it != layers_.end())
      (void)doc_.setActiveLayer(it->second);
    else
      (void)doc_.setActiveLayer(doc_.layerList().back());
  }

  void readGraphic(xmlNodePtr root) {
    // Tints need their bases, wherever they are listed.
    for (xmlNodePtr c = root->children; c; c = c->next)
      if (named(c, "Color")) reader_.readSwatch(c);
    for (xmlNodePtr c = root->children; c; c = c->next) {
      if (named(c, "Tint")) reader_.readSwatch(c);
      if (named(c, "Gradient")) reader_.count("gradient swatches");
      if (named(c, "MixedInk") || named(c, "MixedInkGroup")) reader_.count("mixed inks");
    }
  }

  // The package's fonts by family and style. Their Status is the saving
  // machine's; whether they are here is fontconfig's answer when asked.
  void readFonts(const std::vector<xmlNodePtr>& parts) {
    std::vector<IDocument::DeclaredFont> fonts;
    for (xmlNodePtr root : parts)
      for (xmlNodePtr family = root->children; family; family = family->next) {
        if (!named(family, "FontFamily")) continue;
        for (xmlNodePtr f = family->children; f; f = f->next) {
          if (!named(f, "Font")) continue;
          IDocument::DeclaredFont font{attr(f, "FontFamily"), attr(f, "FontStyleName")};
          if (font.family.empty()) font.family = attr(family, "Name");
          if (!font.family.empty() && std::find(fonts.begin(), fonts.end(), font) == fonts.end())
            fonts.push_back(std::move(font));
        }
      }
    if (!fonts.empty()) (void)doc_.setDeclaredFonts(std::move(fonts));
  }

  void readStyles(xmlNodePtr root) {
    const std::tuple<const char*, const char*, StyleKind> groups[] = {
        {"RootParagraphStyleGroup", "ParagraphStyle", StyleKind::Paragraph},
        {"RootCharacterStyleGroup", "CharacterStyle", StyleKind::Character},
        {"RootObjectStyleGroup", "ObjectStyle", StyleKind::Object},
        {"RootTableStyleGroup", "TableStyle", StyleKind::Table},
        {"RootCellStyleGroup", "CellStyle", StyleKind::Cell}};
    std::vector<std::pair<UID, std::string>> basedOn;
    for (const auto& [group, element, kind] : groups)
      for (xmlNodePtr g = root->children; g; g = g->next)
        if (named(g, group)) readStyleGroup(g, element, kind, "", basedOn);
    for (const auto& [uid, ref] : basedOn)
      if (auto it = styleRefs_.find(ref); it != styleRefs_.end() && it->second != uid)
        if (auto* s = doc_.GetDocDataBase()->instantiate<Style>(uid)) (void)s->setBasedOn(it->second);
  }

  // Styles in groups are named "Group:Style" so that names stay unique in the host's flat lists.
  void readStyleGroup(xmlNodePtr group, const char* element, StyleKind kind, const std::string& prefix,
                      std::vector<std::pair<UID, std::string>>& basedOn) {
    const std::string groupElement = std::string(element) + "Group";
    for (xmlNodePtr c = group->children; c; c = c->next) {
      if (named(c, groupElement.c_str())) {
        readStyleGroup(c, element, kind, prefix + styleName(kind, attr(c, "Name")) + ":", basedOn);
        continue;
      }
      if (!named(c, element)) continue;
      const std::string self = attr(c, "Self");
      const std::string name = prefix + styleName(kind, attr(c, "Name"));
      UID uid = doc_.findStyle(kind, name);
      if (uid == kInvalidUID && doc_.createStyle(kind, name, kInvalidUID, &uid) != kSuccess) continue;
      styleRefs_[self] = uid;
      reader_.addStyleRef(self, uid);
      auto* style = doc_.GetDocDataBase()->instantiate<Style>(uid);
      static const std::set<std::string> kSkipped = {"Self", "Name", "Imported", "KeyboardShortcut"};
      for (xmlAttrPtr a = c->properties; a; a = a->next) {
        const std::string key = reinterpret_cast<const char*>(a->name);
        if (!kSkipped.count(key)) (void)style->setProperty(key, attr(c, key.c_str()));
      }
      if (xmlNodePtr props = childNamed(c, "Properties"))
        for (xmlNodePtr p = props->children; p; p = p->next) {
          if (p->type != XML_ELEMENT_NODE) continue;
          if (named(p, "BasedOn"))
            basedOn.emplace_back(uid, content(p));
          else if (!p->children || p->children->type == XML_TEXT_NODE)
            (void)style->setProperty(reinterpret_cast<const char*>(p->name), content(p));
        }
      if (xmlNodePtr props = childNamed(c, "Properties"))
        for (const char* kindName : {"AllNestedStyles", "AllGREPStyles", "AllLineStyles"})
          if (xmlNodePtr list = childNamed(props, kindName); list && list->children)
            reader_.count(std::string(kindName) == "AllGREPStyles" ? "GREP styles" : "nested styles");
    }
  }

  UID readSpread(xmlNodePtr spreadNode, bool master) {
    std::vector<xmlNodePtr> pages;
    for (xmlNodePtr c = spreadNode->children; c; c = c->next)
      if (named(c, "Page")) pages.push_back(c);
    // The spread's own coordinates start at its first page's top-left corner.
    PMPoint origin{0, 0};
    if (!pages.empty()) {
      const auto gb = parseNumbers(attr(pages[0], "GeometricBounds"));
      if (gb.size() == 4) origin = parseMatrix(attr(pages[0], "ItemTransform")).apply({gb[1], gb[0]});
    }
    const PMMatrix shift = PMMatrix::translation(-origin.x, -origin.y);
    ISpread* spread = nullptr;
    if (master) {
      std::string name = attr(spreadNode, "Name");
      if (name.empty() || doc_.findMasterSpread(name)) name = "Master " + std::to_string(masters_.size() + 1);
      spread = doc_.createMasterSpread(name);
      if (!spread) return kInvalidUID;
      masters_[attr(spreadNode, "Self")] = spread->GetUID();
    } else {
      const PMReal top = lastSpread_ ? IDocument::spreadBottom(*lastSpread_) + kSpreadGap : 0;
      spread = doc_.createSpreadAt(top);
      if (!spread) return kInvalidUID;
      lastSpread_ = spread;
    }
    for (xmlNodePtr p : pages) {
      const auto gb = parseNumbers(attr(p, "GeometricBounds"));
      PMReal w = doc_.defaultPageWidth(), h = doc_.defaultPageHeight();
      PMPoint corner{0, 0};
      if (gb.size() == 4 && gb[3] > gb[1] && gb[2] > gb[0]) {
        w = gb[3] - gb[1];
        h = gb[2] - gb[0];
        corner = {gb[1], gb[0]};
      }
      Page* page = doc_.addPageAt(spread, 0, w, h);
      if (!page) continue;
      (void)page->setTransform(shift * parseMatrix(attr(p, "ItemTransform")) *
                               PMMatrix::translation(corner.x, corner.y));
      if (const std::string name = attr(p, "Name"); !name.empty()) (void)page->setName(name);
      if (xmlNodePtr m = childNamed(p, "MarginPreference")) {
        (void)page->setMargins(margins(m, defaultMargins_));
        const auto positions = parseNumbers(attr(m, "ColumnsPositions"));
        const auto count = number(m, "ColumnCount");
        // Positions are edges from the left margin, two per column.
        if (count && *count > 1 && positions.size() == static_cast<std::size_t>(*count) * 2) {
          std::vector<PMReal> pairs;
          for (double v : positions) pairs.push_back(page->margins().left + v);
          (void)page->setColumns(pairs);
        }
      } else {
        (void)page->setMargins(defaultMargins_);
      }
      // A master page's own master may be listed after it: resolved once all are read.
      std::string applied = attr(p, "AppliedMaster");
      if (master && (applied.empty() || applied == "n")) applied = attr(spreadNode, "BasedOn");
      if (master && (applied.empty() || applied == "n")) applied = attr(spreadNode, "AppliedMaster");
      if (!applied.empty() && applied != "n") appliedMasters_.emplace_back(page, applied);
    }
    for (xmlNodePtr c = spreadNode->children; c; c = c->next) {
      if (c->type != XML_ELEMENT_NODE || named(c, "Page") || named(c, "Properties") ||
          named(c, "FlattenerPreference") || named(c, "Guide"))
        continue;
      if (!ItemReader::isItem(c)) {
        reader_.count("page items <" + std::string(reinterpret_cast<const char*>(c->name)) + ">");
        continue;
      }
      UID layer = doc_.activeLayer();
      if (auto it = layers_.find(attr(c, "ItemLayer")); it != layers_.end()) layer = it->second;
      ISpreadLayer* sl = spread->QueryLayer(layer);
      if (!sl) continue;
      const UID item = reader_.readItem(c, sl->GetUID(), TransformSpace::Parent);
      if (auto* p = doc_.GetDocDataBase()->instantiate<PageItem>(item)) (void)p->setTransform(shift * p->transform());
    }
    return spread->GetUID();
  }

  const Package& package_;
  IDocument& doc_;
  ItemReader reader_;
  std::map<std::string, UID> layers_;
  std::map<std::string, UID> styleRefs_;
  std::map<std::string, UID> masters_;
  std::vector<std::pair<Page*, std::string>> appliedMasters_;
  PageMargins defaultMargins_;
  ISpread* lastSpread_ = nullptr;
  SourcePackage source_;
};

}  // namespace

DocumentLoadResult readPackage(std::string_view bytes, const std::string& fileName, const std::string& baseFolder) {
  DocumentLoadResult r;
  Result<Package> package = Package::open(bytes, fileName);
  if (!package) {
    r.error = kFileReadError;
    r.message = package.message();
    return r;
  }
  auto doc = IDocument::createBare();
  if (!doc) return documentRefusal(kFailure, fileName, "the document could not be made");
  Builder builder(*package, *doc, baseFolder);
  if (Status built = builder.build(); !built) {
    r.error = kFileReadError;
    r.message = built.message();
    return r;
  }
  auto source = builder.takeSource();
  source->bytes.assign(bytes);
  doc->setSourcePackage(std::move(source));
  r.document = std::move(doc);
  r.unsupported = builder.unsupported();
  return r;
}

}  // namespace korvex::idml
