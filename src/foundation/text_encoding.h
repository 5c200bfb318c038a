#pragma once

// Reading text files of unknown encoding.
//
// On Linux "the platform's automatic encoding detection" is: a byte-order
// mark (UTF-8, UTF-16 LE/BE, UTF-32 LE/BE) whose text decodes cleanly, or
// well-formed UTF-8 without one. Everything else goes to the German byte
// scan, which chooses between Mac OS Roman and Windows-1252 (Mac OS Roman
// when no byte decides). The byte-order mark is not part of the text.

#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace korvex {

enum class TextEncoding { UTF8, UTF16LE, UTF16BE, UTF32LE, UTF32BE, MacRoman, Windows1252 };

// "UTF-8", "UTF-16LE", … "macintosh", "windows-1252" (IANA names).
const char* textEncodingName(TextEncoding encoding);

struct DecodedText {
  std::string text;  // UTF-8
  TextEncoding encoding;
};

// Step 1: the automatic detection; none when it can't classify the bytes.
std::optional<DecodedText> detectUnicodeText(std::string_view bytes);
// Step 2: the first byte that marks a German letter decides; Mac OS Roman
// when none does.
TextEncoding scanGermanEncoding(std::string_view bytes);
// Steps 1 to 3 on a byte buffer; always gives a text.
DecodedText decodeText(std::string_view bytes);

// The file's text with the detection above; none when the file can't be
// read (nothing is logged: the callers decide what a missing file means).
std::optional<std::string> stringWithContentsOfFile(const std::string& path);

// The whole file as bytes; none (errno kept in error) when it can't be read.
std::optional<std::string> readFileBytes(const std::string& path, std::error_code* error = nullptr);

}  // namespace korvex
