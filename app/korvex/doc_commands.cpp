#include "doc_commands.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "command.h"
#include "host/document_file.h"
#include "host/output/pdf_export.h"
#include "host/session.h"
#include "host/image_info.h"
#include "host/used_fonts.h"

namespace korvex::cli {

namespace {

using Json = nlohmann::ordered_json;

constexpr double kMillimetresPerPoint = 25.4 / 72;

std::string fixed(double value, int decimals = 1) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

bool parseNumber(const std::string& text, double& out) {
  try {
    std::size_t used = 0;
    out = std::stod(text, &used);
    return used == text.size() && std::isfinite(out);
  } catch (const std::exception&) {
    return false;
  }
}

// OUT's extension picks the format: an IDML package for ".idml", else native.
bool writeDocument(const IDocument& doc, const std::string& out, std::string& message) {
  if (!isIdmlPath(out)) return saveDocumentFile(doc, out, &message) == kSuccess;
  auto* provider =
      dynamic_cast<IdmlExportProvider*>(exportProviderFor(*GetExecutionContextSession(), doc, kIdmlFormatName));
  if (!provider) message = out + ": no " + kIdmlFormatName + " export provider";
  return provider && provider->exportDocument(doc, out, &message) == kSuccess;
}

int docNew(std::span<const std::string> args) {
  static const char* const kUsage =
      "usage: korvex doc new OUT [--pages N] [--size W H] [--facing] [--layer NAME]...";
  DocumentSetup setup;
  setup.layers.clear();
  std::string out;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    double n = 0, m = 0;
    if (a == "--pages") {
      if (i + 1 >= args.size() || !parseNumber(args[i + 1], n) || n < 1 || n > 100000 ||
          n != static_cast<int>(n))
        return usageError("--pages needs a whole number from 1 to 100000");
      setup.pages = static_cast<int>(n);
      ++i;
    } else if (a == "--size") {
      if (i + 2 >= args.size() || !parseNumber(args[i + 1], n) || !parseNumber(args[i + 2], m) || n <= 0 ||
          m <= 0 || n > 15552 || m > 15552)
        return usageError("--size needs width and height in points, each above 0 and at most 15552");
      setup.pageWidth = n;
      setup.pageHeight = m;
      i += 2;
    } else if (a == "--facing") {
      setup.facingPages = true;
    } else if (a == "--layer") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return usageError("--layer needs a name");
      for (const std::string& name : setup.layers)
        if (name == args[i + 1]) return usageError("layer '" + name + "' given twice");
      setup.layers.push_back(args[++i]);
    } else if (!a.empty() && a[0] == '-') {
      return usageError("unknown option '" + a + "'; " + kUsage);
    } else if (out.empty()) {
      out = a;
    } else {
      return usageError(kUsage);
    }
  }
  if (out.empty()) return usageError(kUsage);
  if (setup.layers.empty()) setup.layers.push_back("Layer 1");
  std::error_code ec;
  if (std::filesystem::exists(out, ec)) {
    std::fprintf(stderr, "korvex: %s: already exists; not overwritten\n", out.c_str());
    return kExitFailed;
  }
  auto doc = IDocument::createNew(setup);
  if (!doc) {
    std::fprintf(stderr, "korvex: %s: the document could not be made\n", out.c_str());
    return kExitFailed;
  }
  std::string message;
  if (!writeDocument(*doc, out, message)) {
    std::fprintf(stderr, "korvex: %s\n", message.c_str());
    return kExitFailed;
  }
  std::printf("%s: %d page%s, %d spread%s, layers:", out.c_str(), doc->GetPageCount(),
              doc->GetPageCount() == 1 ? "" : "s", doc->GetSpreadCount(),
              doc->GetSpreadCount() == 1 ? "" : "s");
  for (const std::string& name : setup.layers) std::printf(" %s", name.c_str());
  std::printf("\n");
  return kExitOk;
}

// The document, or null with the reason printed and the exit code set: a file
// that is no regular file (or too large to be one) is bad input, 2; a file
// that is not a document, 1.
std::unique_ptr<IDocument> loadOrReport(const std::string& path, int& exitCode) {
  DocumentLoadResult r = loadDocumentFile(path);
  if (r.error != kSuccess) {
    std::fprintf(stderr, "korvex: %s\n", r.message.c_str());
    exitCode = r.error == kFileReadError ? kExitUsage : kExitFailed;
  }
  return std::move(r.document);
}

std::string swatchName(const IDocument& doc, UID uid) {
  const Swatch* s = doc.swatch(uid);
  return s ? s->name() : "None";
}

std::string describeSwatch(const Swatch& s, const IDocument& doc) {
  if (s.kind() == SwatchKind::None) return "none";
  if (s.kind() == SwatchKind::Tint)
    return "tint " + fixed(s.tintPercent(), 0) + "% of " + swatchName(doc, s.baseSwatch());
  std::string text = s.model() == ColorModel::Spot           ? "spot"
                     : s.model() == ColorModel::Registration ? "registration"
                                                             : "process";
  text += s.space() == ColorSpace::CMYK ? " CMYK" : s.space() == ColorSpace::RGB ? " RGB" : " Lab";
  std::string values;
  for (double v : s.components())
    values += (values.empty() ? " " : "/") + (s.space() == ColorSpace::Lab ? fixed(v, 0) : fixed(v * 100, 0));
  return text + values;
}

std::string kindOf(const IDocument& doc, UID uid) {
  const IDataBase* db = doc.GetDocDataBase();
  const HostObject* o = db->object(uid);
  if (!o) return "?";
  switch (o->GetClass()) {
    case ClassID::kGroupItem: return "group";
    case ClassID::kGraphicLine: return "line";
    case ClassID::kSplineItem: {
      const auto* s = static_cast<const SplineItem*>(o);
      if (s->textContentUID() != kInvalidUID) return "text frame";
      if (s->placedContentUID() != kInvalidUID) return "picture frame";
      static const char* const kShapes[] = {"rectangle", "oval", "polygon"};
      return std::string("empty ") + kShapes[static_cast<int>(s->shape())];
    }
    default: return "item";
  }
}

std::string preview(const std::string& text, std::size_t characters) {
  std::u32string chars = utf8ToUtf32(text);
  for (char32_t& c : chars)
    if (c == U'\r' || c == U'\n' || c == U'\t' || c == 0x2028 || c == 0x2029) c = U' ';
  if (chars.size() > characters) return utf32ToUtf8(chars.substr(0, characters)) + "…";
  return utf32ToUtf8(chars);
}

const char* stateName(ILink::ResourceModificationState state) {
  switch (state) {
    case ILink::kResourceMissing: return "missing";
    case ILink::kResourceModified: return "modified";
    case ILink::kResourceNormal: break;
  }
  return "normal";
}

Json itemJson(const IDocument& doc, UID uid, const PMMatrix& spreadInverse) {
  const IDataBase* db = doc.GetDocDataBase();
  const auto* item = db->instantiate<PageItem>(uid);
  Json j = {{"uid", uid}, {"kind", kindOf(doc, uid)}};
  if (const auto b = doc.pathBounds(uid)) {
    const PMRect r = Path::rectangle(*b).bounds(spreadInverse);
    j["boundsMM"] = Json::array({std::round(r.left * kMillimetresPerPoint * 10) / 10,
                                 std::round(r.top * kMillimetresPerPoint * 10) / 10,
                                 std::round(r.right * kMillimetresPerPoint * 10) / 10,
                                 std::round(r.bottom * kMillimetresPerPoint * 10) / 10});
  }
  const GraphicAttributes& a = item->graphicAttributes();
  j["fill"] = swatchName(doc, a.fillSwatch);
  if (a.fillTint) j["fillTint"] = *a.fillTint;
  j["stroke"] = swatchName(doc, a.strokeSwatch);
  if (a.strokeSwatch != doc.noneSwatch()) j["strokeWeight"] = a.strokeWeight;
  if (!item->labels().empty()) {
    Json labels = Json::object();
    for (const auto& [k, v] : item->labels().entries()) labels[k] = v;
    j["labels"] = labels;
  }
  if (const auto* s = dynamic_cast<const SplineItem*>(item)) {
    if (const auto* mc = db->instantiate<MultiColumnItem>(s->textContentUID())) j["story"] = mc->storyUID();
    if (const auto* c = db->instantiate<PlacedContent>(s->placedContentUID()))
      if (const auto* link = db->instantiate<ILink>(c->linkUID())) j["link"] = link->resource()->path();
  }
  if (item->GetClass() == ClassID::kGroupItem) {
    Json children = Json::array();
    for (UID child : item->children()) children.push_back(itemJson(doc, child, spreadInverse));
    j["children"] = children;
  }
  return j;
}

double roundedTo(double value, double step) {
  return std::round(value / step) * step;
}

// What the host understood of a linked file: kind, pixels, resolution as
// stored and as placed, colour space, orientation, and its state.
Json linkJson(const IDocument& doc, const ILink& link) {
  const IDataBase* db = doc.GetDocDataBase();
  const LinkResource* resource = link.resource();
  const auto* content = db->instantiate<PlacedContent>(link.GetObject());
  Json j = {{"path", resource->path()}};
  const auto state = link.GetResourceModificationState();
  std::optional<std::string> why;
  if (state != ILink::kResourceMissing) why = link.undrawableReason();
  j["state"] = why ? "can't be drawn" : stateName(state);
  if (why) j["reason"] = *why;
  j["embedded"] = resource->isEmbedded();
  // A link an item holds beside its placed file's.
  if (!content || content->linkUID() != link.GetUID()) j["further"] = true;
  if (content && content->embeddedProfile()) j["embeddedProfile"] = *content->embeddedProfile();
  // A further link is judged by its file, as placing would.
  const ClassID kind = content && content->linkUID() == link.GetUID()
                           ? content->GetClass()
                           : classForPlacedFile(placedFileKind(resource->path()));
  j["kind"] = kind == ClassID::kPDFItem ? "pdf" : kind == ClassID::kEPSItem ? "eps" : "image";
  if (kind != ClassID::kImageItem || state == ILink::kResourceMissing) return j;
  if (auto header = readPictureHeader(resource->path())) {
    j["format"] = header->format;
    j["pixelWidth"] = header->shownWidth();
    j["pixelHeight"] = header->shownHeight();
    j["colorSpace"] = header->colorSpace;
    j["samples"] = header->samples;
    j["alpha"] = header->alpha;
    j["iccProfile"] = header->iccProfile;
    j["orientation"] = header->orientation;
    if (header->xResolution > 0) j["resolution"] = roundedTo(header->xResolution, 0.01);
  }
  // Effective: the pixels over the placed size on the page.
  if (content && content->imageAttributes())
    if (const auto bounds = doc.pathBounds(content->GetUID());
        bounds && bounds->width() > 0 && bounds->height() > 0) {
      const ImageAttributes& a = *content->imageAttributes();
      j["effectiveResolution"] = roundedTo(
          std::min(a.pixelWidth / (bounds->width() / 72.0), a.pixelHeight / (bounds->height() / 72.0)), 0.1);
    }
  return j;
}

Json infoJson(const IDocument& doc, const std::string& path) {
  const IDataBase* db = doc.GetDocDataBase();
  Json j = {{"file", path}, {"facingPages", doc.facingPages()}, {"pageCount", doc.GetPageCount()}};
  if (!doc.labels().empty()) {
    Json labels = Json::object();
    for (const auto& [k, v] : doc.labels().entries()) labels[k] = v;
    j["labels"] = labels;
  }
  Json layers = Json::array();
  for (int i = 1; i < doc.GetLayerCount(); ++i) {
    const IDocumentLayer* l = doc.layerAt(i);
    layers.push_back({{"name", l->GetName()},
                      {"visible", l->IsVisible()},
                      {"printable", l->IsPrintable()},
                      {"locked", l->IsLocked()},
                      {"color", l->GetColor()}});
  }
  j["layers"] = layers;
  Json spreads = Json::array();
  int pageNumber = 0;
  for (int s = 0; s < doc.GetSpreadCount(); ++s) {
    const ISpread* spread = doc.spreadAt(s);
    const PMMatrix inverse = spread->transform().inverse().value_or(PMMatrix{});
    Json pages = Json::array();
    for (const Page* p : spread->pages()) {
      pages.push_back({{"number", ++pageNumber},
                       {"name", p->name()},
                       {"widthMM", std::round(p->width() * kMillimetresPerPoint * 10) / 10},
                       {"heightMM", std::round(p->height() * kMillimetresPerPoint * 10) / 10}});
      if (const auto* m = db->instantiate<ISpread>(p->appliedMaster())) pages.back()["master"] = m->masterName();
    }
    Json items = Json::object();
    for (int i = 1; i < doc.GetLayerCount(); ++i) {
      const ISpreadLayer* sl = spread->QueryLayer(doc.layerList()[static_cast<std::size_t>(i)]);
      Json list = Json::array();
      for (UID child : sl->children()) list.push_back(itemJson(doc, child, inverse));
      items[doc.layerAt(i)->GetName()] = list;
    }
    spreads.push_back({{"index", s + 1}, {"pages", pages}, {"items", items}});
  }
  j["spreads"] = spreads;
  Json masters = Json::array();
  for (UID uid : doc.masterSpreadList()) {
    const ISpread* m = db->instantiate<ISpread>(uid);
    std::size_t items = 0;
    for (std::size_t i = 1; i < m->children().size(); ++i)
      items += db->instantiate<ISpreadLayer>(m->children()[i])->children().size();
    masters.push_back({{"name", m->masterName()}, {"pages", m->GetNumPages()}, {"items", items}});
    for (const Page* p : m->pages())
      if (const auto* parent = db->instantiate<ISpread>(p->appliedMaster())) {
        masters.back()["basedOn"] = parent->masterName();
        break;
      }
  }
  if (!masters.empty()) j["masters"] = masters;
  Json stories = Json::array();
  for (UID uid : doc.storyList()) {
    const ITextModel* story = doc.story(uid);
    stories.push_back({{"uid", uid},
                       {"characters", story->TotalLength() - 1},
                       {"frames", story->threadedFrames().size()},
                       {"preview", preview(story->text(), 60)}});
  }
  j["stories"] = stories;
  Json links = Json::array();
  for (UID uid : doc.linkList()) {
    links.push_back(linkJson(doc, *db->instantiate<ILink>(uid)));
  }
  j["links"] = links;
  Json swatches = Json::array();
  for (UID uid : doc.swatchList()) {
    const Swatch* s = doc.swatch(uid);
    swatches.push_back({{"name", s->name()}, {"description", describeSwatch(*s, doc)}});
  }
  j["swatches"] = swatches;
  Json styles = Json::object();
  const std::pair<StyleKind, const char*> kinds[] = {{StyleKind::Paragraph, "paragraph"},
                                                     {StyleKind::Character, "character"},
                                                     {StyleKind::Table, "table"},
                                                     {StyleKind::Cell, "cell"},
                                                     {StyleKind::Object, "object"}};
  for (const auto& [kind, name] : kinds) {
    Json list = Json::array();
    for (UID uid : doc.styleGroup(kind).styles()) list.push_back(db->instantiate<Style>(uid)->name());
    styles[name] = list;
  }
  j["styles"] = styles;
  return j;
}

void printItem(const Json& item, int depth) {
  std::string line(static_cast<std::size_t>(depth) * 2 + 6, ' ');
  line += item["kind"].get<std::string>();
  if (item.contains("boundsMM")) {
    const Json& b = item["boundsMM"];
    line += "  [" + fixed(b[0].get<double>()) + ", " + fixed(b[1].get<double>()) + " – " +
            fixed(b[2].get<double>()) + ", " + fixed(b[3].get<double>()) + " mm]";
  }
  line += "  fill " + item["fill"].get<std::string>();
  if (item.contains("fillTint")) line += " " + fixed(item["fillTint"].get<double>(), 0) + "%";
  line += ", stroke " + item["stroke"].get<std::string>();
  if (item.contains("strokeWeight")) line += " " + fixed(item["strokeWeight"].get<double>(), 2) + " pt";
  if (item.contains("labels"))
    for (const auto& [k, v] : item["labels"].items()) line += ", label " + k + "=" + v.get<std::string>();
  if (item.contains("link"))
    line += ", " + std::filesystem::path(item["link"].get<std::string>()).filename().string();
  std::printf("%s\n", line.c_str());
  if (item.contains("children"))
    for (const Json& child : item["children"]) printItem(child, depth + 1);
}

int docInfo(std::span<const std::string> args) {
  bool json = false;
  std::string path;
  for (const std::string& a : args) {
    if (a == "--json")
      json = true;
    else if (path.empty() && (a.empty() || a[0] != '-'))
      path = a;
    else
      return usageError("usage: korvex doc info DOC [--json]");
  }
  if (path.empty()) return usageError("usage: korvex doc info DOC [--json]");
  int exitCode = kExitOk;
  auto doc = loadOrReport(path, exitCode);
  if (!doc) return exitCode;
  const Json info = infoJson(*doc, path);
  if (json) {
    std::printf("%s\n", info.dump(2).c_str());
    return kExitOk;
  }
  std::printf("%s\n", path.c_str());
  std::printf("  %d page%s on %d spread%s%s\n", doc->GetPageCount(), doc->GetPageCount() == 1 ? "" : "s",
              doc->GetSpreadCount(), doc->GetSpreadCount() == 1 ? "" : "s",
              doc->facingPages() ? ", facing pages" : "");
  std::printf("  layers:\n");
  for (const Json& l : info["layers"])
    std::printf("    %-16s %s, %s, %s, colour %s\n", l["name"].get<std::string>().c_str(),
                l["visible"].get<bool>() ? "visible" : "hidden",
                l["printable"].get<bool>() ? "printable" : "not printable",
                l["locked"].get<bool>() ? "locked" : "unlocked", l["color"].get<std::string>().c_str());
  for (const Json& s : info["spreads"]) {
    std::printf("  spread %d:", s["index"].get<int>());
    for (const Json& p : s["pages"])
      std::printf(" page %s (%s x %s mm)", p["name"].get<std::string>().c_str(),
                  fixed(p["widthMM"].get<double>()).c_str(), fixed(p["heightMM"].get<double>()).c_str());
    std::printf("\n");
    for (const auto& [layer, items] : s["items"].items()) {
      if (items.empty()) continue;
      std::printf("    %s:\n", layer.c_str());
      for (const Json& item : items) printItem(item, 0);
    }
  }
  std::printf("  stories:\n");
  for (const Json& s : info["stories"])
    std::printf("    %u: %d characters in %zu frame%s \"%s\"\n", s["uid"].get<unsigned>(),
                s["characters"].get<int>(), s["frames"].get<std::size_t>(),
                s["frames"].get<std::size_t>() == 1 ? "" : "s", s["preview"].get<std::string>().c_str());
  std::printf("  links:\n");
  for (const Json& l : info["links"]) {
    std::string line = l["kind"].get<std::string>();
    if (l.contains("format")) line += " (" + l["format"].get<std::string>() + ")";
    if (l.contains("pixelWidth"))
      line += ", " + std::to_string(l["pixelWidth"].get<int>()) + " x " +
              std::to_string(l["pixelHeight"].get<int>()) + " pixels, " + l["colorSpace"].get<std::string>() +
              " " + l["samples"].get<std::string>();
    if (l.contains("pixelWidth"))
      line += ", " + (l.contains("resolution") ? fixed(l["resolution"].get<double>(), 0) + " ppi"
                                               : std::string("no resolution"));
    if (l.contains("effectiveResolution"))
      line += ", effective " + fixed(l["effectiveResolution"].get<double>(), 0) + " ppi";
    if (l.contains("orientation") && l["orientation"].get<int>() != 1)
      line += ", orientation " + std::to_string(l["orientation"].get<int>());
    if (l.contains("embeddedProfile")) line += ", embedded profile \"" + l["embeddedProfile"].get<std::string>() + "\"";
    line += ", " + l["state"].get<std::string>();
    if (l.contains("reason")) line += ": " + l["reason"].get<std::string>();
    std::printf("    %s: %s%s%s\n", l["path"].get<std::string>().c_str(), line.c_str(),
                l["embedded"].get<bool>() ? " (embedded)" : "", l.contains("further") ? " (further link)" : "");
  }
  std::printf("  swatches:\n");
  for (const Json& s : info["swatches"])
    std::printf("    %-20s %s\n", s["name"].get<std::string>().c_str(),
                s["description"].get<std::string>().c_str());
  std::printf("  styles:\n");
  for (const auto& [kind, names] : info["styles"].items()) {
    std::string list;
    for (const Json& n : names) list += (list.empty() ? "" : ", ") + n.get<std::string>();
    std::printf("    %s: %s\n", kind.c_str(), list.c_str());
  }
  return kExitOk;
}

int docCheck(std::span<const std::string> args) {
  if (args.size() != 1) return usageError("usage: korvex doc check DOC");
  const std::string& path = args[0];
  DocumentLoadResult loaded = loadDocumentFile(path);
  if (loaded.error != kSuccess) {
    std::fprintf(stderr, "korvex: %s\n", loaded.message.c_str());
    return loaded.error == kFileReadError ? kExitUsage : kExitFailed;
  }
  const std::unique_ptr<IDocument>& doc = loaded.document;
  const IDataBase* db = doc->GetDocDataBase();
  int warnings = 0;
  for (UID uid : doc->linkList()) {
    const auto* link = db->instantiate<ILink>(uid);
    const auto state = link->GetResourceModificationState();
    if (state != ILink::kResourceMissing)
      if (auto why = link->undrawableReason()) {
        std::printf("%s: warning: link %s: can't be drawn: %s\n", path.c_str(),
                    link->resource()->path().c_str(), why->c_str());
        ++warnings;
      }
    if (state == ILink::kResourceNormal) continue;
    std::printf("%s: warning: link %s: %s\n", path.c_str(), link->resource()->path().c_str(),
                stateName(state));
    ++warnings;
  }
  for (const std::string& font : doc->usedFontList().missingFonts()) {
    std::printf("%s: warning: font %s: missing\n", path.c_str(), font.c_str());
    ++warnings;
  }
  for (UID uid : doc->storyList())
    if (doc->story(uid)->threadedFrames().empty()) {
      std::printf("%s: warning: story %u is shown in no frame\n", path.c_str(), uid);
      ++warnings;
    }
  // What an IDML package held that the document does not.
  for (const auto& [kind, count] : loaded.unsupported) {
    std::printf("%s: warning: not supported: %s: %d\n", path.c_str(), kind.c_str(), count);
    ++warnings;
  }
  std::printf("%s: ok: %d pages, %d spreads, %zu page items, %zu stories, %zu links, %d warning%s\n",
              path.c_str(), doc->GetPageCount(), doc->GetSpreadCount(), doc->allPageItems().size(),
              doc->storyList().size(), doc->linkList().size(), warnings, warnings == 1 ? "" : "s");
  return kExitOk;
}

// Any document the host opens, written as a native document or an IDML package.
int docConvert(std::span<const std::string> args) {
  if (args.size() != 2 || args[0].empty() || args[1].empty() || args[0][0] == '-' || args[1][0] == '-')
    return usageError("usage: korvex doc convert IN OUT");
  const std::string& in = args[0];
  const std::string& out = args[1];
  std::error_code ec;
  if (std::filesystem::exists(out, ec)) {
    std::fprintf(stderr, "korvex: %s: already exists; not overwritten\n", out.c_str());
    return kExitFailed;
  }
  int exitCode = kExitOk;
  auto doc = loadOrReport(in, exitCode);
  if (!doc) return exitCode;
  std::string message;
  if (!writeDocument(*doc, out, message)) {
    std::fprintf(stderr, "korvex: %s\n", message.c_str());
    return kExitFailed;
  }
  std::printf("%s: %d page%s, %zu page items, %zu stories\n", out.c_str(), doc->GetPageCount(),
              doc->GetPageCount() == 1 ? "" : "s", doc->allPageItems().size(), doc->storyList().size());
  return kExitOk;
}

}  // namespace

int runDocCommand(std::span<const std::string> args) {
  if (args.empty()) return usageError("usage: korvex doc new|info|check|convert ...");
  const std::string& sub = args[0];
  if (sub == "new") return docNew(args.subspan(1));
  if (sub == "info") return docInfo(args.subspan(1));
  if (sub == "check") return docCheck(args.subspan(1));
  if (sub == "convert") return docConvert(args.subspan(1));
  return usageError("unknown doc command '" + sub + "' (new, info, check, convert)");
}

}  // namespace korvex::cli
