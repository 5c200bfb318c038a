#include "foundation/folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace korvex {

namespace {

std::string nonEmptyEnv(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : std::string();
}

std::string expandTilde(std::string path) {
  if (path == "~" || path.starts_with("~/")) path = homeDirectory() + path.substr(1);
  return path;
}

}  // namespace

std::string homeDirectory() {
  if (auto home = nonEmptyEnv("HOME"); !home.empty()) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

std::string userDocumentsDirectory() {
  if (auto dir = nonEmptyEnv("XDG_DOCUMENTS_DIR"); !dir.empty()) return expandTilde(dir);
  return homeDirectory() + "/Documents";
}

std::string applicationSupportDirectory() {
  if (auto dir = nonEmptyEnv("XDG_DATA_HOME"); !dir.empty()) return expandTilde(dir);
  return homeDirectory() + "/.local/share";
}

std::string temporaryDirectory() {
  if (auto dir = nonEmptyEnv("TMPDIR"); !dir.empty()) return dir;
  return "/tmp";
}

}  // namespace korvex
