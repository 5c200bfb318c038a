#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace korvex::test {

struct ZipEntry {
  std::string name;
  std::string data;
};

// Writes a ZIP archive with libzip, entries in the given order: "mimetype"
// stored, everything else deflated, as IDML packages are written.
void writeZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries);

}  // namespace korvex::test
