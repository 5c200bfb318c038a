#include "support/zip_archive.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cstdlib>
#include <cstring>
#include <regex>
#include <sstream>

#include "support/run_process.h"

namespace korvex::test {

void writeZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries) {
  std::filesystem::create_directories(path.parent_path());
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr) << path << ": zip_open error " << error;
  for (const ZipEntry& e : entries) {
    // libzip frees the copy once the archive is written.
    void* copy = std::malloc(e.data.size() + 1);
    std::memcpy(copy, e.data.data(), e.data.size());
    zip_source_t* source = zip_source_buffer(archive, copy, e.data.size(), 1);
    ASSERT_NE(source, nullptr);
    const zip_int64_t index = zip_file_add(archive, e.name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    ASSERT_GE(index, 0) << e.name << ": " << zip_strerror(archive);
    if (e.name == "mimetype") zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    // Large entries (a test's ZIP bomb) are deflated fast rather than small.
    if (e.data.size() > (1u << 20))
      zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1);
  }
  ASSERT_EQ(zip_close(archive), 0) << path << ": " << zip_strerror(archive);
}

std::vector<ListedEntry> listEntries(const std::filesystem::path& zip) {
  const ProcessResult listed = runProcess("/usr/bin/zipinfo", {zip.string()});
  std::vector<ListedEntry> out;
  if (listed.exitCode != 0) return out;
  // -rw----     2.0 fat       44 b- stor 00-Jan-01 00:00 mimetype
  const std::regex line(R"(^\S{10}\s+\S+\s+\S+\s+\d+\s+\S+\s+(\S+)\s+\S+\s+\S+\s+(.+)$)");
  std::istringstream in(listed.out);
  for (std::string l; std::getline(in, l);) {
    std::smatch m;
    if (!std::regex_match(l, m, line)) continue;
    out.push_back({m[2], m[1], runProcess("/usr/bin/unzip", {"-p", zip.string(), m[2]}).out});
  }
  return out;
}

}  // namespace korvex::test
