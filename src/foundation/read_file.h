#pragma once

// Whole-file reading for the files the tools are given (settings, action and
// chain files, style files, documents): only a regular file, and only up to a
// bound, so a folder, a device such as /dev/zero or a fifo is refused at once
// instead of blocking or filling memory.

#include <cstdint>
#include <string>

#include "foundation/result.h"

namespace korvex {

// Bounds for the kinds of file read whole.
inline constexpr std::uintmax_t kMaxConfigFileBytes = 64u * 1024u * 1024u;
inline constexpr std::uintmax_t kMaxDocumentFileBytes = 1024u * 1024u * 1024u;

// The bytes of the regular file at the path (symbolic links followed). On
// failure the message is "PATH: PROBLEM" and the code the errno that says
// what went wrong: ENOENT missing, EISDIR a folder, EINVAL not a regular file
// (a fifo, a device, a socket), EFBIG larger than maxBytes, else the system's.
Result<std::string> readRegularFile(const std::string& path, std::uintmax_t maxBytes = kMaxConfigFileBytes);

}  // namespace korvex
