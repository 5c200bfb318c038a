#include "host/preflight/preflight_profile.h"

#include <nlohmann/json.hpp>
#include <utility>

#include "foundation/folders.h"
#include "foundation/json_node.h"

namespace korvex {

namespace {

UserStyleStore userPreflightProfileStore() {
  return UserStyleStore(userPreflightProfilesFolder());
}

enum class ColorModelRule { RGB, Lab, Spot };
constexpr std::pair<ColorModelRule, const char*> kColorModelRules[] = {
    {ColorModelRule::RGB, "RGB"}, {ColorModelRule::Lab, "Lab"}, {ColorModelRule::Spot, "Spot"}};

}  // namespace

std::string userPreflightProfilesFolder() {
  return applicationSupportDirectory() + "/korvex-host/preflight-profiles";
}

std::string preflightProfileToJson(const PreflightProfile& p) {
  nlohmann::ordered_json j;
  j["missingLinks"] = p.missingLinks;
  j["modifiedLinks"] = p.modifiedLinks;
  j["undrawableLinks"] = p.undrawableLinks;
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

Result<PreflightProfile> preflightProfileFromJson(const std::string& text, const std::string& name) {
  PreflightProfile p{.name = name};
  Status read = readJson(text, [&p](const JsonNode& root) {
    root.expectObject({"missingLinks", "modifiedLinks", "undrawableLinks", "missingFonts", "oversetText",
                       "minImageResolution", "disallowedColors", "minStrokeWeight"});
    p.missingLinks = root.flag("missingLinks", p.missingLinks);
    p.modifiedLinks = root.flag("modifiedLinks", p.modifiedLinks);
    p.undrawableLinks = root.flag("undrawableLinks", p.undrawableLinks);
    p.missingFonts = root.flag("missingFonts", p.missingFonts);
    p.oversetText = root.flag("oversetText", p.oversetText);
    if (root.has("minImageResolution")) p.minImageResolution = root.at("minImageResolution").number(0, 4800);
    if (root.has("minStrokeWeight")) p.minStrokeWeight = root.at("minStrokeWeight").number(0, 1000);
    for (const JsonNode& model : root.array("disallowedColors")) {
      switch (model.choice(kColorModelRules)) {
        case ColorModelRule::RGB: p.allowRGB = false; break;
        case ColorModelRule::Lab: p.allowLab = false; break;
        case ColorModelRule::Spot: p.allowSpot = false; break;
      }
    }
  });
  if (!read) return read.failure();
  return p;
}

PreflightProfileList PreflightProfileList::load() {
  PreflightProfileList list({PreflightProfile{.name = kBasicPreflightProfile}});
  auto user = userPreflightProfileStore().load<PreflightProfile>(preflightProfileFromJson);
  for (PreflightProfile& profile : user.styles) list.profiles_.push_back(std::move(profile));
  list.refusals_ = std::move(user.refusals);
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
  const Status saved = userPreflightProfileStore().save(profile.name, preflightProfileToJson(profile));
  if (!saved && message) *message = saved.message();
  return saved.code();
}

}  // namespace korvex
