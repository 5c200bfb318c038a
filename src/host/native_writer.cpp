#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>

#include "foundation/atomic_file.h"
#include "foundation/base64.h"
#include "host/document_file.h"
#include "host/document_names.h"

namespace korvex {

namespace {

using Json = nlohmann::ordered_json;

Json rectJson(const PMRect& r) {
  return Json::array({r.left, r.top, r.right, r.bottom});
}
Json matrixJson(const PMMatrix& m) {
  return Json::array({m.a, m.b, m.c, m.d, m.tx, m.ty});
}

class Writer {
 public:
  explicit Writer(const IDocument& doc) : doc_(doc), db_(*doc.GetDocDataBase()) {}

  Json write() {
    Json j;
    j["format"] = kDocumentFormatName;
    j["version"] = kDocumentFormatVersion;
    j["uid"] = doc_.GetUID();
    j["facingPages"] = doc_.facingPages();
    j["pageSize"] = Json::array({doc_.defaultPageWidth(), doc_.defaultPageHeight()});
    if (!db_.GetFallbackSysFile().empty()) j["fallbackFile"] = db_.GetFallbackSysFile().path();
    j["pagesLayerUID"] = doc_.layerList().front();
    Json layers = Json::array();
    for (int i = 1; i < doc_.GetLayerCount(); ++i) {
      const IDocumentLayer* l = doc_.layerAt(i);
      layers.push_back({{"uid", l->GetUID()},
                        {"name", l->GetName()},
                        {"visible", l->IsVisible()},
                        {"printable", l->IsPrintable()},
                        {"locked", l->IsLocked()},
                        {"color", l->GetColor()}});
    }
    j["layers"] = layers;
    if (!doc_.preflightProfile().empty()) j["preflightProfile"] = doc_.preflightProfile();
    if (!doc_.labels().empty()) {
      Json labels = Json::object();
      for (const auto& [k, v] : doc_.labels().entries()) labels[k] = v;
      j["labels"] = labels;
    }
    if (const IDocumentLayer* active = db_.instantiate<IDocumentLayer>(doc_.activeLayer()))
      j["activeLayer"] = active->GetName();
    j["swatches"] = swatches();
    for (StyleKind kind : kStyleKinds) j[styleListKey(kind)] = styles(kind);
    Json languages = Json::array();
    for (UID uid : doc_.languageList())
      languages.push_back({{"uid", uid}, {"name", db_.instantiate<Language>(uid)->name()}});
    j["languages"] = languages;
    const DocumentGrid& g = doc_.documentGrid();
    j["documentGrid"] = {{"horizontalSpacing", g.horizontalSpacing},
                         {"horizontalSubdivisions", g.horizontalSubdivisions},
                         {"verticalSpacing", g.verticalSpacing},
                         {"verticalSubdivisions", g.verticalSubdivisions},
                         {"inBack", g.inBack}};
    // Written only when it is not the default, so older files keep their bytes.
    if (g.division != DocumentGrid{}.division) j["documentGrid"]["division"] = g.division;
    const BaselineGrid& b = doc_.baselineGrid();
    j["baselineGrid"] = {{"start", b.start},
                         {"increment", b.increment},
                         {"relativeTo", nameOf(b.relativeTo)},
                         {"viewThreshold", b.viewThreshold},
                         {"color", b.color}};
    j["xml"] = xml(doc_.xmlRoot());
    // Only documents that declare fonts carry the key: older files keep their bytes.
    if (!doc_.declaredFonts().empty()) {
      Json fonts = Json::array();
      for (const auto& f : doc_.declaredFonts()) fonts.push_back(Json::array({f.family, f.style}));
      j["fonts"] = fonts;
    }
    Json stories = Json::array();
    for (UID uid : doc_.storyList()) stories.push_back(story(*doc_.story(uid)));
    j["stories"] = stories;
    // Only documents with masters carry the key: older files keep their bytes.
    if (!doc_.masterSpreadList().empty()) {
      Json masters = Json::array();
      for (UID uid : doc_.masterSpreadList()) masters.push_back(spread(*db_.instantiate<ISpread>(uid)));
      j["masters"] = masters;
    }
    Json spreads = Json::array();
    for (UID uid : doc_.spreadList()) spreads.push_back(spread(*db_.instantiate<ISpread>(uid)));
    j["spreads"] = spreads;
    return j;
  }

 private:
  std::string swatchName(UID uid) const {
    const Swatch* s = doc_.swatch(uid);
    return s ? s->name() : "None";
  }

  Json swatches() const {
    Json list = Json::array();
    for (UID uid : doc_.swatchList()) {
      const Swatch* s = doc_.swatch(uid);
      Json e = {{"uid", uid}, {"name", s->name()}};
      if (!s->isReserved()) {
        if (s->kind() == SwatchKind::Tint) {
          e["kind"] = "tint";
          e["base"] = swatchName(s->baseSwatch());
          e["tint"] = s->tintPercent();
        } else {
          e["kind"] = s->model() == ColorModel::Spot ? "spot" : "process";
          e["space"] = nameOf(s->space());
          e["values"] = s->components();
        }
      }
      if (s->stockIndex() >= 0) e["stock"] = s->stockIndex();
      list.push_back(e);
    }
    return list;
  }

  Json styles(StyleKind kind) const {
    Json list = Json::array();
    for (UID uid : doc_.styleGroup(kind).styles()) {
      const Style* s = db_.instantiate<Style>(uid);
      Json e = {{"uid", uid}, {"name", s->name()}};
      if (const Style* parent = db_.instantiate<Style>(s->basedOn())) e["basedOn"] = parent->name();
      if (!s->properties().empty()) {
        Json props = Json::object();
        for (const auto& [k, v] : s->properties()) props[k] = v;
        e["properties"] = props;
      }
      list.push_back(e);
    }
    return list;
  }

  static Json xml(const XMLElement& e) {
    Json j = {{"tag", e.tag}};
    if (!e.attributes.empty()) {
      Json a = Json::object();
      for (const auto& [k, v] : e.attributes) a[k] = v;
      j["attributes"] = a;
    }
    if (!e.content.empty()) j["content"] = e.content;
    if (!e.children.empty()) {
      Json c = Json::array();
      for (const XMLElement& child : e.children) c.push_back(xml(child));
      j["children"] = c;
    }
    return j;
  }

  Json story(const ITextModel& s) const {
    Json j = {{"id", "story" + std::to_string(s.GetUID())}, {"uid", s.GetUID()}, {"text", s.text()}};
    Json runs = Json::array();
    for (const auto& [cls, list] : s.attributeRuns()) {
      int pos = 0;
      for (const RunList::Run& r : list.runs()) {
        if (!std::holds_alternative<std::monostate>(r.value)) {
          Json e = {{"start", pos}, {"length", r.length}};
          attribute(e, cls, r.value);
          runs.push_back(e);
        }
        pos += r.length;
      }
    }
    if (!runs.empty()) j["runs"] = runs;
    Json anchored = Json::array();
    for (const auto& [pos, uid] : s.ownedItems()) {
      const auto* inl = db_.instantiate<InlineItem>(uid);
      if (!inl || inl->GetChildCount() == 0) continue;
      anchored.push_back({{"index", pos}, {"uid", uid}, {"item", item(inl->GetChildUID(0))}});
    }
    if (!anchored.empty()) j["anchored"] = anchored;
    return j;
  }

  void attribute(Json& e, AttributeClass cls, const AttributeValue& v) const {
    auto styleName = [&](UID uid) {
      const Style* st = db_.instantiate<Style>(uid);
      return st ? st->name() : std::string();
    };
    switch (cls) {
      case AttributeClass::kTextColor: e["color"] = swatchName(std::get<UID>(v)); break;
      case AttributeClass::kTextTint: e["tint"] = std::get<double>(v); break;
      case AttributeClass::kTextFlag: e["flag"] = std::get<bool>(v); break;
      case AttributeClass::kFontFamily: e["font"] = std::get<std::string>(v); break;
      case AttributeClass::kFontStyle: e["fontStyle"] = std::get<std::string>(v); break;
      case AttributeClass::kPointSize: e["size"] = std::get<double>(v); break;
      case AttributeClass::kParagraphStyle: e["paragraphStyle"] = styleName(std::get<UID>(v)); break;
      case AttributeClass::kCharacterStyle: e["characterStyle"] = styleName(std::get<UID>(v)); break;
      case AttributeClass::kLeading:
        if (const auto* points = std::get_if<double>(&v))
          e["leading"] = *points;
        else
          e["leading"] = "auto";
        break;
      case AttributeClass::kAlignment: e["alignment"] = std::get<std::string>(v); break;
      case AttributeClass::kCapitalization: e["capitalization"] = std::get<std::string>(v); break;
      case AttributeClass::kFirstLineIndent: e["firstLineIndent"] = std::get<double>(v); break;
      case AttributeClass::kLeftIndent: e["leftIndent"] = std::get<double>(v); break;
      case AttributeClass::kRightIndent: e["rightIndent"] = std::get<double>(v); break;
      case AttributeClass::kSpaceBefore: e["spaceBefore"] = std::get<double>(v); break;
      case AttributeClass::kSpaceAfter: e["spaceAfter"] = std::get<double>(v); break;
      case AttributeClass::kTracking: e["tracking"] = std::get<double>(v); break;
    }
  }

  Json spread(const ISpread& s) const {
    Json j = {{"uid", s.GetUID()}};
    if (!s.masterName().empty()) j["name"] = s.masterName();
    Json layerUIDs = Json::array();
    for (UID child : s.children()) layerUIDs.push_back(child);
    j["layerUIDs"] = layerUIDs;
    j["transform"] = matrixJson(s.transform());
    Json pages = Json::array();
    for (const Page* p : s.pages()) {
      Json pj = {{"uid", p->GetUID()}, {"name", p->name()}, {"size", Json::array({p->width(), p->height()})}};
      pj["transform"] = matrixJson(p->transform());
      const PageMargins& m = p->margins();
      pj["margins"] = Json::array({m.left, m.top, m.right, m.bottom});
      if (p->hasExplicitColumns()) pj["columns"] = p->columns();
      if (const auto* master = db_.instantiate<ISpread>(p->appliedMaster())) pj["master"] = master->masterName();
      pages.push_back(pj);
    }
    j["pages"] = pages;
    Json items = Json::array();
    for (std::size_t i = 1; i < s.children().size(); ++i) {
      const auto* sl = db_.instantiate<ISpreadLayer>(s.children()[i]);
      const std::string layer = db_.instantiate<IDocumentLayer>(sl->documentLayerUID())->GetName();
      for (UID child : sl->children()) {
        Json e = item(child);
        Json withLayer = {{"layer", layer}};
        withLayer.update(e);
        items.push_back(withLayer);
      }
    }
    j["items"] = items;
    return j;
  }

  void geometry(Json& j, const PageItem& it, SplineShape shape) const {
    const Path& p = *it.path();
    const PMRect b = p.bounds();
    const bool asBounds = (shape == SplineShape::Rectangle && p == Path::rectangle(b)) ||
                          (shape == SplineShape::Oval && p == Path::oval(b));
    if (asBounds) {
      j["bounds"] = rectJson(b);
    } else {
      Json points = Json::array();
      for (const PathPoint& pt : p.points) {
        if (pt.isCorner())
          points.push_back(Json::array({pt.anchor.x, pt.anchor.y}));
        else
          points.push_back(Json::array({pt.anchor.x, pt.anchor.y, pt.in.x, pt.in.y, pt.out.x, pt.out.y}));
      }
      j["path"] = {{"points", points}, {"closed", p.closed}};
    }
    if (!it.transform().isIdentity()) j["transform"] = matrixJson(it.transform());
  }

  void attributes(Json& j, const PageItem& it) const {
    const GraphicAttributes& a = it.graphicAttributes();
    j["fill"] = swatchName(a.fillSwatch);
    if (a.fillTint) j["fillTint"] = *a.fillTint;
    j["stroke"] = swatchName(a.strokeSwatch);
    if (a.strokeTint) j["strokeTint"] = *a.strokeTint;
    j["strokeWeight"] = a.strokeWeight;
    j["strokeAlignment"] = nameOf(a.strokeAlignment);
    if (a.cornerRadius != 0) j["cornerRadius"] = a.cornerRadius;
    if (a.nonPrinting) j["nonPrinting"] = true;
    if (!it.objectStyle().empty()) j["objectStyle"] = it.objectStyle();
    const TextWrapSettings& w = it.textWrap();
    if (w != TextWrapSettings{})
      j["textWrap"] = {{"mode", nameOf(w.mode)}, {"offsets", rectJson(w.offsets)},
                       {"side", w.side},         {"contour", w.contour},
                       {"inverted", w.inverted}, {"ignoredByTextBeneath", w.ignoredByTextBeneath}};
    if (!it.labels().empty()) {
      Json labels = Json::object();
      for (const auto& [k, v] : it.labels().entries()) labels[k] = v;
      j["labels"] = labels;
    }
    // Links beside the placed file's (the content writes that one itself).
    const auto* content = dynamic_cast<const PlacedContent*>(&it);
    Json further = Json::array();
    for (UID uid : doc_.linksForObject(it.GetUID()))
      if (!content || content->linkUID() != uid) further.push_back(linkJson(*db_.instantiate<ILink>(uid)));
    if (!further.empty()) j["links"] = further;
  }

  Json linkJson(const ILink& link) const {
    const LinkResource* r = link.resource();
    Json l = {{"uid", link.GetUID()},
              {"resourceUID", r->GetUID()},
              {"path", r->path()},
              {"size", r->stamp().size},
              {"modified", r->stamp().modifiedMs}};
    if (r->isEmbedded()) {
      l["embedded"] = true;
      l["data"] = base64Encode(r->embeddedData());
    }
    return l;
  }

  Json item(UID uid) const {
    Json j;
    const HostObject* o = db_.object(uid);
    j["uid"] = uid;
    if (const auto* g = dynamic_cast<const Group*>(o)) {
      j["kind"] = "group";
      if (!g->transform().isIdentity()) j["transform"] = matrixJson(g->transform());
      attributes(j, *g);
      Json children = Json::array();
      for (UID child : g->children()) children.push_back(item(child));
      j["children"] = children;
      return j;
    }
    if (const auto* line = dynamic_cast<const GraphicLine*>(o)) {
      j["kind"] = "line";
      geometry(j, *line, SplineShape::Polygon);
      attributes(j, *line);
      return j;
    }
    const auto* s = dynamic_cast<const SplineItem*>(o);
    if (!s) return j;
    static const char* const kShapes[] = {"rectangle", "oval", "polygon"};
    j["kind"] = kShapes[static_cast<int>(s->shape())];
    geometry(j, *s, s->shape());
    attributes(j, *s);
    if (const auto* mc = db_.instantiate<MultiColumnItem>(s->textContentUID())) {
      const TextFrameSettings& t = mc->settings();
      const ITextModel* st = doc_.story(mc->storyUID());
      const auto& thread = st->threadedFrames();
      Json columns = Json::array();
      for (UID c : mc->children()) columns.push_back(c);
      j["text"] = {{"uid", mc->GetUID()},
                   {"story", "story" + std::to_string(st->GetUID())},
                   {"thread", std::find(thread.begin(), thread.end(), mc->GetUID()) - thread.begin()},
                   {"columnUIDs", columns},
                   {"columns", t.columnCount},
                   {"gutter", t.gutter},
                   {"inset", rectJson(t.inset)},
                   {"verticalJustification", nameOf(t.verticalJustification)}};
    } else if (const auto* c = db_.instantiate<PlacedContent>(s->placedContentUID())) {
      j["content"] = content(*c);
    }
    return j;
  }

  Json content(const PlacedContent& c) const {
    Json j = {{"kind", nameOf(c.GetClass())}, {"uid", c.GetUID()}};
    geometry(j, c, SplineShape::Rectangle);
    attributes(j, c);
    if (const auto& ia = c.imageAttributes())
      j["imageAttributes"] = {{"colorSpace", nameOf(ia->colorSpace)},
                              {"pixelWidth", ia->pixelWidth},
                              {"pixelHeight", ia->pixelHeight},
                              {"resolution", ia->resolution}};
    if (c.embeddedProfile()) j["embeddedProfile"] = *c.embeddedProfile();
    if (const auto* link = db_.instantiate<ILink>(c.linkUID())) j["link"] = linkJson(*link);
    return j;
  }

  const IDocument& doc_;
  const IDataBase& db_;
};

}  // namespace

std::string serializeDocument(const IDocument& document) {
  return Writer(document).write().dump(1, '\t', false, Json::error_handler_t::replace) + "\n";
}

ErrorCode saveDocumentFile(const IDocument& document, const std::string& path, std::string* message) {
  // A batch saves a document under the path it was opened from: for an IDML
  // package that would replace the user's package with a native file.
  if (std::ifstream existing(path, std::ios::binary); existing) {
    char head[4] = {};
    existing.read(head, sizeof head);
    if (existing.gcount() == 4 && sniffDocumentFile(std::string_view(head, 4)) == DocumentFileKind::IDMLPackage) {
      if (message) *message = path + ": an IDML package; not replaced by a native document (save under another name)";
      return kFileWriteError;
    }
  }
  std::string bytes;
  try {
    bytes = serializeDocument(document);
  } catch (const std::exception& e) {
    if (message) *message = path + ": " + e.what();
    return kFailure;
  }
  if (const std::error_code ec = writeFileAtomically(path, bytes)) {
    if (message) *message = path + ": " + ec.message();
    return kFileWriteError;
  }
  return kSuccess;
}

}  // namespace korvex
