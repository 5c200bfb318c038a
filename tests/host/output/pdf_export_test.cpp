#include "host/output/pdf_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "host/document.h"
#include "host/host_test_support.h"
#include "host/output/image_data.h"
#include "pdf_inspect.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

// A document with pages of 200 × 300 points and one content layer.
struct TestDoc {
  std::unique_ptr<IDocument> doc;
  explicit TestDoc(int pages = 1, bool facing = false) {
    DocumentSetup setup;
    setup.pages = pages;
    setup.pageWidth = 200;
    setup.pageHeight = 300;
    setup.facingPages = facing;
    doc = IDocument::createNew(setup);
    doc->SetName("Test Document");
  }
  UID layerOf(int spread = 0, int layer = 1) const { return test::spreadLayer(*doc, layer, spread); }
  SplineItem* rect(const PMRect& r, UID fill, int spread = 0) {
    SplineItem* item = doc->createRectangle(layerOf(spread), r);
    GraphicAttributes a = item->graphicAttributes();
    a.fillSwatch = fill;
    item->setGraphicAttributes(a);
    return item;
  }
  SplineItem* textFrame(const PMRect& r, const std::string& text, double size = 12, UID story = kInvalidUID) {
    SplineItem* frame = doc->createRectangle(layerOf(), r);
    if (story == kInvalidUID) {
      ITextModel* s = doc->createStory();
      s->Insert(0, text);
      s->ApplyAttributes(0, s->TotalLength() - 1,
                         {{AttributeClass::kFontFamily, std::string("DejaVu Sans")},
                          {AttributeClass::kFontStyle, std::string("Book")},
                          {AttributeClass::kPointSize, size}});
      story = s->GetUID();
    }
    doc->makeTextFrame(frame->GetUID(), story);
    return frame;
  }
};

PdfExportStyle plainStyle() {
  return PdfExportStyle{.name = "plain"};
}

std::string render(const IDocument& doc, const PdfExportStyle& style = plainStyle(),
                   PdfExportRequest request = {}) {
  std::string bytes;
  PdfExportResult r = renderPdf(doc, style, request, bytes);
  EXPECT_EQ(r.error, kSuccess) << r.message;
  return bytes;
}

fs::path writePdf(const test::TempHome& home, const std::string& name, const std::string& bytes) {
  fs::path p = home.scratch() / name;
  test::writeFile(p, bytes);
  return p;
}

TEST(PdfExport, PagesSizesBleedAndDeterminism) {
  test::TempHome home;
  TestDoc t(3);
  t.rect({10, 10, 190, 290}, t.doc->blackSwatch());
  const std::string pdf = render(*t.doc);
  EXPECT_EQ(pdf, render(*t.doc)) << "same document, same bytes";
  auto boxes = test::mediaBoxes(pdf);
  ASSERT_EQ(boxes.size(), 3u);
  for (auto [w, h] : boxes) {
    EXPECT_NEAR(w, 200, 0.001);
    EXPECT_NEAR(h, 300, 0.001);
  }
  EXPECT_NE(test::inflatedPdf(pdf).find("/Title (Test Document)"), std::string::npos);
  EXPECT_EQ(test::inflatedPdf(pdf).find("CreationDate"), std::string::npos);

  PdfExportStyle bleed = plainStyle();
  bleed.bleed = 9;
  const std::string withBleed = render(*t.doc, bleed);
  auto bleedBoxes = test::mediaBoxes(withBleed);
  ASSERT_EQ(bleedBoxes.size(), 3u);
  EXPECT_NEAR(bleedBoxes[0].first, 218, 0.001);
  EXPECT_NE(test::inflatedPdf(withBleed).find("/TrimBox [ 9 9 209 309 ]"), std::string::npos);

  // A page list exports just those pages, in the order given.
  PdfExportRequest some;
  some.items = UIDList(t.doc->GetDocDataBase());
  some.items.Append(t.doc->pageAt(2)->GetUID());
  EXPECT_EQ(test::mediaBoxes(render(*t.doc, plainStyle(), some)).size(), 1u);
  PdfExportRequest bad;
  bad.items = UIDList(t.doc->GetDocDataBase());
  bad.items.Append(t.doc->blackSwatch());
  std::string bytes;
  EXPECT_EQ(renderPdf(*t.doc, plainStyle(), bad, bytes).error, kInvalidParameterError);
}

TEST(PdfExport, BlackOnlyDocumentHasNoColourInk) {
  test::TempHome home;
  TestDoc t;
  t.rect({20, 20, 180, 100}, t.doc->blackSwatch());
  t.textFrame({20, 120, 180, 280}, "Only black text on this page, nothing else.");
  auto path = writePdf(home, "black.pdf", render(*t.doc));
  auto ink = test::inkCoverage(path);
  ASSERT_EQ(ink.size(), 1u);
  EXPECT_EQ(ink[0].c, 0);
  EXPECT_EQ(ink[0].m, 0);
  EXPECT_EQ(ink[0].y, 0);
  EXPECT_GT(ink[0].k, 0.1);
}

TEST(PdfExport, ColoursStayInTheirModels) {
  test::TempHome home;
  TestDoc t;
  Swatch* process = t.doc->createColor("Sky", ColorModel::Process, ColorSpace::CMYK, {0.1, 0.2, 0.3, 0.4});
  Swatch* spot = t.doc->createColor("HKS 43 K", ColorModel::Spot, ColorSpace::CMYK, {1, 0.6, 0, 0});
  Swatch* rgb = t.doc->createColor("Screen", ColorModel::Process, ColorSpace::RGB, {1, 0.5, 0});
  t.rect({0, 0, 50, 50}, process->GetUID());
  SplineItem* tinted = t.rect({50, 0, 100, 50}, spot->GetUID());
  GraphicAttributes a = tinted->graphicAttributes();
  a.fillTint = 40;
  tinted->setGraphicAttributes(a);
  t.rect({100, 0, 150, 50}, rgb->GetUID());
  const std::string pdf = test::inflatedPdf(render(*t.doc));
  EXPECT_NE(pdf.find("0.1 0.2 0.3 0.4 k"), std::string::npos);
  EXPECT_NE(pdf.find("/Separation /HKS#2043#20K /DeviceCMYK"), std::string::npos);
  EXPECT_TRUE(std::regex_search(pdf, std::regex(R"(/C1\s*\[\s*1 0\.6 0 0\s*\])")))
      << "alternate at full strength";
  EXPECT_NE(pdf.find("cs 0.4 scn"), std::string::npos) << "tint as the separation's value";
  EXPECT_NE(pdf.find("1 0.5 0 rg"), std::string::npos);

  // The separation really is a plate of its own: no process ink from it.
  TestDoc only;
  Swatch* s = only.doc->createColor("Gold", ColorModel::Spot, ColorSpace::CMYK, {0, 0.2, 0.8, 0.2});
  only.rect({0, 0, 200, 300}, s->GetUID());
  auto path = writePdf(home, "spot.pdf", render(*only.doc));
  auto sep = test::runProcess("/usr/bin/gs",
                              {"-q", "-dSAFER", "-o", "/dev/null", "-sDEVICE=tiffsep",
                               "-sOutputFile=" + (home.scratch() / "sep.tif").string(), path.string()});
  bool plate = false;
  for (const auto& entry : fs::directory_iterator(home.scratch()))
    plate |= entry.path().filename().string().find("(Gold)") != std::string::npos;
  EXPECT_TRUE(plate) << "Ghostscript makes a Gold plate";

  // Converted to RGB on request: no CMYK left.
  PdfExportStyle toRgb = plainStyle();
  toRgb.colorConversion = PdfColorConversion::ToRGB;
  const std::string rgbPdf = test::inflatedPdf(render(*t.doc, toRgb));
  EXPECT_EQ(rgbPdf.find("Separation"), std::string::npos);
  EXPECT_EQ(rgbPdf.find(" k\n"), std::string::npos);
}

TEST(PdfExport, HiddenAndNonPrintingContentIsLeftOut) {
  test::TempHome home;
  TestDoc t;
  Swatch* cyan = t.doc->createColor("Cyan", ColorModel::Process, ColorSpace::CMYK, {1, 0, 0, 0});
  SplineItem* nonPrinting = t.rect({0, 0, 100, 100}, cyan->GetUID());
  GraphicAttributes a = nonPrinting->graphicAttributes();
  a.nonPrinting = true;
  nonPrinting->setGraphicAttributes(a);
  for (const char* name : {"Hidden", "NoPrint"}) {
    IDocumentLayer* layer = t.doc->createLayer(name);
    if (std::string(name) == "Hidden")
      layer->SetVisible(false);
    else
      layer->SetPrintable(false);
    SplineItem* item =
        t.doc->createRectangle(t.doc->spreadAt(0)->QueryLayer(layer->GetUID())->GetUID(), {0, 100, 100, 200});
    GraphicAttributes f = item->graphicAttributes();
    f.fillSwatch = cyan->GetUID();
    item->setGraphicAttributes(f);
  }
  t.rect({150, 250, 160, 260}, t.doc->blackSwatch());
  auto ink = test::inkCoverage(writePdf(home, "hidden.pdf", render(*t.doc)));
  ASSERT_EQ(ink.size(), 1u);
  EXPECT_EQ(ink[0].c, 0);
  EXPECT_GT(ink[0].k, 0);
}

TEST(PdfExport, ShapesCornersOvalsLinesAndStrokes) {
  TestDoc t;
  SplineItem* rounded = t.rect({10, 10, 90, 90}, t.doc->blackSwatch());
  GraphicAttributes a = rounded->graphicAttributes();
  a.cornerRadius = 10;
  a.strokeSwatch = t.doc->blackSwatch();
  a.strokeWeight = 2;
  a.strokeAlignment = StrokeAlignment::Outside;
  rounded->setGraphicAttributes(a);
  t.doc->createSplineItem(t.layerOf(), SplineShape::Oval, Path::oval({100, 10, 190, 90}));
  GraphicLine* line = t.doc->createGraphicLine(t.layerOf(), {10, 200}, {190, 200});
  GraphicAttributes l = line->graphicAttributes();
  l.strokeSwatch = t.doc->blackSwatch();
  l.strokeWeight = 3;
  line->setGraphicAttributes(l);
  const std::string pdf = test::inflatedPdf(render(*t.doc));
  EXPECT_GE(test::countOf(pdf, " c\n"), 8) << "rounded corners are curves";
  EXPECT_NE(pdf.find("W* n"), std::string::npos) << "an outside stroke is clipped to the outside";
  EXPECT_NE(pdf.find("4 w\n"), std::string::npos);
  EXPECT_NE(pdf.find("3 w\n10 200 m\n190 200 l\nS"), std::string::npos);
}

TEST(PdfExport, TextIsExtractableInOrderWithSubsetFonts) {
  test::TempHome home;
  TestDoc t;
  ITextModel* story = t.doc->createStory();
  story->Insert(0,
                "First paragraph goes into the first frame and keeps going well past its end.\r"
                "Second paragraph follows in the threaded frame.");
  story->ApplyAttributes(
      0, story->TotalLength() - 1,
      {{AttributeClass::kFontFamily, std::string("DejaVu Serif")}, {AttributeClass::kPointSize, 10.0}});
  SplineItem* first = t.textFrame({10, 10, 190, 40}, "", 10, story->GetUID());
  SplineItem* second = t.textFrame({10, 150, 190, 290}, "", 10, story->GetUID());
  (void)first;
  (void)second;
  const std::string bytes = render(*t.doc);
  auto path = writePdf(home, "text.pdf", bytes);
  EXPECT_EQ(test::readerComplaints(path), "");
  std::string text = test::extractedText(path);
  std::string flat;
  for (char c : text) flat += (c == '\n' || c == '\r') ? ' ' : c;
  flat = std::regex_replace(flat, std::regex(" +"), " ");
  const auto a = flat.find("First paragraph"), b = flat.find("past its end."),
             c = flat.find("Second paragraph");
  ASSERT_NE(a, std::string::npos) << text;
  ASSERT_NE(b, std::string::npos) << text;
  ASSERT_NE(c, std::string::npos) << text;
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
  const std::string objects = test::inflatedPdf(bytes);
  EXPECT_TRUE(std::regex_search(objects, std::regex(R"(/BaseFont /[A-Z]{6}\+DejaVuSerif)")));
  EXPECT_NE(objects.find("/FontFile2"), std::string::npos);
  const auto fontFile = fs::file_size(std::string("/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf"));
  EXPECT_LT(bytes.size(), fontFile / 4) << "a subset, not the whole font";
}

TEST(PdfExport, FramesAnchoredInTextAreDrawnInTheLine) {
  test::TempHome home;
  TestDoc t;
  Swatch* magenta = t.doc->createColor("M", ColorModel::Process, ColorSpace::CMYK, {0, 1, 0, 0});
  SplineItem* frame = t.textFrame({10, 10, 190, 100}, "Before  after");
  const UID story =
      t.doc->GetDocDataBase()->instantiate<MultiColumnItem>(frame->textContentUID())->storyUID();
  SplineItem* box = t.rect({0, 0, 20, 10}, magenta->GetUID());
  ASSERT_NE(t.doc->anchorItem(story, 7, box->GetUID()), nullptr);
  const std::string pdf = test::inflatedPdf(render(*t.doc));
  const auto at = pdf.find("0 1 0 0 k");
  ASSERT_NE(at, std::string::npos);
  // The box's path follows its colour: its left edge is after "Before ", on the first baseline.
  std::smatch m;
  const std::string tail = pdf.substr(at);
  ASSERT_TRUE(std::regex_search(tail, m, std::regex(R"(([0-9.]+) ([0-9.]+) m\n)")));
  EXPECT_GT(std::stod(m[1]), 50);
  EXPECT_LT(std::stod(m[1]), 90);
  auto text = test::extractedText(writePdf(home, "inline.pdf", render(*t.doc)));
  EXPECT_NE(text.find("Before"), std::string::npos);
  EXPECT_NE(text.find("after"), std::string::npos);
}

TEST(PdfExport, PdfVersionFollowsTheStyleUnlessAFontNeedsMore) {
  TestDoc t;
  t.textFrame({10, 10, 190, 100}, "TrueType");
  PdfExportStyle old = plainStyle();
  old.pdfVersion = "1.4";
  EXPECT_EQ(render(*t.doc, old).substr(0, 8), "%PDF-1.4");
  TestDoc cff;
  SplineItem* frame = cff.textFrame({10, 10, 190, 100}, "CFF outlines");
  const UID story =
      cff.doc->GetDocDataBase()->instantiate<MultiColumnItem>(frame->textContentUID())->storyUID();
  cff.doc->story(story)->ApplyAttributes(0, 12,
                                         {{AttributeClass::kFontFamily, std::string("Nimbus Sans")},
                                          {AttributeClass::kFontStyle, std::string("Regular")}});
  const std::string pdf = render(*cff.doc, old);
  const std::string objects = test::inflatedPdf(pdf);
  if (objects.find("/FontFile3") == std::string::npos) GTEST_SKIP() << "no CFF font installed";
  EXPECT_EQ(pdf.substr(0, 8), "%PDF-1.6");
  EXPECT_NE(objects.find("/Subtype /OpenType"), std::string::npos);
}

TEST(PdfExport, SpreadsBecomeOnePage) {
  TestDoc t(3, true);
  ASSERT_EQ(t.doc->GetSpreadCount(), 2);
  t.rect({0, 0, 400, 300}, t.doc->blackSwatch(), 1);
  PdfExportStyle spreads = plainStyle();
  spreads.exportSpreads = true;
  auto boxes = test::mediaBoxes(render(*t.doc, spreads));
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_NEAR(boxes[0].first, 200, 0.001);
  EXPECT_NEAR(boxes[1].first, 400, 0.001);
  EXPECT_NEAR(boxes[1].second, 300, 0.001);
  // The request overrides the style; a page asks for its spread.
  PdfExportRequest pagesOfSecond;
  pagesOfSecond.spreads = true;
  pagesOfSecond.items = UIDList(t.doc->GetDocDataBase());
  pagesOfSecond.items.Append(t.doc->pageAt(1)->GetUID());
  pagesOfSecond.items.Append(t.doc->pageAt(2)->GetUID());
  EXPECT_EQ(test::mediaBoxes(render(*t.doc, plainStyle(), pagesOfSecond)).size(), 1u);
}

TEST(PdfExport, PicturesPassedThroughOrLossless) {
  test::TempHome home;
  ImageData raw;
  raw.width = 400;
  raw.height = 200;
  raw.components = 3;
  raw.bytes.assign(400 * 200 * 3, 0);
  for (std::size_t i = 0; i < raw.bytes.size(); i += 3) raw.bytes[i] = static_cast<std::uint8_t>(i % 251);
  const std::vector<std::uint8_t> jpeg = encodeJpeg(raw, 85);
  const fs::path jpegPath = home.scratch() / "photo.jpg";
  test::writeFile(jpegPath, std::string(jpeg.begin(), jpeg.end()));

  TestDoc t;
  SplineItem* frame = t.doc->createRectangle(t.layerOf(), {0, 0, 100, 50});
  ASSERT_EQ(t.doc->placeFile(frame->GetUID(), jpegPath.string()), kSuccess);
  ASSERT_EQ(t.doc->fitContentToFrame(frame->GetUID(), true), kSuccess);
  const std::string pdf = render(*t.doc);
  EXPECT_NE(pdf.find("/DCTDecode"), std::string::npos);
  EXPECT_NE(pdf.find(std::string(jpeg.begin(), jpeg.end())), std::string::npos) << "the JPEG's own bytes";
  EXPECT_NE(test::inflatedPdf(pdf).find("W n"), std::string::npos) << "clipped to the frame";

  // 400 pixels on 100 points are 288 ppi: above a 150 threshold they go to 72 ppi.
  PdfExportStyle small = plainStyle();
  small.downsampleThreshold = 150;
  small.downsampleTarget = 72;
  const std::string down = render(*t.doc, small);
  EXPECT_NE(down.find("/Width 100"), std::string::npos);
  EXPECT_NE(down.find("/DCTDecode"), std::string::npos);
  EXPECT_EQ(down.find(std::string(jpeg.begin(), jpeg.end())), std::string::npos);
  EXPECT_EQ(test::readerComplaints(writePdf(home, "photo.pdf", pdf)), "");
  EXPECT_EQ(test::readerComplaints(writePdf(home, "small.pdf", down)), "");
}

TEST(PdfExport, PngAndTiffAreDecodedAndKeptLossless) {
  test::TempHome home;
  TestDoc t;
  const fs::path links = fs::path(KORVEX_SOURCE_DIR) / "examples/Links";
  SplineItem* grey = t.doc->createRectangle(t.layerOf(), {0, 0, 100, 100});
  ASSERT_EQ(t.doc->placeFile(grey->GetUID(), (links / "logo-grau.png").string()), kSuccess);
  SplineItem* product = t.doc->createRectangle(t.layerOf(), {0, 100, 200, 300});
  ASSERT_EQ(t.doc->placeFile(product->GetUID(), (links / "produkt-4711.tif").string()), kSuccess);
  const std::string pdf = render(*t.doc);
  EXPECT_EQ(test::readerComplaints(writePdf(home, "lossless.pdf", pdf)), "");
  EXPECT_EQ(pdf.find("/DCTDecode"), std::string::npos);
  EXPECT_EQ(test::countOf(pdf, "/Subtype /Image"), 2);
  EXPECT_TRUE(std::regex_search(
      pdf,
      std::regex(
          R"(/ColorSpace /DeviceGray[^>]*/Filter /FlateDecode|/Filter /FlateDecode[^>]*/ColorSpace /DeviceGray)")))
      << "the grey PNG stays grey";
  EXPECT_NE(pdf.find("/Width 120"), std::string::npos);
  EXPECT_NE(pdf.find("/ColorSpace /DeviceCMYK"), std::string::npos) << "the CMYK TIFF stays CMYK";
  // An embedded picture is drawn from the document's copy when the file is gone.
  const fs::path moved = home.scratch() / "logo.png";
  fs::create_directories(home.scratch());
  fs::copy_file(links / "logo-grau.png", moved);
  TestDoc e;
  SplineItem* embedded = e.doc->createRectangle(e.layerOf(), {0, 0, 100, 100});
  UID content = kInvalidUID;
  ASSERT_EQ(e.doc->placeFile(embedded->GetUID(), moved.string(), &content), kSuccess);
  auto* placed = e.doc->GetDocDataBase()->instantiate<PlacedContent>(content);
  ASSERT_EQ(e.doc->GetDocDataBase()->instantiate<ILink>(placed->linkUID())->resource()->embed(), kSuccess);
  fs::remove(moved);
  EXPECT_NE(render(*e.doc).find("/Width 120"), std::string::npos);

  // The same picture placed twice is stored once.
  SplineItem* again = t.doc->createRectangle(t.layerOf(), {100, 0, 200, 100});
  ASSERT_EQ(t.doc->placeFile(again->GetUID(), (links / "logo-grau.png").string()), kSuccess);
  EXPECT_EQ(test::countOf(render(*t.doc), "/Subtype /Image"), 2);
}

TEST(PdfExport, PlacedPdfStaysVectorAndEpsGoesThroughGhostscript) {
  test::TempHome home;
  TestDoc inner;
  inner.textFrame({10, 10, 190, 100}, "Vector text inside");
  const fs::path innerPath = writePdf(home, "inner.pdf", render(*inner.doc));
  const fs::path epsPath = home.scratch() / "box.eps";
  test::writeFile(
      epsPath,
      "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 50 50\n0 1 0 0 setcmykcolor 0 0 50 50 rectfill\n"
      "showpage\n%%EOF\n");

  TestDoc t;
  SplineItem* pdfFrame = t.doc->createRectangle(t.layerOf(), {0, 0, 200, 300});
  ASSERT_EQ(t.doc->placeFile(pdfFrame->GetUID(), innerPath.string()), kSuccess);
  SplineItem* epsFrame = t.doc->createRectangle(t.layerOf(), {100, 200, 150, 250});
  ASSERT_EQ(t.doc->placeFile(epsFrame->GetUID(), epsPath.string()), kSuccess);
  SplineItem* again = t.doc->createRectangle(t.layerOf(), {0, 200, 50, 275});
  ASSERT_EQ(t.doc->placeFile(again->GetUID(), innerPath.string()), kSuccess);
  const std::string pdf = render(*t.doc);
  EXPECT_EQ(test::countOf(pdf, "/Subtype /Form"), 2) << "the PDF placed twice is imported once, the EPS once";
  EXPECT_EQ(pdf.find("/Subtype /Image"), std::string::npos) << "nothing rasterised";
  auto path = writePdf(home, "outer.pdf", pdf);
  EXPECT_NE(test::extractedText(path).find("Vector text inside"), std::string::npos);
  auto ink = test::inkCoverage(path);
  ASSERT_EQ(ink.size(), 1u);
  EXPECT_GT(ink[0].m, 0) << "the EPS's magenta box";
}

TEST(PdfExportProvider, RegisteredRespondersAndAtomicFailure) {
  test::TempHome home;
  resetExecutionContextSession();
  Session* session = GetExecutionContextSession();
  PdfExportProvider& provider = pdfExportProvider(*session);
  EXPECT_EQ(&provider, &pdfExportProvider(*session));
  EXPECT_EQ(session->services().find(ServiceKind::ExportProvider, "Adobe PDF"), &provider);

  TestDoc t;
  std::vector<std::string> heard;
  const int id = provider.addResponder([&](bool after, IDocument&, const IDFile& file,
                                           const std::string& format, int, const PdfExportRequest& r) {
    EXPECT_EQ(r.extraPreference, 1);
    heard.push_back(std::string(after ? "after " : "before ") + format + " " +
                    fs::path(file.path()).filename().string() +
                    (after && fs::exists(file.path()) ? " exists" : ""));
  });
  const std::string out = (home.scratch() / "out.pdf").string();
  fs::create_directories(home.scratch());
  PdfExportRequest request;
  request.extraPreference = 1;
  PdfExportResult ok = provider.exportDocument(*t.doc, out, "[High Quality Print]", request);
  EXPECT_EQ(ok.error, kSuccess) << ok.message;
  EXPECT_EQ(ok.pages, 1);
  EXPECT_EQ(heard, (std::vector<std::string>{"before Adobe PDF out.pdf", "after Adobe PDF out.pdf exists"}));

  provider.removeResponder(id);
  EXPECT_EQ(provider.exportDocument(*t.doc, out, "[no such style]").error, kObjectNotFoundError);
  const std::string before = test::readFile(out);
  // A document without pages fails and leaves the old file as it was.
  auto empty = IDocument::createBare();
  PdfExportResult failed = provider.exportDocument(*empty, out, "[High Quality Print]");
  EXPECT_NE(failed.error, kSuccess);
  EXPECT_EQ(test::readFile(out), before);
  EXPECT_NE(
      provider
          .exportDocument(*t.doc, (home.scratch() / "no/such/folder/x.pdf").string(), "[High Quality Print]")
          .error,
      kSuccess);
  EXPECT_EQ(heard.size(), 2u);
  resetExecutionContextSession();
}

}  // namespace
}  // namespace korvex
