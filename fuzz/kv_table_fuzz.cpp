// Any bytes read as a key/value table give a table, never a crash: keys are
// unique and look up their own values, and no key or value holds a line end
// or the table's separator.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "fuzz_support.h"
#include "tables/my_tab_data2.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = korvex::fuzz::makeFolder() + "/table.txt";
  korvex::fuzz::writeInput(path, data, size);
  korvex::MyTabData2 table;
  table.setupWithFile(path, 4);
  std::set<std::string> keys;
  for (const auto& [key, value] : table.kv()) {
    if (!keys.insert(key).second) std::abort();
    if (table[key] != value) std::abort();
    for (const std::string* text : {&key, &value})
      if (text->find_first_of("\r\n" + table.separator()) != std::string::npos) std::abort();
  }
  if (table.numberOfRows() != static_cast<int>(keys.size())) std::abort();
  (void)table.description();
  return 0;
}
