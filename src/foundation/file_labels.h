#pragma once

// Finder label colours on files. On Linux the label is a tag in the
// extended attribute "user.xdg.tags" (a comma-separated list, as desktop file
// managers keep it) named by the colour's English name. Other tags in the
// list are kept.
//
// Label numbers: 0 none, 1 Grey, 2 Green, 3 Purple, 4 Blue, 5 Yellow, 6 Red,
// 7 Orange.

#include <optional>
#include <string>

namespace korvex {

inline constexpr const char* kTagsAttribute = "user.xdg.tags";

// The tag name of a label number 1…7; none for 0 and numbers out of range.
std::optional<std::string> labelColorName(int label);

// Sets the label of an existing file (a folder or a missing path is left
// alone); label 0 removes the colour tags. A number out of range, or a file
// system without user attributes, is logged (logError).
void setLabelColorForPath(const std::string& path, int label);
// The label number of the file: the last colour tag of its list (compared
// without case), 0 when there is none or the attribute can't be read.
int labelColorForPath(const std::string& path);

}  // namespace korvex
