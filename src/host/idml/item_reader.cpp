#include "host/idml/item_reader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>

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
    if (a.size() != 2) return std::nullopt;
    // A corner point may leave its directions out.
    const PMPoint anchor{a[0], a[1]};
    path.points.push_back({anchor, l.size() == 2 ? PMPoint{l[0], l[1]} : anchor,
                           r.size() == 2 ? PMPoint{r[0], r[1]} : anchor});
  }
  if (path.points.empty()) return std::nullopt;
  return path;
}

std::string contentOf(xmlNodePtr node) {
  xmlChar* text = xmlNodeGetContent(node);
  std::string out = text ? reinterpret_cast<const char*>(text) : "";
  if (text) xmlFree(text);
  return out;
}

std::optional<double> number(xmlNodePtr node, const char* name) {
  const auto v = parseNumbers(attr(node, name));
  if (v.size() != 1) return std::nullopt;
  return v[0];
}

// A value IDML keeps either as an attribute or as an element of Properties.
std::string attrOrProperty(xmlNodePtr node, const char* name) {
  std::string v = attr(node, name);
  if (!v.empty()) return v;
  if (xmlNodePtr properties = childNamed(node, "Properties"))
    if (xmlNodePtr p = childNamed(properties, name)) return contentOf(p);
  return {};
}

// What a Link element says the file was like when placed. The size is
// "HIGH~LOW" in hex; LinkImportStamp ("file FILETIME SIZE") has the time in
// UTC, LinkImportModificationTime only the saving machine's local time.
struct StoredStamp {
  std::optional<std::uint64_t> size;
  std::optional<std::int64_t> seconds;  // since 1970
  bool localTime = false;
};

StoredStamp storedStamp(xmlNodePtr link) {
  StoredStamp s;
  unsigned long long high = 0, low = 0;
  char end = 0;
  if (std::sscanf(attr(link, "LinkResourceSize").c_str(), "%llx~%llx%c", &high, &low, &end) == 2 &&
      (high || low) && high < (1ull << 31) && low <= 0xffffffffull)
    s.size = (high << 32) | low;
  long long filetime = 0, size = 0;
  if (std::sscanf(attr(link, "LinkImportStamp").c_str(), "file %lld %lld%c", &filetime, &size, &end) == 2) {
    // Windows file time: 100 ns steps since 1601.
    constexpr long long kTo1970 = 11644473600LL;
    if (filetime > kTo1970 * 10000000LL) s.seconds = filetime / 10000000LL - kTo1970;
    if (!s.size && size > 0) s.size = static_cast<std::uint64_t>(size);
  }
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
  if (!s.seconds && std::sscanf(attr(link, "LinkImportModificationTime").c_str(), "%d-%d-%dT%d:%d:%d%c", &y, &mo,
                                &d, &h, &mi, &sec, &end) == 6) {
    using namespace std::chrono;
    const year_month_day date{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
    if (date.ok() && h >= 0 && h < 24 && mi >= 0 && mi < 60 && sec >= 0 && sec < 61) {
      s.seconds = sys_days{date}.time_since_epoch() / seconds(1) + h * 3600 + mi * 60 + sec;
      s.localTime = true;
    }
  }
  return s;
}

// Whether the file is still the one the package recorded, to the precision
// IDML keeps: whole seconds, and for a local time any zone of the world
// (whole quarter hours, at most 14 hours off).
bool stampAgrees(const StoredStamp& stored, const FileStamp& file) {
  if (stored.size && *stored.size != file.size) return false;
  if (!stored.seconds) return true;
  const std::int64_t fileSeconds = file.modifiedMs >= 0 ? file.modifiedMs / 1000 : (file.modifiedMs - 999) / 1000;
  const std::int64_t off = fileSeconds - *stored.seconds;
  if (!stored.localTime) return off == 0;
  return off % 900 == 0 && off >= -14 * 3600 && off <= 14 * 3600;
}

// "$ID/" marks the application's own untranslated names.
std::string displayName(std::string name) {
  if (name.rfind("$ID/", 0) == 0) name.erase(0, 4);
  return name;
}

// A story's XML elements with the text they mark.
std::vector<XMLElement> markedElements(const std::vector<StoryText::Marker>& markers, const std::u32string& text) {
  std::vector<XMLElement> out;
  for (const StoryText::Marker& m : markers) {
    XMLElement e = m.element;
    const auto from = std::min(static_cast<std::size_t>(std::max(m.start, 0)), text.size());
    const auto to = std::clamp(static_cast<std::size_t>(std::max(m.end, 0)), from, text.size());
    e.content = utf32ToUtf8(std::u32string_view(text).substr(from, to - from));
    e.children = markedElements(m.children, text);
    out.push_back(std::move(e));
  }
  return out;
}

// After grow characters more (or fewer) where at was.
void shiftMarkers(std::vector<StoryText::Marker>& markers, int at, int grow) {
  for (StoryText::Marker& m : markers) {
    if (m.start > at) m.start += grow;
    if (m.end > at) m.end += grow;
    shiftMarkers(m.children, at, grow);
  }
}

}  // namespace

void ItemReader::readDefinitions(xmlNodePtr container) {
  for (xmlNodePtr n = container->children; n; n = n->next) {
    if (named(n, "Color") || named(n, "Tint"))
      readSwatch(n);
    else if (named(n, "Story"))
      readStory(n);
  }
}

void ItemReader::readSwatch(xmlNodePtr n) {
  const std::string self = attr(n, "Self");
  std::string name = displayName(attr(n, "Name"));
  if (named(n, "Color")) {
    if (name.empty()) name = self.rfind("Color/", 0) == 0 ? self.substr(6) : self;
    if (name.empty()) return;
    const std::string ref = self.empty() ? "Color/" + name : self;
    if (Swatch* existing = doc_.findSwatch(name)) {
      refs_[ref] = existing->GetUID();
      return;
    }
    const std::string model = attr(n, "Model"), space = attr(n, "Space");
    if (model == "MixedInkModel") {
      count("mixed inks");
      return;
    }
    const ColorSpace cs = space == "RGB" ? ColorSpace::RGB : space == "LAB" ? ColorSpace::Lab : ColorSpace::CMYK;
    // IDML counts CMYK in percent and RGB in 0…255.
    const double scale = cs == ColorSpace::CMYK ? 100 : cs == ColorSpace::RGB ? 255 : 1;
    std::vector<double> values = parseNumbers(attr(n, "ColorValue"));
    for (std::size_t i = 0; i < values.size(); ++i) {
      values[i] /= scale;
      if (cs != ColorSpace::Lab) values[i] = std::clamp(values[i], 0.0, 1.0);
      else values[i] = i == 0 ? std::clamp(values[i], 0.0, 100.0) : std::clamp(values[i], -128.0, 127.0);
    }
    if (Swatch* s = doc_.createColor(name, model == "Spot" ? ColorModel::Spot : ColorModel::Process, cs, values))
      refs_[ref] = s->GetUID();
  } else {
    const UID base = swatchFor(attr(n, "BaseColor"));
    const auto percent = number(n, "TintValue");
    if (base == doc_.noneSwatch() || !percent) return;
    // Unnamed tints are named after their base and percentage by the host.
    if (Swatch* existing = name.empty() ? nullptr : doc_.findSwatch(name)) {
      refs_[self.empty() ? "Tint/" + name : self] = existing->GetUID();
      return;
    }
    Swatch* s = doc_.createTint(base, std::clamp(*percent, 0.0, 100.0), name);
    if (!s && name.empty()) {
      // The same tint twice: the host's name for it is taken already.
      const Swatch* b = doc_.swatch(base);
      char pct[32];
      std::snprintf(pct, sizeof pct, "%g", std::clamp(*percent, 0.0, 100.0));
      s = doc_.findSwatch(b->name() + " " + pct + "%");
    }
    if (s) refs_[self.empty() ? "Tint/" + name : self] = s->GetUID();
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
    if (!path || path->points.size() < 2) return kInvalidUID;
    if (path->points.size() > 2) count("lines of more than two points");
    GraphicLine* line = doc_.createGraphicLine(parent, path->points.front().anchor, path->points.back().anchor);
    if (!line) return kInvalidUID;
    if (path->points.size() == 2) line->setPath(*path);
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
    bool placed = false;
    for (xmlNodePtr c = node->children; c; c = c->next) {
      if (c->type != XML_ELEMENT_NODE) continue;
      if ((named(c, "Image") || named(c, "PDF") || named(c, "EPS")) && !placed) {
        readPlaced(c, created);
        placed = true;
      } else if (named(c, "ImportedPage") || named(c, "WMF") || named(c, "PICT") || named(c, "SVG")) {
        count("placed " + std::string(reinterpret_cast<const char*>(c->name)) + " content");
      } else if (isItem(c)) {
        count("items pasted into frames");
      }
    }
  }
  auto* item = db_->instantiate<PageItem>(created);
  readAttributes(node, *item);
  for (xmlNodePtr properties = node->children; properties; properties = properties->next)
    if (named(properties, "Properties"))
      if (xmlNodePtr label = childNamed(properties, "Label"))
        for (xmlNodePtr p = label->children; p; p = p->next)
          if (named(p, "KeyValuePair")) item->setLabel(attr(p, "Key"), attr(p, "Value"));
  if (childNamed(node, "TextPath")) count("text on a path");
  if (attr(node, "Visible") == "false") count("hidden page items (shown)");
  if (const std::string self = attr(node, "Self"); !self.empty()) items_[self] = created;
  return created;
}

bool ItemReader::isItem(xmlNodePtr n) {
  return named(n, "Group") || named(n, "GraphicLine") || named(n, "Rectangle") || named(n, "Oval") ||
         named(n, "Polygon") || named(n, "TextFrame");
}

UID ItemReader::swatchFor(const std::string& ref) {
  if (ref.empty() || ref == "Swatch/None" || ref == "n") return doc_.noneSwatch();
  if (auto it = refs_.find(ref); it != refs_.end()) return it->second;
  if (ref.rfind("Gradient/", 0) == 0) {
    count("gradients (drawn as None)");
    return doc_.noneSwatch();
  }
  const auto slash = ref.find('/');
  if (Swatch* s = doc_.findSwatch(slash == std::string::npos ? ref : ref.substr(slash + 1))) return s->GetUID();
  return doc_.noneSwatch();
}

UID ItemReader::styleFor(const std::string& ref) const {
  auto it = styles_.find(ref);
  return it == styles_.end() ? kInvalidUID : it->second;
}

void ItemReader::readAttributes(xmlNodePtr node, PageItem& item) {
  GraphicAttributes a = item.graphicAttributes();
  a.fillSwatch = swatchFor(attr(node, "FillColor"));
  a.strokeSwatch = swatchFor(attr(node, "StrokeColor"));
  if (auto v = number(node, "FillTint"); v && *v >= 0) a.fillTint = std::min(*v, 100.0);
  if (auto v = number(node, "StrokeTint"); v && *v >= 0) a.strokeTint = std::min(*v, 100.0);
  if (auto v = number(node, "StrokeWeight"); v && *v >= 0) a.strokeWeight = *v;
  const std::string align = attr(node, "StrokeAlignment");
  a.strokeAlignment = align == "InsideAlignment"    ? StrokeAlignment::Inside
                      : align == "OutsideAlignment" ? StrokeAlignment::Outside
                                                    : StrokeAlignment::Center;
  if (auto v = number(node, "CornerRadius"); v && *v >= 0) a.cornerRadius = *v;
  // Per-corner options: rounded corners of one radius are what the model holds.
  const std::string option = attr(node, "TopLeftCornerOption");
  if (!option.empty() && option != "None") {
    if (option == "RoundedCorner") {
      if (auto v = number(node, "TopLeftCornerRadius"); v && *v >= 0) a.cornerRadius = *v;
    } else {
      count("corner effects other than rounded");
    }
  }
  a.nonPrinting = attr(node, "Nonprinting") == "true";
  item.setGraphicAttributes(a);
  const std::string style = attr(node, "AppliedObjectStyle");
  if (style.rfind("ObjectStyle/", 0) == 0) item.setObjectStyle(displayName(style.substr(12)));
  if (xmlNodePtr wrap = childNamed(node, "TextWrapPreference")) {
    const std::string mode = attr(wrap, "TextWrapMode");
    TextWrapSettings w;
    w.mode = mode == "BoundingBoxTextWrap"  ? TextWrapMode::BoundingBox
             : mode == "Contour"            ? TextWrapMode::Contour
             : mode == "JumpObjectTextWrap" ? TextWrapMode::JumpObject
             : mode == "NextColumnTextWrap" ? TextWrapMode::NextColumn
                                            : TextWrapMode::None;
    w.inverted = attr(wrap, "Inverse") == "true";
    w.ignoredByTextBeneath = attr(wrap, "ApplyToMasterPageOnly") == "true";
    if (xmlNodePtr props = childNamed(wrap, "Properties"))
      if (xmlNodePtr o = childNamed(props, "TextWrapOffset"))
        w.offsets = {number(o, "Left").value_or(0), number(o, "Top").value_or(0), number(o, "Right").value_or(0),
                     number(o, "Bottom").value_or(0)};
    if (w.mode != TextWrapMode::None) item.setTextWrap(w);
  }
  for (const char* effect : {"TransparencySetting", "StrokeTransparencySetting", "FillTransparencySetting",
                             "ContentTransparencySetting"})
    if (xmlNodePtr t = childNamed(node, effect); t && t->children) {
      count("effects and transparency");
      break;
    }
}

void ItemReader::readText(xmlNodePtr node, UID frame) {
  const std::string storyID = attr(node, "ParentStory");
  xmlNodePtr preferences = childNamed(node, "TextFramePreference");
  if (deferThreads_) {
    pending_.push_back({frame, attr(node, "Self"), attr(node, "PreviousTextFrame"), storyID, preferences});
    return;
  }
  makeTextFrame(frame, storyID, preferences);
}

void ItemReader::makeTextFrame(UID frame, const std::string& storyID, xmlNodePtr pref) {
  const UID story = storyFor(storyID, frame);
  MultiColumnItem* mc = nullptr;
  if (doc_.makeTextFrame(frame, story, &mc) != kSuccess || !mc) return;
  if (story == kInvalidUID) stories_[storyID] = mc->storyUID();
  if (!pref) return;
  TextFrameSettings t = mc->settings();
  if (auto v = number(pref, "TextColumnCount"); v && *v >= 1 && *v <= 40) t.columnCount = static_cast<int>(*v);
  if (auto v = number(pref, "TextColumnGutter"); v && *v >= 0) t.gutter = *v;
  if (auto v = parseNumbers(attr(pref, "InsetSpacing")); v.size() == 4)
    t.inset = {v[1], v[0], v[3], v[2]};
  else if (v.size() == 1)
    t.inset = {v[0], v[0], v[0], v[0]};
  const std::string vj = attr(pref, "VerticalJustification");
  t.verticalJustification = vj == "CenterAlign"    ? VerticalJustification::Center
                            : vj == "BottomAlign"  ? VerticalJustification::Bottom
                            : vj == "JustifyAlign" ? VerticalJustification::Justify
                                                   : VerticalJustification::Top;
  mc->setSettings(t);
}

UID ItemReader::storyFor(const std::string& id, UID frame) {
  if (auto it = stories_.find(id); it != stories_.end()) return it->second;
  auto pending = storyTexts_.find(id);
  if (pending == storyTexts_.end()) return kInvalidUID;
  ITextModel* model = doc_.createStory();
  if (!model) return kInvalidUID;
  stories_[id] = model->GetUID();
  StoryText text = std::move(pending->second);
  storyTexts_.erase(pending);
  resolvePageNumbers(text, frame);
  storyMarkers_[id] = markedElements(text.markers, text.text);
  fillStory(*model, text);
  return model->GetUID();
}

// Page numbers become the name of the page under the story's first frame.
// The host's text has no character that would follow the page it is drawn
// on, so a master's page numbers, which show a different page each time,
// are left out and counted.
void ItemReader::resolvePageNumbers(StoryText& text, UID frame) {
  if (text.pageNumbers.empty()) return;
  std::u32string name;
  const UID spread = frame == kInvalidUID ? kInvalidUID : doc_.spreadOf(frame);
  const auto& masters = doc_.masterSpreadList();
  if (spread != kInvalidUID && std::find(masters.begin(), masters.end(), spread) != masters.end())
    count("page numbers on master pages", static_cast<int>(text.pageNumbers.size()));
  else if (const auto* page = db_->instantiate<Page>(frame == kInvalidUID ? kInvalidUID : doc_.pageOf(frame)))
    name = utf8ToUtf32(page->name());
  else
    count("page numbers off the pages", static_cast<int>(text.pageNumbers.size()));
  const int grow = static_cast<int>(name.size()) - 1;
  for (auto it = text.pageNumbers.rbegin(); it != text.pageNumbers.rend(); ++it) {
    const int at = *it;
    text.text.replace(static_cast<std::size_t>(at), 1, name);
    for (StoryText::Run& r : text.runs) {
      if (r.start > at) r.start += grow;
      else if (r.start + r.length > at) r.length += grow;
    }
    for (auto& anchored : text.anchored)
      if (anchored.first > at) anchored.first += grow;
    shiftMarkers(text.markers, at, grow);
  }
  std::erase_if(text.runs, [](const StoryText::Run& r) { return r.length <= 0; });
  text.pageNumbers.clear();
}

void ItemReader::finishStories() {
  // Frames that anchored items bring along join the list while it is worked through.
  while (!pending_.empty()) {
    std::vector<PendingFrame> frames = std::move(pending_);
    pending_.clear();
    std::map<std::string, std::vector<const PendingFrame*>> byStory;
    for (const PendingFrame& f : frames) byStory[f.story].push_back(&f);
    for (auto& [story, list] : byStory) {
      // Heads first (no previous frame among them), each followed by its successors.
      std::map<std::string, const PendingFrame*> after;
      std::set<std::string> selves;
      for (const PendingFrame* f : list) selves.insert(f->self);
      std::vector<const PendingFrame*> ordered;
      for (const PendingFrame* f : list)
        if (!f->previous.empty() && f->previous != "n" && selves.count(f->previous) && f->previous != f->self)
          after.emplace(f->previous, f);
      std::set<const PendingFrame*> done;
      for (const PendingFrame* f : list) {
        if (after.count(f->previous) == 0 || !selves.count(f->previous)) {
          for (const PendingFrame* g = f; g && done.insert(g).second;) {
            ordered.push_back(g);
            auto next = after.find(g->self);
            g = next == after.end() ? nullptr : next->second;
          }
        }
      }
      for (const PendingFrame* f : list)  // a thread that loops has no head
        if (done.insert(f).second) ordered.push_back(f);
      for (const PendingFrame* f : ordered) makeTextFrame(f->frame, f->story, f->preferences);
    }
  }
  for (const std::string& id : storyOrder_)
    if (storyTexts_.count(id)) (void)storyFor(id);
}

void ItemReader::readPlaced(xmlNodePtr node, UID frame) {
  const ClassID kind = named(node, "PDF")   ? ClassID::kPDFItem
                       : named(node, "EPS") ? ClassID::kEPSItem
                                            : ClassID::kImageItem;
  PMRect bounds;
  if (xmlNodePtr properties = childNamed(node, "Properties"))
    if (xmlNodePtr gb = childNamed(properties, "GraphicBounds")) {
      const auto l = number(gb, "Left"), t = number(gb, "Top"), r = number(gb, "Right"), b = number(gb, "Bottom");
      if (l && t && r && b) bounds = {*l, *t, *r, *b};
    }
  PlacedContent* c = doc_.createPlacedContent(frame, kind, bounds);
  if (!c) return;
  c->setTransform(parseMatrix(attr(node, "ItemTransform")));
  GraphicAttributes a;
  a.fillSwatch = doc_.noneSwatch();
  a.strokeSwatch = doc_.noneSwatch();
  c->setGraphicAttributes(a);
  if (xmlNodePtr link = childNamed(node, "Link")) {
    const std::string path = linkPath(attr(link, "LinkResourceURI"));
    if (!path.empty())
      if (ILink* l = doc_.createLink(c->GetUID(), path)) recordStoredStamp(*l, link);
    if (kind == ClassID::kImageItem) c->setImageAttributes(readImageAttributes(path));
  } else {
    count("embedded pictures without a link");
  }
}

// The package's record of the file becomes the link's, so a file changed
// since the package was saved shows as modified. Where it agrees with the
// file, the file's exact stamp is kept: IDML stores less precision than the
// host compares. Nothing stored: the file as it is now.
void ItemReader::recordStoredStamp(ILink& link, xmlNodePtr element) {
  LinkResource* resource = link.resource();
  const StoredStamp stored = storedStamp(element);
  if (!resource || (!stored.size && !stored.seconds)) return;
  const auto now = stampOfFile(resource->path());
  if (now && stampAgrees(stored, *now)) return;
  FileStamp recorded = now.value_or(FileStamp{});
  if (stored.size) recorded.size = *stored.size;
  if (stored.seconds) recorded.modifiedMs = *stored.seconds * 1000;
  resource->restore(resource->path(), recorded, false, {});
}

// file: URIs as the application writes them: "file:///abs", "file:/abs",
// "file://host/abs", percent-encoded, or a path relative to the package. A
// file that isn't where the URI says is looked for beside the package and in
// its Links folder, as the application does; not found, the link keeps the
// URI's path and is missing.
std::string ItemReader::linkPath(const std::string& uri) const {
  std::string rest = uri;
  if (rest.rfind("file:", 0) == 0) {
    rest.erase(0, 5);
    if (rest.rfind("//", 0) == 0) {
      const auto slash = rest.find('/', 2);
      rest = slash == std::string::npos ? std::string() : rest.substr(slash);
    }
  }
  const std::string path = URIUtils::percentDecoded(rest);
  if (path.empty() || path.find('\0') != std::string::npos) return {};
  namespace fs = std::filesystem;
  std::error_code ec;
  const bool relative = path[0] != '/';
  if (!relative && fs::is_regular_file(path, ec)) return path;
  // A snippet has no folder of its own: only absolute paths mean a file.
  if (linkFolder_.empty()) return relative ? std::string() : path;
  const fs::path base(linkFolder_);
  if (relative && fs::is_regular_file(base / path, ec)) return (base / path).lexically_normal().string();
  // Windows paths from another machine: their last component is the name.
  const std::string fileName = fs::path(path).filename().string();
  const std::string leaf = fileName.substr(fileName.find_last_of('\\') == std::string::npos
                                               ? 0
                                               : fileName.find_last_of('\\') + 1);
  if (!leaf.empty())
    for (const fs::path& candidate : {base / "Links" / leaf, base / leaf})
      if (fs::is_regular_file(candidate, ec)) return candidate.string();
  return relative ? (base / path).lexically_normal().string() : path;
}

void ItemReader::readStory(xmlNodePtr story) {
  const std::string id = attr(story, "Self");
  StoryText text;
  readRange(story, text, {});
  if (!storyTexts_.count(id) && !stories_.count(id)) storyOrder_.push_back(id);
  storyTexts_[id] = std::move(text);
}

std::vector<std::pair<AttributeClass, AttributeValue>> ItemReader::characterValues(xmlNodePtr a) {
  std::vector<std::pair<AttributeClass, AttributeValue>> values;
  if (const std::string fill = attr(a, "FillColor"); !fill.empty())
    values.emplace_back(AttributeClass::kTextColor, swatchFor(fill));
  if (auto v = number(a, "FillTint"); v && *v >= 0) values.emplace_back(AttributeClass::kTextTint, *v);
  if (const std::string font = attrOrProperty(a, "AppliedFont"); !font.empty())
    values.emplace_back(AttributeClass::kFontFamily, font);
  if (const std::string style = attr(a, "FontStyle"); !style.empty())
    values.emplace_back(AttributeClass::kFontStyle, style);
  if (auto v = number(a, "PointSize"); v && *v > 0) values.emplace_back(AttributeClass::kPointSize, *v);
  // Paragraph attributes on either kind of range, in the host's own names.
  // The application writes leading into Properties; snippets as an attribute.
  if (const std::string leading = attrOrProperty(a, "Leading"); leading == "Auto")
    values.emplace_back(AttributeClass::kLeading, std::string("auto"));
  else if (const auto v = parseNumbers(leading); v.size() == 1 && v[0] > 0)
    values.emplace_back(AttributeClass::kLeading, v[0]);
  if (const std::string j = attr(a, "Justification"); !j.empty())
    values.emplace_back(AttributeClass::kAlignment, std::string(j.find("Justified") != std::string::npos ? "justify"
                                                                : j == "CenterAlign"                ? "center"
                                                                : j == "RightAlign" || j == "AwayFromBindingSide"
                                                                    ? "right"
                                                                    : "left"));
  const std::pair<const char*, AttributeClass> lengths[] = {
      {"FirstLineIndent", AttributeClass::kFirstLineIndent}, {"LeftIndent", AttributeClass::kLeftIndent},
      {"RightIndent", AttributeClass::kRightIndent},         {"SpaceBefore", AttributeClass::kSpaceBefore},
      {"SpaceAfter", AttributeClass::kSpaceAfter},           {"Tracking", AttributeClass::kTracking}};
  for (const auto& [name, cls] : lengths)
    if (auto v = number(a, name); v && *v >= -5000 && *v <= 5000) values.emplace_back(cls, *v);
  if (const std::string c = attr(a, "Capitalization"); !c.empty())
    values.emplace_back(AttributeClass::kCapitalization, std::string(c == "AllCaps"                            ? "allCaps"
                                                                     : c == "SmallCaps" || c == "CapToSmallCap" ? "smallCaps"
                                                                                                                : "normal"));
  if (UID s = styleFor(attr(a, "AppliedCharacterStyle")); s != kInvalidUID)
    values.emplace_back(AttributeClass::kCharacterStyle, s);
  if (UID s = styleFor(attr(a, "AppliedParagraphStyle")); s != kInvalidUID)
    values.emplace_back(AttributeClass::kParagraphStyle, s);
  return values;
}

// Walks a story's ranges in text order; values are those of the enclosing
// ranges, inner ones last so that they win.
void ItemReader::readRange(xmlNodePtr node, StoryText& out,
                           std::vector<std::pair<AttributeClass, AttributeValue>> values) {
  if (named(node, "ParagraphStyleRange") || named(node, "CharacterStyleRange")) {
    auto own = characterValues(node);
    values.insert(values.end(), own.begin(), own.end());
  }
  const auto append = [&](std::u32string text) {
    if (text.empty()) return;
    if (!values.empty()) out.runs.push_back({static_cast<int>(out.text.size()), static_cast<int>(text.size()), values});
    out.text += text;
  };
  for (xmlNodePtr c = node->children; c; c = c->next) {
    if (c->type == XML_PI_NODE) {
      if (xmlStrcmp(c->name, xmlChars("ACE")) != 0) continue;
      const std::string code = c->content ? reinterpret_cast<const char*>(c->content) : "";
      const auto n = parseNumbers(code);
      const int ace = n.size() == 1 ? static_cast<int>(n[0]) : -1;
      if (ace == 8) {
        append(U"\t");  // right indent tab
      } else if (ace == 7 || ace == 3) {
        // indent to here, end nested style here: nothing to show
      } else if (ace == 18) {
        // The page number: the page's name once the story's frame is known.
        out.pageNumbers.push_back(static_cast<int>(out.text.size()));
        append(std::u32string(1, kPageNumberMark));
      } else if (ace == 19) {
        count("section markers");
      } else {
        count("special characters <?ACE " + code + "?>");
      }
      continue;
    }
    if (c->type != XML_ELEMENT_NODE) continue;
    if (named(c, "XMLElement")) {
      readMarker(c, out, values);
    } else if (named(c, "XMLAttribute")) {
      continue;  // read with its element
    } else if (named(c, "Content")) {
      std::u32string text = utf8ToUtf32(contentOf(c));
      // Anchors and end marks belong to the host's own bookkeeping.
      std::erase(text, kTextChar_ObjectReplacement);
      std::erase(text, kTextChar_EndOfStory);
      append(std::move(text));
    } else if (named(c, "Br")) {
      append(U"\r");
    } else if (named(c, "ParagraphStyleRange") || named(c, "CharacterStyleRange") ||
               named(c, "HyperlinkTextSource") || named(c, "HyperlinkTextDestination") ||
               named(c, "Change") || named(c, "CrossReferenceSource")) {
      if (named(c, "Change") && attr(c, "ChangeType") == "DeletedText") continue;
      readRange(c, out, values);
    } else if (isItem(c)) {
      out.anchored.emplace_back(static_cast<int>(out.text.size()), c);
      append(std::u32string(1, kTextChar_ObjectReplacement));
    } else if (named(c, "TextVariableInstance")) {
      append(utf8ToUtf32(attr(c, "ResultText")));
    } else if (named(c, "Table")) {
      count("tables (cell text kept)");
      // Cells are listed row by row after the column and row definitions.
      int row = -1;
      std::u32string cells;
      for (xmlNodePtr cell = c->children; cell; cell = cell->next) {
        if (!named(cell, "Cell")) continue;
        const auto colon = attr(cell, "Name").find(':');
        const auto r = parseNumbers(colon == std::string::npos ? "" : attr(cell, "Name").substr(colon + 1));
        const int thisRow = r.size() == 1 ? static_cast<int>(r[0]) : row;
        if (row != -1) append(thisRow != row ? U"\r" : U"\t");
        row = thisRow;
        readRange(cell, out, values);
      }
      if (row != -1) append(U"\r");
    } else if (named(c, "Footnote")) {
      count("footnotes");
    } else if (named(c, "Note")) {
      count("notes");
    } else if (named(c, "Properties") || named(c, "StoryPreference") || named(c, "InCopyExportOption")) {
      continue;
    } else if (named(c, "Cell") || named(c, "Row") || named(c, "Column")) {
      continue;
    } else {
      count("story content <" + std::string(reinterpret_cast<const char*>(c->name)) + ">");
    }
  }
}

// An element of the XML structure around text of the story: it keeps the
// text it marks, and its attributes and inner elements.
void ItemReader::readMarker(xmlNodePtr node, StoryText& out,
                            const std::vector<std::pair<AttributeClass, AttributeValue>>& values) {
  StoryText::Marker m;
  m.element.tag = tagName(attr(node, "MarkupTag"));
  for (xmlNodePtr a = node->children; a; a = a->next)
    if (named(a, "XMLAttribute")) m.element.attributes.emplace_back(attr(a, "Name"), attr(a, "Value"));
  std::vector<StoryText::Marker>* outer = out.markerTarget;
  out.markerTarget = &m.children;
  m.start = static_cast<int>(out.text.size());
  readRange(node, out, values);
  m.end = static_cast<int>(out.text.size());
  out.markerTarget = outer;
  (outer ? *outer : out.markers).push_back(std::move(m));
}

std::string ItemReader::tagName(std::string tag) {
  if (tag.rfind("XMLTag/", 0) == 0) tag.erase(0, 7);
  tag = URIUtils::percentDecoded(tag);
  return tag.empty() ? "Root" : tag;
}

// The whole text goes in first so that no range inherits its neighbour's attributes.
void ItemReader::fillStory(ITextModel& model, const StoryText& story) {
  if (story.text.empty() || model.setCharacters(story.text) != kSuccess) return;
  for (const StoryText::Run& r : story.runs)
    if (r.length > 0) (void)model.ApplyAttributes(r.start, r.length, r.values);
  for (const auto& [position, node] : story.anchored) {
    InlineItem* inl = doc_.createInlineItem(model.GetUID(), position);
    if (!inl) continue;
    // The anchor places the item: its top-left corner goes to the anchor's origin.
    const UID item = readItem(node, inl->GetUID(), TransformSpace::Parent);
    auto* p = db_->instantiate<PageItem>(item);
    const auto bounds = doc_.pathBounds(item);
    if (!p || !bounds) continue;
    const PMMatrix toInline = inl->innerToPasteboard().inverse().value_or(PMMatrix{});
    const PMRect r = Path::rectangle(*bounds).bounds(toInline);
    p->setTransform(PMMatrix::translation(-r.left, -r.top) * p->transform());
  }
}

}  // namespace korvex::idml
