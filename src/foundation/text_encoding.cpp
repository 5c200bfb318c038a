#include "foundation/text_encoding.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

#include "foundation/unicode.h"

namespace korvex {

namespace {

bool startsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.size() >= prefix.size() && bytes.compare(0, prefix.size(), prefix) == 0;
}

constexpr std::string_view kBomUTF8("\xEF\xBB\xBF", 3);
constexpr std::string_view kBomUTF32LE("\xFF\xFE\x00\x00", 4);
constexpr std::string_view kBomUTF32BE("\x00\x00\xFE\xFF", 4);
constexpr std::string_view kBomUTF16LE("\xFF\xFE", 2);
constexpr std::string_view kBomUTF16BE("\xFE\xFF", 2);

struct FileClose {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

const char* textEncodingName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::UTF8: return "UTF-8";
    case TextEncoding::UTF16LE: return "UTF-16LE";
    case TextEncoding::UTF16BE: return "UTF-16BE";
    case TextEncoding::UTF32LE: return "UTF-32LE";
    case TextEncoding::UTF32BE: return "UTF-32BE";
    case TextEncoding::MacRoman: return "macintosh";
    case TextEncoding::Windows1252: return "windows-1252";
  }
  return "unknown";
}

std::optional<DecodedText> detectUnicodeText(std::string_view bytes) {
  if (startsWith(bytes, kBomUTF8)) {
    std::string_view rest = bytes.substr(kBomUTF8.size());
    if (isValidUTF8(rest)) return DecodedText{std::string(rest), TextEncoding::UTF8};
    return std::nullopt;
  }
  // UTF-32 LE before UTF-16 LE: its mark begins with the UTF-16 LE mark.
  if (startsWith(bytes, kBomUTF32LE)) {
    if (auto text = decodeUTF32(bytes.substr(4), false)) return DecodedText{std::move(*text), TextEncoding::UTF32LE};
  }
  if (startsWith(bytes, kBomUTF32BE)) {
    if (auto text = decodeUTF32(bytes.substr(4), true)) return DecodedText{std::move(*text), TextEncoding::UTF32BE};
    return std::nullopt;
  }
  if (startsWith(bytes, kBomUTF16LE)) {
    if (auto text = decodeUTF16(bytes.substr(2), false)) return DecodedText{std::move(*text), TextEncoding::UTF16LE};
    return std::nullopt;
  }
  if (startsWith(bytes, kBomUTF16BE)) {
    if (auto text = decodeUTF16(bytes.substr(2), true)) return DecodedText{std::move(*text), TextEncoding::UTF16BE};
    return std::nullopt;
  }
  if (isValidUTF8(bytes)) return DecodedText{std::string(bytes), TextEncoding::UTF8};
  return std::nullopt;
}

TextEncoding scanGermanEncoding(std::string_view bytes) {
  for (char c : bytes) {
    switch (static_cast<unsigned char>(c)) {
      // Ä Ö Ü ä ö ü ß in Mac OS Roman.
      case 0x80: case 0x85: case 0x86: case 0x8A: case 0x9A: case 0x9F: case 0xA7:
        return TextEncoding::MacRoman;
      // Ä Ö Ü ß ä ö ü in Windows-1252.
      case 0xC4: case 0xD6: case 0xDC: case 0xDF: case 0xE4: case 0xF6: case 0xFC:
        return TextEncoding::Windows1252;
      default:
        break;
    }
  }
  return TextEncoding::MacRoman;
}

DecodedText decodeText(std::string_view bytes) {
  if (auto text = detectUnicodeText(bytes)) return std::move(*text);
  TextEncoding encoding = scanGermanEncoding(bytes);
  if (encoding == TextEncoding::Windows1252) return {decodeWindows1252(bytes), encoding};
  return {decodeMacRoman(bytes), encoding};
}

std::optional<std::string> readFileBytes(const std::string& path, std::error_code* error) {
  errno = 0;
  std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    if (error) *error = std::error_code(errno ? errno : ENOENT, std::generic_category());
    return std::nullopt;
  }
  std::string bytes;
  // One allocation for a regular file; growth only when it grows meanwhile.
  struct stat st {};
  if (::fstat(fileno(file.get()), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, n);
  if (std::ferror(file.get())) {
    // Reading a folder ends here with EISDIR.
    if (error) *error = std::error_code(errno ? errno : EIO, std::generic_category());
    return std::nullopt;
  }
  return bytes;
}

std::optional<std::string> stringWithContentsOfFile(const std::string& path) {
  std::optional<std::string> bytes = readFileBytes(path);
  if (!bytes) return std::nullopt;
  // Plain UTF-8 is already the text: no second copy of a large file.
  if (!startsWith(*bytes, kBomUTF8) && !startsWith(*bytes, kBomUTF16LE) && !startsWith(*bytes, kBomUTF16BE) &&
      !startsWith(*bytes, kBomUTF32BE) &&
      isValidUTF8(*bytes))
    return bytes;
  return decodeText(*bytes).text;
}

}  // namespace korvex
