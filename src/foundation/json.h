#pragma once

// JSON to and from Values through nlohmann/json (dictWithJsonData,
// and the serialisation the document format needs).
//
// Reading: objects become dictionaries (in the text's key order; a repeated
// key keeps its last value), arrays arrays, integral numbers integers (beyond
// the 64-bit signed range: reals), other numbers reals, true/false booleans,
// strings strings. JSON null has no kind of its own: a null member of an
// object is left out, a null item of an array is kept as a nil Value (so the
// other items keep their positions).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "foundation/value.h"

namespace korvex {

// The dictionary that the JSON text's root object gives; a parse error (or
// nesting deeper than 512) is logged with logError and gives null, as does a
// root that is not an object.
DictPtr dictWithJsonData(std::span<const std::uint8_t> data);
DictPtr dictWithJsonData(std::string_view text);
// Any JSON root as a Value; none (logged) on a parse error.
std::optional<Value> valueWithJsonData(std::string_view text);

// The JSON text of the value: dictionaries as objects in insertion order,
// dates as ISO 8601 UTC text ("2024-05-01T12:00:00Z"), data as base64 text,
// nil as null, non-finite reals as null; invalid UTF-8 is replaced with
// U+FFFD. Pretty printing indents by two spaces. None when a container
// contains itself.
std::optional<std::string> jsonWithValue(const Value& value, bool pretty = false);

}  // namespace korvex
