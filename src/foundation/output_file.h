#pragma once

// Output files (PDF, PostScript, previews, a delivery's copies): where they
// may go and how they replace what is there. The new file is written aside in
// the target's folder and renamed in only once it is complete; the older file
// is either replaced or, for a run's outputs, kept in the Trash.

#include <string>
#include <string_view>

#include "foundation/result.h"

namespace korvex {

enum class OlderOutput {
  replace,  // the newcomer simply replaces it
  toTrash,  // it goes to the Trash first, unless its content is the newcomer's
};

// Nothing there, or a regular file (a symbolic link counting as its target):
// success. A folder, device, fifo, socket or broken link: a one-line failure
// naming the path.
Status checkOutputTarget(const std::string& path);

// True when both name the same existing file (links followed).
bool sameExistingFile(const std::string& a, const std::string& b);

// Writes bytes as the file at path (through a link, to the link's target).
// On failure nothing at path has changed.
Status writeOutputFile(const std::string& path, std::string_view bytes, OlderOutput older);

// Copies the regular file source (a link: its target's content) to target,
// keeping modification time, permissions and user extended attributes.
// A source that is not a regular file is refused, and so is a target as
// checkOutputTarget says, except that a folder there goes to the Trash too
// when older ones do. As above on failure.
Status copyOutputFile(const std::string& source, const std::string& target, OlderOutput older);

}  // namespace korvex
