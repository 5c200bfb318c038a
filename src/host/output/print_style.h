#pragma once

// Print styles: the host's default style, listed under the key
// "kPrSt_DefaultName", and the user's own, one JSON file each in the host's
// data folder.

#include <string>
#include <vector>

#include "foundation/result.h"
#include "host/host_types.h"
#include "host/user_style_store.h"

namespace korvex {

// The host lists its default print style under this key; showing it under a
// translated name is the caller's business.
inline constexpr const char* kDefaultPrintStyleKey = "kPrSt_DefaultName";

enum PrintDestination : int {
  kPrintToPrinter = 0,     // a named printer through CUPS
  kPrintToFile = 1,        // PostScript file
  kPrintToFileSpread = 2,  // PostScript file as well
};

struct PrintStyle {
  std::string name;
  int destination = kPrintToFile;
  std::string printer{};     // CUPS queue for destination 0; empty: the system's default
  std::string outputFile{};  // for destinations 1 and 2; a POSIX or an HFS path
  bool spreads = false;      // each spread on one sheet
  int copies = 1;
  friend bool operator==(const PrintStyle&, const PrintStyle&) = default;
};

// $XDG_DATA_HOME/korvex-host/print-styles
std::string userPrintStylesFolder();

std::string printStyleToJson(const PrintStyle& style);
// Reads the keys present over the defaults; fails with "PATH: PROBLEM" when
// the text is not a JSON object, a key is unknown or a value is out of range.
Result<PrintStyle> printStyleFromJson(const std::string& text, const std::string& name);

// The session's list: the default style first, then the user's by file name.
class PrintStyleList {
 public:
  static PrintStyleList load();
  explicit PrintStyleList(std::vector<PrintStyle> styles) : styles_(std::move(styles)) {}

  int count() const { return static_cast<int>(styles_.size()); }
  const std::vector<PrintStyle>& styles() const { return styles_; }
  // Index of the style with exactly that name; -1 when absent.
  int indexOf(const std::string& name) const;
  const PrintStyle* find(const std::string& name) const;
  // Mutable: a caller may set the output file name on the style itself.
  PrintStyle* find(const std::string& name);
  // The user's files that were not taken.
  const std::vector<StyleRefusal>& refusals() const { return refusals_; }

 private:
  std::vector<PrintStyle> styles_;
  std::vector<StyleRefusal> refusals_;
};

// Stores a user style as <folder>/<name>.json (atomically); the default's key
// and names that can't be file names are refused.
ErrorCode addUserPrintStyle(const PrintStyle& style, std::string* message = nullptr);

}  // namespace korvex
