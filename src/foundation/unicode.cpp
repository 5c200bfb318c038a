#include "foundation/unicode.h"

#include <unicode/ucol.h>
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utypes.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

namespace korvex {

namespace {

bool isAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::int32_t length32(std::size_t n) { return static_cast<std::int32_t>(std::min<std::size_t>(n, INT32_MAX)); }

// Runs an ICU function of the usual preflight form f(dest, capacity, &error)
// and answers its UTF-16 result.
template <typename F>
std::u16string icuString(F&& f) {
  UErrorCode error = U_ZERO_ERROR;
  std::int32_t needed = f(nullptr, 0, &error);
  if (error != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(error)) return {};
  std::u16string out(static_cast<std::size_t>(needed), u'\0');
  error = U_ZERO_ERROR;
  f(out.data(), needed, &error);
  if (U_FAILURE(error)) return {};
  return out;
}

const UNormalizer2* nfc() {
  UErrorCode error = U_ZERO_ERROR;
  return unorm2_getNFCInstance(&error);
}
const UNormalizer2* nfd() {
  UErrorCode error = U_ZERO_ERROR;
  return unorm2_getNFDInstance(&error);
}

std::u16string normalize(const UNormalizer2* form, std::u16string_view text) {
  if (!form) return std::u16string(text);
  return icuString([&](UChar* dest, std::int32_t capacity, UErrorCode* error) {
    return unorm2_normalize(form, text.data(), length32(text.size()), dest, capacity, error);
  });
}

std::u16string foldCase(std::u16string_view text) {
  return icuString([&](UChar* dest, std::int32_t capacity, UErrorCode* error) {
    return u_strFoldCase(dest, capacity, text.data(), length32(text.size()), U_FOLD_CASE_DEFAULT, error);
  });
}

// The canonical caseless form: NFD(fold(NFD(x))).
std::u16string caselessKey(std::string_view text) {
  return normalize(nfd(), foldCase(normalize(nfd(), toUTF16(text))));
}

int sign(int v) { return (v > 0) - (v < 0); }

struct CollatorClose {
  void operator()(UCollator* c) const { ucol_close(c); }
};

UCollator* numericCollator() {
  thread_local std::unique_ptr<UCollator, CollatorClose> collator = [] {
    UErrorCode error = U_ZERO_ERROR;
    std::unique_ptr<UCollator, CollatorClose> c(ucol_open("", &error));
    if (U_FAILURE(error)) return std::unique_ptr<UCollator, CollatorClose>();
    ucol_setAttribute(c.get(), UCOL_NUMERIC_COLLATION, UCOL_ON, &error);
    ucol_setAttribute(c.get(), UCOL_STRENGTH, UCOL_TERTIARY, &error);
    ucol_setAttribute(c.get(), UCOL_NORMALIZATION_MODE, UCOL_ON, &error);
    return c;
  }();
  return collator.get();
}

constexpr std::array<char16_t, 128> kMacRoman = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void appendUTF8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

template <typename Table>
std::string decode8Bit(std::string_view bytes, const Table& high, unsigned char firstMapped) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (char ch : bytes) {
    auto b = static_cast<unsigned char>(ch);
    if (b < firstMapped || b >= firstMapped + high.size())
      appendUTF8(out, b);
    else
      appendUTF8(out, high[b - firstMapped]);
  }
  return out;
}

std::uint32_t readUnit(std::string_view bytes, std::size_t at, std::size_t width, bool bigEndian) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < width; ++i) {
    std::size_t index = bigEndian ? at + i : at + width - 1 - i;
    v = (v << 8) | static_cast<unsigned char>(bytes[index]);
  }
  return v;
}

}  // namespace

std::u16string toUTF16(std::string_view utf8) {
  return icuString([&](UChar* dest, std::int32_t capacity, UErrorCode* error) {
    std::int32_t length = 0;
    u_strFromUTF8WithSub(dest, capacity, &length, utf8.data(), length32(utf8.size()), 0xFFFD, nullptr, error);
    return length;
  });
}

std::string fromUTF16(std::u16string_view utf16) {
  UErrorCode error = U_ZERO_ERROR;
  std::int32_t needed = 0;
  u_strToUTF8WithSub(nullptr, 0, &needed, utf16.data(), length32(utf16.size()), 0xFFFD, nullptr, &error);
  if (error != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(error)) return {};
  std::string out(static_cast<std::size_t>(needed), '\0');
  error = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), needed, &needed, utf16.data(), length32(utf16.size()), 0xFFFD, nullptr, &error);
  if (U_FAILURE(error)) return {};
  return out;
}

std::string toNFC(std::string_view text) {
  if (isAscii(text)) return std::string(text);
  return fromUTF16(normalize(nfc(), toUTF16(text)));
}

std::string toNFD(std::string_view text) {
  if (isAscii(text)) return std::string(text);
  return fromUTF16(normalize(nfd(), toUTF16(text)));
}

bool isNFC(std::string_view text) {
  if (isAscii(text)) return true;
  if (!isValidUTF8(text)) return false;
  std::u16string u = toUTF16(text);
  UErrorCode error = U_ZERO_ERROR;
  const UNormalizer2* form = nfc();
  if (!form) return true;
  UBool yes = unorm2_isNormalized(form, u.data(), length32(u.size()), &error);
  return U_SUCCESS(error) && yes;
}

std::string toUpper(std::string_view text) {
  std::u16string u = toUTF16(text);
  return fromUTF16(icuString([&](UChar* dest, std::int32_t capacity, UErrorCode* error) {
    return u_strToUpper(dest, capacity, u.data(), length32(u.size()), "", error);
  }));
}

std::string toLower(std::string_view text) {
  std::u16string u = toUTF16(text);
  return fromUTF16(icuString([&](UChar* dest, std::int32_t capacity, UErrorCode* error) {
    return u_strToLower(dest, capacity, u.data(), length32(u.size()), "", error);
  }));
}

int compareCaseInsensitive(std::string_view a, std::string_view b) {
  if (isAscii(a) && isAscii(b)) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
      auto ca = static_cast<unsigned char>(a[i]);
      auto cb = static_cast<unsigned char>(b[i]);
      if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca + 32);
      if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb + 32);
      if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
  }
  std::u16string ka = caselessKey(a);
  std::u16string kb = caselessKey(b);
  return sign(u_strCompare(ka.data(), length32(ka.size()), kb.data(), length32(kb.size()), true));
}

bool equalsCaseInsensitive(std::string_view a, std::string_view b) { return compareCaseInsensitive(a, b) == 0; }

int compareNumeric(std::string_view a, std::string_view b) {
  if (UCollator* collator = numericCollator()) {
    UErrorCode error = U_ZERO_ERROR;
    UCollationResult r = ucol_strcollUTF8(collator, a.data(), length32(a.size()), b.data(), length32(b.size()), &error);
    if (U_SUCCESS(error) && r != UCOL_EQUAL) return r == UCOL_LESS ? -1 : 1;
  }
  return sign(a.compare(b));
}

bool isValidUTF8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    unsigned char c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t extra;
    char32_t min;
    char32_t v;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1, min = 0x80, v = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2, min = 0x800, v = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3, min = 0x10000, v = c & 0x07;
    } else {
      return false;
    }
    if (n - i <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      unsigned char cc = s[i + k];
      if ((cc & 0xC0) != 0x80) return false;
      v = (v << 6) | (cc & 0x3F);
    }
    if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

std::string decodeMacRoman(std::string_view bytes) { return decode8Bit(bytes, kMacRoman, 0x80); }

std::string decodeWindows1252(std::string_view bytes) { return decode8Bit(bytes, kWindows1252High, 0x80); }

std::optional<std::string> decodeUTF16(std::string_view bytes, bool bigEndian) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    char32_t unit = readUnit(bytes, i, 2, bigEndian);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 4 > bytes.size()) return std::nullopt;
      char32_t low = readUnit(bytes, i + 2, 2, bigEndian);
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      appendUTF8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
      i += 2;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return std::nullopt;
    } else {
      appendUTF8(out, unit);
    }
  }
  return out;
}

std::optional<std::string> decodeUTF32(std::string_view bytes, bool bigEndian) {
  if (bytes.size() % 4 != 0) return std::nullopt;
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); i += 4) {
    char32_t c = readUnit(bytes, i, 4, bigEndian);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    appendUTF8(out, c);
  }
  return out;
}

std::size_t characterCount(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace korvex
