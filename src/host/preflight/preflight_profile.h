#pragma once

// Preflight profiles: which rules a document is checked against. The host's
// built-in "[Basic]" plus the user's own, one JSON file each in the host's
// data folder.

#include <string>
#include <vector>

#include "foundation/result.h"
#include "host/host_types.h"
#include "host/user_style_store.h"

namespace korvex {

inline constexpr const char* kBasicPreflightProfile = "[Basic]";

struct PreflightProfile {
  std::string name;
  bool missingLinks = true;
  bool modifiedLinks = true;
  bool undrawableLinks = true;  // linked files that are there but can't be drawn
  bool missingFonts = true;
  bool oversetText = true;
  // Effective pixels per inch on the page; 0 does not check.
  PMReal minImageResolution = 0;
  bool allowRGB = true;
  bool allowLab = true;
  bool allowSpot = true;
  // Points; 0 does not check.
  PMReal minStrokeWeight = 0;
  friend bool operator==(const PreflightProfile&, const PreflightProfile&) = default;
};

// $XDG_DATA_HOME/korvex-host/preflight-profiles
std::string userPreflightProfilesFolder();

std::string preflightProfileToJson(const PreflightProfile& profile);
// Keys present over the defaults; fails with "PATH: PROBLEM" when the text is
// not a JSON object, a key is unknown or a value is out of range.
Result<PreflightProfile> preflightProfileFromJson(const std::string& text, const std::string& name);

// The session's list: "[Basic]" first, then the user's profiles by file name.
class PreflightProfileList {
 public:
  static PreflightProfileList load();
  explicit PreflightProfileList(std::vector<PreflightProfile> profiles) : profiles_(std::move(profiles)) {}

  int count() const { return static_cast<int>(profiles_.size()); }
  const PreflightProfile& at(int index) const { return profiles_.at(static_cast<std::size_t>(index)); }
  const std::vector<PreflightProfile>& profiles() const { return profiles_; }
  // Index of the profile with exactly that name; -1 when absent.
  int indexOf(const std::string& name) const;
  const PreflightProfile* find(const std::string& name) const;
  // The user's files that were not taken.
  const std::vector<StyleRefusal>& refusals() const { return refusals_; }

 private:
  std::vector<PreflightProfile> profiles_;
  std::vector<StyleRefusal> refusals_;
};

// Stores a user profile as <folder>/<name>.json (atomically); built-in names and
// names that can't be file names are refused.
ErrorCode addUserPreflightProfile(const PreflightProfile& profile, std::string* message = nullptr);

}  // namespace korvex
