// Loading and saving a large native document: 1,000 pages, 50,000 page items
// and 5 MB of text. Peak memory is reported as a counter (maximum resident
// size of the process); run one benchmark per process to read it alone:
//   host_bench --benchmark_filter=Load
// host_bench --write PATH saves the document and exits, for scripts that
// compare loading it with other readers; host_bench --open-close DOC...
// loads each document and lets it go, the floor of a batch run over them.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "host/document_file.h"

namespace korvex {
namespace {

constexpr int kPages = 1000;
constexpr int kItemsPerPage = 50;  // 40 shapes and lines, 10 text frames
constexpr int kTextFramesPerPage = 10;
constexpr int kCharactersPerStory = 500;  // 10,000 stories: 5 MB

std::unique_ptr<IDocument> largeDocument() {
  DocumentSetup setup;
  setup.pages = kPages;
  setup.layers = {"TEXT", "BILDER"};
  auto doc = IDocument::createNew(setup);
  Swatch* red = doc->createColor("Rot", ColorModel::Process, ColorSpace::CMYK, {0, 1, 1, 0});
  const std::string paragraph = [] {
    std::string text;
    const std::string words = "Lorem ipsum dolor sit amet, consectetur adipiscing elit. Größe und Maß. ";
    while (text.size() < kCharactersPerStory) text += words;
    text.resize(kCharactersPerStory - 1);
    return text + "\r";
  }();
  for (int p = 0; p < kPages; ++p) {
    ISpread* spread = doc->spreadAt(p);
    const UID text = spread->QueryLayer(doc->findLayer("TEXT")->GetUID())->GetUID();
    const UID pictures = spread->QueryLayer(doc->findLayer("BILDER")->GetUID())->GetUID();
    for (int i = 0; i < kItemsPerPage - kTextFramesPerPage; ++i) {
      const double x = 20 + (i % 8) * 70, y = 20 + (i / 8) * 150;
      PageItem* item =
          i % 4 == 3
              ? static_cast<PageItem*>(doc->createGraphicLine(pictures, {x, y}, {x + 60, y}))
              : doc->createSplineItem(pictures, i % 4 == 1 ? SplineShape::Oval : SplineShape::Rectangle,
                                      i % 4 == 1 ? Path::oval({x, y, x + 60, y + 40})
                                                 : Path::rectangle({x, y, x + 60, y + 40}));
      GraphicAttributes a = item->graphicAttributes();
      a.fillSwatch = i % 2 ? red->GetUID() : doc->noneSwatch();
      a.fillTint = i % 3 ? std::optional<PMReal>() : 50.0;
      item->setGraphicAttributes(a);
      item->setLabel("Artikel", std::to_string(p * 100 + i));
    }
    for (int i = 0; i < kTextFramesPerPage; ++i) {
      SplineItem* frame = doc->createRectangle(text, {20.0 + i * 55, 700, 70.0 + i * 55, 800});
      MultiColumnItem* mc = nullptr;
      doc->makeTextFrame(frame->GetUID(), kInvalidUID, &mc);
      ITextModel* story = doc->story(mc->storyUID());
      story->Insert(0, paragraph);
      story->ApplyAttributes(
          0, 20, {{AttributeClass::kTextColor, red->GetUID()}, {AttributeClass::kPointSize, 14.0}});
    }
  }
  return doc;
}

std::string benchFile() {
  return (std::filesystem::temp_directory_path() /
          ("korvex-host-bench-" + std::to_string(getpid()) + ".indd"))
      .string();
}

void reportPeakMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_SaveLargeDocument(benchmark::State& state) {
  auto doc = largeDocument();
  const std::string path = benchFile();
  for (auto _ : state) {
    if (saveDocumentFile(*doc, path) != kSuccess) state.SkipWithError("save failed");
  }
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  state.counters["items"] = static_cast<double>(doc->allPageItems().size());
  reportPeakMemory(state);
  std::filesystem::remove(path);
}
BENCHMARK(BM_SaveLargeDocument)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadLargeDocument(benchmark::State& state) {
  const std::string path = benchFile();
  {
    auto doc = largeDocument();
    saveDocumentFile(*doc, path);
  }
  std::size_t items = 0;
  for (auto _ : state) {
    DocumentLoadResult r = loadDocumentFile(path);
    if (r.error != kSuccess)
      state.SkipWithError(r.message.c_str());
    else
      items = r.document->allPageItems().size();
  }
  state.counters["items"] = static_cast<double>(items);
  reportPeakMemory(state);
  std::filesystem::remove(path);
}
BENCHMARK(BM_LoadLargeDocument)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace korvex

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "--write") {
    if (korvex::saveDocumentFile(*korvex::largeDocument(), argv[2]) != korvex::kSuccess) return 1;
    return 0;
  }
  if (argc >= 3 && std::string_view(argv[1]) == "--open-close") {
    for (int i = 2; i < argc; ++i)
      if (korvex::loadDocumentFile(argv[i]).error != korvex::kSuccess) return 1;
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
