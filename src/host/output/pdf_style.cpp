#include "host/output/pdf_style.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "foundation/atomic_file.h"
#include "foundation/folders.h"
#include "foundation/interface_language.h"

namespace korvex {

namespace fs = std::filesystem;

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

bool fail(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

bool readNumber(const nlohmann::json& j, const char* key, double low, double high, double& out,
                std::string* error) {
  if (!j.contains(key)) return true;
  const auto& v = j[key];
  if (!v.is_number() || v.get<double>() < low || v.get<double>() > high)
    return fail(error, std::string("\"") + key + "\" must be a number from " + std::to_string(low) + " to " +
                           std::to_string(high));
  out = v.get<double>();
  return true;
}

bool readBool(const nlohmann::json& j, const char* key, bool& out, std::string* error) {
  if (!j.contains(key)) return true;
  if (!j[key].is_boolean()) return fail(error, std::string("\"") + key + "\" must be true or false");
  out = j[key].get<bool>();
  return true;
}

bool validFileName(const std::string& name) {
  return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos && name.size() < 200;
}

}  // namespace

std::optional<PdfExportStyle> pdfStyleFromJson(const std::string& text, const std::string& name,
                                               std::string* error) {
  nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    fail(error, "not a JSON object");
    return std::nullopt;
  }
  PdfExportStyle style;
  style.name = name;
  double quality = style.jpegQuality;
  if (!readBool(j, "exportSpreads", style.exportSpreads, error) ||
      !readBool(j, "cropMarks", style.cropMarks, error) ||
      !readNumber(j, "bleed", 0, 432, style.bleed, error) ||
      !readNumber(j, "downsampleThreshold", 0, 10000, style.downsampleThreshold, error) ||
      !readNumber(j, "downsampleTarget", 9, 10000, style.downsampleTarget, error) ||
      !readNumber(j, "jpegQuality", 1, 100, quality, error))
    return std::nullopt;
  style.jpegQuality = static_cast<int>(quality);
  if (j.contains("colorConversion")) {
    const auto& v = j["colorConversion"];
    if (v == "keep")
      style.colorConversion = PdfColorConversion::Keep;
    else if (v == "rgb")
      style.colorConversion = PdfColorConversion::ToRGB;
    else {
      fail(error, "\"colorConversion\" must be \"keep\" or \"rgb\"");
      return std::nullopt;
    }
  }
  if (j.contains("pdfVersion")) {
    const auto& v = j["pdfVersion"];
    static const char* const kVersions[] = {"1.3", "1.4", "1.5", "1.6", "1.7"};
    if (!v.is_string() ||
        std::find(std::begin(kVersions), std::end(kVersions), v.get<std::string>()) == std::end(kVersions)) {
      fail(error, "\"pdfVersion\" must be one of 1.3, 1.4, 1.5, 1.6, 1.7");
      return std::nullopt;
    }
    style.pdfVersion = v.get<std::string>();
  }
  return style;
}

PdfStyleList PdfStyleList::load() {
  PdfStyleList list(builtInPdfStyles(interfaceLanguage() == "de"));
  std::error_code ec;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(userPdfStylesFolder(), ec)) {
    if (entry.path().extension() == ".json" && entry.is_regular_file(ec)) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    std::string name = file.stem().string();
    if (name.empty() || name[0] == '[' || list.find(name)) continue;
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    if (auto style = pdfStyleFromJson(text.str(), name, &error))
      list.styles_.push_back(std::move(*style));
    else
      list.problems_.push_back(file.string() + ": " + error);
  }
  return list;
}

const PdfExportStyle* PdfStyleList::find(const std::string& name) const {
  for (const auto& style : styles_)
    if (style.name == name) return &style;
  return nullptr;
}

ErrorCode addUserPdfStyle(const PdfExportStyle& style, std::string* message) {
  if (!style.name.empty() && style.name[0] == '[') {
    if (message) *message = "names beginning with \"[\" belong to the built-in styles";
    return kInvalidParameterError;
  }
  if (!validFileName(style.name)) {
    if (message) *message = "a style name can't be empty, begin with a dot or contain a slash";
    return kInvalidParameterError;
  }
  std::error_code ec;
  fs::create_directories(userPdfStylesFolder(), ec);
  const std::string path = userPdfStylesFolder() + "/" + style.name + ".json";
  if (auto error = writeFileAtomically(path, pdfStyleToJson(style))) {
    if (message) *message = path + ": " + error.message();
    return kFileWriteError;
  }
  return kSuccess;
}

}  // namespace korvex
