// Composing a story that is one unbreakable word: every line is a break
// inside the word. "Shown" puts the word into a frame tall enough for all of
// it (work grows with the lines set); "Overset" into one page-sized frame,
// where composition stops at the frame's end whatever the word's length.
// Peak memory is the process's maximum resident size.
//   composer_bench --benchmark_filter=Shown

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>

#include "host/document.h"
#include "host/output/composer.h"

namespace korvex {
namespace {

constexpr double kFrameWidth = 200;

// One frame on one page holding a story of `length` times "x", 10 points DejaVu Sans.
std::unique_ptr<IDocument> singleWordDocument(long length, double frameHeight, UID* story) {
  DocumentSetup setup;
  setup.pageHeight = std::max(841.8898, frameHeight + 72);
  auto doc = IDocument::createNew(setup);
  const UID layer = doc->spreadAt(0)->QueryLayer(doc->layerList()[1])->GetUID();
  SplineItem* frame = doc->createRectangle(layer, {36, 36, 36 + kFrameWidth, 36 + frameHeight});
  MultiColumnItem* content = nullptr;
  doc->makeTextFrame(frame->GetUID(), kInvalidUID, &content);
  ITextModel* s = doc->story(content->storyUID());
  s->Insert(0, std::string(static_cast<std::size_t>(length), 'x'));
  s->ApplyAttributes(0, s->TotalLength() - 1,
                     {{AttributeClass::kFontFamily, std::string("DejaVu Sans")}, {AttributeClass::kPointSize, 10.0}});
  *story = s->GetUID();
  return doc;
}

void compose(benchmark::State& state, double frameHeight) {
  UID story = kInvalidUID;
  auto doc = singleWordDocument(state.range(0), frameHeight, &story);
  int shown = 0;
  for (auto _ : state) {
    Composer composer(*doc);
    const ComposedStory& composed = composer.story(story);
    shown = composed.columns.empty() ? 0 : composed.columns.front().span;
    benchmark::DoNotOptimize(shown);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["shown_chars"] = shown;
  state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.SetComplexityN(state.range(0));
}

// About 33 characters of 6 points to a 200-point line, 12 points a line.
void BM_ComposeSingleWordShown(benchmark::State& state) {
  compose(state, static_cast<double>(state.range(0)) / 33 * 12 + 24);
}
BENCHMARK(BM_ComposeSingleWordShown)
    ->RangeMultiplier(10)
    ->Range(1000, 1000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

void BM_ComposeSingleWordOverset(benchmark::State& state) { compose(state, 700); }
BENCHMARK(BM_ComposeSingleWordOverset)
    ->RangeMultiplier(10)
    ->Range(1000, 10000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace
}  // namespace korvex

BENCHMARK_MAIN();
