#include "tables/my_tab_data2.h"

#include <algorithm>

#include "foundation/value.h"
#include "tables/korvex_tab_data.h"
#include "tables/tab_text.h"

namespace korvex {

std::unique_ptr<MyTabData2> MyTabData2::tabDataWithFile(const std::optional<std::string>& path, int encoding) {
  if (!path) return nullptr;
  auto table = std::make_unique<MyTabData2>();
  table->initWithFile(*path, encoding);
  return table;
}

void MyTabData2::initWithFile(const std::string& path, int encoding) {
  path_ = path;
  setupWithFile(path, encoding);
}

void MyTabData2::setupWithFile(const std::string& path, int) {
  kv_.clear();
  index_.clear();
  modDate_ = modificationTime(path);
  // The same rule as every other text file: a Windows-1252 table with
  // umlauts must not come out empty.
  std::optional<std::string> text = tableText(path);
  if (!text || text->empty()) return;

  std::string lines = std::move(*text);
  std::replace(lines.begin(), lines.end(), '\r', '\n');
  // One pass from the left: each LF LF pair becomes one LF.
  std::size_t out = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    lines[out++] = lines[i];
    if (lines[i] == '\n' && i + 1 < lines.size() && lines[i + 1] == '\n') ++i;
  }
  lines.resize(out);
  const std::vector<std::string_view> parts = splitText(lines, "\n");
  if (parts.size() < 2) return;
  separator_.assign(1, parts.front().find(';') != std::string_view::npos ? ';' : '\t');
  for (std::string_view part : parts) {
    const std::vector<std::string_view> fields = splitText(part, separator_);
    if (fields.size() < 2) continue;
    const std::string key(fields[0]);
    if (const auto it = index_.find(key); it != index_.end()) {
      kv_[it->second].second = std::string(fields[1]);
    } else {
      index_.emplace(key, kv_.size());
      kv_.emplace_back(key, std::string(fields[1]));
    }
  }
}

void MyTabData2::reloadWithEncoding(int encoding) {
  setupWithFile(path_, encoding);
}

bool MyTabData2::reloadWithPath(const std::string& path) {
  if (path == path_ && !wasModified()) return false;
  path_ = path;
  setupWithFile(path, 4);
  return true;
}

bool MyTabData2::wasModified() {
  if (modificationTime(path_) <= modDate_) return false;
  setupWithFile(path_, 4);
  return true;
}

std::optional<std::string> MyTabData2::objectForKeyedSubscript(const std::string& key) const {
  const auto it = index_.find(key);
  if (it == index_.end()) return std::nullopt;
  return kv_[it->second].second;
}

std::vector<std::string> MyTabData2::keys2() const {
  std::vector<std::string> keys;
  for (const auto& [key, value] : index_)
    if (!key.empty()) keys.push_back(key);
  return keys;  // the map's order is plain byte order
}

std::string MyTabData2::description() const {
  auto dict = std::make_shared<Dictionary>();
  for (const auto& [key, value] : kv_) dict->set(key, Value(value));
  return Value(dict).description();
}

}  // namespace korvex
