#include "host/output/pdf_device.h"

#include <hb-subset.h>
#include <hb.h>
#include <qpdf/Buffer.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Discard.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/Pl_String.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFLogger.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

#include "host/pdf_file.h"

namespace korvex {

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

using Object = QPDFObjectHandle;

Object pdfName(const std::string& text) {
  return Object::newName("/" + text);
}

// Whole numbers as integers, the rest as content streams write them.
Object number(double value) {
  if (std::isfinite(value) && value == std::round(value) && std::abs(value) < 1e9)
    return Object::newInteger(static_cast<long long>(value));
  return Object::newReal(pdfNumber(value));
}

Object numbers(const std::vector<double>& values) {
  std::vector<Object> items;
  for (double v : values) items.push_back(number(v));
  return Object::newArray(items);
}

Object dictionary(const std::map<std::string, Object>& entries) {
  std::map<std::string, Object> keyed;
  for (const auto& [key, value] : entries) keyed["/" + key] = value;
  return Object::newDictionary(keyed);
}

std::string matrixText(const PMMatrix& m) {
  return pdfNumber(m.a) + " " + pdfNumber(m.b) + " " + pdfNumber(m.c) + " " + pdfNumber(m.d) + " " +
         pdfNumber(m.tx) + " " + pdfNumber(m.ty) + " cm\n";
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

// "1.6" as 16, for comparing versions.
int versionNumber(const std::string& text) {
  if (text.size() == 3 && text[1] == '.' && std::isdigit(static_cast<unsigned char>(text[0])) &&
      std::isdigit(static_cast<unsigned char>(text[2])))
    return (text[0] - '0') * 10 + (text[2] - '0');
  return 0;
}

std::shared_ptr<QPDFLogger> quietLogger() {
  auto logger = QPDFLogger::create();
  logger->setInfo(logger->discard());
  logger->setWarn(logger->discard());
  logger->setError(logger->discard());
  return logger;
}

// A stream whose data is already encoded: the writer copies it as it is.
Object encodedStream(QPDF& pdf, std::shared_ptr<Buffer> data, const std::string& filter) {
  Object stream = Object::newStream(&pdf, std::move(data));
  stream.getDict().replaceKey("/Filter", pdfName(filter));
  stream.setFilterOnWrite(false);
  return stream;
}

std::shared_ptr<Buffer> deflated(const std::uint8_t* data, std::size_t size) {
  Pl_Buffer out("deflated");
  Pl_Flate flate("deflate", &out, Pl_Flate::a_deflate);
  // zlib counts its input in unsigned int: large pictures go in slices.
  constexpr std::size_t kSlice = 1 << 24;
  for (std::size_t at = 0; at < size; at += kSlice) flate.write(data + at, std::min(kSlice, size - at));
  flate.finish();
  return out.getBufferSharedPointer();
}

// A JPEG as it is; samples deflated now, so that only the compressed picture
// waits in memory for the file to be written.
std::shared_ptr<Buffer> pictureData(const ImageData& image) {
  if (!image.jpeg) return deflated(image.bytes.data(), image.bytes.size());
  auto copy = std::make_shared<Buffer>(image.bytes.size());
  std::copy(image.bytes.begin(), image.bytes.end(), copy->getBuffer());
  return copy;
}

// The first stream reachable from the object whose data does not decode (pictures, fonts, forms
// of a placed page), named by its object number; empty when all do. Copied as they are, such
// streams would carry their damage into our file, where readers stumble on it.
std::string firstDamagedStream(QPDF& owner, Object root) {
  std::set<QPDFObjGen> seen;
  std::vector<Object> pending{root};
  while (!pending.empty()) {
    Object o = pending.back();
    pending.pop_back();
    if (o.isIndirect() && !seen.insert(o.getObjGen()).second) continue;
    if (o.isStream()) {
      Pl_Discard sink;
      bool decoded = false;
      const std::size_t warningsBefore = owner.numWarnings();
      try {
        // Data cut short decodes "successfully" with a warning: that counts as damage too.
        decoded = o.pipeStreamData(&sink, 0, qpdf_dl_generalized, true, false) &&
                  owner.numWarnings() == warningsBefore;
      } catch (const std::exception&) {
        decoded = false;
      }
      if (!decoded) return "object " + std::to_string(o.getObjectID());
      o = o.getDict();
    }
    if (o.isArray()) {
      for (Object item : o.aitems()) pending.push_back(item);
    } else if (o.isDictionary()) {
      // Up the page tree or to the annotations' page leads away from what the page draws.
      for (auto [key, value] : o.ditems())
        if (key != "/Parent" && key != "/P") pending.push_back(value);
    }
  }
  return {};
}

struct FontEntry {
  std::shared_ptr<FontFace> face;
  std::string resourceName;
  Object type0;
  std::set<unsigned> glyphs;
  std::map<unsigned, std::u32string> unicode;
};

struct NamedObject {
  std::string resourceName;
  Object object;
};

// A page of a placed file, imported once per export.
struct FormEntry {
  std::string resourceName;
  Object object;
  PdfPageArea area;
  std::string repair;
};

}  // namespace

struct PdfDevice::State {
  PdfDocumentInfo info;
  QPDF doc;
  bool inPage = false;
  OutputPage area;
  double markRoom = 0;
  std::string content;
  std::string error;
  std::vector<std::string> warnings;
  int pages = 0;

  std::map<const FontFace*, FontEntry> fonts;
  std::map<std::string, NamedObject> colorSpaces;
  std::map<const ImageData*, NamedObject> images;
  std::map<std::string, std::unique_ptr<PdfFile>> sources;
  std::map<std::string, Result<FormEntry>> forms;  // by path and page, failures included
  // Resources the current page uses, by name.
  std::map<std::string, Object> pageFonts, pageColorSpaces, pageXObjects;
  std::string currentFill, currentStroke;

  void fail(const std::string& what) {
    if (error.empty()) error = what;
  }

  Object indirect(Object object) { return doc.makeIndirectObject(object); }

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

  Object colorSpaceObject(PaintSpace space) {
    switch (space) {
      case PaintSpace::DeviceRGB: return pdfName("DeviceRGB");
      case PaintSpace::Lab:
        return Object::newArray(
            {pdfName("Lab"),
             dictionary({{"WhitePoint", numbers({0.9642, 1, 0.8249})}, {"Range", numbers({-128, 127, -128, 127})}})});
      default: break;
    }
    return pdfName("DeviceCMYK");
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
      NamedObject entry{"CS" + std::to_string(colorSpaces.size()), {}};
      if (paint.space == PaintSpace::Lab) {
        entry.object = indirect(colorSpaceObject(PaintSpace::Lab));
      } else {
        // Tint 0 is no ink: white in the alternate.
        std::vector<double> zero(paint.values.size(), 0.0);
        if (paint.alternate == PaintSpace::DeviceRGB) zero.assign(3, 1.0);
        if (paint.alternate == PaintSpace::Lab) zero = {100, 0, 0};
        Object function = indirect(dictionary({{"FunctionType", Object::newInteger(2)},
                                               {"Domain", numbers({0, 1})},
                                               {"C0", numbers(zero)},
                                               {"C1", numbers(paint.values)},
                                               {"N", Object::newInteger(1)}}));
        entry.object = indirect(Object::newArray(
            {pdfName("Separation"), pdfName(paint.separation), colorSpaceObject(paint.alternate), function}));
      }
      it = colorSpaces.emplace(key, entry).first;
    }
    pageColorSpaces[it->second.resourceName] = it->second.object;
    return it->second.resourceName;
  }

  // The operators that set the colour; fill or stroke.
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
      // Filled in when the file is finished and every glyph is known.
      entry.type0 = indirect(dictionary({{"Type", pdfName("Font")}}));
      it = fonts.emplace(face.get(), std::move(entry)).first;
    }
    pageFonts[it->second.resourceName] = it->second.type0;
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
    Object file = Object::newStream(&doc, std::string(data, length));
    hb_blob_destroy(blob);
    hb_face_destroy(subset);
    if (face.isCff())
      file.getDict().replaceKey("/Subtype", pdfName("OpenType"));
    else
      file.getDict().replaceKey("/Length1", Object::newInteger(length));

    const double em = face.unitsPerEm();
    auto units = [em](double v) { return Object::newInteger(std::lround(v * 1000 / em)); };
    auto thousandths = [](double v) { return Object::newInteger(std::lround(v * 1000)); };
    std::vector<Object> bbox;
    for (int v : face.bbox()) bbox.push_back(units(v));
    Object descriptor = indirect(dictionary({{"Type", pdfName("FontDescriptor")},
                                             {"FontName", pdfName(baseName)},
                                             {"Flags", Object::newInteger(4)},
                                             {"FontBBox", Object::newArray(bbox)},
                                             {"ItalicAngle", number(face.italicAngle())},
                                             {"Ascent", thousandths(face.ascender())},
                                             {"Descent", thousandths(face.descender())},
                                             {"CapHeight", thousandths(face.capHeight())},
                                             {"StemV", Object::newInteger(80)},
                                             {face.isCff() ? "FontFile3" : "FontFile2", file}}));

    std::vector<Object> widths;
    for (unsigned g : entry.glyphs) {
      widths.push_back(Object::newInteger(g));
      widths.push_back(Object::newArray({units(face.advance(g))}));
    }
    std::map<std::string, Object> cidEntries{
        {"Type", pdfName("Font")},
        {"Subtype", pdfName(face.isCff() ? "CIDFontType0" : "CIDFontType2")},
        {"BaseFont", pdfName(baseName)},
        {"CIDSystemInfo", dictionary({{"Registry", Object::newString("Adobe")},
                                      {"Ordering", Object::newString("Identity")},
                                      {"Supplement", Object::newInteger(0)}})},
        {"FontDescriptor", descriptor},
        {"W", Object::newArray(widths)}};
    if (!face.isCff()) cidEntries["CIDToGIDMap"] = pdfName("Identity");
    Object cid = indirect(dictionary(cidEntries));

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
    Object toUnicode = Object::newStream(&doc, cmap);

    Object& t = entry.type0;
    t.replaceKey("/Subtype", pdfName("Type0"));
    t.replaceKey("/BaseFont", pdfName(baseName));
    t.replaceKey("/Encoding", pdfName("Identity-H"));
    t.replaceKey("/DescendantFonts", Object::newArray({cid}));
    t.replaceKey("/ToUnicode", toUnicode);
  }

  // A page of a placed file as a form XObject in this file, made on first use.
  Result<FormEntry> importPage(const std::string& path, int pageIndex) {
    auto found = sources.find(path);
    if (found == sources.end()) {
      auto opened = PdfFile::open(path);
      if (!opened) return opened.failure();
      found = sources.emplace(path, std::move(*opened)).first;
    }
    PdfFile* source = found->second.get();
    auto pageArea = source->pageArea(pageIndex);
    if (!pageArea) return pageArea.failure();
    try {
      QPDFPageObjectHelper page =
          QPDFPageDocumentHelper(source->qpdf()).getAllPages()[static_cast<std::size_t>(pageIndex)];
      // qpdf joins the page's content streams, decoded, into one form; no /Contents gives an
      // empty one. Rotation is applied where it is placed, so the form stays unturned.
      Object form = page.getFormXObjectForPage(false);
      // Joined now rather than when the file is written: contents that don't decode make this
      // page unplaceable, not the whole export, and a half-decoded stream never reaches the file.
      std::shared_ptr<Buffer> contents;
      const std::size_t warningsBefore = source->qpdf().numWarnings();
      try {
        contents = form.getStreamData(qpdf_dl_generalized);
      } catch (const std::exception& e) {
        source->takeWarnings();  // said in the refusal
        return korvex::fail("page " + std::to_string(pageIndex + 1) +
                            " has contents that can't be decoded: " + pdfErrorReason(e));
      }
      if (source->qpdf().numWarnings() != warningsBefore) {
        // Cut short: what decoded may end inside an operator.
        const std::vector<std::string> said = source->takeWarnings();
        return korvex::fail("page " + std::to_string(pageIndex + 1) +
                            " has contents that can't be decoded: " + said.back());
      }
      form.replaceStreamData(contents, Object::newNull(), Object::newNull());
      if (std::string damage = firstDamagedStream(source->qpdf(), form.getDict()); !damage.empty()) {
        source->takeWarnings();  // said in the refusal
        return korvex::fail("page " + std::to_string(pageIndex + 1) + " uses a stream that can't be decoded (" +
                            damage + ")");
      }
      const PdfBox& box = pageArea->box;
      form.getDict().replaceKey("/BBox", numbers({box.left, box.bottom, box.right, box.top}));
      Object imported = doc.copyForeignObject(form);
      std::string repair = source->repair();
      if (auto said = source->takeWarnings(); !said.empty() && repair.empty()) repair = said.front();
      return FormEntry{"X" + std::to_string(forms.size()), imported, *pageArea, repair};
    } catch (const std::exception& e) {
      return korvex::fail("page " + std::to_string(pageIndex + 1) + " can't be imported: " + pdfErrorReason(e));
    }
  }

  // The page's contents, written through qpdf: placed pages and their
  // resources are copied from their files only now.
  std::string write() {
    int version = std::max(versionNumber(info.pdfVersion), 13);
    // Embedded OpenType (CFF) font files need PDF 1.6; an older version would make the file invalid.
    for (const auto& [face, entry] : fonts)
      if (entry.face->isCff()) version = std::max(version, 16);
    // A placed file's features need its version too.
    for (const auto& [path, source] : sources)
      version = std::max(version, versionNumber(source->qpdf().getPDFVersion()));
    version = std::min(version, 17);
    const std::string versionText = std::to_string(version / 10) + "." + std::to_string(version % 10);

    // Straight into the string the caller gets: no second copy of a file that may be large.
    std::string bytes;
    Pl_String out("pdf", nullptr, bytes);
    QPDFWriter writer(doc);
    writer.setOutputPipeline(&out);
    writer.setDeterministicID(true);
    writer.setMinimumPDFVersion(versionText);
    writer.setCompressStreams(true);
    writer.setDecodeLevel(qpdf_dl_generalized);
    // Object streams pack the many small dictionaries; readers before 1.5 don't know them.
    writer.setObjectStreamMode(version >= 15 ? qpdf_o_generate : qpdf_o_disable);
    writer.write();
    for (const auto& [path, source] : sources)
      if (auto said = source->takeWarnings(); !said.empty())
        warnings.push_back(path + ": damaged placed PDF, drawn as far as it could be read (" + said.front() + ")");
    for (const QPDFExc& w : doc.getWarnings())
      warnings.push_back("PDF writer: " + (w.getMessageDetail().empty() ? std::string(w.what()) : w.getMessageDetail()));
    return bytes;
  }
};

PdfDevice::PdfDevice(PdfDocumentInfo info) : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.info = std::move(info);
  try {
    s.doc.setLogger(quietLogger());
    s.doc.setSuppressWarnings(true);
    s.doc.emptyPDF();
    // No dates: the same document must give the same file.
    s.doc.getTrailer().replaceKey("/Info", s.indirect(dictionary({{"Title", Object::newUnicodeString(s.info.title)},
                                                                    {"Producer", Object::newString("Korvex")},
                                                                    {"Creator", Object::newString("Korvex")}})));
  } catch (const std::exception& e) {
    s.fail(std::string("PDF document can't be set up: ") + e.what());
  }
}

PdfDevice::~PdfDevice() = default;

int PdfDevice::pageCount() const {
  return state_->pages;
}

const std::vector<std::string>& PdfDevice::warnings() const {
  return state_->warnings;
}

void PdfDevice::beginPage(const OutputPage& area) {
  State& s = *state_;
  s.content.clear();
  s.pageFonts.clear();
  s.pageColorSpaces.clear();
  s.pageXObjects.clear();
  s.currentFill.clear();
  s.currentStroke.clear();
  s.area = area;
  s.inPage = true;
  // Crop marks need room outside the bleed.
  s.markRoom = area.cropMarks ? std::max(area.bleed, 0.0) + 18 : area.bleed;
  const double markRoom = s.markRoom;
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
  if (!s.inPage) return;
  s.inPage = false;
  try {
    const OutputPage& area = s.area;
    const double m = s.markRoom, w = area.trim.width(), h = area.trim.height();
    std::map<std::string, Object> resources;
    auto addGroup = [&](const char* key, const std::map<std::string, Object>& entries) {
      if (entries.empty()) return;
      std::map<std::string, Object> group;
      for (const auto& [resourceName, object] : entries) group["/" + resourceName] = object;
      resources[key] = Object::newDictionary(group);
    };
    addGroup("Font", s.pageFonts);
    addGroup("ColorSpace", s.pageColorSpaces);
    addGroup("XObject", s.pageXObjects);
    Object page = s.indirect(dictionary(
        {{"Type", pdfName("Page")},
         {"MediaBox", numbers({0, 0, w + 2 * m, h + 2 * m})},
         {"BleedBox", numbers({m - area.bleed, m - area.bleed, m + w + area.bleed, m + h + area.bleed})},
         {"TrimBox", numbers({m, m, m + w, m + h})},
         {"Resources", dictionary(resources)},
         {"Contents", Object::newStream(&s.doc, s.content)}}));
    QPDFPageDocumentHelper(s.doc).addPage(QPDFPageObjectHelper(page), false);
    ++s.pages;
  } catch (const std::exception& e) {
    s.fail(std::string("page can't be written: ") + e.what());
  }
  s.content.clear();
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
  } catch (const std::exception& e) {
    state_->fail(e.what());
    return;
  }
  state_->path(path);
  state_->content += "f\n";
}

void PdfDevice::stroke(const Path& path, const Paint& paint, PMReal width) {
  try {
    state_->setStroke(paint);
  } catch (const std::exception& e) {
    state_->fail(e.what());
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
      Object stream = encodedStream(s.doc, pictureData(image), image.jpeg ? "DCTDecode" : "FlateDecode");
      Object dict = stream.getDict();
      dict.replaceKey("/Type", pdfName("XObject"));
      dict.replaceKey("/Subtype", pdfName("Image"));
      dict.replaceKey("/Width", Object::newInteger(image.width));
      dict.replaceKey("/Height", Object::newInteger(image.height));
      dict.replaceKey("/ColorSpace", pdfName(image.components == 1   ? "DeviceGray"
                                             : image.components == 4 ? "DeviceCMYK"
                                                                     : "DeviceRGB"));
      dict.replaceKey("/BitsPerComponent", Object::newInteger(8));
      if (image.jpeg && image.invertedCmyk) dict.replaceKey("/Decode", numbers({1, 0, 1, 0, 1, 0, 1, 0}));
      it = s.images.emplace(&image, NamedObject{"Im" + std::to_string(s.images.size()), stream}).first;
    }
  } catch (const std::exception& e) {
    s.fail(std::string("picture can't be written: ") + e.what());
    return;
  }
  s.pageXObjects[it->second.resourceName] = it->second.object;
  const PMMatrix place =
      toPasteboard * PMMatrix{bounds.width(), 0, 0, -bounds.height(), bounds.left, bounds.bottom};
  s.content += "q\n" + matrixText(place) + "/" + it->second.resourceName + " Do\nQ\n";
}

Result<PlacedPdfPage> PdfDevice::pdfPage(const std::string& path, int pageIndex, const PMRect& bounds,
                                         const PMMatrix& toPasteboard) {
  State& s = *state_;
  const std::string key = path + "#" + std::to_string(pageIndex);
  auto it = s.forms.find(key);
  if (it == s.forms.end()) it = s.forms.emplace(key, s.importPage(path, pageIndex)).first;
  if (!it->second) return it->second.failure();
  const FormEntry& form = *it->second;
  const PdfBox& box = form.area.box;
  const PMRect shown = form.area.placedSize();
  if (shown.width() <= 0 || shown.height() <= 0) return fail("page has no area");
  s.pageXObjects[form.resourceName] = form.object;
  // The file's user space (y up) onto the page as shown, y down from its top left: /Rotate
  // turns the page clockwise.
  PMMatrix shownFromFile;
  switch (form.area.rotate) {
    case 90: shownFromFile = {0, 1, 1, 0, -box.bottom, -box.left}; break;
    case 180: shownFromFile = {-1, 0, 0, 1, box.right, -box.bottom}; break;
    case 270: shownFromFile = {0, -1, -1, 0, box.top, box.right}; break;
    default: shownFromFile = {1, 0, 0, -1, -box.left, box.top}; break;
  }
  const PMMatrix onBounds{bounds.width() / shown.width(), 0, 0, bounds.height() / shown.height(), bounds.left,
                          bounds.top};
  const PMMatrix place = toPasteboard * onBounds * shownFromFile;
  s.content += "q\n" + matrixText(place) + "/" + form.resourceName + " Do\nQ\n";
  s.currentFill.clear();
  s.currentStroke.clear();
  return PlacedPdfPage{form.repair};
}

void PdfDevice::glyphs(const GlyphRun& run, const Paint& paint, const PMMatrix& toPasteboard) {
  State& s = *state_;
  if (!run.face || run.glyphs.empty()) return;
  try {
    s.setFill(paint);
  } catch (const std::exception& e) {
    s.fail(e.what());
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
  if (s.error.empty()) {
    try {
      // In the order the fonts were first used, not by address.
      std::vector<FontEntry*> ordered;
      for (auto& [face, entry] : s.fonts) ordered.push_back(&entry);
      std::sort(ordered.begin(), ordered.end(), [](const FontEntry* a, const FontEntry* b) {
        return std::stoi(a->resourceName.substr(1)) < std::stoi(b->resourceName.substr(1));
      });
      for (FontEntry* entry : ordered) s.embedFont(*entry);
      return s.write();
    } catch (const std::exception& e) {
      s.fail(std::string("PDF can't be written: ") + e.what());
    }
  }
  if (error) *error = s.error;
  return std::nullopt;
}

}  // namespace korvex
