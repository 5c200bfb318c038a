#include "foundation/base64.h"

#include <array>

namespace korvex {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::int8_t kNotBase64 = -1;

constexpr std::array<std::int8_t, 256> decodingTable() {
  std::array<std::int8_t, 256> table{};
  table.fill(kNotBase64);
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
  return table;
}

}  // namespace

std::string base64Encode(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const bool second = i + 1 < bytes.size(), third = i + 2 < bytes.size();
    const std::uint32_t n = (std::uint32_t{bytes[i]} << 16) |
                            (second ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                            (third ? std::uint32_t{bytes[i + 2]} : 0);
    out.push_back(kAlphabet[(n >> 18) & 63]);
    out.push_back(kAlphabet[(n >> 12) & 63]);
    out.push_back(second ? kAlphabet[(n >> 6) & 63] : '=');
    out.push_back(third ? kAlphabet[n & 63] : '=');
  }
  return out;
}

std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text) {
  static constexpr auto kTable = decodingTable();
  std::size_t digits = text.size();
  while (digits > 0 && text.size() - digits < 2 && text[digits - 1] == '=') --digits;
  const std::size_t padding = text.size() - digits;
  // Four characters carry three bytes; one left over carries less than a byte.
  if (digits % 4 == 1) return std::nullopt;
  if (padding > 0 && text.size() % 4 != 0) return std::nullopt;
  std::vector<std::uint8_t> out;
  out.reserve(digits / 4 * 3 + 2);
  std::uint32_t buffer = 0;
  int bits = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    const std::int8_t value = kTable[static_cast<unsigned char>(text[i])];
    if (value == kNotBase64) return std::nullopt;
    buffer = (buffer << 6) | static_cast<std::uint32_t>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<std::uint8_t>((buffer >> bits) & 0xFF));
    }
  }
  return out;
}

}  // namespace korvex
