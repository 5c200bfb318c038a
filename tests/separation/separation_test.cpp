// Frame snapshots, the overlap index against the plain scan, and the text
// colour walks on documents built in the session.

#include <gtest/gtest.h>

#include <random>

#include "docmodel/traversal.h"
#include "host/host_test_support.h"
#include "separation/frame_overlaps.h"
#include "separation/kx_frame.h"
#include "separation/text_colour.h"
#include "support/plugin_test.h"

namespace korvex {
namespace {

class Separation : public test::PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    doc = newDoc(1);
    db = doc->GetDocDataBase();
    layer = test::spreadLayer(*doc);
  }
  void TearDown() override {
    setLogos(nullptr);
    PluginTest::TearDown();
  }
  UID rect(PMRect bounds, UID fill = kInvalidUID, std::optional<PMReal> fillTint = {}) {
    SplineItem* item = doc->createRectangle(layer, bounds);
    GraphicAttributes a = item->graphicAttributes();
    a.fillSwatch = fill == kInvalidUID ? doc->noneSwatch() : fill;
    a.fillTint = fillTint;
    a.strokeSwatch = doc->noneSwatch();
    item->setGraphicAttributes(a);
    return item->GetUID();
  }
  std::vector<std::unique_ptr<KXFrame>> snapshots() {
    std::vector<std::unique_ptr<KXFrame>> frames;
    EnumBoxes(
        doc,
        [](const UIDRef& item, void* data) {
          static_cast<std::vector<std::unique_ptr<KXFrame>>*>(data)->push_back(
              std::make_unique<KXFrame>(item));
          return true;
        },
        &frames);
    return frames;
  }

  IDocument* doc = nullptr;
  IDataBase* db = nullptr;
  UID layer = kInvalidUID;
};

TEST_F(Separation, OverlapIndexAnswersAsThePlainScan) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> place(-100, 700), size(0, 60);
  for (int i = 0; i < 1500; ++i) {
    const double x = place(random), y = place(random);
    const UID black = i % 3 == 0 ? doc->blackSwatch() : kInvalidUID;
    // Some lines of zero height or width, and a few frames over everything.
    const double w = i % 11 == 0 ? 0 : size(random), h = i % 13 == 0 ? 0 : size(random);
    if (i % 500 == 0)
      rect({-50, -50, 800, 800}, black);
    else
      rect({x, y, x + w, y + h}, black);
  }
  auto owned = snapshots();
  std::vector<KXFrame*> frames;
  for (auto& f : owned) frames.push_back(f.get());
  FrameOverlapIndex index(frames);
  std::size_t found = 0;
  for (KXFrame* f : frames) {
    const auto plain = earlierOverlappingFrames(f, frames);
    ASSERT_EQ(index.earlierOverlappingFrames(f), plain);
    ASSERT_EQ(index.earlierBlackFrames(f), earlierBlackFrames(f, frames));
    found += plain.size();
  }
  EXPECT_GT(found, 3000u) << "the document must overlap enough to mean something";
}

TEST_F(Separation, SnapshotBoundsColoursAndDescriptions) {
  Swatch* cmyk = doc->createColor("Cyanish", ColorModel::Process, ColorSpace::CMYK, {0.1, 0, 0, 0.5});
  Swatch* grey = doc->createColor("Grau", ColorModel::Process, ColorSpace::CMYK, {0, 0, 0, 0.5});
  Swatch* rgb = doc->createColor("Blau", ColorModel::Process, ColorSpace::RGB, {0, 0, 1});
  Swatch* cyanTint = doc->createTint(cmyk->GetUID(), 40);
  Swatch* blackTint = doc->createTint(doc->blackSwatch(), 40, "Black 40");
  // The pages start at the first page's corner; a zero-height rule becomes 0.1 high.
  const PMRect page = doc->pageAt(0)->innerBounds();
  (void)page;
  const UID ruleUID = doc->createGraphicLine(layer, {10, 50}, {110, 50})->GetUID();
  const UID box = rect({40, 20, 80, 80}, cmyk->GetUID(), 50);
  const UID dot = rect({300, 300, 300, 300}, kInvalidUID);
  auto frames = snapshots();
  ASSERT_EQ(frames.size(), 3u);
  const KXFrame& dotFrame = *frames[0];
  const KXFrame& boxFrame = *frames[1];
  const KXFrame& rule = *frames[2];
  EXPECT_EQ(rule.frameUID(), ruleUID);
  EXPECT_EQ(boxFrame.frameUID(), box);
  EXPECT_EQ(dotFrame.frameUID(), dot);
  EXPECT_TRUE(rule.isLine());
  EXPECT_FLOAT_EQ(rule.bounds().height, 0.1f);
  EXPECT_TRUE(rule.sharesAreaWithFrame(&boxFrame));
  EXPECT_FLOAT_EQ(dotFrame.bounds().width, 0.1f);
  EXPECT_FLOAT_EQ(dotFrame.bounds().height, 0);
  EXPECT_FALSE(dotFrame.sharesAreaWithFrame(&boxFrame));
  EXPECT_FALSE(boxFrame.sharesAreaWithFrame(nullptr));
  EXPECT_TRUE(dotFrame.isEmpty()) << "no text, no content: an empty frame";
  EXPECT_EQ(boxFrame.description(),
            "????: bounds: [14, 7, 14, 21], layer: Layer 1, stroke: None, "
            "fill: 10/0/0/50 (50%)");
  EXPECT_EQ(rule.description(), "LINE: bounds: [4, 18, 35, 0], layer: Layer 1, stroke: Black, fill: None");

  // Tints carry their base's colour data; the "Black" test is on the swatch's own name.
  EXPECT_TRUE(colorIsColor(db, static_cast<int>(cyanTint->GetUID()), cyanTint->name()));
  EXPECT_FALSE(colorIsColor(db, static_cast<int>(blackTint->GetUID()), "Black 40"));
  EXPECT_FALSE(colorIsColor(db, static_cast<int>(grey->GetUID()), "Grau"));
  EXPECT_TRUE(colorIsColor(db, static_cast<int>(rgb->GetUID()), "Blau"));
  EXPECT_TRUE(colorIsColor(db, 0, "Paper"));
  EXPECT_FALSE(colorIsColor(db, static_cast<int>(cmyk->GetUID()), "Black"));
  EXPECT_FALSE(colorIsColor(db, 0, "Cyanish"));
  EXPECT_EQ(boxFrame.colorStr(static_cast<int>(cyanTint->GetUID()), cyanTint->name(), -1), "10/0/0/50");
  EXPECT_EQ(boxFrame.colorStr(static_cast<int>(rgb->GetUID()), "Blau", 0), "RGB (0%)");
  EXPECT_EQ(boxFrame.colorStr(0, "Paper", 50), "Paper (50%)");
}

TEST_F(Separation, PicturesGreyOrColourByLogosAttributesAndContentFill) {
  const auto folder = home.scratch();
  test::writeFile(folder / "grau.png", test::pngBytes(8, 8, true));
  test::writeFile(folder / "logo.png", test::pngBytes(8, 8, false));
  test::writeFile(folder / "farbig.png", test::pngBytes(8, 8, false));
  Swatch* magenta = doc->createColor("Magenta", ColorModel::Process, ColorSpace::CMYK, {0, 1, 0, 0});
  const UID plain = rect({0, 0, 50, 50});
  const UID coloured = rect({100, 0, 150, 50});
  const UID logo = rect({200, 0, 250, 50});
  const UID farbig = rect({300, 0, 350, 50});
  UID content = kInvalidUID;
  ASSERT_EQ(doc->placeFile(plain, (folder / "grau.png").string()), kSuccess);
  ASSERT_EQ(doc->placeFile(coloured, (folder / "grau.png").string(), &content), kSuccess);
  GraphicAttributes a;
  a.fillSwatch = magenta->GetUID();
  db->instantiate<PageItem>(content)->setGraphicAttributes(a);
  ASSERT_EQ(doc->placeFile(logo, (folder / "logo.png").string()), kSuccess);
  ASSERT_EQ(doc->placeFile(farbig, (folder / "farbig.png").string()), kSuccess);

  DictPtr logos = Dictionary::make();
  logos->set("bw", Array::make({Value("logo.png")}));
  setLogos(logos);
  logos->set("bw", Array::make({}));  // the table is a copy
  auto frames = snapshots();
  ASSERT_EQ(frames.size(), 4u);
  std::map<UID, const KXFrame*> by;
  for (auto& f : frames) by[f->frameUID()] = f.get();
  EXPECT_TRUE(by[plain]->isGraphics());
  EXPECT_EQ(by[plain]->colorSpace(), KXFrame::kSpaceGrey);
  EXPECT_EQ(by[coloured]->colorSpace(), KXFrame::kSpaceColor) << "a grey picture coloured magenta";
  EXPECT_EQ(by[logo]->colorSpace(), KXFrame::kSpaceGrey) << "listed under bw";
  EXPECT_EQ(by[farbig]->colorSpace(), KXFrame::kSpaceColor);
  EXPECT_EQ(
      by[coloured]->description(),
      "PICT: bounds: [35, 0, 18, 18], layer: Layer 1, stroke: None, fill: None, 'grau.png', space: color, "
      "contentColor: Magenta");
}

TEST_F(Separation, GreyTextBecomesBlackTintsTimesTheirOwn) {
  const UID grey =
      doc->createColor("Grau60", ColorModel::Process, ColorSpace::CMYK, {0, 0, 0, 0.6})->GetUID();
  const UID almost =
      doc->createColor("Fast", ColorModel::Process, ColorSpace::CMYK, {0.1, 0, 0, 0.6})->GetUID();
  const UID red = doc->createColor("Rot", ColorModel::Process, ColorSpace::CMYK, {0, 1, 1, 0})->GetUID();
  const UID tint = doc->createTint(doc->blackSwatch(), 40, "Schwarz 40")->GetUID();
  ITextModel* story = doc->createStory();
  // "ab" grey at 50 %, "cd" grey, " \r" red, "ef" Black 40 %, "gh" almost grey, "i" Paper.
  story->Insert(0, "abcd \refghi");
  auto apply = [&](int start, int length, AttributeClass cls, AttributeValue v) {
    story->ApplyAttributes(start, length, {{cls, std::move(v)}});
  };
  apply(0, 4, AttributeClass::kTextColor, grey);
  apply(0, 2, AttributeClass::kTextTint, 50.0);
  apply(4, 2, AttributeClass::kTextColor, red);
  apply(6, 2, AttributeClass::kTextColor, tint);
  apply(8, 2, AttributeClass::kTextColor, almost);
  apply(10, 1, AttributeClass::kTextColor, doc->paperSwatch());

  std::vector<UID> colorList;
  TextRunContext context = textRunContext(db, &colorList);
  enumTextRuns(story, AttributeClass::kTextColor, normalizeGreyRun, context);
  auto colorAt = [&](int i) {
    return runColor(story->QueryRun(AttributeClass::kTextColor, i)->value, context);
  };
  auto tintAt = [&](int i) { return runTint(story->QueryRun(AttributeClass::kTextTint, i)->value); };
  EXPECT_EQ(colorList, (std::vector<UID>{grey, tint}));
  for (int i : {0, 2, 4, 6}) EXPECT_EQ(colorAt(i), doc->blackSwatch()) << i;
  EXPECT_DOUBLE_EQ(tintAt(0), 30);
  EXPECT_DOUBLE_EQ(tintAt(2), 60);
  EXPECT_DOUBLE_EQ(tintAt(4), 100) << "blank text keeps its tint";
  EXPECT_DOUBLE_EQ(tintAt(6), 40);
  EXPECT_EQ(colorAt(8), almost);
  EXPECT_EQ(colorAt(10), doc->paperSwatch()) << "white text is not grey";

  context.flag = true;
  enumTextRuns(story, AttributeClass::kTextColor, isBlackRun, context);
  EXPECT_FALSE(context.flag);
  context.flag = false;
  enumTextRuns(story, AttributeClass::kTextColor, isPaperRun, context);
  EXPECT_TRUE(context.flag);

  enumTextRuns(story, AttributeClass::kTextColor, flagTintedBlackRun, context);
  auto flagged = [&](int i) {
    const AttributeValue v = story->QueryRun(AttributeClass::kTextFlag, i)->value;
    return std::holds_alternative<bool>(v) && std::get<bool>(v);
  };
  for (int i : {0, 1, 2, 3, 6, 7}) EXPECT_TRUE(flagged(i)) << i;
  for (int i : {4, 5, 8, 10}) EXPECT_FALSE(flagged(i)) << i;

  // One character and the end mark: walked once; the end mark alone: not at all.
  ITextModel* one = doc->createStory();
  one->Insert(0, "x");
  one->ApplyAttributes(0, 1, {{AttributeClass::kTextTint, AttributeValue(0.0)}});
  context.flag = false;
  enumTextRuns(one, AttributeClass::kTextTint, isZeroTintRun, context);
  EXPECT_TRUE(context.flag);
  ITextModel* empty = doc->createStory();
  context.flag = true;
  enumTextRuns(empty, AttributeClass::kTextColor, isBlackRun, context);
  EXPECT_TRUE(context.flag);
}

}  // namespace
}  // namespace korvex
