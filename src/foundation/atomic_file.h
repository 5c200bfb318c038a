#pragma once

// Writing a file so that readers see either the old or the new content,
// never a half-written one: the bytes go into an unnamed file of the target's
// folder (O_TMPFILE) that is flushed to disk and then given the name, so a
// killed writer leaves nothing behind. Where the file system has no unnamed
// files, a short hidden temporary name is used instead, and temporaries that a
// killed process left are removed the next time this process writes into
// that folder.

#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace korvex {

// Replaces the file at path with bytes; on failure the old file is untouched
// and the error says why. A symbolic link at path is written through: the
// file it names is replaced and the link stays. An existing target that is
// not a regular file (a folder, a device, a fifo) is refused.
std::error_code writeFileAtomically(const std::string& path, std::string_view bytes);

// Writes all of bytes to fd, going on after interruptions.
std::error_code writeAll(int fd, std::string_view bytes);
// One read of at most the buffer's size into it, going on after
// interruptions; got is 0 at the end of the file. False on an error.
bool readSome(int fd, std::vector<char>& buffer, std::size_t& got);

// The end of path's chain of symbolic links (at most 40); a link's relative
// target counts from the link's folder. A missing end is returned as is.
std::error_code followLinks(std::string& path);

// The error of a target that exists but is not a regular file.
std::error_code notARegularFileError();

// A hidden, unused name in folder for an item being written (tag: one to
// eight lowercase letters saying what for). Short whatever the final name's
// length, and recognised by removeStaleTemporaries.
std::string temporaryPathIn(const std::string& folder, std::string_view tag);

// Removes the temporaries of temporaryPathIn in folder whose process is gone
// and that are older than this process (left by a kill). Looks at each folder
// once per process.
void removeStaleTemporaries(const std::string& folder);

// An unnamed file in folder (O_TMPFILE) open for writing, or -1 where the
// file system has none. The caller closes it.
int openUnnamedFile(const std::string& folder);
// Gives the unnamed file fd the free name path; not_supported where this
// system can't name unnamed files.
std::error_code linkUnnamedFile(int fd, const std::string& path);

namespace detail {
// The fallback of writeFileAtomically for file systems without unnamed files.
std::error_code writeFileThroughTemporaryName(const std::string& path, std::string_view bytes);
}  // namespace detail

}  // namespace korvex
