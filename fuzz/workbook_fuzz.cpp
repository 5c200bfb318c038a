// Any bytes given as a workbook (.xlsx, .ods or .xls by content) are read or
// refused with a message, never a crash, and a used range is rectangular:
// rows separated by CR, each with the same number of tabs (no cell holds
// either).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = korvex::fuzz::makeFolder() + "/workbook";
  korvex::fuzz::writeInput(path, data, size);
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
