#include "host/used_fonts.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>

#include "host/document.h"

namespace korvex {

namespace {

struct PatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

FcConfig* config() {
  // fontconfig keeps its configuration for the process; initialising twice is harmless.
  static FcConfig* cfg = FcInitLoadConfigAndFonts();
  return cfg;
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// The best match for the face, kept only when it is the same family and style.
Pattern matchFace(const std::string& family, const std::string& style) {
  FcConfig* cfg = config();
  if (!cfg || family.empty()) return nullptr;
  Pattern pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  if (!style.empty())
    FcPatternAddString(pattern.get(), FC_STYLE, reinterpret_cast<const FcChar8*>(style.c_str()));
  FcConfigSubstitute(cfg, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  Pattern match(FcFontMatch(cfg, pattern.get(), &result));
  if (!match) return nullptr;
  bool familyMatches = false;
  FcChar8* value = nullptr;
  for (int i = 0; FcPatternGetString(match.get(), FC_FAMILY, i, &value) == FcResultMatch; ++i)
    familyMatches = familyMatches || lower(reinterpret_cast<const char*>(value)) == lower(family);
  if (!familyMatches) return nullptr;
  if (!style.empty()) {
    // Foundries name the upright face differently.
    auto plain = [](const std::string& s) {
      return s == "regular" || s == "book" || s == "roman" || s == "normal";
    };
    bool styleMatches = false;
    for (int i = 0; FcPatternGetString(match.get(), FC_STYLE, i, &value) == FcResultMatch; ++i) {
      const std::string found = lower(reinterpret_cast<const char*>(value));
      styleMatches = styleMatches || found == lower(style) || (plain(found) && plain(lower(style)));
    }
    if (!styleMatches) return nullptr;
  }
  return match;
}

}  // namespace

std::optional<std::string> fontFilePath(const std::string& family, const std::string& style) {
  Pattern match = matchFace(family, style);
  FcChar8* file = nullptr;
  if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(file));
}

bool fontIsInstalled(const std::string& family, const std::string& style) {
  return matchFace(family, style) != nullptr;
}

IUsedFontList::IUsedFontList(const IDocument& document) {
  // Families in the order of first use; each story's runs give family and style pairs.
  std::map<std::string, std::size_t> index;
  auto add = [&](const std::string& family, const std::string& style) {
    if (family.empty()) return;
    auto [it, inserted] = index.emplace(family, fonts_.size());
    if (inserted) fonts_.push_back({document.fontFamilyUID(family), family, {}});
    fonts_[it->second].styles.insert(style.empty() ? "Regular" : style);
  };
  const IDataBase* db = document.GetDocDataBase();
  for (UID uid : document.storyList()) {
    const ITextModel* story = db->instantiate<ITextModel>(uid);
    if (!story) continue;
    const int end = story->TotalLength() - 1;
    for (int pos = 0; pos < end;) {
      const auto family = story->QueryRun(AttributeClass::kFontFamily, pos);
      const auto style = story->QueryRun(AttributeClass::kFontStyle, pos);
      const int step = std::min(family->length, style->length);
      const auto* f = std::get_if<std::string>(&family->value);
      const auto* s = std::get_if<std::string>(&style->value);
      if (f) add(*f, s ? *s : std::string());
      pos += std::max(step, 1);
    }
  }
  for (const IDocument::DeclaredFont& f : document.declaredFonts()) add(f.family, f.style);
}

const UsedFont* IUsedFontList::font(UID uid) const {
  for (const UsedFont& f : fonts_)
    if (f.uid == uid) return &f;
  return nullptr;
}

std::vector<std::string> IUsedFontList::missingFonts() const {
  std::vector<std::string> missing;
  for (const UsedFont& f : fonts_)
    for (const std::string& style : f.styles)
      if (!fontIsInstalled(f.family, style)) missing.push_back(f.family + " " + style);
  return missing;
}

}  // namespace korvex
