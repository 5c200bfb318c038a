#pragma once

// Text composition with real fonts: fontconfig finds the font file,
// FreeType gives metrics, HarfBuzz shapes. Greedy lines broken at spaces and
// hyphens, paragraphs at returns, leading 120 % of the size unless a
// paragraph style sets "Leading", alignment from the paragraph style's
// "Justification", frame insets and columns, threaded frames in order.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/geometry.h"
#include "host/host_types.h"

struct hb_blob_t;
struct hb_face_t;
struct hb_font_t;

namespace korvex {

class IDocument;
class FontFace;

// A font face loaded for composition and embedding; shared by all glyph runs
// that use it. fallback is set when the asked-for face is not installed.
struct FontRef {
  std::shared_ptr<FontFace> face;
  bool fallback = false;
};

class FontCache {
 public:
  FontCache();
  ~FontCache();
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;
  // Null only when not even the fallback font can be loaded.
  FontRef get(const std::string& family, const std::string& style);

 private:
  std::map<std::string, FontRef> faces_;
  std::map<std::string, std::shared_ptr<FontFace>> byFile_;
};

struct PositionedGlyph {
  unsigned glyph = 0;
  PMReal x = 0;  // from the run's origin, in points
  PMReal y = 0;
  std::u32string text;  // the characters this glyph stands for (first glyph of a cluster only)
};

// Glyphs of one face, size and colour on one baseline.
struct GlyphRun {
  std::shared_ptr<FontFace> face;
  PMReal size = 12;
  UID colorSwatch = kInvalidUID;
  std::optional<PMReal> tint;
  PMPoint origin;  // baseline start, in the frame's inner coordinates
  std::vector<PositionedGlyph> glyphs;
};

struct ComposedColumn {
  UID textColumn = kInvalidUID;
  UID frame = kInvalidUID;  // the spline item whose inner coordinates the runs use
  int start = 0;
  int span = 0;
  std::vector<GlyphRun> runs;
  // Frames anchored in the text: the inline item and where the frame's bottom left goes.
  struct Inline {
    UID inlineItem = kInvalidUID;
    PMPoint position;  // frame coordinates, on the baseline
  };
  std::vector<Inline> inlines;
};

struct ComposedStory {
  std::vector<ComposedColumn> columns;  // thread order
  bool overset = false;
  int oversetStart = -1;  // first character that did not fit
};

class Composer {
 public:
  explicit Composer(const IDocument& document);
  ~Composer();
  // Composed once and kept.
  const ComposedStory& story(UID story);
  // The composition of the text column (its story composed on first use), else null.
  const ComposedColumn* column(UID textColumn);
  FontCache& fonts() { return fonts_; }

 private:
  ComposedStory compose(UID story);
  const IDocument& document_;
  FontCache fonts_;
  std::map<UID, ComposedStory> stories_;
};

// Loaded face: FreeType face and HarfBuzz font over the same file.
class FontFace {
 public:
  static std::shared_ptr<FontFace> load(const std::string& path, int index);
  ~FontFace();
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  const std::string& path() const { return path_; }
  int index() const { return index_; }
  const std::string& postScriptName() const { return postScriptName_; }
  unsigned unitsPerEm() const { return upem_; }
  // Per em: ascender positive, descender negative.
  double ascender() const { return ascender_; }
  double descender() const { return descender_; }
  double capHeight() const { return capHeight_; }
  double italicAngle() const { return italicAngle_; }
  bool isCff() const { return cff_; }
  // Advance of a glyph in font units.
  int advance(unsigned glyph) const;
  // Font bounding box in font units (x0, y0, x1, y1).
  std::vector<int> bbox() const;
  hb_font_t* hbFont() const { return hbFont_; }
  hb_face_t* hbFace() const { return hbFace_; }

 private:
  FontFace() = default;
  std::string path_;
  int index_ = 0;
  std::string postScriptName_;
  unsigned upem_ = 1000;
  double ascender_ = 0.8, descender_ = -0.2, capHeight_ = 0.7, italicAngle_ = 0;
  bool cff_ = false;
  hb_blob_t* hbBlob_ = nullptr;
  hb_face_t* hbFace_ = nullptr;
  hb_font_t* hbFont_ = nullptr;
};

}  // namespace korvex
