#include "host/output/pdf_device.h"

#include <hb-subset.h>
#include <hb.h>
#include <podofo/podofo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

namespace korvex {

using namespace PoDoFo;

std::string pdfNumber(double value) {
  if (!std::isfinite(value)) value = 0;
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.4f", value);
  std::string text(buffer);
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  if (text == "-0" || text.empty()) text = "0";
  return text;
}

namespace {

struct FontEntry {
  std::shared_ptr<FontFace> face;
  std::string resourceName;
  PdfObject* type0 = nullptr;
  std::set<unsigned> glyphs;
  std::map<unsigned, std::u32string> unicode;
};

struct ColorSpaceEntry {
  std::string resourceName;
  PdfReference reference;
};

std::string matrixText(const PMMatrix& m) {
  return pdfNumber(m.a) + " " + pdfNumber(m.b) + " " + pdfNumber(m.c) + " " + pdfNumber(m.d) + " " +
         pdfNumber(m.tx) + " " + pdfNumber(m.ty) + " cm\n";
}

PdfArray rectArray(double left, double bottom, double right, double top) {
  PdfArray a;
  a.push_back(PdfObject(left));
  a.push_back(PdfObject(bottom));
  a.push_back(PdfObject(right));
  a.push_back(PdfObject(top));
  return a;
}

PdfArray numbers(const std::vector<double>& values) {
  PdfArray a;
  for (double v : values) a.push_back(PdfObject(v));
  return a;
}

std::string hex4(unsigned value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%04X", value & 0xFFFF);
  return buffer;
}

std::string utf16Hex(const std::u32string& text) {
  std::string out;
  for (char32_t c : text) {
    if (c >= 0x10000) {
      const char32_t v = c - 0x10000;
      out += hex4(0xD800 + (v >> 10)) + hex4(0xDC00 + (v & 0x3FF));
    } else {
      out += hex4(c);
    }
  }
  return out;
}

EPdfVersion versionOf(const std::string& text) {
  if (text == "1.3") return ePdfVersion_1_3;
  if (text == "1.4") return ePdfVersion_1_4;
  if (text == "1.5") return ePdfVersion_1_5;
  if (text == "1.7") return ePdfVersion_1_7;
  return ePdfVersion_1_6;
}

}  // namespace

struct PdfDevice::State {
  PdfDocumentInfo info;
  PdfMemDocument doc;
  PdfPage* page = nullptr;
  std::string content;
  PMRect trim;
  std::string error;
  int pages = 0;

  std::map<const FontFace*, FontEntry> fonts;
  std::map<std::string, ColorSpaceEntry> colorSpaces;
  std::map<const ImageData*, std::pair<std::string, PdfReference>> images;
  std::map<std::string, std::unique_ptr<PdfMemDocument>> sources;
  std::map<std::string, std::pair<std::string, PdfRect>> forms;  // by path and page
  std::map<std::string, PdfReference> formRefs;
  // Resources the current page uses, by name.
  std::map<std::string, PdfReference> pageFonts, pageColorSpaces, pageXObjects;
  std::string currentFill, currentStroke;

  void fail(const std::string& what) {
    if (error.empty()) error = what;
  }

  void path(const Path& p) {
    if (p.points.empty()) return;
    const auto& pts = p.points;
    content += pdfNumber(pts[0].anchor.x) + " " + pdfNumber(pts[0].anchor.y) + " m\n";
    const std::size_t n = pts.size();
    const std::size_t segments = p.closed ? n : n - 1;
    for (std::size_t i = 0; i < segments; ++i) {
      const PathPoint& a = pts[i];
      const PathPoint& b = pts[(i + 1) % n];
      if (a.out == a.anchor && b.in == b.anchor) {
        content += pdfNumber(b.anchor.x) + " " + pdfNumber(b.anchor.y) + " l\n";
      } else {
        content += pdfNumber(a.out.x) + " " + pdfNumber(a.out.y) + " " + pdfNumber(b.in.x) + " " +
                   pdfNumber(b.in.y) + " " + pdfNumber(b.anchor.x) + " " + pdfNumber(b.anchor.y) + " c\n";
      }
    }
    if (p.closed) content += "h\n";
  }

  PdfObject colorSpaceObject(PaintSpace space, const std::vector<double>& values) {
    switch (space) {
      case PaintSpace::DeviceRGB: return PdfName("DeviceRGB");
      case PaintSpace::Lab: {
        PdfDictionary d;
        d.AddKey("WhitePoint", numbers({0.9642, 1, 0.8249}));
        d.AddKey("Range", numbers({-128, 127, -128, 127}));
        PdfArray a;
        a.push_back(PdfName("Lab"));
        a.push_back(d);
        return a;
      }
      default: break;
    }
    (void)values;
    return PdfName("DeviceCMYK");
  }

  std::string colorSpaceName(const Paint& paint) {
    std::string key;
    if (paint.space == PaintSpace::Lab) {
      key = "Lab";
    } else {
      key = "Sep\n" + paint.separation + "\n" + std::to_string(static_cast<int>(paint.alternate));
      for (double v : paint.values) key += " " + pdfNumber(v);
    }
    auto it = colorSpaces.find(key);
    if (it == colorSpaces.end()) {
      ColorSpaceEntry entry;
      entry.resourceName = "CS" + std::to_string(colorSpaces.size());
      PdfObject* object = nullptr;
      if (paint.space == PaintSpace::Lab) {
        object = doc.GetObjects().CreateObject(colorSpaceObject(PaintSpace::Lab, {}));
      } else {
        // Tint 0 is no ink: white in the alternate.
        std::vector<double> zero(paint.values.size(), 0.0);
        if (paint.alternate == PaintSpace::DeviceRGB) zero.assign(3, 1.0);
        if (paint.alternate == PaintSpace::Lab) zero = {100, 0, 0};
        PdfObject* function = doc.GetObjects().CreateObject();
        function->GetDictionary().AddKey("FunctionType", PdfObject(static_cast<pdf_int64>(2)));
        function->GetDictionary().AddKey("Domain", numbers({0, 1}));
        function->GetDictionary().AddKey("C0", numbers(zero));
        function->GetDictionary().AddKey("C1", numbers(paint.values));
        function->GetDictionary().AddKey("N", PdfObject(1.0));
        PdfArray a;
        a.push_back(PdfName("Separation"));
        a.push_back(PdfName(paint.separation));
        a.push_back(colorSpaceObject(paint.alternate, paint.values));
        a.push_back(function->Reference());
        object = doc.GetObjects().CreateObject(a);
      }
      entry.reference = object->Reference();
      it = colorSpaces.emplace(key, entry).first;
    }
    pageColorSpaces[it->second.resourceName] = it->second.reference;
    return it->second.resourceName;
  }

  // The operators that set the colour; fill or stroke.
  std::string colorOperators(const Paint& paint, bool forStroke) {
    std::string values;
    for (double v : paint.values) values += pdfNumber(v) + " ";
    switch (paint.space) {
      case PaintSpace::DeviceCMYK: return values + (forStroke ? "K" : "k");
      case PaintSpace::DeviceRGB: return values + (forStroke ? "RG" : "rg");
      case PaintSpace::Lab: {
        const std::string name = colorSpaceName(paint);
        return "/" + name + (forStroke ? " CS " : " cs ") + values + (forStroke ? "SC" : "sc");
      }
      case PaintSpace::Separation: {
        const std::string name = colorSpaceName(paint);
        return "/" + name + (forStroke ? " CS " : " cs ") + pdfNumber(paint.tint) +
               (forStroke ? " SCN" : " scn");
      }
    }
    return {};
  }

  void setFill(const Paint& paint) {
    std::string ops = colorOperators(paint, false);
    if (ops != currentFill) {
      content += ops + "\n";
      currentFill = ops;
    }
  }
  void setStroke(const Paint& paint) {
    std::string ops = colorOperators(paint, true);
    if (ops != currentStroke) {
      content += ops + "\n";
      currentStroke = ops;
    }
  }

  FontEntry& font(const std::shared_ptr<FontFace>& face) {
    auto it = fonts.find(face.get());
    if (it == fonts.end()) {
      FontEntry entry;
      entry.face = face;
      entry.resourceName = "F" + std::to_string(fonts.size());
      entry.type0 = doc.GetObjects().CreateObject("Font");
      it = fonts.emplace(face.get(), std::move(entry)).first;
    }
    pageFonts[it->second.resourceName] = it->second.type0->Reference();
    return it->second;
  }

  void embedFont(FontEntry& entry) {
    const FontFace& face = *entry.face;
    entry.glyphs.insert(0);
    // Subset tag: six capitals from the glyph set, so equal input gives equal names.
    std::uint32_t hash = 2166136261u;
    auto mix = [&hash](unsigned v) {
      hash ^= v;
      hash *= 16777619u;
    };
    for (char c : face.postScriptName()) mix(static_cast<unsigned char>(c));
    for (unsigned g : entry.glyphs) mix(g);
    std::string tag;
    for (int i = 0; i < 6; ++i) {
      tag += static_cast<char>('A' + hash % 26);
      hash /= 26;
    }
    const std::string baseName = tag + "+" + face.postScriptName();

    hb_subset_input_t* input = hb_subset_input_create_or_fail();
    if (!input) throw std::runtime_error("font subsetting unavailable");
    hb_set_t* glyphSet = hb_subset_input_glyph_set(input);
    for (unsigned g : entry.glyphs) hb_set_add(glyphSet, g);
    hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_RETAIN_GIDS);
    hb_face_t* subset = hb_subset_or_fail(face.hbFace(), input);
    hb_subset_input_destroy(input);
    if (!subset) throw std::runtime_error("font " + face.postScriptName() + " can't be subset");
    hb_blob_t* blob = hb_face_reference_blob(subset);
    unsigned length = 0;
    const char* data = hb_blob_get_data(blob, &length);
    PdfObject* file = doc.GetObjects().CreateObject();
    if (face.isCff())
      file->GetDictionary().AddKey("Subtype", PdfName("OpenType"));
    else
      file->GetDictionary().AddKey("Length1", PdfObject(static_cast<pdf_int64>(length)));
    file->GetStream()->Set(data, length);
    hb_blob_destroy(blob);
    hb_face_destroy(subset);

    const double em = face.unitsPerEm();
    auto units = [em](double v) { return static_cast<pdf_int64>(std::lround(v * 1000 / em)); };
    PdfObject* descriptor = doc.GetObjects().CreateObject("FontDescriptor");
    auto& d = descriptor->GetDictionary();
    d.AddKey("FontName", PdfName(baseName));
    d.AddKey("Flags", PdfObject(static_cast<pdf_int64>(4)));
    const auto box = face.bbox();
    PdfArray bbox;
    for (int v : box) bbox.push_back(PdfObject(units(v)));
    d.AddKey("FontBBox", bbox);
    d.AddKey("ItalicAngle", PdfObject(face.italicAngle()));
    d.AddKey("Ascent", PdfObject(static_cast<pdf_int64>(std::lround(face.ascender() * 1000))));
    d.AddKey("Descent", PdfObject(static_cast<pdf_int64>(std::lround(face.descender() * 1000))));
    d.AddKey("CapHeight", PdfObject(static_cast<pdf_int64>(std::lround(face.capHeight() * 1000))));
    d.AddKey("StemV", PdfObject(static_cast<pdf_int64>(80)));
    d.AddKey(face.isCff() ? "FontFile3" : "FontFile2", file->Reference());

    PdfObject* cid = doc.GetObjects().CreateObject("Font");
    auto& c = cid->GetDictionary();
    c.AddKey("Subtype", PdfName(face.isCff() ? "CIDFontType0" : "CIDFontType2"));
    c.AddKey("BaseFont", PdfName(baseName));
    PdfDictionary system;
    system.AddKey("Registry", PdfString("Adobe"));
    system.AddKey("Ordering", PdfString("Identity"));
    system.AddKey("Supplement", PdfObject(static_cast<pdf_int64>(0)));
    c.AddKey("CIDSystemInfo", system);
    c.AddKey("FontDescriptor", descriptor->Reference());
    if (!face.isCff()) c.AddKey("CIDToGIDMap", PdfName("Identity"));
    PdfArray widths;
    for (unsigned g : entry.glyphs) {
      widths.push_back(PdfObject(static_cast<pdf_int64>(g)));
      PdfArray w;
      w.push_back(PdfObject(units(face.advance(g))));
      widths.push_back(w);
    }
    c.AddKey("W", widths);

    // Glyph to text, so that the PDF's text can be searched and copied.
    std::string cmap =
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
        "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::vector<std::pair<unsigned, std::u32string>> pairs(entry.unicode.begin(), entry.unicode.end());
    for (std::size_t i = 0; i < pairs.size(); i += 100) {
      const std::size_t n = std::min<std::size_t>(100, pairs.size() - i);
      cmap += std::to_string(n) + " beginbfchar\n";
      for (std::size_t k = i; k < i + n; ++k)
        cmap.append("<")
            .append(hex4(pairs[k].first))
            .append("> <")
            .append(utf16Hex(pairs[k].second))
            .append(">\n");
      cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    PdfObject* toUnicode = doc.GetObjects().CreateObject();
    toUnicode->GetStream()->Set(cmap.data(), static_cast<pdf_long>(cmap.size()));

    auto& t = entry.type0->GetDictionary();
    t.AddKey("Subtype", PdfName("Type0"));
    t.AddKey("BaseFont", PdfName(baseName));
    t.AddKey("Encoding", PdfName("Identity-H"));
    PdfArray descendants;
    descendants.push_back(cid->Reference());
    t.AddKey("DescendantFonts", descendants);
    t.AddKey("ToUnicode", toUnicode->Reference());
  }
};

PdfDevice::PdfDevice(PdfDocumentInfo info) : state_(std::make_unique<State>()) {
  state_->info = std::move(info);
  try {
    PdfInfo* pdfInfo = state_->doc.GetInfo();
    pdfInfo->SetTitle(PdfString(reinterpret_cast<const pdf_utf8*>(state_->info.title.c_str())));
    pdfInfo->SetProducer(PdfString("Korvex"));
    pdfInfo->SetCreator(PdfString("Korvex"));
    // No dates: the same document must give the same file.
    pdfInfo->GetObject()->GetDictionary().RemoveKey("CreationDate");
    pdfInfo->GetObject()->GetDictionary().RemoveKey("ModDate");
  } catch (const PdfError& e) {
    state_->fail(std::string("PDF document can't be set up: ") + PdfError::ErrorMessage(e.GetError()));
  }
}

PdfDevice::~PdfDevice() = default;

int PdfDevice::pageCount() const {
  return state_->pages;
}

void PdfDevice::beginPage(const OutputPage& area) {
  State& s = *state_;
  s.content.clear();
  s.pageFonts.clear();
  s.pageColorSpaces.clear();
  s.pageXObjects.clear();
  s.currentFill.clear();
  s.currentStroke.clear();
  s.trim = area.trim;
  // Crop marks need room outside the bleed.
  const double markRoom = area.cropMarks ? std::max(area.bleed, 0.0) + 18 : area.bleed;
  const double width = area.trim.width() + 2 * markRoom, height = area.trim.height() + 2 * markRoom;
  try {
    s.page = s.doc.CreatePage(PdfRect(0, 0, width, height));
    auto& dict = s.page->GetObject()->GetDictionary();
    dict.AddKey("TrimBox",
                rectArray(markRoom, markRoom, markRoom + area.trim.width(), markRoom + area.trim.height()));
    dict.AddKey("BleedBox", rectArray(markRoom - area.bleed, markRoom - area.bleed,
                                      markRoom + area.trim.width() + area.bleed,
                                      markRoom + area.trim.height() + area.bleed));
  } catch (const PdfError& e) {
    s.fail(std::string("page can't be made: ") + PdfError::ErrorMessage(e.GetError()));
    s.page = nullptr;
  }
  // Pasteboard (y down) onto the page (y up).
  s.content += "1 0 0 -1 " + pdfNumber(markRoom - area.trim.left) + " " +
               pdfNumber(markRoom + area.trim.bottom) + " cm\n";
  if (area.cropMarks) {
    Paint registration{.space = PaintSpace::Separation,
                       .values = {1, 1, 1, 1},
                       .separation = "All",
                       .alternate = PaintSpace::DeviceCMYK,
                       .tint = 1};
    s.content += "q\n";
    s.setStroke(registration);
    s.content += "0.25 w\n";
    const double near = area.bleed + 3, far = area.bleed + 15;
    const PMRect& t = area.trim;
    for (double x : {t.left, t.right})
      for (double y : {t.top, t.bottom}) {
        const double dx = x == t.left ? -1 : 1, dy = y == t.top ? -1 : 1;
        s.content += pdfNumber(x + dx * near) + " " + pdfNumber(y) + " m " + pdfNumber(x + dx * far) + " " +
                     pdfNumber(y) + " l S\n";
        s.content += pdfNumber(x) + " " + pdfNumber(y + dy * near) + " m " + pdfNumber(x) + " " +
                     pdfNumber(y + dy * far) + " l S\n";
      }
    s.content += "Q\n";
    s.currentStroke.clear();
  }
}

void PdfDevice::endPage() {
  State& s = *state_;
  if (!s.page) return;
  try {
    PdfObject* resources = s.page->GetResources();
    auto addGroup = [&](const char* key, const std::map<std::string, PdfReference>& entries) {
      if (entries.empty()) return;
      PdfDictionary group;
      for (const auto& [name, ref] : entries) group.AddKey(PdfName(name), ref);
      resources->GetDictionary().AddKey(key, group);
    };
    addGroup("Font", s.pageFonts);
    addGroup("ColorSpace", s.pageColorSpaces);
    addGroup("XObject", s.pageXObjects);
    s.page->GetContents()->GetStream()->Set(s.content.data(), static_cast<pdf_long>(s.content.size()));
    ++s.pages;
  } catch (const PdfError& e) {
    s.fail(std::string("page can't be written: ") + PdfError::ErrorMessage(e.GetError()));
  }
  s.page = nullptr;
}

void PdfDevice::save() {
  state_->content += "q\n";
}

void PdfDevice::restore() {
  // Colours set inside are gone again.
  state_->content += "Q\n";
  state_->currentFill.clear();
  state_->currentStroke.clear();
}

void PdfDevice::clip(const std::vector<Path>& paths, bool evenOdd) {
  for (const Path& p : paths) {
    Path closed = p;
    closed.closed = true;
    state_->path(closed);
  }
  state_->content += evenOdd ? "W* n\n" : "W n\n";
}

void PdfDevice::fill(const Path& path, const Paint& paint) {
  try {
    state_->setFill(paint);
  } catch (const PdfError& e) {
    state_->fail(PdfError::ErrorMessage(e.GetError()));
    return;
  }
  state_->path(path);
  state_->content += "f\n";
}

void PdfDevice::stroke(const Path& path, const Paint& paint, PMReal width) {
  try {
    state_->setStroke(paint);
  } catch (const PdfError& e) {
    state_->fail(PdfError::ErrorMessage(e.GetError()));
    return;
  }
  state_->content += pdfNumber(width) + " w\n";
  state_->path(path);
  state_->content += "S\n";
}

void PdfDevice::image(const ImageData& image, const PMRect& bounds, const PMMatrix& toPasteboard) {
  State& s = *state_;
  auto it = s.images.find(&image);
  try {
    if (it == s.images.end()) {
      PdfObject* object = s.doc.GetObjects().CreateObject("XObject");
      auto& d = object->GetDictionary();
      d.AddKey("Subtype", PdfName("Image"));
      d.AddKey("Width", PdfObject(static_cast<pdf_int64>(image.width)));
      d.AddKey("Height", PdfObject(static_cast<pdf_int64>(image.height)));
      d.AddKey("ColorSpace", PdfName(image.components == 1   ? "DeviceGray"
                                     : image.components == 4 ? "DeviceCMYK"
                                                             : "DeviceRGB"));
      d.AddKey("BitsPerComponent", PdfObject(static_cast<pdf_int64>(8)));
      if (image.jpeg) {
        if (image.invertedCmyk) d.AddKey("Decode", numbers({1, 0, 1, 0, 1, 0, 1, 0}));
        PdfMemoryInputStream in(reinterpret_cast<const char*>(image.bytes.data()),
                                static_cast<pdf_long>(image.bytes.size()));
        object->GetStream()->SetRawData(&in);
        d.AddKey("Filter", PdfName("DCTDecode"));
      } else {
        object->GetStream()->Set(reinterpret_cast<const char*>(image.bytes.data()),
                                 static_cast<pdf_long>(image.bytes.size()));
      }
      it = s.images.emplace(&image, std::pair("Im" + std::to_string(s.images.size()), object->Reference()))
               .first;
    }
  } catch (const PdfError& e) {
    s.fail(std::string("picture can't be written: ") + PdfError::ErrorMessage(e.GetError()));
    return;
  }
  s.pageXObjects[it->second.first] = it->second.second;
  const PMMatrix place =
      toPasteboard * PMMatrix{bounds.width(), 0, 0, -bounds.height(), bounds.left, bounds.bottom};
  s.content += "q\n" + matrixText(place) + "/" + it->second.first + " Do\nQ\n";
}

bool PdfDevice::pdfPage(const std::string& path, int pageIndex, const PMRect& bounds,
                        const PMMatrix& toPasteboard) {
  State& s = *state_;
  const std::string key = path + "#" + std::to_string(pageIndex);
  auto it = s.forms.find(key);
  try {
    if (it == s.forms.end()) {
      auto& source = s.sources[path];
      if (!source) {
        source = std::make_unique<PdfMemDocument>();
        source->Load(path.c_str());
      }
      if (pageIndex < 0 || pageIndex >= source->GetPageCount()) return false;
      PdfXObject form(*source, pageIndex, &s.doc);
      const std::string name = "X" + std::to_string(s.forms.size());
      s.formRefs[name] = form.GetObject()->Reference();
      it = s.forms.emplace(key, std::pair(name, form.GetPageSize())).first;
    }
  } catch (const PdfError& e) {
    s.sources.erase(path);
    return false;
  }
  const auto& [name, rect] = it->second;
  if (rect.GetWidth() <= 0 || rect.GetHeight() <= 0) return false;
  s.pageXObjects[name] = s.formRefs[name];
  const double sx = bounds.width() / rect.GetWidth(), sy = bounds.height() / rect.GetHeight();
  const PMMatrix place =
      toPasteboard *
      PMMatrix{sx, 0, 0, -sy, bounds.left - rect.GetLeft() * sx, bounds.bottom + rect.GetBottom() * sy};
  s.content += "q\n" + matrixText(place) + "/" + name + " Do\nQ\n";
  s.currentFill.clear();
  s.currentStroke.clear();
  return true;
}

void PdfDevice::glyphs(const GlyphRun& run, const Paint& paint, const PMMatrix& toPasteboard) {
  State& s = *state_;
  if (!run.face || run.glyphs.empty()) return;
  try {
    s.setFill(paint);
  } catch (const PdfError& e) {
    s.fail(PdfError::ErrorMessage(e.GetError()));
    return;
  }
  FontEntry& font = s.font(run.face);
  const double toEm = 1000.0 / run.size;
  const double widthScale = run.size / run.face->unitsPerEm();
  std::string& c = s.content;
  c += "q\n" + matrixText(toPasteboard) + "BT\n/" + font.resourceName + " " + pdfNumber(run.size) + " Tf\n";
  // One text line per baseline stretch: TJ with the shaper's adjustments.
  std::size_t i = 0;
  while (i < run.glyphs.size()) {
    const double y = run.origin.y + run.glyphs[i].y;
    c += "1 0 0 -1 " + pdfNumber(run.origin.x + run.glyphs[i].x) + " " + pdfNumber(y) + " Tm\n[";
    double pen = run.glyphs[i].x;
    std::size_t k = i;
    for (; k < run.glyphs.size() && (k == i || run.glyphs[k].y == run.glyphs[i].y); ++k) {
      const PositionedGlyph& g = run.glyphs[k];
      const double gap = g.x - pen;
      if (std::abs(gap) > 0.0005) c += pdfNumber(-gap * toEm);
      c.append("<").append(hex4(g.glyph)).append(">");
      font.glyphs.insert(g.glyph);
      if (!g.text.empty() && !font.unicode.count(g.glyph)) font.unicode[g.glyph] = g.text;
      pen = g.x + run.face->advance(g.glyph) * widthScale;
    }
    c += "] TJ\n";
    i = k;
  }
  c += "ET\nQ\n";
  s.currentFill.clear();
}

std::optional<std::string> PdfDevice::finish(std::string* error) {
  State& s = *state_;
  try {
    if (s.error.empty()) {
      // In the order the fonts were first used, not by address.
      std::vector<FontEntry*> ordered;
      for (auto& [face, entry] : s.fonts) ordered.push_back(&entry);
      std::sort(ordered.begin(), ordered.end(), [](const FontEntry* a, const FontEntry* b) {
        return std::stoi(a->resourceName.substr(1)) < std::stoi(b->resourceName.substr(1));
      });
      for (FontEntry* entry : ordered) s.embedFont(*entry);
      // Embedded OpenType (CFF) font files need PDF 1.6; an older version would make the file invalid.
      EPdfVersion version = versionOf(s.info.pdfVersion);
      for (FontEntry* entry : ordered)
        if (entry->face->isCff() && version < ePdfVersion_1_6) version = ePdfVersion_1_6;
      s.doc.SetPdfVersion(version);
      std::ostringstream out;
      PdfOutputDevice device(&out);
      s.doc.Write(&device);
      return out.str();
    }
  } catch (const PdfError& e) {
    s.fail(std::string("PDF can't be written: ") + PdfError::ErrorMessage(e.GetError()));
  } catch (const std::exception& e) {
    s.fail(e.what());
  }
  if (error) *error = s.error;
  return std::nullopt;
}

}  // namespace korvex
