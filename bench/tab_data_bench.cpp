// Reading a large semicolon file into a KorvexTabData, measured as one
// process (peak memory from /usr/bin/time -v); bench/tab_data.sh runs it
// against Python's csv module on the same file.
//
//   tab_data_bench make FILE MEGABYTES   writes the file (quoted fields, umlauts)
//   tab_data_bench read FILE [--rows]    reads it; --rows also makes every row's dictionary

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tables/korvex_tab_data.h"

namespace {

int make(const std::string& path, long megabytes) {
  std::ofstream out(path, std::ios::binary);
  out << "Artikel;Name;Preis;Menge;Lager;Kommentar\r\n";
  unsigned state = 1;
  const auto next = [&state](unsigned range) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % range;
  };
  std::size_t written = 0;
  char line[256];
  for (long i = 0; written < static_cast<std::size_t>(megabytes) * 1024 * 1024; ++i) {
    const int n = std::snprintf(line, sizeof line,
                                "%ld;Produkt %ld M\xC3\xBCller;%u,%02u;%u;\"Halle %ld;Regal %ld\";Text mit \"\"Zitat\"\" %ld\r\n",
                                i, i, next(999) + 1, next(100), next(500), i % 7, i % 31, i);
    out.write(line, n);
    written += static_cast<std::size_t>(n);
  }
  return out ? 0 : 1;
}

int read(const std::string& path, bool rows) {
  const auto start = std::chrono::steady_clock::now();
  auto table = korvex::KorvexTabData::tabDataWithFile(path, std::nullopt);
  std::size_t cells = 0;
  if (rows)
    for (const korvex::Value& row : *table->rows()) cells += row.dictionary()->size();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("korvex: %d rows in %.2f s, %.0f rows/s%s\n", table->numberOfRows(), seconds,
              table->numberOfRows() / seconds, rows ? (", " + std::to_string(cells) + " cells as dictionaries").c_str() : "");
  return table->numberOfRows() > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[1] : "";
  if (mode == "make" && argc == 4) return make(argv[2], std::atol(argv[3]));
  if (mode == "read" && (argc == 3 || argc == 4)) return read(argv[2], argc == 4 && std::string(argv[3]) == "--rows");
  std::fprintf(stderr, "usage: tab_data_bench make FILE MEGABYTES | read FILE [--rows]\n");
  return 2;
}
