#include "host/host_strings.h"

#include <filesystem>

#include "foundation/hfs_path.h"
#include "foundation/unicode.h"

namespace korvex {

std::optional<std::string> stringWithPMString(const PMString& text) {
  if (!isValidUTF8(text.utf8())) return std::nullopt;
  return toNFC(text.utf8());
}

PMString pmString(std::string_view text) {
  return PMString(std::string(text));
}

PMString pmStringWithUTF8String(const char* text) {
  return PMString(text ? std::string(text) : std::string());
}

std::optional<std::string> pathWithPMString(const PMString& text) {
  if (text.empty()) return std::nullopt;
  return pathWithString(std::string_view(text.utf8()));
}

std::optional<std::string> hfsPathWithPMString(const PMString& text) {
  if (text.empty()) return std::nullopt;
  if (text.utf8().front() == '/') return hfsPathWithString(std::string_view(text.utf8()));
  return toNFC(text.utf8());
}

std::optional<std::string> pathWithIDFile(const IDFile& file) {
  return pathWithPMString(PMString(file.path()));
}

IDFile IDFileWithPath(std::string_view path) {
  if (path.empty()) return {};
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), ec);
  if (ec) return {};
  return IDFile(absolute.lexically_normal().string());
}

NSRect nsRectWithPMRect(const PMRect& r, unsigned char inMillimetres) {
  double x = r.left, y = r.top, w = r.right - r.left, h = r.bottom - r.top;
  if (inMillimetres == 1) {
    x = x * 25.4 / 72, y = y * 25.4 / 72, w = w * 25.4 / 72, h = h * 25.4 / 72;
  }
  return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(w), static_cast<float>(h)};
}

}  // namespace korvex
