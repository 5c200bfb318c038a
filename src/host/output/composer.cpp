#include "host/output/composer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <hb-ot.h>
#include <hb.h>

#include <algorithm>
#include <cmath>

#include "foundation/unicode.h"
#include "host/document.h"
#include "host/used_fonts.h"

namespace korvex {

// ---- faces -----------------------------------------------------------------

std::shared_ptr<FontFace> FontFace::load(const std::string& path, int index) {
  std::shared_ptr<FontFace> face(new FontFace());
  face->path_ = path;
  face->index_ = index;
  face->hbBlob_ = hb_blob_create_from_file_or_fail(path.c_str());
  if (!face->hbBlob_) return nullptr;
  face->hbFace_ = hb_face_create(face->hbBlob_, static_cast<unsigned>(index));
  if (hb_face_get_glyph_count(face->hbFace_) == 0) return nullptr;
  face->hbFont_ = hb_font_create(face->hbFace_);
  face->upem_ = hb_face_get_upem(face->hbFace_);
  hb_font_set_scale(face->hbFont_, static_cast<int>(face->upem_), static_cast<int>(face->upem_));

  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) == 0) {
    FT_Face ft = nullptr;
    if (FT_New_Face(library, path.c_str(), index, &ft) == 0) {
      if (const char* ps = FT_Get_Postscript_Name(ft)) face->postScriptName_ = ps;
      const double em = ft->units_per_EM ? ft->units_per_EM : 1000;
      face->ascender_ = ft->ascender / em;
      face->descender_ = ft->descender / em;
      if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2)); os2 && os2->version >= 2)
        face->capHeight_ = os2->sCapHeight / em;
      if (auto* post = static_cast<TT_Postscript*>(FT_Get_Sfnt_Table(ft, FT_SFNT_POST)))
        face->italicAngle_ = post->italicAngle / 65536.0;
      FT_Done_Face(ft);
    }
    FT_Done_FreeType(library);
  }
  if (face->postScriptName_.empty()) face->postScriptName_ = "Font";
  hb_blob_t* cff = hb_face_reference_table(face->hbFace_, HB_TAG('C', 'F', 'F', ' '));
  face->cff_ = hb_blob_get_length(cff) > 0;
  hb_blob_destroy(cff);
  return face;
}

FontFace::~FontFace() {
  if (hbFont_) hb_font_destroy(hbFont_);
  if (hbFace_) hb_face_destroy(hbFace_);
  if (hbBlob_) hb_blob_destroy(hbBlob_);
}

int FontFace::advance(unsigned glyph) const {
  return hb_font_get_glyph_h_advance(hbFont_, glyph);
}

std::vector<int> FontFace::bbox() const {
  hb_font_extents_t extents{};
  hb_font_get_h_extents(hbFont_, &extents);
  return {0, static_cast<int>(extents.descender), static_cast<int>(upem_),
          static_cast<int>(extents.ascender)};
}

namespace {

// What fontconfig gives for a family it may not have: its best substitute.
std::optional<std::pair<std::string, int>> fallbackFontFile(const std::string& family) {
  FcPattern* pattern =
      FcNameParse(reinterpret_cast<const FcChar8*>(family.empty() ? "sans-serif" : family.c_str()));
  if (!pattern) return std::nullopt;
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return std::nullopt;
  std::optional<std::pair<std::string, int>> found;
  FcChar8* file = nullptr;
  int index = 0;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    found = std::pair(std::string(reinterpret_cast<const char*>(file)), index);
  }
  FcPatternDestroy(match);
  return found;
}

}  // namespace

FontCache::FontCache() = default;
FontCache::~FontCache() = default;

FontRef FontCache::get(const std::string& family, const std::string& style) {
  const std::string key = family + "\n" + style;
  if (auto it = faces_.find(key); it != faces_.end()) return it->second;
  FontRef ref;
  std::optional<std::pair<std::string, int>> file;
  if (!family.empty()) {
    if (auto path = fontFilePath(family, style.empty() ? "Regular" : style)) file = std::pair(*path, 0);
  }
  if (!file) {
    ref.fallback = !family.empty();
    file = fallbackFontFile(family.empty() ? "sans-serif" : "sans-serif");
  }
  if (file) {
    const std::string fileKey = file->first + "#" + std::to_string(file->second);
    auto& shared = byFile_[fileKey];
    if (!shared) shared = FontFace::load(file->first, file->second);
    ref.face = shared;
  }
  faces_[key] = ref;
  return ref;
}

// ---- composition -----------------------------------------------------------

namespace {

enum class Alignment { Left, Center, Right, Justify };

bool isParagraphEnd(char32_t c) {
  return c == U'\r' || c == U'\n' || c == 0x2029;
}

enum class Capitalization { Normal, AllCaps, SmallCaps };

struct CharStyle {
  std::string family;
  std::string style;
  PMReal size = 12;
  UID color = kInvalidUID;
  std::optional<PMReal> tint;
  PMReal tracking = 0;  // thousandths of an em
  Capitalization caps = Capitalization::Normal;
  bool operator==(const CharStyle&) const = default;
};

struct ParaStyle {
  std::optional<PMReal> leading;  // none: auto, 120 % of the largest size on the line
  Alignment alignment = Alignment::Left;
  PMReal firstLineIndent = 0, leftIndent = 0, rightIndent = 0, spaceBefore = 0, spaceAfter = 0;
};

// A shaped stretch of one style inside a piece.
struct Segment {
  CharStyle style;
  std::shared_ptr<FontFace> face;
  std::vector<PositionedGlyph> glyphs;  // x from the segment's start
  PMReal width = 0;
  int spaces = 0;                               // glyphs standing for U+0020
  std::vector<std::pair<PMReal, UID>> anchors;  // inline frames: x from the segment's start
};

// A breakable unit: text up to and including a space or hyphen.
struct Piece {
  int start = 0, end = 0;
  std::vector<Segment> segments;
  PMReal width = 0;
  PMReal trailingSpace = 0;  // not counted at a line's end
  PMReal size = 0, ascent = 0, descent = 0;
};

struct Line {
  std::vector<Piece> pieces;
  int start = 0, end = 0;
  PMReal width = 0, ascent = 0, descent = 0, leading = 0;
  bool firstOfParagraph = false;
  bool lastOfParagraph = false;
};

std::string propertyChain(const IDocument& doc, UID styleUID, const std::string& key) {
  const IDataBase* db = doc.GetDocDataBase();
  for (int depth = 0; styleUID != kInvalidUID && depth < 32; ++depth) {
    const Style* style = db->instantiate<Style>(styleUID);
    if (!style) break;
    for (const auto& [k, v] : style->properties())
      if (k == key) return v;
    styleUID = style->basedOn();
  }
  return {};
}

// Any finite number; positive only when asked.
std::optional<PMReal> number(const std::string& text, bool positive = true) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || !std::isfinite(v) || (positive && v <= 0)) return std::nullopt;
  return v;
}

Alignment alignmentNamed(std::string j) {
  std::transform(j.begin(), j.end(), j.begin(), [](unsigned char c) { return std::tolower(c); });
  if (j.find("justif") != std::string::npos || j.find("full") != std::string::npos) return Alignment::Justify;
  if (j.find("center") != std::string::npos || j.find("centre") != std::string::npos) return Alignment::Center;
  if (j.find("right") != std::string::npos || j.find("away") != std::string::npos) return Alignment::Right;
  return Alignment::Left;
}

Capitalization capsNamed(std::string c) {
  std::transform(c.begin(), c.end(), c.begin(), [](unsigned char ch) { return std::tolower(ch); });
  if (c.find("allcaps") != std::string::npos) return Capitalization::AllCaps;
  if (c.find("small") != std::string::npos) return Capitalization::SmallCaps;
  return Capitalization::Normal;
}

// One text attribute at a position, as the host resolves it for every
// document: a local value on the text wins over the character style, which
// wins over the paragraph style; each style asks its parents (BasedOn) in turn.
// Style properties carry IDML's names, as the native format's do.
class AttributeResolver {
 public:
  AttributeResolver(const IDocument& doc, const ITextModel& story) : doc_(doc), story_(story) {}

  // The style property (character style first, then paragraph style), "" when none says.
  std::string styled(int pos, const std::string& key) const {
    for (AttributeClass cls : {AttributeClass::kCharacterStyle, AttributeClass::kParagraphStyle})
      if (auto run = story_.QueryRun(cls, pos))
        if (const UID* u = std::get_if<UID>(&run->value))
          if (std::string v = propertyChain(doc_, *u, key); !v.empty()) return v;
    return {};
  }
  const AttributeValue* local(int pos, AttributeClass cls) const {
    auto run = story_.QueryRun(cls, pos);
    if (!run || std::holds_alternative<std::monostate>(run->value)) return nullptr;
    last_ = run->value;
    return &last_;
  }
  std::optional<PMReal> length(int pos, AttributeClass cls, const std::string& key, bool positive = false) const {
    if (const AttributeValue* v = local(pos, cls))
      if (const double* d = std::get_if<double>(v)) return *d;
    return number(styled(pos, key), positive);
  }
  std::string text(int pos, AttributeClass cls, const std::string& key) const {
    if (const AttributeValue* v = local(pos, cls))
      if (const std::string* t = std::get_if<std::string>(v)) return *t;
    return styled(pos, key);
  }
  // A swatch property: "Color/Rot" as IDML writes it, or a swatch's name.
  UID swatch(int pos, const std::string& key) const {
    std::string name = styled(pos, key);
    if (name.empty()) return kInvalidUID;
    if (const auto slash = name.find('/'); slash != std::string::npos) name = name.substr(slash + 1);
    const Swatch* s = name == "None" ? doc_.swatch(doc_.noneSwatch()) : doc_.findSwatch(name);
    return s ? s->GetUID() : kInvalidUID;
  }

 private:
  const IDocument& doc_;
  const ITextModel& story_;
  mutable AttributeValue last_;
};

ParaStyle paragraphStyle(const AttributeResolver& r, int pos) {
  ParaStyle p;
  const std::string leading = r.text(pos, AttributeClass::kLeading, "Leading");
  if (const AttributeValue* v = r.local(pos, AttributeClass::kLeading); v && std::holds_alternative<double>(*v))
    p.leading = std::get<double>(*v);
  else
    p.leading = number(leading);  // "Auto" is no number
  p.alignment = alignmentNamed(r.text(pos, AttributeClass::kAlignment, "Justification"));
  p.firstLineIndent = r.length(pos, AttributeClass::kFirstLineIndent, "FirstLineIndent").value_or(0);
  p.leftIndent = std::max<PMReal>(0, r.length(pos, AttributeClass::kLeftIndent, "LeftIndent").value_or(0));
  p.rightIndent = std::max<PMReal>(0, r.length(pos, AttributeClass::kRightIndent, "RightIndent").value_or(0));
  p.spaceBefore = std::max<PMReal>(0, r.length(pos, AttributeClass::kSpaceBefore, "SpaceBefore").value_or(0));
  p.spaceAfter = std::max<PMReal>(0, r.length(pos, AttributeClass::kSpaceAfter, "SpaceAfter").value_or(0));
  return p;
}

struct Area {
  UID textColumn = kInvalidUID;
  UID frame = kInvalidUID;
  PMRect rect;
  VerticalJustification vertical = VerticalJustification::Top;
  PMReal used = 0;  // bottom of the last line's descent
};

}  // namespace

Composer::Composer(const IDocument& document) : document_(document) {}
Composer::~Composer() = default;

const ComposedStory& Composer::story(UID uid) {
  auto it = stories_.find(uid);
  if (it == stories_.end()) it = stories_.emplace(uid, compose(uid)).first;
  return it->second;
}

const ComposedColumn* Composer::column(UID textColumn) {
  const IDataBase* db = document_.GetDocDataBase();
  const TextColumn* column = db->instantiate<TextColumn>(textColumn);
  if (!column) return nullptr;
  for (const ComposedColumn& c : story(column->storyUID()).columns)
    if (c.textColumn == textColumn) return &c;
  return nullptr;
}

ComposedStory Composer::compose(UID storyUID) {
  ComposedStory result;
  const IDataBase* db = document_.GetDocDataBase();
  const ITextModel* story = db->instantiate<ITextModel>(storyUID);
  if (!story) return result;

  // The columns the story flows through, in thread order.
  std::vector<Area> areas;
  for (UID mciUID : story->threadedFrames()) {
    const auto* mci = db->instantiate<MultiColumnItem>(mciUID);
    const auto* frame = mci ? db->instantiate<SplineItem>(mci->GetParentUID()) : nullptr;
    if (!frame) continue;
    const TextFrameSettings& s = mci->settings();
    const PMRect box = frame->path()->bounds();
    const PMRect inner{box.left + s.inset.left, box.top + s.inset.top, box.right - s.inset.right,
                       box.bottom - s.inset.bottom};
    const int n = std::max(1, mci->GetChildCount());
    const PMReal width = (inner.width() - (n - 1) * s.gutter) / n;
    for (int i = 0; i < mci->GetChildCount(); ++i) {
      const PMReal left = inner.left + i * (width + s.gutter);
      areas.push_back({mci->GetChildUID(i),
                       frame->GetUID(),
                       {left, inner.top, left + width, inner.bottom},
                       s.verticalJustification,
                       inner.top});
    }
  }

  const std::u32string& chars = story->characters();
  const int end = std::max(0, story->TotalLength() - 1);

  const AttributeResolver resolve(document_, *story);
  auto styleAt = [&](int pos) {
    CharStyle cs;
    cs.family = resolve.text(pos, AttributeClass::kFontFamily, "AppliedFont");
    if (cs.family.empty()) cs.family = resolve.styled(pos, "FontFamily");
    cs.style = resolve.text(pos, AttributeClass::kFontStyle, "FontStyle");
    cs.size = resolve.length(pos, AttributeClass::kPointSize, "PointSize", true).value_or(12);
    cs.color = document_.blackSwatch();
    if (const AttributeValue* v = resolve.local(pos, AttributeClass::kTextColor); v && std::get_if<UID>(v))
      cs.color = std::get<UID>(*v);
    else if (UID styled = resolve.swatch(pos, "FillColor"); styled != kInvalidUID)
      cs.color = styled;
    if (auto tint = resolve.length(pos, AttributeClass::kTextTint, "FillTint"); tint && *tint >= 0 && *tint < 100)
      cs.tint = *tint;
    else if (const AttributeValue* v = resolve.local(pos, AttributeClass::kTextTint); v && std::get_if<double>(v))
      cs.tint = std::get<double>(*v);
    cs.tracking = resolve.length(pos, AttributeClass::kTracking, "Tracking").value_or(0);
    cs.caps = capsNamed(resolve.text(pos, AttributeClass::kCapitalization, "Capitalization"));
    if (cs.caps == Capitalization::SmallCaps) cs.size *= 0.75;
    return cs;
  };

  // Where the runs that make the style at pos end: the style is the same up to there.
  auto styleEnd = [&](int pos) {
    int until = end;
    for (AttributeClass cls :
         {AttributeClass::kParagraphStyle, AttributeClass::kCharacterStyle, AttributeClass::kFontFamily,
          AttributeClass::kFontStyle, AttributeClass::kPointSize, AttributeClass::kTextColor,
          AttributeClass::kTextTint, AttributeClass::kTracking, AttributeClass::kCapitalization})
      if (auto run = story->QueryRun(cls, pos)) until = std::min(until, pos + run->length);
    return std::max(until, pos + 1);
  };
  // Capitals are shaped in place of the characters: one code point for one.
  std::u32string capitals;
  auto shapedText = [&](int from, int to, const CharStyle& cs) -> const char32_t* {
    if (cs.caps == Capitalization::Normal) return chars.data();
    if (capitals.size() != chars.size()) capitals = chars;
    for (int i = from; i < to; ++i) {
      const std::u32string upper = utf8ToUtf32(toUpper(utf32ToUtf8(std::u32string(1, chars[i]))));
      capitals[i] = upper.size() == 1 ? upper[0] : chars[i];
    }
    return capitals.data();
  };

  hb_buffer_t* buffer = hb_buffer_create();
  // perChar, when given, receives each character's share of the width (a
  // cluster's width goes to its first character); perChar[0] is from's.
  auto shape = [&](int from, int to, const CharStyle& cs, PMReal* perChar) {
    Segment seg;
    seg.style = cs;
    seg.face = fonts_.get(cs.family, cs.style).face;
    if (!seg.face) return seg;
    hb_buffer_clear_contents(buffer);
    // What is shown (capitals, say) is what the glyphs stand for.
    const char32_t* shown = shapedText(from, to, cs);
    hb_buffer_add_utf32(buffer, reinterpret_cast<const uint32_t*>(shown), static_cast<int>(chars.size()),
                        static_cast<unsigned>(from), to - from);
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(seg.face->hbFont(), buffer, nullptr, 0);
    unsigned count = 0;
    hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
    hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &count);
    const PMReal scale = cs.size / seg.face->unitsPerEm();
    PMReal x = 0;
    for (unsigned i = 0; i < count; ++i) {
      PositionedGlyph g;
      g.glyph = info[i].codepoint;
      g.x = x + pos[i].x_offset * scale;
      g.y = -pos[i].y_offset * scale;
      const unsigned cluster = info[i].cluster;
      if (i == 0 || info[i - 1].cluster != cluster) {
        unsigned next = static_cast<unsigned>(to);
        for (unsigned k = i + 1; k < count; ++k)
          if (info[k].cluster != cluster) {
            next = info[k].cluster;
            break;
          }
        if (next > cluster) g.text = std::u32string(shown + cluster, next - cluster);
      }
      // The anchor of an inline frame shows the frame instead of a glyph and takes its width.
      if (chars[cluster] == kTextChar_ObjectReplacement) {
        if (auto owned = story->ownedItems().find(static_cast<int>(cluster));
            owned != story->ownedItems().end()) {
          const auto* inl = db->instantiate<InlineItem>(owned->second);
          const auto* frame =
              inl && inl->GetChildCount() > 0 ? db->instantiate<PageItem>(inl->GetChildUID(0)) : nullptr;
          if (frame && frame->path()) {
            seg.anchors.emplace_back(x, owned->second);
            const PMReal w = frame->path()->bounds(frame->innerToPasteboard()).width();
            if (perChar) perChar[cluster - static_cast<unsigned>(from)] += w;
            x += w;
          }
        }
        continue;
      }
      if (g.text == U" ") ++seg.spaces;
      // Tracking adds to every character's advance.
      const PMReal advance = pos[i].x_advance * scale + (g.text.empty() ? 0 : cs.tracking * cs.size / 1000);
      if (perChar) perChar[cluster - static_cast<unsigned>(from)] += advance;
      x += advance;
      seg.glyphs.push_back(std::move(g));
    }
    seg.width = x;
    return seg;
  };

  std::size_t areaIndex = 0;
  PMReal baseline = 0;
  bool areaHasLine = false;
  bool overset = areas.empty() && end > 0;
  if (overset) result.oversetStart = 0;
  std::vector<ComposedColumn> columns;
  for (const Area& a : areas) columns.push_back({a.textColumn, a.frame, 0, 0, {}, {}});
  int columnStart = 0;
  PMReal spaceAfterPrevious = 0;  // of the paragraph before, below its last line

  // Places one line in the current column (or the next ones); false when none is left.
  // Space before and after paragraphs is left out at the top of a column.
  auto place = [&](Line& line, const ParaStyle& para) -> bool {
    while (areaIndex < areas.size()) {
      const Area& area = areas[areaIndex];
      const PMReal gap = line.firstOfParagraph ? spaceAfterPrevious + para.spaceBefore : 0;
      const PMReal y = areaHasLine ? baseline + line.leading + gap : area.rect.top + line.ascent;
      if (y + line.descent <= area.rect.bottom + 0.01) {
        baseline = y;
        areas[areaIndex].used = y + line.descent;
        areaHasLine = true;
        break;
      }
      columns[areaIndex].start = columnStart;
      columns[areaIndex].span = line.start - columnStart;
      columnStart = line.start;
      ++areaIndex;
      areaHasLine = false;
    }
    if (areaIndex >= areas.size()) return false;
    const Area& area = areas[areaIndex];
    const PMReal indent = para.leftIndent + (line.firstOfParagraph ? para.firstLineIndent : 0);
    const PMReal room = area.rect.width() - indent - para.rightIndent - line.width;
    PMReal x = area.rect.left + indent;
    PMReal extraPerSpace = 0;
    if (para.alignment == Alignment::Center) x += room / 2;
    if (para.alignment == Alignment::Right) x += room;
    if (para.alignment == Alignment::Justify && !line.lastOfParagraph && room > 0) {
      int spaces = 0;
      for (const Piece& p : line.pieces)
        for (const Segment& s : p.segments) spaces += s.spaces;
      // The line's last space doesn't count: it hangs at the end.
      if (!line.pieces.empty() && line.pieces.back().trailingSpace > 0) --spaces;
      if (spaces > 0) extraPerSpace = room / spaces;
    }
    for (const Piece& p : line.pieces) {
      for (const Segment& s : p.segments) {
        GlyphRun run{s.face, s.style.size, s.style.color, s.style.tint, {x, baseline}, {}};
        PMReal shift = 0;
        for (const PositionedGlyph& g : s.glyphs) {
          PositionedGlyph placed = g;
          placed.x += shift;
          run.glyphs.push_back(std::move(placed));
          if (g.text == U" ") shift += extraPerSpace;
        }
        for (const auto& [ax, inlineItem] : s.anchors)
          columns[areaIndex].inlines.push_back({inlineItem, {x + ax, baseline}});
        x += s.width + shift;
        if (!run.glyphs.empty() && run.face) columns[areaIndex].runs.push_back(std::move(run));
      }
    }
    return true;
  };

  // A piece of up to this many characters is shaped whole before it is known to fit.
  constexpr int kShortPiece = 256;
  std::vector<PMReal> perChar;
  for (int paraStart = 0; paraStart < end && !overset;) {
    int paraEnd = paraStart;
    while (paraEnd < end && !isParagraphEnd(chars[paraEnd])) ++paraEnd;
    const ParaStyle para = paragraphStyle(resolve, paraStart);

    // Pieces of the paragraph, each shaped in its style runs.
    auto makePiece = [&](int s, int e, PMReal* widths) {
      Piece piece;
      piece.start = s;
      piece.end = e;
      for (int k = s; k < e;) {
        const CharStyle cs = styleAt(k);
        int m = std::min(e, styleEnd(k));
        while (m < e && styleAt(m) == cs) m = std::min(e, styleEnd(m));
        Segment seg = shape(k, m, cs, widths ? widths + (k - s) : nullptr);
        if (seg.face) {
          piece.ascent = std::max(piece.ascent, seg.face->ascender() * cs.size);
          piece.descent = std::max(piece.descent, -seg.face->descender() * cs.size);
        }
        piece.size = std::max(piece.size, cs.size);
        piece.width += seg.width;
        piece.segments.push_back(std::move(seg));
        k = m;
      }
      if (chars[e - 1] == U' ' && !piece.segments.empty() && !piece.segments.back().glyphs.empty()) {
        const Segment& last = piece.segments.back();
        piece.trailingSpace = last.width - last.glyphs.back().x;
      }
      return piece;
    };
    const PMReal width = areaIndex < areas.size() ? areas[areaIndex].rect.width() : 0;
    Line line;
    line.start = paraStart;
    line.firstOfParagraph = true;
    // The room of the line being filled: the column less the paragraph's indents.
    auto lineWidth = [&] {
      return std::max<PMReal>(1, width - para.leftIndent - para.rightIndent -
                                     (line.firstOfParagraph ? para.firstLineIndent : 0));
    };
    auto tooWide = [&](const Piece& p) { return p.width - p.trailingSpace > lineWidth() + 0.001; };

    // Lines are placed as soon as they are full, so that nothing is made for
    // text past the last column.
    auto leadingOf = [&](PMReal size) { return para.leading ? *para.leading : size * 1.2; };
    auto finish = [&](Line& l) {
      if (!l.pieces.empty() && l.pieces.back().trailingSpace > 0) l.width -= l.pieces.back().trailingSpace;
      if (place(l, para)) return true;
      overset = true;
      result.oversetStart = l.start;
      return false;
    };
    auto add = [&](Piece&& piece) {
      if (!line.pieces.empty() && line.width + piece.width - piece.trailingSpace > lineWidth() + 0.001) {
        line.end = piece.start;
        if (!finish(line)) return false;
        line = Line{};
        line.start = piece.start;
      }
      line.width += piece.width;
      line.ascent = std::max(line.ascent, piece.ascent);
      line.descent = std::max(line.descent, piece.descent);
      line.leading = std::max(line.leading, leadingOf(piece.size));
      line.pieces.push_back(std::move(piece));
      return true;
    };

    // A word wider than the column is broken where it stops fitting. The
    // break is looked for in a stretch about twice as long as the last line
    // had, shaped once; the widths of its beginnings then only add up. Each
    // beginning is confirmed shaped on its own, as it will be set.
    auto breakWord = [&](int from, int to) {
      int window = 64;
      while (true) {
        const int stop = std::min(to, from + window);
        perChar.assign(static_cast<std::size_t>(stop - from), 0);
        Piece stretch = makePiece(from, stop, perChar.data());
        if (stop == to && (!tooWide(stretch) || to - from <= 1)) return add(std::move(stretch));
        // The first beginning [from, k) that is too wide, 2 characters or more, short of the whole.
        int fit = -1;
        PMReal sum = perChar[0];
        for (int k = from + 2; k <= std::min(stop, to - 1); ++k) {
          sum += perChar[static_cast<std::size_t>(k - 1 - from)];
          const PMReal trailing = chars[k - 1] == U' ' ? perChar[static_cast<std::size_t>(k - 1 - from)] : 0;
          if (sum - trailing > lineWidth() + 0.001) {
            fit = k - 1;
            break;
          }
        }
        if (fit < 0 && stop < to) {
          window *= 2;
          continue;
        }
        if (fit < 0) fit = to - 1;
        Piece head = makePiece(from, fit, nullptr);
        while (fit > from + 1 && tooWide(head)) head = makePiece(from, --fit, nullptr);
        while (fit + 1 < to) {
          Piece longer = makePiece(from, fit + 1, nullptr);
          if (tooWide(longer)) break;
          head = std::move(longer);
          ++fit;
        }
        if (!add(std::move(head))) return false;
        window = std::max(64, 2 * (fit - from));
        from = fit;
      }
    };

    for (int s = paraStart; s < paraEnd && !overset;) {
      int e = s;
      while (e < paraEnd && chars[e] != U' ' && chars[e] != U'-') ++e;
      while (e < paraEnd && (chars[e] == U' ' || chars[e] == U'-')) ++e;
      if (e - s > kShortPiece && width > 0) {
        breakWord(s, e);
      } else {
        Piece piece = makePiece(s, e, nullptr);
        if (tooWide(piece) && e - s > 1 && width > 0)
          breakWord(s, e);
        else
          add(std::move(piece));
      }
      s = e;
    }
    if (overset) break;
    // An empty paragraph still takes a line of the size at its return.
    if (line.pieces.empty()) {
      const CharStyle cs = styleAt(paraStart);
      FontRef f = fonts_.get(cs.family, cs.style);
      line.ascent = f.face ? f.face->ascender() * cs.size : cs.size * 0.8;
      line.descent = f.face ? -f.face->descender() * cs.size : cs.size * 0.2;
      line.leading = leadingOf(cs.size);
    }
    line.end = paraEnd < end ? paraEnd + 1 : paraEnd;
    line.lastOfParagraph = true;
    if (!finish(line)) break;
    spaceAfterPrevious = para.spaceAfter;
    paraStart = paraEnd < end ? paraEnd + 1 : paraEnd;
  }
  hb_buffer_destroy(buffer);

  if (areaIndex < areas.size()) {
    const int last = overset ? result.oversetStart : story->TotalLength();
    columns[areaIndex].start = columnStart;
    columns[areaIndex].span = last - columnStart;
    for (std::size_t i = areaIndex + 1; i < columns.size(); ++i) columns[i].start = last;
  }
  // Centred and bottom-aligned columns move their lines down by part of the room left;
  // justified columns are set from the top.
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const Area& area = areas[i];
    const PMReal room = area.rect.bottom - area.used;
    PMReal shift = 0;
    if (area.vertical == VerticalJustification::Center) shift = room / 2;
    if (area.vertical == VerticalJustification::Bottom) shift = room;
    if (shift > 0)
      for (GlyphRun& run : columns[i].runs) run.origin.y += shift;
  }
  result.overset = overset;
  result.columns = std::move(columns);
  return result;
}

}  // namespace korvex
