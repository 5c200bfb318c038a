#include "foundation/strings.h"

#include "foundation/bundle.h"
#include "foundation/text_encoding.h"
#include "foundation/unicode.h"

namespace korvex {

bool stringsAreEqual(StringArg a, StringArg b) {
  if (!a || !b) return !a && !b;
  return *a == *b;
}

bool stringsAreEqual(StringArg a, const std::vector<std::string>& array) {
  if (!a) return false;
  for (const std::string& element : array)
    if (element == *a) return true;
  return false;
}

bool stringsAreEqual(StringArg a, const ArrayPtr& array) {
  if (!a || !array) return false;
  for (const Value& element : *array)
    if (const std::string* s = element.string(); s && *s == *a) return true;
  return false;
}

bool stringStartsWith(StringArg s, StringArg prefix) {
  if (!s || !prefix || prefix->empty() || s->size() < prefix->size()) return false;
  return s->compare(0, prefix->size(), *prefix) == 0;
}

bool stringStartsWith(StringArg s, const std::vector<std::string>& prefixes) {
  for (const std::string& prefix : prefixes)
    if (stringStartsWith(s, prefix)) return true;
  return false;
}

bool stringStartsWith(StringArg s, const ArrayPtr& prefixes) {
  if (!prefixes) return false;
  for (const Value& element : *prefixes)
    if (const std::string* prefix = element.string(); prefix && stringStartsWith(s, *prefix)) return true;
  return false;
}

std::optional<std::string> stringWithCString(const char* cString) {
  if (!cString) return std::nullopt;
  return stringWithData(std::string_view(cString));
}

std::optional<std::string> stringWithData(std::string_view bytes) {
  if (!isValidUTF8(bytes)) return std::nullopt;
  return std::string(bytes);
}

std::optional<std::string> stringWithData(std::span<const std::uint8_t> bytes) {
  return stringWithData(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::optional<std::string> stringWithData(const Bytes& bytes) {
  return stringWithData(std::span<const std::uint8_t>(bytes));
}

std::optional<std::string> stringWithData(const Value& data) {
  const Bytes* bytes = data.data();
  if (!bytes) return std::nullopt;
  return stringWithData(*bytes);
}

std::optional<std::string> stringWithResource(std::string_view name, std::string_view type) {
  std::optional<std::string> path = pathForResource(name, type);
  if (!path) return std::nullopt;
  std::optional<std::string> bytes = readFileBytes(*path);
  if (!bytes) return std::nullopt;
  return stringWithData(std::string_view(*bytes));
}

Value firstObject(const ArrayPtr& array) {
  if (!array || array->empty()) return Value();
  return array->at(0);
}

}  // namespace korvex
