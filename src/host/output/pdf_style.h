#pragma once

// PDF export styles: the host's built-in presets (named after the interface
// language) and the user's own, one JSON file each in the host's data folder.

#include <string>
#include <vector>

#include "foundation/result.h"
#include "host/host_types.h"
#include "host/user_style_store.h"

namespace korvex {

enum class PdfColorConversion { Keep, ToRGB };

struct PdfExportStyle {
  std::string name;
  bool exportSpreads = false;
  PMReal bleed = 0;  // points on every side
  bool cropMarks = false;
  // Images above the threshold (pixels per inch on the page) are resampled
  // to the target; a threshold of 0 never resamples.
  PMReal downsampleThreshold = 0;
  PMReal downsampleTarget = 300;
  int jpegQuality = 90;  // for images the export re-encodes
  PdfColorConversion colorConversion = PdfColorConversion::Keep;
  std::string pdfVersion = "1.6";  // "1.3" … "1.7"
  friend bool operator==(const PdfExportStyle&, const PdfExportStyle&) = default;
};

// The built-in styles in the interface language; every name begins with "[".
std::vector<PdfExportStyle> builtInPdfStyles(bool german);

// $XDG_DATA_HOME/korvex-host/pdf-styles
std::string userPdfStylesFolder();

// The style as JSON text (without its name: the file name carries it).
std::string pdfStyleToJson(const PdfExportStyle& style);
// Reads the keys present over the defaults; fails with "PATH: PROBLEM" when
// the text is not a JSON object, a key is unknown or a value is out of range.
Result<PdfExportStyle> pdfStyleFromJson(const std::string& text, const std::string& name);

// The session's list: built-ins first, then the user's styles by file name.
class PdfStyleList {
 public:
  // The built-ins in the interface language, then the user's folder.
  static PdfStyleList load();
  PdfStyleList(std::vector<PdfExportStyle> styles) : styles_(std::move(styles)) {}

  const std::vector<PdfExportStyle>& styles() const { return styles_; }
  int count() const { return static_cast<int>(styles_.size()); }
  // Exact, case-sensitive name; a built-in also by its German or English
  // name, whatever the interface language.
  const PdfExportStyle* find(const std::string& name) const;
  // The user's files that were not taken.
  const std::vector<StyleRefusal>& refusals() const { return refusals_; }

 private:
  std::vector<PdfExportStyle> styles_;
  std::vector<StyleRefusal> refusals_;
};

// Stores a user style as <folder>/<name>.json (atomically). Built-in names
// (beginning with "[") and names that can't be file names are refused.
ErrorCode addUserPdfStyle(const PdfExportStyle& style, std::string* message = nullptr);

}  // namespace korvex
