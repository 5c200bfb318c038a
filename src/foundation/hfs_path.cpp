#include "foundation/hfs_path.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "foundation/unicode.h"

namespace korvex {

namespace fs = std::filesystem;

namespace {

// File names are bytes: one that is not UTF-8 is kept as it is, never
// turned into replacement characters that name no file.
std::string nameNFC(std::string_view text) {
  return isValidUTF8(text) ? toNFC(text) : std::string(text);
}

// "/" and ":" trade places: the separator of one form is an ordinary
// character of the other.
std::string swapSeparators(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '/')
      c = ':';
    else if (c == ':')
      c = '/';
  }
  return out;
}

bool isDirectory(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

// udev escapes bytes of a label as \xNN in the link's name.
std::string unescapeUdev(std::string_view name) {
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
      char hex[3] = {name[i + 2], name[i + 3], 0};
      char* end = nullptr;
      long v = std::strtol(hex, &end, 16);
      if (end == hex + 2) {
        out.push_back(static_cast<char>(v));
        i += 3;
        continue;
      }
    }
    out.push_back(name[i]);
  }
  return out;
}

std::string userName() {
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name) return pw->pw_name;
  if (const char* user = std::getenv("USER"); user && *user) return user;
  return {};
}

std::string withoutLeadingSlashes(std::string_view text) {
  while (!text.empty() && text.front() == '/') text.remove_prefix(1);
  return std::string(text);
}

}  // namespace

std::string rootVolumeName() {
  struct stat root {};
  if (stat("/", &root) == 0) {
    std::error_code ec;
    for (fs::directory_iterator it("/dev/disk/by-label", ec), end; !ec && it != end; it.increment(ec)) {
      struct stat device {};
      if (stat(it->path().c_str(), &device) == 0 && S_ISBLK(device.st_mode) && device.st_rdev == root.st_dev) {
        std::string label = nameNFC(unescapeUdev(it->path().filename().string()));
        if (!label.empty()) return label;
      }
    }
  }
  return "Root";
}

const HfsVolumes& systemVolumes() {
  static const HfsVolumes volumes = [] {
    HfsVolumes v;
    v.rootName = rootVolumeName();
    std::string user = userName();
    if (!user.empty()) {
      v.mountParents.push_back("/media/" + user);
      v.mountParents.push_back("/run/media/" + user);
    }
    v.mountParents.push_back("/mnt");
    v.fallbackParent = "/Volumes";
    return v;
  }();
  return volumes;
}

std::optional<std::string> posixToHfs(std::string_view path, const HfsVolumes& volumes) {
  if (path.empty() || path.front() != '/') return std::nullopt;
  auto underParent = [&](const std::string& parent, bool mustExist) -> std::optional<std::string> {
    if (parent.empty()) return std::nullopt;
    std::string prefix = parent + "/";
    if (path.substr(0, prefix.size()) != prefix) return std::nullopt;
    std::string_view rest = path.substr(prefix.size());
    std::size_t slash = rest.find('/');
    std::string_view volume = rest.substr(0, slash);
    // A volume named ":…" would give an HFS path starting with "/", which reads as a
    // POSIX path: such a path is named on the root volume instead.
    if (volume.empty() || volume.front() == ':') return std::nullopt;
    if (mustExist && !isDirectory(prefix + std::string(volume))) return std::nullopt;
    std::string_view remainder = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    return swapSeparators(volume) + ":" + swapSeparators(withoutLeadingSlashes(remainder));
  };
  for (const std::string& parent : volumes.mountParents)
    if (auto hfs = underParent(parent, true)) return nameNFC(*hfs);
  if (auto hfs = underParent(volumes.fallbackParent, false)) return nameNFC(*hfs);
  return nameNFC(swapSeparators(volumes.rootName) + ":" + swapSeparators(path.substr(1)));
}

std::optional<std::string> hfsToPosix(std::string_view hfsPath, const HfsVolumes& volumes) {
  if (hfsPath.empty() || hfsPath.front() == '/' || hfsPath.front() == ':') return std::nullopt;
  std::size_t colon = hfsPath.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string volume = nameNFC(swapSeparators(hfsPath.substr(0, colon)));
  std::string rest = swapSeparators(hfsPath.substr(colon + 1));
  if (volume == nameNFC(swapSeparators(volumes.rootName))) return nameNFC("/" + rest);
  std::string mount;
  for (const std::string& parent : volumes.mountParents) {
    if (!parent.empty() && isDirectory(parent + "/" + volume)) {
      mount = parent + "/" + volume;
      break;
    }
  }
  if (mount.empty()) mount = volumes.fallbackParent + "/" + volume;
  if (rest.empty()) return nameNFC(mount);
  return nameNFC(mount + "/" + rest);
}

std::optional<std::string> pathWithString(std::optional<std::string_view> text) {
  if (!text) return std::nullopt;
  if (!text->empty() && text->front() != '/')
    if (auto posix = hfsToPosix(*text)) return posix;
  return nameNFC(*text);
}

std::optional<std::string> hfsPathWithString(std::optional<std::string_view> text) {
  if (!text) return std::nullopt;
  if (auto hfs = posixToHfs(*text)) return hfs;
  return nameNFC(*text);
}

}  // namespace korvex
