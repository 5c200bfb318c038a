#include "host/output/pdf_style.h"

#include <nlohmann/json.hpp>
#include <string_view>
#include <utility>

#include "foundation/folders.h"
#include "foundation/interface_language.h"
#include "foundation/json_node.h"

namespace korvex {

std::vector<PdfExportStyle> builtInPdfStyles(bool german) {
  PdfExportStyle print{.name = german ? "[Druckausgabequalität]" : "[High Quality Print]",
                       .downsampleThreshold = 450,
                       .downsampleTarget = 300,
                       .jpegQuality = 95,
                       .pdfVersion = "1.4"};
  PdfExportStyle press{.name = german ? "[Qualitativ hochwertiger Druck]" : "[Press Quality]",
                       .bleed = 8.504,  // 3 mm
                       .cropMarks = true,
                       .downsampleThreshold = 450,
                       .downsampleTarget = 300,
                       .jpegQuality = 95,
                       .pdfVersion = "1.4"};
  PdfExportStyle x4{.name = "[PDF/X-4:2008]",
                    .bleed = 8.504,
                    .cropMarks = true,
                    .downsampleThreshold = 450,
                    .downsampleTarget = 300,
                    .jpegQuality = 95,
                    .pdfVersion = "1.6"};
  PdfExportStyle smallest{.name = german ? "[Kleinste Dateigröße]" : "[Smallest File Size]",
                          .downsampleThreshold = 150,
                          .downsampleTarget = 100,
                          .jpegQuality = 60,
                          .colorConversion = PdfColorConversion::ToRGB,
                          .pdfVersion = "1.6"};
  return {print, press, x4, smallest};
}

std::string userPdfStylesFolder() {
  return applicationSupportDirectory() + "/korvex-host/pdf-styles";
}

std::string pdfStyleToJson(const PdfExportStyle& style) {
  nlohmann::ordered_json j;
  j["exportSpreads"] = style.exportSpreads;
  j["bleed"] = style.bleed;
  j["cropMarks"] = style.cropMarks;
  j["downsampleThreshold"] = style.downsampleThreshold;
  j["downsampleTarget"] = style.downsampleTarget;
  j["jpegQuality"] = style.jpegQuality;
  j["colorConversion"] = style.colorConversion == PdfColorConversion::ToRGB ? "rgb" : "keep";
  j["pdfVersion"] = style.pdfVersion;
  return j.dump(2) + "\n";
}

namespace {

UserStyleStore userPdfStyleStore() {
  return UserStyleStore(userPdfStylesFolder());
}

constexpr std::pair<PdfColorConversion, const char*> kColorConversions[] = {
    {PdfColorConversion::Keep, "keep"}, {PdfColorConversion::ToRGB, "rgb"}};
constexpr std::pair<std::string_view, const char*> kPdfVersions[] = {
    {"1.3", "1.3"}, {"1.4", "1.4"}, {"1.5", "1.5"}, {"1.6", "1.6"}, {"1.7", "1.7"}};

}  // namespace

Result<PdfExportStyle> pdfStyleFromJson(const std::string& text, const std::string& name) {
  PdfExportStyle style{.name = name};
  Status read = readJson(text, [&style](const JsonNode& root) {
    root.expectObject({"exportSpreads", "bleed", "cropMarks", "downsampleThreshold", "downsampleTarget",
                       "jpegQuality", "colorConversion", "pdfVersion"});
    style.exportSpreads = root.flag("exportSpreads", style.exportSpreads);
    style.cropMarks = root.flag("cropMarks", style.cropMarks);
    if (root.has("bleed")) style.bleed = root.at("bleed").number(0, 432);
    if (root.has("downsampleThreshold"))
      style.downsampleThreshold = root.at("downsampleThreshold").number(0, 10000);
    if (root.has("downsampleTarget")) style.downsampleTarget = root.at("downsampleTarget").number(9, 10000);
    if (root.has("jpegQuality")) style.jpegQuality = static_cast<int>(root.at("jpegQuality").integer(1, 100));
    if (root.has("colorConversion"))
      style.colorConversion = root.at("colorConversion").choice(kColorConversions);
    if (root.has("pdfVersion")) style.pdfVersion = root.at("pdfVersion").choice(kPdfVersions);
  });
  if (!read) return read.failure();
  return style;
}

PdfStyleList PdfStyleList::load() {
  PdfStyleList list(builtInPdfStyles(interfaceLanguage() == "de"));
  auto user = userPdfStyleStore().load<PdfExportStyle>(pdfStyleFromJson);
  for (PdfExportStyle& style : user.styles) list.styles_.push_back(std::move(style));
  list.refusals_ = std::move(user.refusals);
  return list;
}

const PdfExportStyle* PdfStyleList::find(const std::string& name) const {
  for (const auto& style : styles_)
    if (style.name == name) return &style;
  // A built-in is also found by its name in the other language: action files
  // name them in the language they were written in.
  if (name.empty() || name.front() != '[') return nullptr;
  const std::vector<PdfExportStyle> german = builtInPdfStyles(true);
  const std::vector<PdfExportStyle> english = builtInPdfStyles(false);
  for (std::size_t i = 0; i < german.size(); ++i) {
    if (name != german[i].name && name != english[i].name) continue;
    for (const auto& style : styles_)
      if (style.name == german[i].name || style.name == english[i].name) return &style;
  }
  return nullptr;
}

ErrorCode addUserPdfStyle(const PdfExportStyle& style, std::string* message) {
  const Status saved = userPdfStyleStore().save(style.name, pdfStyleToJson(style));
  if (!saved && message) *message = saved.message();
  return saved.code();
}

}  // namespace korvex
