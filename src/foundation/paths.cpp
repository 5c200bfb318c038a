#include "foundation/paths.h"

#include "foundation/unicode.h"

namespace korvex {

namespace {

// The path without trailing slashes; "/" stays "/".
std::string_view trimTrailingSlashes(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  return path;
}

// Position of the extension's dot inside the last component, or npos.
std::size_t extensionDot(std::string_view path) {
  path = trimTrailingSlashes(path);
  std::size_t slash = path.rfind('/');
  std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
  std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot <= start || dot + 1 == path.size()) return std::string_view::npos;
  return dot;
}

}  // namespace

std::string stringByAppendingPathComponent(std::string_view base, std::string_view name) {
  while (!name.empty() && name.front() == '/') name.remove_prefix(1);
  while (!name.empty() && name.back() == '/') name.remove_suffix(1);
  if (name.empty()) return std::string(base);
  if (base.empty()) return std::string(name);
  std::string_view trimmed = trimTrailingSlashes(base);
  std::string out(trimmed);
  if (out != "/") out += '/';
  out += name;
  return out;
}

std::string stringByAppendingPathComponents(std::string_view base, std::string_view name,
                                            std::optional<std::string_view> extension) {
  if (name.empty()) return std::string(base);
  std::string out = stringByAppendingPathComponent(base, name);
  if (extension && !extension->empty()) {
    out += '.';
    out += *extension;
  }
  return out;
}

std::string stringByDeletingPathExtension(std::string_view path) {
  std::string_view trimmed = trimTrailingSlashes(path);
  std::size_t dot = extensionDot(trimmed);
  if (dot == std::string_view::npos) return std::string(trimmed);
  return std::string(trimmed.substr(0, dot));
}

std::string stringByReplacingPathExtension(std::string_view path, std::string_view extension) {
  std::string out = stringByDeletingPathExtension(path);
  if (!extension.empty()) {
    out += '.';
    out += extension;
  }
  return out;
}

std::string stringByDeletingLastPathComponent(std::string_view path) {
  std::string_view trimmed = trimTrailingSlashes(path);
  std::size_t slash = trimmed.rfind('/');
  if (slash == std::string_view::npos) return {};
  if (slash == 0) return "/";
  return std::string(trimTrailingSlashes(trimmed.substr(0, slash)));
}

std::string lastPathComponent(std::string_view path, bool withExtension) {
  std::string_view trimmed = trimTrailingSlashes(path);
  if (trimmed == "/") return "/";
  std::size_t slash = trimmed.rfind('/');
  std::string_view last = slash == std::string_view::npos ? trimmed : trimmed.substr(slash + 1);
  if (withExtension) return std::string(last);
  return stringByDeletingPathExtension(last);
}

std::string pathExtension(std::string_view path) {
  std::string_view trimmed = trimTrailingSlashes(path);
  std::size_t dot = extensionDot(trimmed);
  if (dot == std::string_view::npos) return {};
  return std::string(trimmed.substr(dot + 1));
}

bool pathEndsWith(std::string_view path, std::string_view extension) {
  std::string own = pathExtension(path);
  if (own.empty()) return false;
  return toLower(own) == extension;
}

bool pathEndsWith(std::string_view path, const std::vector<std::string>& extensions) {
  std::string own = pathExtension(path);
  if (own.empty()) return false;
  std::string lower = toLower(own);
  for (const std::string& extension : extensions)
    if (lower == extension) return true;
  return false;
}

bool pathEndsWith(std::string_view path, const ArrayPtr& extensions) {
  if (!extensions) return false;
  std::string own = pathExtension(path);
  if (own.empty()) return false;
  std::string lower = toLower(own);
  for (const Value& element : *extensions)
    if (const std::string* extension = element.string(); extension && lower == *extension) return true;
  return false;
}

}  // namespace korvex
