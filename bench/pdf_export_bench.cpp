// PDF export of a 100-page document: per page a picture (one of four PNG
// files, so that pictures are shared as they are in catalogues), a text frame
// of two columns with about 1,500 characters, and a few coloured shapes.
// Pages per second and peak memory (maximum resident size of the process)
// are reported as counters.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/document.h"
#include "host/output/image_data.h"
#include "host/output/pdf_export.h"

namespace korvex {
namespace {

constexpr int kPages = 100;

std::string pictureFolder() {
  static const std::string folder = [] {
    auto dir = std::filesystem::temp_directory_path() / ("korvex-pdf-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    for (int n = 0; n < 4; ++n) {
      ImageData image;
      image.width = 1200;
      image.height = 800;
      image.components = 3;
      image.bytes.resize(std::size_t(image.width) * image.height * 3);
      for (std::size_t i = 0; i < image.bytes.size(); ++i) image.bytes[i] = static_cast<std::uint8_t>((i * (n + 3)) % 255);
      auto jpeg = encodeJpeg(image, 85);
      std::ofstream(dir / ("picture" + std::to_string(n) + ".jpg"), std::ios::binary)
          .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
    }
    return dir.string();
  }();
  return folder;
}

std::unique_ptr<IDocument> benchDocument() {
  DocumentSetup setup;
  setup.pages = kPages;
  setup.layers = {"BILDER", "TEXT"};
  auto doc = IDocument::createNew(setup);
  Swatch* spot = doc->createColor("HKS 43 K", ColorModel::Spot, ColorSpace::CMYK, {1, 0.6, 0, 0});
  Swatch* red = doc->createColor("Rot", ColorModel::Process, ColorSpace::CMYK, {0, 1, 1, 0});
  std::string text;
  while (text.size() < 1500)
    text += "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor. Größe und Maß. ";
  for (int p = 0; p < kPages; ++p) {
    ISpread* spread = doc->spreadAt(p);
    const UID pictures = spread->QueryLayer(doc->findLayer("BILDER")->GetUID())->GetUID();
    const UID words = spread->QueryLayer(doc->findLayer("TEXT")->GetUID())->GetUID();
    SplineItem* frame = doc->createRectangle(pictures, {36, 36, 559, 400});
    doc->placeFile(frame->GetUID(), pictureFolder() + "/picture" + std::to_string(p % 4) + ".jpg");
    doc->fitContentToFrame(frame->GetUID(), true);
    for (int i = 0; i < 4; ++i) {
      SplineItem* box = doc->createRectangle(pictures, {36.0 + i * 130, 760, 150.0 + i * 130, 800});
      GraphicAttributes a = box->graphicAttributes();
      a.fillSwatch = (i % 2 ? spot : red)->GetUID();
      a.fillTint = 20.0 * (i + 1);
      a.cornerRadius = 6;
      box->setGraphicAttributes(a);
    }
    SplineItem* textFrame = doc->createRectangle(words, {36, 420, 559, 740});
    ITextModel* story = doc->createStory();
    story->Insert(0, text);
    story->ApplyAttributes(0, story->TotalLength() - 1,
                           {{AttributeClass::kFontFamily, std::string("DejaVu Serif")},
                            {AttributeClass::kPointSize, 10.0}});
    MultiColumnItem* content = nullptr;
    doc->makeTextFrame(textFrame->GetUID(), story->GetUID(), &content);
    TextFrameSettings s = content->settings();
    s.columnCount = 2;
    content->setSettings(s);
  }
  return doc;
}

void BM_ExportPdf100Pages(benchmark::State& state) {
  auto doc = benchDocument();
  const PdfExportStyle style = builtInPdfStyles(false).front();
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string pdf;
    PdfExportResult result = renderPdf(*doc, style, {}, pdf);
    if (result.error != kSuccess || result.pages != kPages) state.SkipWithError(result.message.c_str());
    bytes = pdf.size();
    benchmark::DoNotOptimize(pdf);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["pages_per_s"] = benchmark::Counter(double(kPages) * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.counters["pdf_MB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
  std::filesystem::remove_all(pictureFolder());
}
BENCHMARK(BM_ExportPdf100Pages)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace korvex

BENCHMARK_MAIN();
