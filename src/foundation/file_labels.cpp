#include "foundation/file_labels.h"

#include <sys/xattr.h>

#include <cerrno>
#include <string_view>
#include <system_error>
#include <vector>

#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/unicode.h"

namespace korvex {

namespace {

constexpr const char* kColorNames[] = {"Grey", "Green", "Purple", "Blue", "Yellow", "Red", "Orange"};

// The label number of a tag, 0 when it names no colour. "Gray" counts too.
int labelOfTag(std::string_view tag) {
  for (int i = 0; i < 7; ++i)
    if (equalsCaseInsensitive(tag, kColorNames[i])) return i + 1;
  if (equalsCaseInsensitive(tag, "Gray")) return 1;
  return 0;
}

std::vector<std::string> splitTags(std::string_view list) {
  std::vector<std::string> tags;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    if (comma == std::string_view::npos) comma = list.size();
    if (comma > start) tags.emplace_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return tags;
}

// The attribute's text; empty when it is absent; none (errno set) on error.
std::optional<std::string> readTags(const std::string& path) {
  ssize_t size = ::getxattr(path.c_str(), kTagsAttribute, nullptr, 0);
  if (size < 0) {
    if (errno == ENODATA) return std::string();
    return std::nullopt;
  }
  std::string value(static_cast<std::size_t>(size), '\0');
  size = ::getxattr(path.c_str(), kTagsAttribute, value.data(), value.size());
  if (size < 0) return errno == ENODATA ? std::optional<std::string>(std::string()) : std::nullopt;
  value.resize(static_cast<std::size_t>(size));
  while (!value.empty() && value.back() == '\0') value.pop_back();
  return value;
}

}  // namespace

std::optional<std::string> labelColorName(int label) {
  if (label < 1 || label > 7) return std::nullopt;
  return kColorNames[label - 1];
}

void setLabelColorForPath(const std::string& path, int label) {
  if (!pathIsFile(path)) return;
  if (label < 0 || label > 7) {
    logError(stringWithFormat("label %d out of range 0...7", label), path);
    return;
  }
  std::optional<std::string> current = readTags(path);
  if (!current) {
    logError(std::error_code(errno, std::generic_category()), path);
    return;
  }
  std::vector<std::string> kept;
  for (std::string& tag : splitTags(*current))
    if (labelOfTag(tag) == 0) kept.push_back(std::move(tag));
  if (auto name = labelColorName(label)) kept.push_back(*name);

  std::string list;
  for (const std::string& tag : kept) {
    if (!list.empty()) list += ',';
    list += tag;
  }
  int result;
  if (list.empty())
    result = (current->empty() || ::removexattr(path.c_str(), kTagsAttribute) == 0 || errno == ENODATA) ? 0 : -1;
  else
    result = ::setxattr(path.c_str(), kTagsAttribute, list.data(), list.size(), 0);
  if (result != 0) logError(std::error_code(errno, std::generic_category()), path);
}

int labelColorForPath(const std::string& path) {
  std::optional<std::string> current = readTags(path);
  if (!current) return 0;
  int label = 0;
  for (const std::string& tag : splitTags(*current))
    if (int l = labelOfTag(tag)) label = l;
  return label;
}

}  // namespace korvex
