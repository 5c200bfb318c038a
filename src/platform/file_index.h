#pragma once

// The file metadata index, stood in for by one walk of a folder tree: the
// entries (files and folders) whose name contains a text. Names are matched
// as they are, case-sensitive, never read as a pattern.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvex {

// Every entry below folder whose name contains part, in the walk's order
// (byte order of names, a folder before its content). Hidden entries and
// everything inside hidden folders are left out, as the index leaves them;
// links to folders are not entered; entries at or inside excluded (a folder
// that copies are being made into) are left out. The list is complete
// before the caller copies anything.
std::vector<std::string> findEntriesNamedLike(const std::string& folder, std::string_view part,
                                              const std::optional<std::string>& excluded = std::nullopt);

}  // namespace korvex
