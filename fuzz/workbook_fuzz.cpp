// Any bytes given as a workbook (.xlsx, .ods or .xls by content) are read or
// refused with a message, never a crash, and a used range is rectangular:
// rows separated by CR, each with the same number of tabs (no cell holds
// either).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/workbook.h"

namespace {

const std::string& scratchFile() {
  static const std::string path = [] {
    char name[] = "/tmp/workbook-fuzz-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) std::abort();
    close(fd);
    return std::string(name);
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = scratchFile();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
  korvex::Result<std::vector<std::string>> sheets = korvex::workbookSheetNames(path);
  if (!sheets) {
    if (sheets.message().empty()) std::abort();
    return 0;
  }
  for (const std::string& sheet : *sheets) {
    korvex::Result<std::string> range = korvex::workbookUsedRange(path, sheet);
    if (!range || range->empty()) continue;
    std::size_t tabs = std::string::npos, count = 0;
    for (const char c : *range + "\r") {
      if (c == '\t') ++count;
      if (c != '\r') continue;
      if (tabs != std::string::npos && tabs != count) std::abort();
      tabs = count;
      count = 0;
    }
  }
  return 0;
}
