#pragma once

// Unicode text work over ICU: normalization, case mapping, case-insensitive
// and numeric-aware comparison, and decoding of the legacy 8-bit and the
// UTF-16/UTF-32 encodings into UTF-8.
//
// Every function takes and gives UTF-8. Ill-formed UTF-8 input is never an
// error here: its bad bytes count as U+FFFD, so callers need no checks.

#include <optional>
#include <string>
#include <string_view>

namespace korvex {

// Canonical composed form (NFC): names from the file system (decomposed) and
// from documents then compare equal byte for byte.
std::string toNFC(std::string_view text);
// Canonical decomposed form (NFD).
std::string toNFD(std::string_view text);
bool isNFC(std::string_view text);

// Full Unicode case mapping, independent of the user's locale ("ß" → "SS").
std::string toUpper(std::string_view text);
std::string toLower(std::string_view text);

// Case-insensitive ordering by code point after case folding; canonically
// equivalent texts (composed or decomposed) compare equal. <0, 0 or >0.
int compareCaseInsensitive(std::string_view a, std::string_view b);
bool equalsCaseInsensitive(std::string_view a, std::string_view b);

// The ordering of file names in a file browser: digit runs compare by their
// numeric value ("Seite 2" before "Seite 10"), case and width are ignored at
// first and decide only ties. <0, 0 or >0; 0 only for identical texts.
int compareNumeric(std::string_view a, std::string_view b);
// For std::sort and ordered containers.
struct NumericLess {
  bool operator()(std::string_view a, std::string_view b) const { return compareNumeric(a, b) < 0; }
};

// Well-formed UTF-8 (no overlong forms, surrogates or values above U+10FFFF).
bool isValidUTF8(std::string_view bytes);

// The 8-bit encodings: every byte maps to one character, so decoding never
// fails. Windows-1252's five unassigned bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// map to the C1 controls of the same number, as the WHATWG decoder does.
std::string decodeMacRoman(std::string_view bytes);
std::string decodeWindows1252(std::string_view bytes);

// UTF-16 and UTF-32 byte sequences of the given byte order (no byte-order
// mark expected; one that is present stays in the text as U+FEFF). None
// when the length is not a multiple of the unit, a surrogate is unpaired or
// a value is out of range.
std::optional<std::string> decodeUTF16(std::string_view bytes, bool bigEndian);
std::optional<std::string> decodeUTF32(std::string_view bytes, bool bigEndian);

// Conversions between UTF-8 and UTF-16 code units (host strings are UTF-16).
// Ill-formed input becomes U+FFFD.
std::u16string toUTF16(std::string_view utf8);
std::string fromUTF16(std::u16string_view utf16);

// Number of Unicode characters (code points) in the text.
std::size_t characterCount(std::string_view text);

}  // namespace korvex
