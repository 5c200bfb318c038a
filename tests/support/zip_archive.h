#pragma once

#include <filesystem>
#include <ostream>
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

// An entry as Info-ZIP's zipinfo and unzip see it: name, method ("stor",
// "defN"…) and content.
struct ListedEntry {
  std::string name, method, data;
  friend bool operator==(const ListedEntry&, const ListedEntry&) = default;
  // For test failures: name, method and size.
  friend std::ostream& operator<<(std::ostream& out, const ListedEntry& e) {
    return out << e.name << " (" << e.method << ", " << e.data.size() << " bytes)";
  }
};
// The archive's entries in its order; empty when zipinfo can't read it.
std::vector<ListedEntry> listEntries(const std::filesystem::path& zip);

}  // namespace korvex::test
