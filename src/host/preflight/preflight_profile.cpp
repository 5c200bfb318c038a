#include "host/preflight/preflight_profile.h"

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
  return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos && name[0] != '[';
}

}  // namespace

std::string userPreflightProfilesFolder() {
  return applicationSupportDirectory() + "/korvex-host/preflight-profiles";
}

std::string preflightProfileToJson(const PreflightProfile& p) {
  nlohmann::ordered_json j;
  j["missingLinks"] = p.missingLinks;
  j["modifiedLinks"] = p.modifiedLinks;
  j["missingFonts"] = p.missingFonts;
  j["oversetText"] = p.oversetText;
  j["minImageResolution"] = p.minImageResolution;
  nlohmann::ordered_json banned = nlohmann::ordered_json::array();
  if (!p.allowRGB) banned.push_back("RGB");
  if (!p.allowLab) banned.push_back("Lab");
  if (!p.allowSpot) banned.push_back("Spot");
  j["disallowedColors"] = banned;
  j["minStrokeWeight"] = p.minStrokeWeight;
  return j.dump(2) + "\n";
}

std::optional<PreflightProfile> preflightProfileFromJson(const std::string& text, const std::string& name,
                                                         std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<PreflightProfile> {
    if (error) *error = why;
    return std::nullopt;
  };
  const auto j = nlohmann::json::parse(text, nullptr, false);
  if (j.is_discarded() || !j.is_object()) return fail("not a JSON object");
  PreflightProfile p;
  p.name = name;
  for (const auto& [key, v] : j.items()) {
    if (key == "missingLinks" || key == "modifiedLinks" || key == "missingFonts" || key == "oversetText") {
      if (!v.is_boolean()) return fail(key + ": expected true or false");
      bool& flag = key == "missingLinks"    ? p.missingLinks
                   : key == "modifiedLinks" ? p.modifiedLinks
                   : key == "missingFonts"  ? p.missingFonts
                                            : p.oversetText;
      flag = v.get<bool>();
    } else if (key == "minImageResolution" || key == "minStrokeWeight") {
      const double limit = key == "minImageResolution" ? 4800 : 1000;
      if (!v.is_number() || v.get<double>() < 0 || v.get<double>() > limit)
        return fail(key + ": expected a number from 0 to " + std::to_string(static_cast<int>(limit)));
      (key == "minImageResolution" ? p.minImageResolution : p.minStrokeWeight) = v.get<double>();
    } else if (key == "disallowedColors") {
      if (!v.is_array()) return fail("disallowedColors: expected a list of \"RGB\", \"Lab\", \"Spot\"");
      for (const auto& model : v) {
        const std::string m = model.is_string() ? model.get<std::string>() : std::string();
        if (m == "RGB")
          p.allowRGB = false;
        else if (m == "Lab")
          p.allowLab = false;
        else if (m == "Spot")
          p.allowSpot = false;
        else
          return fail("disallowedColors: expected \"RGB\", \"Lab\" or \"Spot\", not " + model.dump());
      }
    } else {
      return fail("unknown key \"" + key + "\"");
    }
  }
  return p;
}

PreflightProfileList PreflightProfileList::load() {
  PreflightProfileList list({PreflightProfile{.name = kBasicPreflightProfile}});
  std::error_code ec;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(userPreflightProfilesFolder(), ec))
    if (entry.path().extension() == ".json" && entry.is_regular_file(ec)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    const std::string name = file.stem().string();
    if (!validFileName(name) || list.find(name)) continue;
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    if (auto profile = preflightProfileFromJson(text.str(), name, &error))
      list.profiles_.push_back(std::move(*profile));
    else
      list.problems_.push_back(file.string() + ": " + error);
  }
  return list;
}

int PreflightProfileList::indexOf(const std::string& name) const {
  for (std::size_t i = 0; i < profiles_.size(); ++i)
    if (profiles_[i].name == name) return static_cast<int>(i);
  return -1;
}

const PreflightProfile* PreflightProfileList::find(const std::string& name) const {
  const int i = indexOf(name);
  return i < 0 ? nullptr : &profiles_[static_cast<std::size_t>(i)];
}

ErrorCode addUserPreflightProfile(const PreflightProfile& profile, std::string* message) {
  if (!validFileName(profile.name)) {
    if (message) *message = "a profile name can't be empty, begin with \"[\" or a dot, or contain a slash";
    return kInvalidParameterError;
  }
  std::error_code ec;
  fs::create_directories(userPreflightProfilesFolder(), ec);
  const std::string path = userPreflightProfilesFolder() + "/" + profile.name + ".json";
  if (auto error = writeFileAtomically(path, preflightProfileToJson(profile))) {
    if (message) *message = path + ": " + error.message();
    return kFileWriteError;
  }
  return kSuccess;
}

}  // namespace korvex
