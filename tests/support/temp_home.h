#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace korvex::test {

// A temporary folder that stands in for the user's home: HOME and the XDG
// folders point into it while the object lives, and it is removed afterwards.
// Its bin/ goes first on PATH, with stand-ins for the desktop's openers.
class TempHome {
 public:
  TempHome();
  ~TempHome();
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path documents() const { return root_ / "Documents"; }
  std::filesystem::path dataHome() const { return root_ / ".local/share"; }
  // A scratch folder inside the home for a test's own files.
  std::filesystem::path scratch() const { return root_ / "scratch"; }
  // What processes started while the home lives asked xdg-open to open (a
  // stand-in first on PATH), in order. The opener runs detached: a caller
  // that just started one waits for the record.
  std::filesystem::path openedRecord() const { return root_ / "opened.txt"; }
  std::vector<std::string> openedPaths() const;

 private:
  std::filesystem::path root_;
  std::map<std::string, std::optional<std::string>> saved_;
};

// Writes bytes to a file, creating its folder.
void writeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readFile(const std::filesystem::path& path);
// The text with every occurrence of from replaced by to.
std::string replaceAll(std::string text, const std::string& from, const std::string& to);

}  // namespace korvex::test
