#pragma once

// Writing a file so that readers see either the old or the new content,
// never a half-written one: a temporary file in the same folder, flushed to
// disk, then renamed over the target.

#include <string>
#include <string_view>
#include <system_error>

namespace korvex {

// Replaces the file at path with bytes; on failure the old file is untouched
// and the error says why.
std::error_code writeFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace korvex
