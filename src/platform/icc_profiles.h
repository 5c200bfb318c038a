#pragma once

// The installed colour profiles: ICC files in the usual folders, each known
// by the description lcms2 reads from it.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace korvex {

// The folders searched for profiles, in this order (each with its subfolders):
// $XDG_DATA_HOME/icc (~/.local/share/icc when unset), ~/.color/icc, each
// $XDG_DATA_DIRS entry's color/icc (/usr/local/share and /usr/share when
// unset), then /usr/share/color/icc, /usr/local/share/color/icc and
// /var/lib/color/icc. A folder named twice is searched once.
std::vector<std::filesystem::path> iccProfileFolders();

enum class ProfileSpace { gray, rgb, cmyk, lab, other };

struct InstalledProfile {
  std::string description;  // English description, as lcms2 reads it
  std::filesystem::path path;
  std::string data;  // the profile's bytes
  ProfileSpace space = ProfileSpace::other;
  bool output = false;  // an output (printer) profile
};

// The first profile, in folder order and then by file name, whose description
// equals the text exactly; none for an empty text or no match. Files that
// are not profiles are passed over.
std::optional<InstalledProfile> findInstalledProfile(const std::string& description);

}  // namespace korvex
