#pragma once

// What the file-reading fuzz targets share: a private folder made once, and
// the input written to a file in it before each run.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace korvex::fuzz {

// A new folder under /tmp; the process stops when it can't be made.
inline std::string makeFolder() {
  char pattern[] = "/tmp/korvex-fuzz-XXXXXX";
  if (!mkdtemp(pattern)) std::abort();
  return pattern;
}

inline void writeInput(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace korvex::fuzz
