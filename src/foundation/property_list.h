#pragma once

// Property lists (the platform's settings and action files) over libplist:
// XML and binary lists are read into Values with mutable containers, and
// Values are written as XML lists (binary too, for tests and tools).
//
// Kinds: <integer> ↔ integer, <real> ↔ real, <true/>/<false/> ↔ boolean,
// <date> ↔ Date (property lists count from 2001-01-01, Date from 1970; XML
// dates keep whole seconds), <data> ↔ data, <array>/<dict> ↔ Array/Dictionary
// in document order. A binary UID reads as an integer. Dictionaries are
// written in their insertion order, so writing is deterministic and a
// write/read round trip keeps order and kinds.
//
// Reading never trusts its input: malformed or truncated lists give none.
// Binary lists are checked structurally (bounds, references, cycles, sizes)
// and XML lists for well-formedness (no network, no external entities) before
// libplist sees them.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

#include "foundation/result.h"
#include "foundation/value.h"

namespace korvex {

// The list in bytes (XML or binary, told apart by the "bplist" signature), or
// "not a property list: WHY" (with the line where the XML reader knows it).
// Safe on any input.
Result<Value> parsePropertyList(std::span<const std::uint8_t> bytes);
// The same, none when it is not a readable property list.
std::optional<Value> readPropertyList(std::span<const std::uint8_t> bytes);
std::optional<Value> readPropertyList(std::string_view bytes);
// The list in the regular file at the POSIX path (readRegularFile's bound for
// configuration files), or "PATH: PROBLEM" on one line.
Result<Value> loadPropertyListFile(const std::string& path);
// The same, none when it can't be read or parsed.
std::optional<Value> readPropertyListFile(const std::string& path);

// The XML property list text (UTF-8) of the value; none when the value can't
// be written: a nil root, or containers that contain themselves. Nil items of
// arrays are left out. Text XML can't carry (invalid UTF-8, control characters
// other than tab and line breaks) is written as U+FFFD, so the output always
// reads back.
std::optional<std::string> propertyListXML(const Value& value);
// The same as a binary property list ("bplist00").
std::optional<std::string> propertyListBinary(const Value& value);

// Writes the value as an XML property list to the path, atomically: on any
// failure the previous file is untouched. std::errc::invalid_argument when the
// value can't be written as a property list.
std::error_code writePropertyList(const std::string& path, const Value& value);

}  // namespace korvex
