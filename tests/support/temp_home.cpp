#include "support/temp_home.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace korvex::test {

namespace {
const char* const kVariables[] = {
    "HOME",   "XDG_DATA_HOME", "XDG_DOCUMENTS_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR",
    "TMPDIR", "PATH"};

void writeProgram(const std::filesystem::path& path, const std::string& text) {
  writeFile(path, text);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}
}  // namespace

TempHome::TempHome() {
  std::string pattern = (std::filesystem::temp_directory_path() / "korvex-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  for (const char* name : kVariables) {
    const char* old = std::getenv(name);
    saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
  }
  std::filesystem::create_directories(documents());
  std::filesystem::create_directories(dataHome());
  std::filesystem::create_directories(scratch());
  std::filesystem::create_directories(root_ / "tmp");
  setenv("HOME", root_.c_str(), 1);
  setenv("XDG_DATA_HOME", dataHome().c_str(), 1);
  setenv("XDG_DOCUMENTS_DIR", documents().c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root_ / ".config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (root_ / ".cache").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (root_ / "run").c_str(), 1);
  setenv("TMPDIR", (root_ / "tmp").c_str(), 1);
  // The desktop's openers only write down what they were asked to open, so
  // no test starts a real application (a run that flags its log opens it).
  writeProgram(root_ / "bin" / "xdg-open", "#!/bin/sh\necho \"$1\" >> '" + openedRecord().string() + "'\n");
  writeProgram(root_ / "bin" / "xdg-mime", "#!/bin/sh\nexit 1\n");
  const std::string path = saved_["PATH"].value_or("/usr/bin:/bin");
  setenv("PATH", ((root_ / "bin").string() + ":" + path).c_str(), 1);
}

std::vector<std::string> TempHome::openedPaths() const {
  std::vector<std::string> paths;
  std::istringstream lines(readFile(openedRecord()));
  for (std::string line; std::getline(lines, line);) paths.push_back(line);
  return paths;
}

TempHome::~TempHome() {
  for (const auto& [name, value] : saved_) {
    if (value)
      setenv(name.c_str(), value->c_str(), 1);
    else
      unsetenv(name.c_str());
  }
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

}  // namespace korvex::test
