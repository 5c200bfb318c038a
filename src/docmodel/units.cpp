#include "docmodel/units.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "foundation/format.h"

namespace korvex {

float scaleForUnit(MyUnits unit) {
  switch (unit) {
    case kUnitInches: return 1.0f / 72.0f;
    case kUnitMillimeters: return 25.4f / 72.0f;
    case kUnitCentimeters: return 2.54f / 72.0f;
    case kUnitPercent: return 100.0f;
    default: return 1.0f;
  }
}

const char* unitSuffix(MyUnits unit) {
  switch (unit) {
    case kUnitPoints: return " pts";
    case kUnitInches: return " \"";
    case kUnitMillimeters: return " mm";
    case kUnitCentimeters: return " cm";
    case kUnitPercent: return " %";
    default: return "";
  }
}

void ptsToUnit(float& value, MyUnits unit) {
  value *= scaleForUnit(unit);
}

void ptsToUnit(float& a, float& b, MyUnits unit) {
  ptsToUnit(a, unit);
  ptsToUnit(b, unit);
}

void ptsToUnit(float& a, float& b, float& c, float& d, MyUnits unit) {
  ptsToUnit(a, b, unit);
  ptsToUnit(c, d, unit);
}

void unitToPts(float& value, MyUnits unit) {
  value /= scaleForUnit(unit);
}

void unitToPts(float& a, float& b, MyUnits unit) {
  unitToPts(a, unit);
  unitToPts(b, unit);
}

void unitToPts(float& a, float& b, float& c, float& d, MyUnits unit) {
  unitToPts(a, b, unit);
  unitToPts(c, d, unit);
}

float fixedToUnit(long fixed, MyUnits unit) {
  if (unit <= 0) return static_cast<float>(fixed);
  return static_cast<float>(static_cast<float>(fixed) * 1.5258789e-05f * scaleForUnit(unit));
}

long unitToFixed(float value, MyUnits unit) {
  if (unit <= 0) return static_cast<long>(value);
  return static_cast<long>((value / scaleForUnit(unit)) * 65536.0);
}

std::string stringWithFloat(float value, MyUnits unit) {
  // Seven significant digits: the default text of a single-precision number.
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.7g", static_cast<double>(value * scaleForUnit(unit)));
  return buffer;
}

std::string stringWithFloat(float value, int decimals) {
  const std::string format = stringWithFormat("%%.%df", decimals);
  std::string text = stringWithFormat(format, static_cast<double>(value));
  // Only zeros after a decimal point are trailing: 100 with no decimals stays 100.
  if (text.find('.') == std::string::npos) return text == "-0" ? "0" : text;
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  // A value rounded to zero from below would read "-0".
  return text == "-0" ? "0" : text;
}

std::string stringWithFixed(long fixed, MyUnits unit, unsigned char unitText) {
  std::string text = stringWithFloat(fixedToUnit(fixed, unit), 2);
  if (unitText == 1) text += unitSuffix(unit);
  return text;
}

void stringWithFixed(long fixed, MyUnits unit, char* buffer, unsigned char unitText) {
  if (!buffer) return;
  const std::string text = stringWithFixed(fixed, unit, unitText);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
}

namespace {

// The leading decimal number of the text, 0 when there is none: leading
// spaces skipped, parsing stops at the first character that can't continue it.
float leadingFloat(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  const std::size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool digits = false;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  }
  if (!digits) return 0;
  std::size_t end = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
      while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
      end = j;
    }
  }
  // strtof on a copy: the view is not zero-terminated. The "C" locale of the
  // process keeps "." as the decimal point.
  const std::string number(text.substr(start, end - start));
  return std::strtof(number.c_str(), nullptr);
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = text.find(separator, from);
    if (at == std::string_view::npos) {
      parts.push_back(text.substr(from));
      return parts;
    }
    parts.push_back(text.substr(from, at - from));
    from = at + 1;
  }
}

}  // namespace

float floatWithString(StringArg input, MyUnits unit) {
  std::string text(input.value_or(""));
  for (char& c : text)
    if (c == ',') c = '.';
  float value = leadingFloat(text);
  if (const auto plus = split(text, '+'); plus.size() == 2) {
    value = leadingFloat(plus[0]) + leadingFloat(plus[1]);
  } else if (const auto minus = split(text, '-'); minus.size() == 2) {
    value = leadingFloat(minus[0]) - leadingFloat(minus[1]);
  }
  if (text.find("mm") != std::string::npos)
    unit = kUnitMillimeters;
  else if (text.find("pt") != std::string::npos)
    unit = kUnitPoints;
  return value / scaleForUnit(unit);
}

long fixedWithString(StringArg text, MyUnits unit) {
  return static_cast<long>(static_cast<double>(floatWithString(text, unit)) * 65536.0);
}

char16_t lastChar(StringArg input) {
  if (!input || input->empty()) return 0;
  const std::string_view text = *input;
  // Step back to the start of the last UTF-8 sequence.
  std::size_t start = text.size() - 1;
  while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
  const auto lead = static_cast<unsigned char>(text[start]);
  char32_t c = lead;
  int more = 0;
  if (lead >= 0xF0)
    c = lead & 0x07, more = 3;
  else if (lead >= 0xE0)
    c = lead & 0x0F, more = 2;
  else if (lead >= 0xC0)
    c = lead & 0x1F, more = 1;
  for (int k = 1; k <= more && start + k < text.size(); ++k)
    c = (c << 6) | (static_cast<unsigned char>(text[start + k]) & 0x3F);
  // Outside the basic plane the last UTF-16 unit is the low surrogate.
  if (c > 0xFFFF) return static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  return static_cast<char16_t>(c);
}

std::string stringWithPoint(const MyPoint& point) {
  return stringWithFormat("%f %f", static_cast<double>(point.x), static_cast<double>(point.y));
}

void log(const MyPoint& point) {
  std::fprintf(stderr, "\t%s\n", stringWithPoint(point).c_str());
}

}  // namespace korvex
