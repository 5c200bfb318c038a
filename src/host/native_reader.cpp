#include <algorithm>
#include <filesystem>
#include <limits>
#include <map>
#include <unordered_map>

#include "foundation/base64.h"
#include "foundation/json_node.h"
#include "host/document_file.h"
#include "host/document_names.h"
#include "host/image_info.h"
#include "host/vector_bounds.h"

namespace korvex {

namespace {

constexpr int kMaxNesting = 64;

using Node = JsonNode;

UID uidOf(const Node& n, const char* key = "uid") {
  return n.has(key) ? static_cast<UID>(n.at(key).integer(1, 0xFFFFFFFFll)) : kInvalidUID;
}

PMRect rectFrom(const Node& n) {
  const auto v = n.numbers(4);
  if (v[2] < v[0] || v[3] < v[1]) n.fail("right and bottom must not be less than left and top");
  return {v[0], v[1], v[2], v[3]};
}

PMMatrix matrixFrom(const Node& n) {
  const auto v = n.numbers(6);
  PMMatrix m{v[0], v[1], v[2], v[3], v[4], v[5]};
  if (!m.inverse()) n.fail("transform cannot be inverted");
  return m;
}

void collectUIDs(const JsonNode& j, UID& maxUID) {
  auto note = [&maxUID](const JsonNode& v) {
    if (v.isUnsigned())
      maxUID = std::max<UID>(maxUID, static_cast<UID>(std::min<long long>(
                                         v.integer(0, std::numeric_limits<long long>::max()), 0xFFFFFFFFll)));
  };
  if (j.isObject()) {
    for (const auto& [key, value] : j.members()) {
      if (key == "uid" || key == "resourceUID" || key == "pagesLayerUID") note(value);
      if ((key == "layerUIDs" || key == "columnUIDs") && value.isArray())
        for (const JsonNode& v : value.elements()) note(v);
      collectUIDs(value, maxUID);
    }
  } else if (j.isArray()) {
    for (const JsonNode& v : j.elements()) collectUIDs(v, maxUID);
  }
}

class Reader {
 public:
  Reader(const std::string& baseFolder) : baseFolder_(baseFolder) {}

  std::unique_ptr<IDocument> read(const Node& r) {
    if (!r.isObject()) r.fail("expected an object");
    if (!r.has("format") || !r.at("format").isString() || r.at("format").string() != kDocumentFormatName)
      throw JsonProblem{"$.format",
                        std::string("not a Korvex document (expected \"") + kDocumentFormatName + "\")",
                        kNotADocumentError};
    if (!r.has("version")) r.fail("missing \"version\"");
    const long long version = r.at("version").integer(1, std::numeric_limits<int>::max());
    if (version > kDocumentFormatVersion)
      throw JsonProblem{"$.version",
                        "format version " + std::to_string(version) + " is newer than this program reads (" +
                            std::to_string(kDocumentFormatVersion) + "); update Korvex",
                        kNewerFormatError};
    r.expectObject({"format",          "version",          "uid",          "facingPages", "pageSize",
                    "fallbackFile",    "pagesLayerUID",    "layers",       "activeLayer", "swatches",
                    "paragraphStyles", "characterStyles",  "tableStyles",  "cellStyles",  "objectStyles",
                    "languages",       "documentGrid",     "baselineGrid", "xml",         "stories",
                    "spreads",         "preflightProfile", "masters",      "labels",      "fonts"});
    UID maxUID = 0;
    collectUIDs(r, maxUID);
    const UID docUID = r.has("uid") ? uidOf(r) : 1;
    if (maxUID == 0xFFFFFFFFu) r.fail("uid values must stay below 4294967295");
    doc_ = IDocument::createEmpty(docUID);
    db_ = doc_->GetDocDataBase();
    // Objects without a uid get fresh ones above every uid the file names.
    db_->reserveThrough(std::max(maxUID, docUID));
    doc_->setFacingPages(r.flag("facingPages", false));
    if (r.has("pageSize")) {
      const auto size = r.at("pageSize").numbers(2);
      if (doc_->setDefaultPageSize(size[0], size[1])) r.at("pageSize").fail("page size must be positive");
    }
    if (r.has("fallbackFile")) db_->SetFallbackSysFile(IDFile(r.at("fallbackFile").string()));

    if (!doc_->createPagesLayer(uidOf(r, "pagesLayerUID"))) r.at("pagesLayerUID").fail("duplicate uid");
    for (const Node& n : r.array("layers")) layer(n);
    if (doc_->GetLayerCount() < 2) doc_->createLayer("Layer 1");
    if (r.has("activeLayer")) {
      IDocumentLayer* l = doc_->findLayer(r.at("activeLayer").string());
      if (!l || l->isPagesLayer()) r.at("activeLayer").fail("unknown layer");
      doc_->setActiveLayer(l->GetUID());
    } else {
      doc_->setActiveLayer(doc_->layerList()[1]);
    }
    swatches(r);
    std::vector<std::pair<Node, Style*>> basedOn;
    for (StyleKind kind : kStyleKinds) styles(r, kind, basedOn);
    doc_->addMissingEssentials();
    // Parents are resolved once every style, the defaults too, exists.
    resolveBasedOn(basedOn);
    for (const Node& n : r.array("languages")) {
      n.expectObject({"uid", "name"});
      if (!doc_->addLanguage(n.at("name").string(), uidOf(n)) ||
          doc_->findLanguage(n.at("name").string()) == kInvalidUID)
        n.fail("duplicate uid or language");
    }
    if (r.has("documentGrid")) grid(r.at("documentGrid"));
    if (r.has("baselineGrid")) baselineGrid(r.at("baselineGrid"));
    if (r.has("preflightProfile")) doc_->setPreflightProfile(r.at("preflightProfile").string());
    if (r.has("labels")) {
      const Node labels = r.at("labels");
      if (!labels.isObject()) labels.fail("expected an object of strings");
      for (const auto& [k, v] : labels.members()) {
        if (k.empty()) labels.fail("empty label key");
        doc_->setLabel(std::string(k), v.string());
      }
    }
    if (r.has("xml")) doc_->setXMLRoot(xml(r.at("xml"), 0));
    std::vector<IDocument::DeclaredFont> fonts;
    for (const Node& f : r.array("fonts")) {
      if (!f.isArray() || f.size() != 2) f.fail("expected [family, style]");
      fonts.push_back({f.at(std::size_t{0}).string(), f.at(std::size_t{1}).string()});
      if (fonts.back().family.empty()) f.fail("empty font family");
    }
    if (!fonts.empty()) doc_->setDeclaredFonts(std::move(fonts));
    for (const Node& n : r.array("stories")) story(n);
    for (const Node& n : r.array("masters")) spread(n, true);
    for (const auto& [page, name] : masterPagesOfMasters_) {
      ISpread* m = doc_->findMasterSpread(name.string());
      if (!m) name.fail("unknown master \"" + name.string() + "\"");
      if (m->GetUID() == doc_->spreadOf(page->GetUID())) name.fail("a master can't be based on itself");
      page->setAppliedMaster(m->GetUID());
    }
    for (const Node& n : r.array("spreads")) spread(n);
    threadStories();
    db_->SetModified(false);
    return std::move(doc_);
  }

 private:
  void layer(const Node& n) {
    n.expectObject({"uid", "name", "visible", "printable", "locked", "color"});
    const std::string name = n.at("name").string();
    if (name.empty()) n.at("name").fail("empty layer name");
    if (doc_->findLayer(name)) n.at("name").fail("duplicate layer \"" + name + "\"");
    IDocumentLayer* l = doc_->createLayer(name, -1, uidOf(n));
    if (!l) n.fail("duplicate uid");
    l->SetVisible(n.flag("visible", true));
    l->SetPrintable(n.flag("printable", true));
    l->SetLocked(n.flag("locked", false));
    l->SetColor(n.str("color", "Light Blue"));
  }

  void swatches(const Node& r) {
    std::vector<Node> tints;
    for (const Node& n : r.array("swatches")) {
      n.expectObject({"uid", "name", "kind", "space", "values", "base", "tint", "stock"});
      const std::string name = n.at("name").string();
      if (doc_->findSwatch(name)) n.at("name").fail("duplicate swatch \"" + name + "\"");
      static const std::pair<const char*, IDocument::ReservedSwatch> kReserved[] = {
          {"None", IDocument::ReservedSwatch::None},
          {"Registration", IDocument::ReservedSwatch::Registration},
          {"Paper", IDocument::ReservedSwatch::Paper},
          {"Black", IDocument::ReservedSwatch::Black}};
      Swatch* s = nullptr;
      for (const auto& [reservedName, which] : kReserved)
        if (name == reservedName) {
          if (n.has("kind") || n.has("values"))
            n.fail("the reserved swatch \"" + name + "\" cannot be redefined");
          s = doc_->createReservedSwatch(which, uidOf(n));
          if (!s) n.fail("duplicate uid");
        }
      if (!s) {
        const std::string kind = n.str("kind", "process");
        if (kind == "tint") {
          // Tints wait only when their base comes later in the list.
          if (!n.has("base") || !n.at("base").isString() || !doc_->findSwatch(n.at("base").string()))
            tints.push_back(n);
          else
            tint(n);
          continue;
        }
        if (kind != "process" && kind != "spot")
          n.at("kind").fail("unknown value \"" + kind + "\" (one of process, spot, tint)");
        const ColorSpace space =
            n.has("space") ? n.at("space").choice(EnumNames<ColorSpace>::values) : ColorSpace::CMYK;
        if (!n.has("values")) n.fail("missing \"values\"");
        const auto values = n.at("values").numbers(0);
        if (std::string why = validateColorComponents(space, values); !why.empty()) n.at("values").fail(why);
        s = doc_->createColor(name, kind == "spot" ? ColorModel::Spot : ColorModel::Process, space, values,
                              uidOf(n));
        if (!s) n.fail("duplicate uid");
      }
      if (n.has("stock")) s->setStockIndex(static_cast<int>(n.at("stock").integer(0, 1000)));
    }
    // Tints of the reserved swatches need them even when the file leaves them out.
    for (auto which : {IDocument::ReservedSwatch::None, IDocument::ReservedSwatch::Registration,
                       IDocument::ReservedSwatch::Paper, IDocument::ReservedSwatch::Black})
      doc_->createReservedSwatch(which);
    for (const Node& n : tints) tint(n);
  }

  void tint(const Node& n) {
    if (!n.has("base")) n.fail("missing \"base\"");
    Swatch* base = doc_->findSwatch(n.at("base").string());
    if (!base || base->kind() != SwatchKind::Color)
      n.at("base").fail("unknown colour swatch \"" + n.at("base").string() + "\"");
    const double percent = n.has("tint") ? n.at("tint").number() : 100;
    if (percent < 0 || percent > 100) n.at("tint").fail("tint must be between 0 and 100");
    if (!doc_->createTint(base->GetUID(), percent, n.at("name").string(), uidOf(n))) n.fail("duplicate uid");
  }

  void styles(const Node& r, StyleKind kind, std::vector<std::pair<Node, Style*>>& basedOn) {
    for (const Node& n : r.array(styleListKey(kind))) {
      n.expectObject({"uid", "name", "basedOn", "properties"});
      UID created = kInvalidUID;
      if (doc_->createStyle(kind, n.at("name").string(), kInvalidUID, &created, uidOf(n)))
        n.fail("duplicate style name or uid");
      Style* s = db_->instantiate<Style>(created);
      if (n.has("properties")) {
        Node props = n.at("properties");
        if (!props.isObject()) props.fail("expected an object");
        for (const auto& [k, v] : props.members()) s->setProperty(std::string(k), v.string());
      }
      if (n.has("basedOn")) basedOn.emplace_back(n, s);
    }
  }

  // Sets every parent as setting them one by one in file order would, failing
  // on the same entry, but without walking a chain of parents per style.
  void resolveBasedOn(const std::vector<std::pair<Node, Style*>>& basedOn) {
    const std::size_t count = basedOn.size();
    std::vector<UID> parents(count, kInvalidUID);
    std::unordered_map<UID, std::size_t> entryOf;
    std::size_t firstUnknown = count;
    for (std::size_t i = 0; i < count; ++i) {
      const auto& [n, s] = basedOn[i];
      parents[i] = doc_->findStyle(s->kind(), n.at("basedOn").string());
      if (parents[i] == kInvalidUID && firstUnknown == count) firstUnknown = i;
      entryOf.emplace(s->GetUID(), i);
    }
    // Each style has one parent, so the styles form chains that may end in a
    // circle. In file order, a circle is refused on the entry that closes it:
    // its member that comes last in the file.
    auto parentOf = [&](UID style) {
      if (auto it = entryOf.find(style); it != entryOf.end()) return parents[it->second];
      const Style* st = db_->instantiate<Style>(style);
      return st ? st->basedOn() : kInvalidUID;
    };
    enum : char { kNew, kOnPath, kDone };
    std::vector<char> state(count, kNew);
    std::vector<std::size_t> parentsFirst, path;
    std::size_t firstCircle = count;
    for (std::size_t i = 0; i < count; ++i) {
      path.clear();
      for (std::size_t at = i; state[at] == kNew;) {
        state[at] = kOnPath;
        path.push_back(at);
        auto next = entryOf.find(parentOf(basedOn[at].second->GetUID()));
        // A parent outside the list (a default style) already has its own parent set.
        if (next == entryOf.end()) break;
        if (state[next->second] == kOnPath) {
          std::size_t closing = next->second;
          for (auto k = std::find(path.begin(), path.end(), next->second); k != path.end(); ++k)
            closing = std::max(closing, *k);
          firstCircle = std::min(firstCircle, closing);
          break;
        }
        at = next->second;
      }
      for (auto k = path.rbegin(); k != path.rend(); ++k) {
        state[*k] = kDone;
        parentsFirst.push_back(*k);
      }
    }
    if (firstUnknown < firstCircle) {
      const Node n = basedOn[firstUnknown].first.at("basedOn");
      n.fail("unknown style \"" + n.string() + "\"");
    }
    if (firstCircle < count)
      basedOn[firstCircle].first.at("basedOn").fail("styles based on each other in a circle");
    // Children before their parents: each check of the chain stops at the
    // parent, whose own parent is not set yet.
    for (auto k = parentsFirst.rbegin(); k != parentsFirst.rend(); ++k) {
      const auto& [n, s] = basedOn[*k];
      if (s->setBasedOn(parents[*k])) n.at("basedOn").fail("styles based on each other in a circle");
    }
  }

  void grid(const Node& n) {
    n.expectObject({"division", "horizontalSpacing", "horizontalSubdivisions", "verticalSpacing",
                    "verticalSubdivisions", "inBack"});
    DocumentGrid g;
    g.division = n.num("division", g.division);
    g.horizontalSpacing = n.num("horizontalSpacing", g.horizontalSpacing);
    g.verticalSpacing = n.num("verticalSpacing", g.verticalSpacing);
    if (n.has("horizontalSubdivisions"))
      g.horizontalSubdivisions = static_cast<int>(n.at("horizontalSubdivisions").integer(1, 1000));
    if (n.has("verticalSubdivisions"))
      g.verticalSubdivisions = static_cast<int>(n.at("verticalSubdivisions").integer(1, 1000));
    g.inBack = n.flag("inBack", g.inBack);
    if (doc_->setDocumentGrid(g)) n.fail("grid division and spacing must be positive");
  }

  void baselineGrid(const Node& n) {
    n.expectObject({"start", "increment", "relativeTo", "viewThreshold", "color"});
    BaselineGrid g;
    g.start = n.num("start", g.start);
    g.increment = n.num("increment", g.increment);
    if (n.has("relativeTo")) g.relativeTo = n.at("relativeTo").choice(EnumNames<BaselineRelativeTo>::values);
    g.viewThreshold = n.num("viewThreshold", g.viewThreshold);
    g.color = n.str("color", g.color);
    if (doc_->setBaselineGrid(g)) n.fail("baseline grid needs a positive increment and a start of 0 or more");
  }

  XMLElement xml(const Node& n, int depth) {
    if (depth > kMaxNesting) n.fail("nested too deeply");
    n.expectObject({"tag", "attributes", "content", "children"});
    XMLElement e;
    e.tag = n.at("tag").string();
    if (e.tag.empty()) n.at("tag").fail("empty tag");
    if (n.has("attributes")) {
      Node a = n.at("attributes");
      if (!a.isObject()) a.fail("expected an object");
      for (const auto& [k, v] : a.members()) e.attributes.emplace_back(std::string(k), v.string());
    }
    e.content = n.str("content", "");
    for (const Node& c : n.array("children")) e.children.push_back(xml(c, depth + 1));
    return e;
  }

  UID swatchByName(const Node& n) {
    const std::string name = n.string();
    Swatch* s = doc_->findSwatch(name);
    if (!s) n.fail("unknown swatch \"" + name + "\"");
    return s->GetUID();
  }

  void story(const Node& n) {
    n.expectObject({"id", "uid", "text", "runs", "anchored"});
    const std::string id = n.at("id").string();
    if (stories_.count(id)) n.at("id").fail("duplicate story id \"" + id + "\"");
    ITextModel* s = doc_->createStory(uidOf(n));
    if (!s) n.fail("duplicate uid");
    stories_[id] = s->GetUID();
    if (s->setCharacters(utf8ToUtf32(n.str("text", ""))))
      n.at("text").fail("text contains an end-of-story mark (U+0003)");
    for (const Node& run : n.array("runs")) {
      run.expectObject({"start", "length", "color", "tint", "flag", "font", "fontStyle", "size",
                        "paragraphStyle", "characterStyle", "leading", "alignment", "firstLineIndent",
                        "leftIndent", "rightIndent", "spaceBefore", "spaceAfter", "tracking",
                        "capitalization"});
      const int length = s->TotalLength() - 1;
      const int start = static_cast<int>(run.at("start").integer(0, length));
      const int count =
          run.has("length") ? static_cast<int>(run.at("length").integer(0, length - start)) : length - start;
      std::vector<std::pair<AttributeClass, AttributeValue>> values;
      if (run.has("color")) values.emplace_back(AttributeClass::kTextColor, swatchByName(run.at("color")));
      if (run.has("tint")) {
        const double t = run.at("tint").number();
        if (t < 0 || t > 100) run.at("tint").fail("tint must be between 0 and 100");
        values.emplace_back(AttributeClass::kTextTint, t);
      }
      if (run.has("flag")) values.emplace_back(AttributeClass::kTextFlag, run.at("flag").boolean());
      if (run.has("font")) values.emplace_back(AttributeClass::kFontFamily, run.at("font").string());
      if (run.has("fontStyle")) values.emplace_back(AttributeClass::kFontStyle, run.at("fontStyle").string());
      if (run.has("size")) {
        const double size = run.at("size").number();
        if (size <= 0 || size > 1296) run.at("size").fail("point size must be above 0 and at most 1296");
        values.emplace_back(AttributeClass::kPointSize, size);
      }
      auto style = [&](const char* key, StyleKind kind, AttributeClass cls) {
        if (!run.has(key)) return;
        const UID st = doc_->findStyle(kind, run.at(key).string());
        if (st == kInvalidUID) run.at(key).fail("unknown style \"" + run.at(key).string() + "\"");
        values.emplace_back(cls, st);
      };
      style("paragraphStyle", StyleKind::Paragraph, AttributeClass::kParagraphStyle);
      style("characterStyle", StyleKind::Character, AttributeClass::kCharacterStyle);
      if (run.has("leading")) {
        const Node l = run.at("leading");
        if (l.isString()) {
          if (l.string() != "auto") l.fail("leading is points or \"auto\"");
          values.emplace_back(AttributeClass::kLeading, std::string("auto"));
        } else {
          const double v = l.number();
          if (v <= 0 || v > 5000) l.fail("leading must be above 0 and at most 5000");
          values.emplace_back(AttributeClass::kLeading, v);
        }
      }
      auto oneOf = [&](const char* key, AttributeClass cls, std::initializer_list<const char*> names) {
        if (!run.has(key)) return;
        const std::string v = run.at(key).string();
        for (const char* name : names)
          if (v == name) {
            values.emplace_back(cls, v);
            return;
          }
        run.at(key).fail("unknown value \"" + v + "\"");
      };
      oneOf("alignment", AttributeClass::kAlignment, {"left", "center", "right", "justify"});
      oneOf("capitalization", AttributeClass::kCapitalization, {"normal", "allCaps", "smallCaps"});
      const std::pair<const char*, AttributeClass> lengths[] = {
          {"firstLineIndent", AttributeClass::kFirstLineIndent},
          {"leftIndent", AttributeClass::kLeftIndent},
          {"rightIndent", AttributeClass::kRightIndent},
          {"spaceBefore", AttributeClass::kSpaceBefore},
          {"spaceAfter", AttributeClass::kSpaceAfter},
          {"tracking", AttributeClass::kTracking}};
      for (const auto& [key, cls] : lengths)
        if (run.has(key)) {
          const double v = run.at(key).number();
          if (v < -5000 || v > 5000) run.at(key).fail("must be between -5000 and 5000");
          values.emplace_back(cls, v);
        }
      s->ApplyAttributes(start, count, values);
    }
    for (const Node& a : n.array("anchored")) {
      a.expectObject({"index", "uid", "item"});
      const int index = static_cast<int>(a.at("index").integer(0, s->TotalLength()));
      InlineItem* inl = doc_->createInlineItem(s->GetUID(), index, uidOf(a));
      if (!inl) a.at("index").fail("no free U+FFFC character at this index (or a duplicate uid)");
      if (!a.has("item")) a.fail("missing \"item\"");
      item(a.at("item"), inl->GetUID(), 1);
    }
  }

  void spread(const Node& n, bool master = false) {
    if (master)
      n.expectObject({"uid", "name", "layerUIDs", "transform", "pages", "items"});
    else
      n.expectObject({"uid", "layerUIDs", "transform", "pages", "items"});
    std::vector<UID> layerUIDs;
    if (n.has("layerUIDs")) {
      const Node list = n.at("layerUIDs");
      if (!list.isArray() || list.size() != doc_->layerList().size())
        list.fail("expected one uid per layer (" + std::to_string(doc_->layerList().size()) +
                  ", the pages layer first)");
      for (std::size_t i = 0; i < list.size(); ++i)
        layerUIDs.push_back(static_cast<UID>(list.at(i).integer(1, 0xFFFFFFFEll)));
    }
    // Places below the spreads before and beside the pages before are kept as
    // they are read: asking the document would walk all of them every time.
    ISpread* s = nullptr;
    if (master) {
      const std::string name = n.at("name").string();
      if (name.empty() || doc_->findMasterSpread(name)) n.at("name").fail("empty or duplicate master name");
      s = doc_->createMasterSpread(name, uidOf(n), layerUIDs);
    } else {
      s = doc_->createSpreadAt(spreadsBottom_ + kSpreadGap, -1, uidOf(n), layerUIDs);
    }
    if (!s) n.fail("duplicate uid");
    if (n.has("transform")) s->setTransform(matrixFrom(n.at("transform")));
    PMReal pagesRight = 0;
    for (const Node& p : n.array("pages")) {
      p.expectObject({"uid", "name", "size", "transform", "margins", "columns", "master"});
      PMReal w = doc_->defaultPageWidth(), h = doc_->defaultPageHeight();
      if (p.has("size")) {
        const auto size = p.at("size").numbers(2);
        if (!(size[0] > 0) || !(size[1] > 0)) p.at("size").fail("page size must be positive");
        w = size[0], h = size[1];
      }
      Page* page = doc_->addPageAt(s, pagesRight, w, h, uidOf(p));
      if (!page) p.fail("duplicate uid");
      if (p.has("master")) {
        // A master page's master may come later in the list.
        if (master) {
          masterPagesOfMasters_.emplace_back(page, p.at("master"));
        } else {
          ISpread* m = doc_->findMasterSpread(p.at("master").string());
          if (!m) p.at("master").fail("unknown master \"" + p.at("master").string() + "\"");
          page->setAppliedMaster(m->GetUID());
        }
      }
      if (!master) ++pageCount_;
      page->setName(p.has("name") ? p.at("name").string() : std::to_string(pageCount_));
      if (p.has("transform")) page->setTransform(matrixFrom(p.at("transform")));
      pagesRight = std::max(pagesRight, page->transform().tx + page->width());
      if (p.has("margins")) {
        const auto m = p.at("margins").numbers(4);
        if (page->setMargins({m[0], m[1], m[2], m[3]})) p.at("margins").fail("margins must not be negative");
      }
      if (p.has("columns") && page->setColumns(p.at("columns").numbers(0)))
        p.at("columns").fail("columns are (left, right) pairs with left not after right");
    }
    for (const Node& it : n.array("items")) {
      if (!it.isObject()) it.fail("expected an object");
      const std::string layerName =
          it.has("layer")
              ? it.at("layer").string()
              : doc_->GetDocDataBase()->instantiate<IDocumentLayer>(doc_->activeLayer())->GetName();
      IDocumentLayer* l = doc_->findLayer(layerName);
      if (!l || l->isPagesLayer())
        (it.has("layer") ? it.at("layer") : it).fail("unknown layer \"" + layerName + "\"");
      // Spread layers are in the order of the document's layers.
      const UID spreadLayer = s->GetChildUID(doc_->layerIndex(l->GetUID()));
      auto* sl = db_->instantiate<ISpreadLayer>(spreadLayer);
      item(it,
           sl && sl->documentLayerUID() == l->GetUID() ? spreadLayer : s->QueryLayer(l->GetUID())->GetUID(),
           1);
    }
    if (!master) spreadsBottom_ = std::max(spreadsBottom_, IDocument::spreadBottom(*s));
  }

  static constexpr std::initializer_list<const char*> kItemKeys = {
      "layer",        "uid",         "kind",        "bounds",     "path",         "transform",
      "fill",         "fillTint",    "stroke",      "strokeTint", "strokeWeight", "strokeAlignment",
      "cornerRadius", "nonPrinting", "objectStyle", "textWrap",   "labels",       "children",
      "text",         "content",     "links"};

  Path pathFrom(const Node& n, SplineShape shape, bool line) {
    if (n.has("path")) {
      Node p = n.at("path");
      p.expectObject({"points", "closed"});
      Path path;
      path.closed = p.flag("closed", !line);
      for (const Node& pt : p.array("points")) {
        if (!pt.isArray() || (pt.size() != 2 && pt.size() != 6))
          pt.fail("expected [x, y] or [x, y, inX, inY, outX, outY]");
        const auto v = pt.numbers(0);
        if (v.size() == 2)
          path.points.push_back(PathPoint::corner({v[0], v[1]}));
        else
          path.points.push_back({{v[0], v[1]}, {v[2], v[3]}, {v[4], v[5]}});
      }
      if (path.points.size() < 2) p.at("points").fail("a path needs at least two points");
      return path;
    }
    if (!n.has("bounds")) n.fail("missing \"bounds\" or \"path\"");
    const PMRect b = rectFrom(n.at("bounds"));
    if (line) return Path::line({b.left, b.top}, {b.right, b.bottom});
    return shape == SplineShape::Oval ? Path::oval(b) : Path::rectangle(b);
  }

  void attributes(const Node& n, PageItem& it) {
    GraphicAttributes a = it.graphicAttributes();
    if (n.has("fill")) a.fillSwatch = swatchByName(n.at("fill"));
    if (n.has("stroke")) a.strokeSwatch = swatchByName(n.at("stroke"));
    auto tint = [&](const char* key) -> std::optional<PMReal> {
      if (!n.has(key)) return std::nullopt;
      const double t = n.at(key).number();
      if (t < 0 || t > 100) n.at(key).fail("tint must be between 0 and 100");
      return t;
    };
    a.fillTint = tint("fillTint");
    a.strokeTint = tint("strokeTint");
    a.strokeWeight = n.num("strokeWeight", a.strokeWeight);
    if (a.strokeWeight < 0 || a.strokeWeight > 1000)
      n.at("strokeWeight").fail("stroke weight must be between 0 and 1000");
    if (n.has("strokeAlignment"))
      a.strokeAlignment = n.at("strokeAlignment").choice(EnumNames<StrokeAlignment>::values);
    a.cornerRadius = n.num("cornerRadius", 0);
    if (a.cornerRadius < 0) n.at("cornerRadius").fail("corner radius must not be negative");
    a.nonPrinting = n.flag("nonPrinting", false);
    it.setGraphicAttributes(a);
    if (n.has("objectStyle")) {
      const std::string style = n.at("objectStyle").string();
      if (doc_->findStyle(StyleKind::Object, style) == kInvalidUID)
        n.at("objectStyle").fail("unknown object style \"" + style + "\"");
      it.setObjectStyle(style);
    }
    if (n.has("textWrap")) {
      Node w = n.at("textWrap");
      w.expectObject({"mode", "offsets", "side", "contour", "inverted", "ignoredByTextBeneath"});
      TextWrapSettings t;
      if (w.has("mode")) t.mode = w.at("mode").choice(EnumNames<TextWrapMode>::values);
      if (w.has("offsets")) {
        const auto v = w.at("offsets").numbers(4);
        t.offsets = {v[0], v[1], v[2], v[3]};
      }
      if (w.has("side")) t.side = static_cast<int>(w.at("side").integer(0, 10));
      if (w.has("contour")) t.contour = static_cast<int>(w.at("contour").integer(0, 10));
      t.inverted = w.flag("inverted", false);
      t.ignoredByTextBeneath = w.flag("ignoredByTextBeneath", false);
      it.setTextWrap(t);
    }
    if (n.has("labels")) {
      Node labels = n.at("labels");
      if (!labels.isObject()) labels.fail("expected an object of strings");
      for (const auto& [k, v] : labels.members()) {
        if (k.empty()) labels.fail("empty label key");
        it.setLabel(std::string(k), v.string());
      }
    }
  }

  void item(const Node& n, UID parent, int depth) {
    if (depth > kMaxNesting) n.fail("nested too deeply");
    n.expectObject(kItemKeys);
    const std::string kind = n.has("kind") ? n.at("kind").string() : "rectangle";
    PageItem* made = nullptr;
    if (kind == "group") {
      if (n.has("bounds") || n.has("path") || n.has("text") || n.has("content"))
        n.fail("a group has only children");
      Group* g = doc_->createGroup(parent, -1, uidOf(n));
      if (!g) n.fail("duplicate uid");
      if (n.has("transform")) g->setTransform(matrixFrom(n.at("transform")));
      attributes(n, *g);
      for (const Node& c : n.array("children")) item(c, g->GetUID(), depth + 1);
      furtherLinks(n, g->GetUID());
      return;
    }
    if (n.has("children")) n.at("children").fail("only groups have children");
    if (kind == "line") {
      if (n.has("text") || n.has("content")) n.fail("a line holds no text or content");
      const Path p = pathFrom(n, SplineShape::Polygon, true);
      GraphicLine* l = doc_->createGraphicLine(parent, {0, 0}, {1, 0}, uidOf(n));
      if (!l) n.fail("duplicate uid");
      l->setPath(p);
      made = l;
    } else {
      SplineShape shape = SplineShape::Rectangle;
      if (kind == "oval")
        shape = SplineShape::Oval;
      else if (kind == "polygon")
        shape = SplineShape::Polygon;
      else if (kind != "rectangle")
        n.at("kind").fail("unknown value \"" + kind + "\" (one of rectangle, oval, polygon, line, group)");
      SplineItem* s = doc_->createSplineItem(parent, shape, pathFrom(n, shape, false), -1, uidOf(n));
      if (!s) n.fail("duplicate uid");
      made = s;
      if (n.has("text") && n.has("content")) n.fail("a frame holds either text or content");
      if (n.has("text"))
        pendingText_.push_back({n.at("text"), s->GetUID(), static_cast<int>(pendingText_.size())});
      if (n.has("content")) content(n.at("content"), s->GetUID());
    }
    if (n.has("transform")) made->setTransform(matrixFrom(n.at("transform")));
    attributes(n, *made);
    furtherLinks(n, made->GetUID());
  }

  // The links an item holds beside its placed file's, in file order.
  void furtherLinks(const Node& n, UID object) {
    if (!n.has("links")) return;
    for (const Node& l : n.array("links")) {
      l.expectObject({"uid", "resourceUID", "path", "size", "modified", "embedded", "data"});
      std::string path = l.at("path").string();
      if (path.empty()) l.at("path").fail("empty path");
      if (path.front() != '/') path = (std::filesystem::path(baseFolder_) / path).lexically_normal().string();
      link(l, object, path);
    }
  }

  void link(const Node& l, UID object, const std::string& path) {
    ILink* link = doc_->createLink(object, path, uidOf(l), uidOf(l, "resourceUID"));
    if (!link) l.fail("duplicate uid");
    // What was recorded is kept; a hand-written link without it records the file as it is now.
    FileStamp stamp = link->resource()->stamp();
    if (l.has("size"))
      stamp.size = static_cast<std::uint64_t>(l.at("size").integer(0, std::numeric_limits<long long>::max()));
    if (l.has("modified"))
      stamp.modifiedMs =
          l.at("modified")
              .integer(std::numeric_limits<long long>::min() + 1, std::numeric_limits<long long>::max());
    const bool embedded = l.flag("embedded", false);
    std::vector<std::uint8_t> data;
    if (embedded) {
      if (!l.has("data")) l.fail("an embedded link needs its \"data\"");
      auto decoded = base64Decode(l.at("data").string());
      if (!decoded) l.at("data").fail("invalid base64");
      data = std::move(*decoded);
    } else if (l.has("data")) {
      l.at("data").fail("only embedded links carry data");
    }
    link->resource()->restore(path, stamp, embedded, std::move(data));
  }

  void content(const Node& n, UID frame) {
    n.expectObject({"kind",
                    "uid",
                    "bounds",
                    "path",
                    "transform",
                    "fill",
                    "fillTint",
                    "stroke",
                    "strokeTint",
                    "strokeWeight",
                    "strokeAlignment",
                    "cornerRadius",
                    "nonPrinting",
                    "objectStyle",
                    "textWrap",
                    "labels",
                    "imageAttributes",
                    "link",
                    "embeddedProfile",
                    "links"});
    std::string path;
    if (n.has("link")) {
      const Node l = n.at("link");
      l.expectObject({"uid", "resourceUID", "path", "size", "modified", "embedded", "data"});
      path = l.at("path").string();
      if (path.empty()) l.at("path").fail("empty path");
      if (path.front() != '/') path = (std::filesystem::path(baseFolder_) / path).lexically_normal().string();
    }
    ClassID kind;
    if (n.has("kind")) {
      kind = n.at("kind").choice(EnumNames<ClassID>::values);
    } else {
      // By content; a file the host can't recognise is still a link, one that can't be drawn.
      kind = classForPlacedFile(path.empty() ? PlacedFileKind::Unknown : placedFileKind(path));
    }
    std::optional<ImageAttributes> recorded;
    if (n.has("imageAttributes")) {
      if (kind != ClassID::kImageItem) n.at("imageAttributes").fail("only images have image attributes");
      Node a = n.at("imageAttributes");
      a.expectObject({"colorSpace", "pixelWidth", "pixelHeight", "resolution"});
      ImageAttributes ia;
      if (a.has("colorSpace")) ia.colorSpace = a.at("colorSpace").choice(EnumNames<ImageColorSpace>::values);
      if (a.has("pixelWidth")) ia.pixelWidth = static_cast<int>(a.at("pixelWidth").integer(0, 1000000));
      if (a.has("pixelHeight")) ia.pixelHeight = static_cast<int>(a.at("pixelHeight").integer(0, 1000000));
      ia.resolution = a.num("resolution", 72);
      if (!(ia.resolution > 0)) a.at("resolution").fail("resolution must be positive");
      recorded = ia;
    }
    std::optional<ImageAttributes> attributesOfFile;
    if (kind == ClassID::kImageItem && !path.empty() && !recorded)
      attributesOfFile = readImageAttributes(path);
    // Without bounds in the document, the content keeps the file's own size.
    std::optional<PMRect> ownSize;
    if (!n.has("bounds") && !n.has("path") && !path.empty()) {
      if (recorded && recorded->pixelWidth > 0 && recorded->pixelHeight > 0)
        ownSize = placedBoundsFor(*recorded);
      else if (attributesOfFile)
        ownSize = placedBoundsFor(*attributesOfFile);
      else if (kind == ClassID::kPDFItem) {
        if (auto box = pdfCropBoxSize(path)) ownSize = *box;
      } else if (kind == ClassID::kEPSItem)
        ownSize = epsBoundingBoxSize(path);
      if (ownSize && !(ownSize->width() > 0 && ownSize->height() > 0)) ownSize.reset();
    }
    PMRect bounds;
    if (n.has("bounds"))
      bounds = rectFrom(n.at("bounds"));
    else if (ownSize)
      bounds = *ownSize;
    else if (!n.has("path"))
      bounds = *doc_->pathBounds(frame);
    PlacedContent* c = doc_->createPlacedContent(frame, kind, bounds, uidOf(n));
    if (!c) n.fail("duplicate uid");
    if (n.has("path")) c->setPath(pathFrom(n, SplineShape::Polygon, false));
    if (!n.has("bounds") && !n.has("path") && !ownSize) {
      // Content without size of its own fills the frame.
      const PMRect inner = db_->instantiate<SplineItem>(frame)->path()->bounds();
      c->setPath(Path::rectangle({0, 0, inner.width(), inner.height()}));
      c->setTransform(PMMatrix::translation(inner.left, inner.top));
    } else if (!n.has("transform") && ownSize) {
      // At the frame's top-left corner, as placing puts it.
      const PMRect inner = db_->instantiate<SplineItem>(frame)->path()->bounds();
      c->setTransform(PMMatrix::translation(inner.left, inner.top));
    }
    if (n.has("transform")) c->setTransform(matrixFrom(n.at("transform")));
    GraphicAttributes none;
    none.fillSwatch = doc_->noneSwatch();
    none.strokeSwatch = doc_->noneSwatch();
    c->setGraphicAttributes(none);
    attributes(n, *c);
    if (recorded)
      c->setImageAttributes(recorded);
    else if (attributesOfFile)
      c->setImageAttributes(attributesOfFile);
    if (n.has("link")) link(n.at("link"), c->GetUID(), path);
    if (n.has("embeddedProfile")) {
      if (kind != ClassID::kImageItem) n.at("embeddedProfile").fail("only images have an embedded profile");
      const std::string name = n.at("embeddedProfile").string();
      if (name.empty()) n.at("embeddedProfile").fail("empty profile name");
      c->setEmbeddedProfile(name);
    }
    furtherLinks(n, c->GetUID());
  }

  struct PendingText {
    Node node;
    UID frame;
    int order;
  };

  // Text frames join their stories' threads in "thread" order, then file order.
  void threadStories() {
    std::stable_sort(pendingText_.begin(), pendingText_.end(),
                     [](const PendingText& a, const PendingText& b) {
                       auto key = [](const PendingText& p) {
                         return p.node.has("thread") ? p.node.at("thread").number() : 1e18;
                       };
                       return key(a) < key(b);
                     });
    for (const PendingText& p : pendingText_) {
      const Node& n = p.node;
      n.expectObject(
          {"uid", "story", "thread", "columnUIDs", "columns", "gutter", "inset", "verticalJustification"});
      if (n.has("thread")) (void)n.at("thread").integer(0, 1000000);
      UID storyUID;
      if (n.has("story")) {
        auto it = stories_.find(n.at("story").string());
        if (it == stories_.end()) n.at("story").fail("unknown story \"" + n.at("story").string() + "\"");
        storyUID = it->second;
      } else {
        storyUID = doc_->createStory()->GetUID();
      }
      std::vector<UID> columnUIDs;
      for (const Node& c : n.array("columnUIDs"))
        columnUIDs.push_back(static_cast<UID>(c.integer(1, 0xFFFFFFFEll)));
      MultiColumnItem* mc = doc_->createTextFrameContent(p.frame, storyUID, -1, uidOf(n), columnUIDs);
      if (!mc) n.fail("duplicate uid");
      TextFrameSettings t = mc->settings();
      if (n.has("columns")) t.columnCount = static_cast<int>(n.at("columns").integer(1, 40));
      if (!columnUIDs.empty() && static_cast<int>(columnUIDs.size()) != t.columnCount)
        n.at("columnUIDs").fail("expected one uid per column");
      t.gutter = n.num("gutter", t.gutter);
      if (t.gutter < 0) n.at("gutter").fail("gutter must not be negative");
      if (n.has("inset")) {
        const auto v = n.at("inset").numbers(4);
        t.inset = {v[0], v[1], v[2], v[3]};
      }
      if (n.has("verticalJustification"))
        t.verticalJustification =
            n.at("verticalJustification").choice(EnumNames<VerticalJustification>::values);
      mc->setSettings(t);
    }
  }

  std::string baseFolder_;
  std::unique_ptr<IDocument> doc_;
  IDataBase* db_ = nullptr;
  std::map<std::string, UID> stories_;
  std::vector<PendingText> pendingText_;
  PMReal spreadsBottom_ = -kSpreadGap;
  int pageCount_ = 0;
  std::vector<std::pair<Page*, Node>> masterPagesOfMasters_;
};

}  // namespace

DocumentLoadResult readNativeDocument(std::string_view bytes, const std::string& fileName,
                                      const std::string& baseFolder) {
  std::unique_ptr<IDocument> document;
  const Status read = readJson(
      bytes, [&](const JsonNode& root) { document = Reader(baseFolder).read(root); }, kInvalidDocumentError,
      4 * kMaxNesting);
  if (!read) return documentRefusal(read.code(), fileName, read.message());
  DocumentLoadResult r;
  r.document = std::move(document);
  return r;
}

}  // namespace korvex
