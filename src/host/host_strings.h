#pragma once

// Conversions between the host's string, file and rectangle types and the
// plug-in's strings, POSIX paths and platform rectangles.

#include <optional>
#include <string>
#include <string_view>

#include "host/host_types.h"

namespace korvex {

// The platform's rectangle: origin and size, single precision.
struct NSRect {
  float x = 0;
  float y = 0;
  float width = 0;
  float height = 0;
  friend bool operator==(const NSRect&, const NSRect&) = default;
};

// The text in NFC; none when it is not valid UTF-8.
std::optional<std::string> stringWithPMString(const PMString& text);
PMString pmString(std::string_view text);
// A null pointer gives the empty host string.
PMString pmStringWithUTF8String(const char* text);
// None when empty, else the text as a POSIX path (HFS text converted).
std::optional<std::string> pathWithPMString(const PMString& text);
// None when empty; a POSIX path converted to HFS, anything else as it is (NFC).
std::optional<std::string> hfsPathWithPMString(const PMString& text);
std::optional<std::string> pathWithIDFile(const IDFile& file);
// An empty file reference when the path is empty or can't be made absolute.
IDFile IDFileWithPath(std::string_view path);
// In millimetres when inMillimetres is 1.
NSRect nsRectWithPMRect(const PMRect& rect, unsigned char inMillimetres);

}  // namespace korvex
