#include "host/output/print_style.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "foundation/atomic_file.h"
#include "foundation/folders.h"

namespace korvex {

namespace fs = std::filesystem;

namespace {

bool validFileName(const std::string& name) {
  return !name.empty() && name[0] != '.' && name[0] != '[' && name.find('/') == std::string::npos &&
         name != kDefaultPrintStyleKey;
}

}  // namespace

std::string userPrintStylesFolder() {
  return applicationSupportDirectory() + "/korvex-host/print-styles";
}

std::string printStyleToJson(const PrintStyle& style) {
  nlohmann::ordered_json j;
  j["destination"] = style.destination;
  j["printer"] = style.printer;
  j["outputFile"] = style.outputFile;
  j["spreads"] = style.spreads;
  j["copies"] = style.copies;
  return j.dump(2) + "\n";
}

std::optional<PrintStyle> printStyleFromJson(const std::string& text, const std::string& name,
                                             std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<PrintStyle> {
    if (error) *error = why;
    return std::nullopt;
  };
  const auto j = nlohmann::json::parse(text, nullptr, false);
  if (j.is_discarded() || !j.is_object()) return fail("not a JSON object");
  PrintStyle style;
  style.name = name;
  for (const auto& [key, v] : j.items()) {
    if (key == "destination") {
      if (!v.is_number_integer() || v.get<int>() < 0 || v.get<int>() > 2)
        return fail("destination: expected 0 (printer), 1 or 2 (PostScript file)");
      style.destination = v.get<int>();
    } else if (key == "printer" || key == "outputFile") {
      if (!v.is_string()) return fail(key + ": expected a string");
      (key == "printer" ? style.printer : style.outputFile) = v.get<std::string>();
    } else if (key == "spreads") {
      if (!v.is_boolean()) return fail("spreads: expected true or false");
      style.spreads = v.get<bool>();
    } else if (key == "copies") {
      if (!v.is_number_integer() || v.get<int>() < 1 || v.get<int>() > 999)
        return fail("copies: expected a whole number from 1 to 999");
      style.copies = v.get<int>();
    } else {
      return fail("unknown key \"" + key + "\"");
    }
  }
  // A printer name goes to lp as one argument; refuse what lp would read as an option.
  if (!style.printer.empty() && style.printer[0] == '-')
    return fail("printer: a name can't begin with \"-\"");
  return style;
}

PrintStyleList PrintStyleList::load() {
  PrintStyleList list({PrintStyle{.name = kDefaultPrintStyleKey}});
  std::error_code ec;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(userPrintStylesFolder(), ec))
    if (entry.path().extension() == ".json" && entry.is_regular_file(ec)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    const std::string name = file.stem().string();
    if (!validFileName(name) || list.indexOf(name) >= 0) continue;
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    if (auto style = printStyleFromJson(text.str(), name, &error))
      list.styles_.push_back(std::move(*style));
    else
      list.problems_.push_back(file.string() + ": " + error);
  }
  return list;
}

int PrintStyleList::indexOf(const std::string& name) const {
  for (std::size_t i = 0; i < styles_.size(); ++i)
    if (styles_[i].name == name) return static_cast<int>(i);
  return -1;
}

const PrintStyle* PrintStyleList::find(const std::string& name) const {
  const int i = indexOf(name);
  return i < 0 ? nullptr : &styles_[static_cast<std::size_t>(i)];
}

PrintStyle* PrintStyleList::find(const std::string& name) {
  const int i = indexOf(name);
  return i < 0 ? nullptr : &styles_[static_cast<std::size_t>(i)];
}

ErrorCode addUserPrintStyle(const PrintStyle& style, std::string* message) {
  if (!validFileName(style.name)) {
    if (message)
      *message =
          "a print style name can't be empty, be the default's key, begin with \"[\" or a dot, or "
          "contain a slash";
    return kInvalidParameterError;
  }
  std::error_code ec;
  fs::create_directories(userPrintStylesFolder(), ec);
  const std::string path = userPrintStylesFolder() + "/" + style.name + ".json";
  if (auto error = writeFileAtomically(path, printStyleToJson(style))) {
    if (message) *message = path + ": " + error.message();
    return kFileWriteError;
  }
  return kSuccess;
}

}  // namespace korvex
