#include "platform/icc_profiles.h"

#include <lcms2.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <system_error>

namespace korvex {

namespace fs = std::filesystem;

namespace {

// Profiles are small; a larger file is not one and is not read whole.
constexpr std::uintmax_t kMaxProfileBytes = 64u << 20;

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

struct ProfileCloser {
  void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using ProfileHandle = std::unique_ptr<void, ProfileCloser>;

ProfileSpace spaceOf(cmsColorSpaceSignature signature) {
  switch (signature) {
    case cmsSigGrayData: return ProfileSpace::gray;
    case cmsSigRgbData: return ProfileSpace::rgb;
    case cmsSigCmykData: return ProfileSpace::cmyk;
    case cmsSigLabData: return ProfileSpace::lab;
    default: return ProfileSpace::other;
  }
}

bool hasIccExtension(const fs::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".icc" || extension == ".icm";
}

std::optional<std::string> readSmallFile(const fs::path& path) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size > kMaxProfileBytes) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) return std::nullopt;
  return bytes;
}

// The profile's description and kind, or none when lcms2 can't read it.
std::optional<InstalledProfile> describe(const fs::path& path) {
  std::optional<std::string> bytes = readSmallFile(path);
  if (!bytes || bytes->size() < 128) return std::nullopt;
  ProfileHandle profile(cmsOpenProfileFromMem(bytes->data(), static_cast<cmsUInt32Number>(bytes->size())));
  if (!profile) return std::nullopt;
  char text[512] = {0};
  if (cmsGetProfileInfoASCII(profile.get(), cmsInfoDescription, "en", "US", text, sizeof text) == 0)
    return std::nullopt;
  InstalledProfile found;
  found.description = text;
  found.path = path;
  found.space = spaceOf(cmsGetColorSpace(profile.get()));
  found.output = cmsGetDeviceClass(profile.get()) == cmsSigOutputClass;
  found.data = std::move(*bytes);
  return found;
}

// The profile files under a folder, sorted so the first match is the same every time.
std::vector<fs::path> profileFilesUnder(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return files;
  fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError) && hasIccExtension(it->path())) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

std::vector<fs::path> iccProfileFolders() {
  std::vector<fs::path> folders;
  auto add = [&](const fs::path& folder) {
    if (folder.empty() || !folder.is_absolute()) return;
    const fs::path normal = folder.lexically_normal();
    if (std::find(folders.begin(), folders.end(), normal) == folders.end()) folders.push_back(normal);
  };
  const std::string home = environment("HOME");
  const std::string dataHome = environment("XDG_DATA_HOME");
  if (!dataHome.empty())
    add(fs::path(dataHome) / "icc");
  else if (!home.empty())
    add(fs::path(home) / ".local/share/icc");
  if (!home.empty()) add(fs::path(home) / ".color/icc");
  std::string dataDirs = environment("XDG_DATA_DIRS");
  if (dataDirs.empty()) dataDirs = "/usr/local/share:/usr/share";
  std::istringstream dirs(dataDirs);
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (!dir.empty()) add(fs::path(dir) / "color/icc");
  add("/usr/share/color/icc");
  add("/usr/local/share/color/icc");
  add("/var/lib/color/icc");
  return folders;
}

std::optional<InstalledProfile> findInstalledProfile(const std::string& description) {
  if (description.empty()) return std::nullopt;
  for (const fs::path& folder : iccProfileFolders()) {
    for (const fs::path& file : profileFilesUnder(folder)) {
      std::optional<InstalledProfile> profile = describe(file);
      if (profile && profile->description == description) return profile;
    }
  }
  return std::nullopt;
}

}  // namespace korvex
