// Any text parses into a row table without crashing, and every row has one
// value per distinct column name, whichever separator the text is read with.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "tables/korvex_tab_data.h"
#include "tables/tab_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const char* separator : {"\t", ";"}) {
    korvex::KorvexTabData table;
    table.setSeparator(separator);
    table.setupWithString(korvex::processQuotes(korvex::collapseCRLF(text), separator[0]));
    const std::set<std::string> names(table.keys().begin(), table.keys().end());
    for (int row = 0; row < table.numberOfRows(); ++row)
      if (table.mappingForRow(row)->size() != names.size()) std::abort();
    if (table.mappingForRow(table.numberOfRows()) || table.key(static_cast<int>(table.keys().size()))) std::abort();
  }
  return 0;
}
