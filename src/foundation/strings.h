#pragma once

// Small string functions with the platform's nil rules.
//
// "None" (the platform's nil) is std::nullopt: input parameters take
// std::optional<std::string_view>, which accepts a std::string, a literal,
// a std::optional<std::string> or std::nullopt. Two nones count as "the same
// object". (Never pass a null const char*: use std::nullopt.)

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/value.h"

namespace korvex {

using StringArg = std::optional<std::string_view>;

// True when both are none, false when only one is, else a literal comparison
// with case.
bool stringsAreEqual(StringArg a, StringArg b);
// True when an element equals a (both present and literally equal). A none a
// matches nothing: arrays hold no nones. Non-string elements never match.
bool stringsAreEqual(StringArg a, const std::vector<std::string>& array);
bool stringsAreEqual(StringArg a, const ArrayPtr& array);

// Both present, s at least as long as the prefix and the prefix found first
// at position 0; an empty prefix gives false.
bool stringStartsWith(StringArg s, StringArg prefix);
// True when s starts with any element.
bool stringStartsWith(StringArg s, const std::vector<std::string>& prefixes);
bool stringStartsWith(StringArg s, const ArrayPtr& prefixes);

// The C string decoded as UTF-8; none for a null pointer or ill-formed UTF-8.
std::optional<std::string> stringWithCString(const char* cString);
// The bytes decoded as UTF-8; none when they are not well-formed UTF-8.
std::optional<std::string> stringWithData(std::span<const std::uint8_t> bytes);
std::optional<std::string> stringWithData(const Bytes& bytes);
std::optional<std::string> stringWithData(std::string_view bytes);
// A data value decoded as UTF-8; none for nil, a value of another kind or
// ill-formed UTF-8.
std::optional<std::string> stringWithData(const Value& data);

// The UTF-8 content of the bundle resource name.type when it is a file (and
// well-formed UTF-8), else none. An empty type means the name alone.
std::optional<std::string> stringWithResource(std::string_view name, std::string_view type);

// The first element or none (nil).
Value firstObject(const ArrayPtr& array);
template <typename T>
std::optional<T> firstObject(const std::vector<T>& array) {
  if (array.empty()) return std::nullopt;
  return array.front();
}

}  // namespace korvex
