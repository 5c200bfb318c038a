// Layer separation of 50,000 page items: the question "which frames earlier
// in the list share area with this one" answered by the overlap index and by
// the plain scan of the list, and the whole action on such a document.
//   separation_bench --benchmark_filter=Overlaps   # index against plain scan
//   separation_bench --benchmark_filter=Separate   # the action end to end

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "docmodel/traversal.h"
#include "foundation/log.h"
#include "host/session.h"
#include "separation/frame_overlaps.h"
#include "separation/kx_frame.h"
#include "separation/layer_separation.h"

namespace korvex {
namespace {

constexpr int kPages = 1000;
constexpr int kItemsPerPage = 50;  // 35 rectangles, 5 lines, 10 text frames

// A document of 1,000 pages with 50 items each, overlapping on every page:
// black and coloured rectangles, lines, black text at 50 % and white text.
IDocument* separationDocument() {
  DocumentSetup setup;
  setup.pages = kPages;
  setup.layers = {"Inhalt", "TEXT", "BILDER"};
  IDocument* doc = GetExecutionContextSession()->application()->newDocument(setup, false);
  Swatch* red = doc->createColor("Rot", ColorModel::Process, ColorSpace::CMYK, {0, 1, 1, 0});
  std::mt19937 random(42);
  std::uniform_real_distribution<double> place(0, 500), size(10, 150);
  for (int p = 0; p < kPages; ++p) {
    const UID layer = doc->spreadAt(p)->QueryLayer(doc->layerList()[1])->GetUID();
    for (int i = 0; i < kItemsPerPage; ++i) {
      const double x = place(random), y = place(random) * 1.5;
      if (i < 5) {
        doc->createGraphicLine(layer, {x, y}, {x + size(random), y});
        continue;
      }
      SplineItem* item = doc->createRectangle(layer, {x, y, x + size(random), y + size(random)});
      if (i < 40) {
        GraphicAttributes a;
        a.fillSwatch = i % 3 == 0 ? doc->blackSwatch() : i % 3 == 1 ? red->GetUID() : doc->noneSwatch();
        a.strokeSwatch = doc->noneSwatch();
        item->setGraphicAttributes(a);
        continue;
      }
      ITextModel* story = nullptr;
      doc->makeTextFrame(item->GetUID());
      story = doc->story(doc->storyList().back());
      story->Insert(0, "Text auf der Seite");
      if (i % 2 == 0)
        story->ApplyAttributes(0, 18, {{AttributeClass::kTextTint, AttributeValue(50.0)}});
      else
        story->ApplyAttributes(0, 18, {{AttributeClass::kTextColor, AttributeValue(doc->paperSwatch())}});
    }
  }
  return doc;
}

struct Snapshots {
  std::vector<std::unique_ptr<KXFrame>> owned;
  std::vector<KXFrame*> frames;
};

Snapshots& snapshots() {
  static Snapshots s = [] {
    Snapshots result;
    IDocument* doc = separationDocument();
    EnumBoxes(
        doc,
        [](const UIDRef& item, void* data) {
          auto* r = static_cast<Snapshots*>(data);
          r->owned.push_back(std::make_unique<KXFrame>(item, firstPageOrigin(item.GetDataBase())));
          r->frames.push_back(r->owned.back().get());
          return true;
        },
        &result);
    return result;
  }();
  return s;
}

void BM_OverlapsIndexed(benchmark::State& state) {
  const std::vector<KXFrame*>& frames = snapshots().frames;
  std::size_t found = 0;
  for (auto _ : state) {
    FrameOverlapIndex index(frames);
    for (const KXFrame* f : frames) found += index.earlierOverlappingFrames(f).size();
  }
  state.counters["frames"] = static_cast<double>(frames.size());
  state.counters["overlaps"] = static_cast<double>(found / state.iterations());
}
BENCHMARK(BM_OverlapsIndexed)->Unit(benchmark::kMillisecond);

void BM_OverlapsPlainScan(benchmark::State& state) {
  const std::vector<KXFrame*>& frames = snapshots().frames;
  std::size_t found = 0;
  for (auto _ : state)
    for (const KXFrame* f : frames) found += earlierOverlappingFrames(f, frames).size();
  state.counters["frames"] = static_cast<double>(frames.size());
  state.counters["overlaps"] = static_cast<double>(found / state.iterations());
}
BENCHMARK(BM_OverlapsPlainScan)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Separate(benchmark::State& state) {
  Application* app = GetExecutionContextSession()->application();
  for (auto _ : state) {
    state.PauseTiming();
    IDocument* doc = separationDocument();
    state.ResumeTiming();
    doLayerSeparation(doc, Dictionary::make());
    state.PauseTiming();
    app->closeDocument(doc);
    state.ResumeTiming();
  }
  state.counters["items"] = kPages * kItemsPerPage;
}
BENCHMARK(BM_Separate)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace korvex

int main(int argc, char** argv) {
  korvex::setLogging(false, false);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
