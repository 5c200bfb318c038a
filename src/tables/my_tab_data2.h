#pragma once

// MyTabData2: a key/value table read from a two-column text file, split at
// semicolons when the first line holds one, otherwise at tabs. It remembers
// the file's modification time and reads the file again when it has changed.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvex {

class MyTabData2 {
 public:
  MyTabData2() = default;

  // Null when there is no path. The encoding number is kept for the callers
  // that pass one; the reading detects the file's encoding itself.
  static std::unique_ptr<MyTabData2> tabDataWithFile(const std::optional<std::string>& path, int encoding);

  void initWithFile(const std::string& path, int encoding);
  void setupWithFile(const std::string& path, int encoding);
  void reloadWithEncoding(int encoding);
  // False without reading when the path is the stored one and the file has
  // not changed; otherwise stores the path, reads the file and answers true.
  bool reloadWithPath(const std::string& path);
  bool wasModified();

  std::optional<std::string> objectForKeyedSubscript(const std::string& key) const;
  std::optional<std::string> operator[](const std::string& key) const { return objectForKeyedSubscript(key); }

  const std::string& path() const { return path_; }
  double modDate() const { return modDate_; }
  // In file order of first appearance; a later line of the same key replaces the value.
  const std::vector<std::pair<std::string, std::string>>& kv() const { return kv_; }
  const std::string& separator() const { return separator_; }
  int numberOfRows() const { return static_cast<int>(kv_.size()); }
  // The non-empty keys in plain byte order.
  std::vector<std::string> keys2() const;
  std::string description() const;

 private:
  std::string path_;
  double modDate_ = 0;
  std::vector<std::pair<std::string, std::string>> kv_;
  std::map<std::string, std::size_t> index_;
  std::string separator_ = "\t";
};

}  // namespace korvex
