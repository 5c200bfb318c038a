#pragma once

// Base64 with the standard alphabet (RFC 4648: A-Z a-z 0-9 + /) and '='
// padding, on one line: embedded file data in documents, data values in JSON.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvex {

// Always padded to a multiple of four characters; no line breaks.
std::string base64Encode(std::span<const std::uint8_t> bytes);

// The bytes, or nothing when the text is not base64: a character outside the
// alphabet (white space too), '=' anywhere but in the last two places, more
// padding than the length needs, or a lone character left over at the end.
// Padding may be left out.
std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text);

}  // namespace korvex
