// How loading a native document grows with the number of objects of one
// kind: spreads, pages on one spread, layers, swatches, paragraph styles each
// based on the one before, text runs in one story, page items on one spread.
// The documents are written as the file format's text, as a person or a
// script would, so that building them costs little next to loading them.
// Google Benchmark fits the growth (BigO column); run one kind at a time:
//   load_scaling_bench --benchmark_filter='Load/spreads'
//   load_scaling_bench --benchmark_filter='Load/.*/1000$'   (the smallest size of each)

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "host/document_file.h"

namespace korvex {
namespace {

constexpr long kSmallest = 1000;
constexpr long kLargest = 1000000;

std::string header(const std::string& layers) {
  return std::string("{\"format\":\"") + kDocumentFormatName +
         "\",\"version\":" + std::to_string(kDocumentFormatVersion) + ",\"layers\":[" + layers + "]";
}

std::string numbered(long count, const std::function<std::string(long)>& element) {
  std::string out;
  for (long i = 0; i < count; ++i) {
    if (i) out += ',';
    out += element(i);
  }
  return out;
}

const std::string kOneLayer = R"({"name":"Layer 1"})";
const std::string kOneSpread = R"(,"spreads":[{"pages":[{}]}]})";

std::string spreads(long n) {
  return header(kOneLayer) + ",\"spreads\":[" +
         numbered(n, [](long) { return std::string(R"({"pages":[{}]})"); }) + "]}";
}

std::string pagesOnOneSpread(long n) {
  return header(kOneLayer) + ",\"spreads\":[{\"pages\":[" +
         numbered(n, [](long) { return std::string("{}"); }) + "]}]}";
}

std::string layers(long n) {
  return header(numbered(n, [](long i) { return "{\"name\":\"L" + std::to_string(i) + "\"}"; })) +
         kOneSpread;
}

std::string swatches(long n) {
  return header(kOneLayer) + ",\"swatches\":[" + numbered(n, [](long i) {
           return "{\"name\":\"C" + std::to_string(i) + "\",\"values\":[0," + std::to_string(i % 100) +
                  "e-2,1,0]}";
         }) +
         "]" + kOneSpread;
}

std::string chainedStyles(long n) {
  return header(kOneLayer) + ",\"paragraphStyles\":[" + numbered(n, [](long i) {
           return "{\"name\":\"P" + std::to_string(i) + "\",\"basedOn\":\"" +
                  (i ? "P" + std::to_string(i - 1) : std::string("[Basic Paragraph]")) + "\"}";
         }) +
         "]" + kOneSpread;
}

std::string textRuns(long n) {
  return header(kOneLayer) + ",\"stories\":[{\"id\":\"s\",\"text\":\"" + std::string(static_cast<std::size_t>(n), 'x') +
         "\",\"runs\":[" + numbered(n, [](long i) {
           return "{\"start\":" + std::to_string(i) + ",\"length\":1,\"size\":" + (i % 2 ? "11" : "10") + "}";
         }) +
         "]}]" + kOneSpread;
}

std::string itemsOnOneSpread(long n) {
  return header(kOneLayer) + ",\"spreads\":[{\"pages\":[{}],\"items\":[" + numbered(n, [](long i) {
           const long x = i % 500;
           return "{\"bounds\":[" + std::to_string(x) + ",10," + std::to_string(x + 50) + ",40]}";
         }) +
         "]}]}";
}

void BM_Load(benchmark::State& state, std::string (*make)(long)) {
  const long n = state.range(0);
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("korvex-load-scaling-" + std::to_string(getpid()) + ".indd"))
                               .string();
  std::ofstream(path, std::ios::binary) << make(n);
  for (auto _ : state) {
    DocumentLoadResult r = loadDocumentFile(path);
    if (r.error != kSuccess) {
      state.SkipWithError(r.message.c_str());
      break;
    }
  }
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  state.SetComplexityN(n);
  std::filesystem::remove(path);
}

#define KORVEX_LOAD_SCALING(name, make)                                                   \
  BENCHMARK_CAPTURE(BM_Load, name, make)                                                  \
      ->RangeMultiplier(10)                                                               \
      ->Range(kSmallest, kLargest)                                                        \
      ->Unit(benchmark::kMillisecond)                                                     \
      ->Complexity()

KORVEX_LOAD_SCALING(spreads, spreads);
KORVEX_LOAD_SCALING(pages_per_spread, pagesOnOneSpread);
KORVEX_LOAD_SCALING(layers, layers);
KORVEX_LOAD_SCALING(swatches, swatches);
KORVEX_LOAD_SCALING(chained_styles, chainedStyles);
KORVEX_LOAD_SCALING(text_runs, textRuns);
KORVEX_LOAD_SCALING(items_on_one_spread, itemsOnOneSpread);

}  // namespace
}  // namespace korvex

BENCHMARK_MAIN();
