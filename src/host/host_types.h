#pragma once

// The host's basic value types: identities, numbers, points, rectangles,
// strings and file references. Plain values, copied freely.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvex {

// Identity of a persistent object inside one document database.
using UID = std::uint32_t;
inline constexpr UID kInvalidUID = 0;

// Result of every host operation: 0 is success.
using ErrorCode = int;
inline constexpr ErrorCode kSuccess = 0;
inline constexpr ErrorCode kFailure = 1;
inline constexpr ErrorCode kInvalidParameterError = 2;
inline constexpr ErrorCode kObjectNotFoundError = 3;
inline constexpr ErrorCode kLockedError = 4;
inline constexpr ErrorCode kFileNotFoundError = 10;
inline constexpr ErrorCode kFileReadError = 11;
inline constexpr ErrorCode kFileWriteError = 12;
inline constexpr ErrorCode kNotADocumentError = 13;
inline constexpr ErrorCode kNewerFormatError = 14;
inline constexpr ErrorCode kBinaryDocumentError = 15;
inline constexpr ErrorCode kInvalidDocumentError = 16;
inline constexpr ErrorCode kNoFileError = 17;
// A document keeps at least one content layer: the last one can't be deleted.
inline constexpr ErrorCode kLastLayerError = 18;

using PMReal = double;

struct PMPoint {
  PMReal x = 0;
  PMReal y = 0;
  friend bool operator==(const PMPoint&, const PMPoint&) = default;
};

// Left, top, right, bottom in points.
struct PMRect {
  PMReal left = 0;
  PMReal top = 0;
  PMReal right = 0;
  PMReal bottom = 0;

  PMReal width() const { return right - left; }
  PMReal height() const { return bottom - top; }
  bool isEmpty() const { return right <= left || bottom <= top; }
  // A degenerate rectangle (a horizontal line's bounds) still counts when uniting.
  bool isNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  PMRect united(const PMRect& other) const {
    if (isNull()) return other;
    if (other.isNull()) return *this;
    return {std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
            std::max(bottom, other.bottom)};
  }
  PMRect inset(PMReal dx, PMReal dy) const { return {left + dx, top + dy, right - dx, bottom - dy}; }
  friend bool operator==(const PMRect&, const PMRect&) = default;
};

// The host's string: UTF-8 text.
class PMString {
 public:
  PMString() = default;
  explicit PMString(std::string text) : text_(std::move(text)) {}
  const std::string& utf8() const { return text_; }
  bool empty() const { return text_.empty(); }
  friend bool operator==(const PMString&, const PMString&) = default;

 private:
  std::string text_;
};

// The host's file reference: an absolute POSIX path, or empty.
class IDFile {
 public:
  IDFile() = default;
  explicit IDFile(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }
  bool empty() const { return path_.empty(); }
  friend bool operator==(const IDFile&, const IDFile&) = default;

 private:
  std::string path_;
};

}  // namespace korvex
