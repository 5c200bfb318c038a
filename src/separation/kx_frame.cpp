#include "separation/kx_frame.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "actions/pdf_colour_test.h"
#include "docmodel/documents.h"
#include "docmodel/frame_content.h"
#include "docmodel/frames.h"
#include "docmodel/styles_colors_pages.h"
#include "docmodel/traversal.h"
#include "foundation/format.h"
#include "host/document.h"

namespace korvex {

namespace {

DictPtr& logoTable() {
  static DictPtr table;
  return table;
}

bool logoListHolds(const char* key, const std::string& name) {
  const DictPtr& table = logoTable();
  if (!table) return false;
  const ArrayPtr names = table->get(key).array();
  if (!names) return false;
  for (const Value& v : *names)
    if (const std::string* s = v.string(); s && *s == name) return true;
  return false;
}

std::string lastPathComponent(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

std::string percentText(double tint) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, " (%.0f%%)", tint);
  return buffer;
}

bool isBlankText(const std::u32string& text) {
  for (char32_t c : text)
    if (c != U' ' && c != U'\t' && c != U'\r' && c != U'\n' && c != 0x0B && c != 0x0C && c != 0xA0 &&
        c != 0x2028 && c != 0x2029)
      return false;
  return true;
}

// The swatch's name ("None" for no swatch) and its UID when it carries colour data.
std::pair<std::string, int> swatchFacts(IDataBase* database, UID swatch) {
  std::string name = swatchName(database, swatch).value_or("None");
  const int data = colorDataForSwatch(database, swatch) ? static_cast<int>(swatch) : 0;
  return {std::move(name), data};
}

}  // namespace

void setLogos(const DictPtr& logos) {
  logoTable() = logos ? Value(logos).deepCopy().dictionary() : nullptr;
}

bool colorIsColor(IDataBase* database, int colorDataUID, const std::string& name) {
  if (name == "Black") return false;
  if (name == "Paper") return true;
  if (!database || colorDataUID == 0) return false;
  const auto data = colorDataForSwatch(database, static_cast<UID>(colorDataUID));
  if (!data) return false;
  if (data->space == static_cast<int>(ColorSpace::CMYK) && data->components.size() == 4)
    return data->components[0] != 0 || data->components[1] != 0 || data->components[2] != 0;
  return true;
}

std::optional<PMPoint> firstPageOrigin(IDataBase* database) {
  IDocument* document = database ? documentForDataBase(database) : nullptr;
  if (!document || document->GetPageCount() == 0) return std::nullopt;
  const PMRect page = pageRectForDoc(document, 0, 0);
  return PMPoint{page.left, page.top};
}

KXFrame::KXFrame(const UIDRef& frame) : _database(frame.GetDataBase()), _frameUID(frame.GetUID()) {
  setup(frame, firstPageOrigin(_database));
}

KXFrame::KXFrame(const UIDRef& frame, const std::optional<PMPoint>& origin)
    : _database(frame.GetDataBase()), _frameUID(frame.GetUID()) {
  setup(frame, origin);
}

void KXFrame::setup(const UIDRef& frame, const std::optional<PMPoint>& origin) {
  // An empty frame (neither text nor placed content) is decided by its colours like any other.
  if (isTextFrame(frame))
    _type = kText;
  else if (isGraphicsFrame(frame) && getChildRef(frame).isValid())
    _type = kGraphics;
  else if (isLineFrame(frame))
    _type = kLine;
  else if (isGroupFrame(frame))
    _type = kGroup;

  PMRect r = boundsForFrame(frame, 0);
  if (origin) {
    r.left -= origin->x;
    r.right -= origin->x;
    r.top -= origin->y;
    r.bottom -= origin->y;
  }
  _bounds = {static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right - r.left),
             static_cast<float>(r.bottom - r.top)};
  if (_bounds.width == 0)
    _bounds.width = 0.1f;
  else if (_bounds.height == 0)
    _bounds.height = 0.1f;

  _layerUID = spreadLayerUIDForFrame(frame);
  _docLayerUID = docLayerUIDForFrame(frame);
  _layerName = layerNameForFrame(frame).value_or("");
  setupFillAndStrokeColor();
  if (_type == kText) setupText();
  if (_type == kGraphics) setupGraphics();
}

UIDRef KXFrame::childRef() const {
  return getChildRef(frameRef());
}

void KXFrame::setupFillAndStrokeColor() {
  auto* item = _database ? _database->instantiate<PageItem>(_frameUID) : nullptr;
  if (!item) return;
  const GraphicAttributes& a = item->graphicAttributes();
  _strokeColorTint = a.strokeTint ? static_cast<float>(*a.strokeTint) : -1;
  _fillColorTint = a.fillTint ? static_cast<float>(*a.fillTint) : -1;
  std::tie(_strokeColorName, _strokeColorUID) = swatchFacts(_database, a.strokeSwatch);
  std::tie(_fillColorName, _fillColorUID) = swatchFacts(_database, a.fillSwatch);
}

void KXFrame::setupContentColor(const UIDRef& content) {
  auto* item =
      content.GetDataBase() ? content.GetDataBase()->instantiate<PageItem>(content.GetUID()) : nullptr;
  if (!item) return;
  std::tie(_contentColorName, _contentColorUID) =
      swatchFacts(_database, item->graphicAttributes().fillSwatch);
}

void KXFrame::setupText() {
  const UIDRef story = storyForFrame(frameRef());
  _storyUID = story.GetUID();
  // What this frame shows: from its first column's start over all its columns.
  if (auto* frame = _database->instantiate<SplineItem>(_frameUID))
    if (auto* columns = _database->instantiate<IHierarchy>(frame->textContentUID())) {
      bool first = true;
      for (UID c : columns->children())
        if (auto* column = _database->instantiate<TextColumn>(c)) {
          if (first) _textStart = column->TextStart();
          first = false;
          _textSpan += column->TextSpan();
        }
    }
  auto* model = story.isValid() ? _database->instantiate<ITextModel>(story.GetUID()) : nullptr;
  if (!model || model->TotalLength() < 2) return;
  const std::u32string& chars = model->characters();
  const std::u32string_view body(chars.data(), chars.size() - 1);
  if (isBlankText(std::u32string(body))) return;
  _text = utf32ToUtf8(body);
}

void KXFrame::setupGraphics() {
  const UIDRef content = childRef();
  _path = pathForFrame(content).value_or(pathForFrame(frameRef()).value_or(""));
  const std::string name = lastPathComponent(_path);
  auto* placed = content.isValid() ? _database->instantiate<PlacedContent>(content.GetUID()) : nullptr;
  if (logoListHolds("bw", name))
    _colorSpace = kSpaceGrey;
  else if (logoListHolds("color", name))
    _colorSpace = kSpaceColor;
  else if (placed && placed->imageAttributes())
    _colorSpace = placed->imageAttributes()->colorSpace == ImageColorSpace::Grey ? kSpaceGrey : kSpaceColor;
  else if (placed && placed->GetClass() == ClassID::kEPSItem)
    _colorSpace = kSpaceColor;
  else
    _colorSpace = colorSpaceForDoc(_path);  // placed PDFs: drawn and looked at
  setupContentColor(content);
  if (_colorSpace == kSpaceGrey && colorIsColor(_database, _contentColorUID, _contentColorName))
    _colorSpace = kSpaceColor;
}

bool KXFrame::isEmpty() const {
  switch (_type) {
    case kOther: return true;
    case kText: return _text.empty();
    default: return false;
  }
}

bool KXFrame::sharesAreaWithFrame(const KXFrame* other) const {
  const MyRect b = other ? other->_bounds : MyRect{};
  const MyRect& a = _bounds;
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height &&
         a.width > 0 && a.height > 0 && b.width > 0 && b.height > 0;
}

std::string KXFrame::typeDescription() const {
  if (_type == kGroup) return "GRUP";
  if (_type == kLine) return "LINE";
  return "????";
}

std::string KXFrame::colorStr(int colorDataUID, const std::string& name, float tint) const {
  std::string out;
  if (name == "None" || name == "Black" || name == "Paper") {
    out = name;
  } else if (auto data = colorDataUID ? colorDataForSwatch(_database, static_cast<UID>(colorDataUID))
                                      : std::nullopt) {
    if (data->space == 8) {
      out = "ICC";
    } else if (data->space == static_cast<int>(ColorSpace::CMYK) && data->components.size() == 4) {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, "%ld/%ld/%ld/%ld", std::lround(data->components[0] * 100),
                    std::lround(data->components[1] * 100), std::lround(data->components[2] * 100),
                    std::lround(data->components[3] * 100));
      out = buffer;
    } else if (data->space == static_cast<int>(ColorSpace::RGB)) {
      out = "RGB";
    }
  }
  if (tint >= 0) out += percentText(tint);
  return out;
}

std::string KXFrame::generalDescription() const {
  const double mm = 25.4 / 72;
  char bounds[160];
  std::snprintf(bounds, sizeof bounds, "bounds: [%.0f, %.0f, %.0f, %.0f]", _bounds.x * mm, _bounds.y * mm,
                _bounds.width * mm, _bounds.height * mm);
  return std::string(bounds) + ", layer: " + _layerName +
         ", stroke: " + colorStr(_strokeColorUID, _strokeColorName, _strokeColorTint) +
         ", fill: " + colorStr(_fillColorUID, _fillColorName, _fillColorTint);
}

std::string KXFrame::textDescription() const {
  std::u32string head = utf8ToUtf32(_text);
  if (head.size() > 10) head.resize(10);
  for (char32_t& c : head)
    if (c == U'\r') c = U' ';
  char span[64];
  std::snprintf(span, sizeof span, " [%d %d]", _textStart, _textSpan);
  return "'" + utf32ToUtf8(head) + "'" + span;
}

std::string KXFrame::spaceDescription() const {
  const char* space = _colorSpace == kSpaceGrey    ? "space: gray"
                      : _colorSpace == kSpaceColor ? "space: color"
                                                   : "space: unknown";
  return std::string(space) + ", contentColor: " + _contentColorName;
}

std::string KXFrame::description() const {
  if (_type == kText) return "TEXT: " + generalDescription() + ", " + textDescription();
  if (_type == kGraphics)
    return "PICT: " + generalDescription() + ", '" + lastPathComponent(_path) + "', " + spaceDescription();
  return typeDescription() + ": " + generalDescription();
}

std::string describeFrames(const std::vector<const KXFrame*>& frames) {
  std::string out = "(\n";
  for (std::size_t i = 0; i < frames.size(); ++i) {
    out += "    " + frames[i]->description();
    out += i + 1 < frames.size() ? ",\n" : "\n";
  }
  return out + ")";
}

}  // namespace korvex
