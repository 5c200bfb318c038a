#pragma once

// POSIX path texts: joining, splitting and extensions, by text alone (the
// file system is never asked). The rules are the platform's: components are
// separated by "/", a trailing "/" is not a component, and the extension is
// what follows the last "." of the last component unless that "." is its
// first character (".hidden" has none).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/value.h"

namespace korvex {

// base / name, plus "." and the extension when one is given (and not
// empty); an empty name gives base unchanged, even with an extension.
std::string stringByAppendingPathComponents(std::string_view base, std::string_view name,
                                            std::optional<std::string_view> extension = std::nullopt);
std::string stringByAppendingPathComponent(std::string_view base, std::string_view name);

// The path with its extension replaced (removed for an empty extension).
std::string stringByReplacingPathExtension(std::string_view path, std::string_view extension);
std::string stringByDeletingPathExtension(std::string_view path);
// The folder part: "/a/b" → "/a", "/a" → "/", "a" → "".
std::string stringByDeletingLastPathComponent(std::string_view path);

// The last component ("/" for the root), without its extension when
// withExtension is false.
std::string lastPathComponent(std::string_view path, bool withExtension = true);
// The extension without its dot; empty when there is none.
std::string pathExtension(std::string_view path);

// The path's extension in lower case equals the given extension (which the
// caller gives in lower case: "INDD" never matches).
bool pathEndsWith(std::string_view path, std::string_view extension);
// The same against any element.
bool pathEndsWith(std::string_view path, const std::vector<std::string>& extensions);
bool pathEndsWith(std::string_view path, const ArrayPtr& extensions);

}  // namespace korvex
