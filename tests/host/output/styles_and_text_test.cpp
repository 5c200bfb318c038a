#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "host/document.h"
#include "host/output/composer.h"
#include "host/output/paint.h"
#include "host/output/pdf_style.h"
#include "host/used_fonts.h"
#include "support/scoped_env.h"
#include "support/temp_home.h"
#include "text_setup.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

TEST(PdfStyles, BuiltInsAreListedInTheInterfaceLanguageAndFoundByEitherName) {
  test::TempHome home;
  test::ScopedEnv language("LANGUAGE", nullptr), all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr);
  const std::vector<PdfExportStyle> germanNames = builtInPdfStyles(true);
  const std::vector<PdfExportStyle> englishNames = builtInPdfStyles(false);
  for (bool german : {true, false}) {
    test::ScopedEnv lang("LANG", german ? "de_DE.UTF-8" : "en_GB.UTF-8");
    const PdfStyleList list = PdfStyleList::load();
    ASSERT_EQ(list.count(), 4);
    for (const auto& s : list.styles()) EXPECT_EQ(s.name[0], '[') << s.name;
    EXPECT_EQ(list.styles()[3].name, german ? "[Kleinste Dateigröße]" : "[Smallest File Size]");
    // Every built-in by both its names, in either language: the listed style itself.
    for (std::size_t i = 0; i < list.styles().size(); ++i) {
      for (const std::string& name : {germanNames[i].name, englishNames[i].name}) {
        const PdfExportStyle* found = list.find(name);
        ASSERT_NE(found, nullptr) << name;
        EXPECT_EQ(found, &list.styles()[i]) << name;
      }
    }
    EXPECT_EQ(list.find("[Kleinste Dateigrösse]"), nullptr);
    EXPECT_EQ(list.find("[smallest file size]"), nullptr);
  }
}

TEST(PdfStyles, UserFilesRoundTripAndBadOnesAreReported) {
  test::TempHome home;
  PdfExportStyle mine{.name = "Druckerei Müller",
                      .exportSpreads = true,
                      .bleed = 8.5,
                      .cropMarks = true,
                      .downsampleThreshold = 400,
                      .downsampleTarget = 250,
                      .jpegQuality = 70,
                      .colorConversion = PdfColorConversion::ToRGB,
                      .pdfVersion = "1.4"};
  ASSERT_EQ(addUserPdfStyle(mine), kSuccess);
  EXPECT_EQ(*pdfStyleFromJson(pdfStyleToJson(mine), mine.name), mine);
  test::writeFile(fs::path(userPdfStylesFolder()) / "Broken.json", "{\"bleed\": -3}");
  test::writeFile(fs::path(userPdfStylesFolder()) / "Also broken.json", "not json");

  PdfStyleList list = PdfStyleList::load();
  ASSERT_NE(list.find("Druckerei Müller"), nullptr);
  EXPECT_EQ(*list.find("Druckerei Müller"), mine);
  EXPECT_EQ(list.find("druckerei müller"), nullptr) << "names compare exactly";
  EXPECT_EQ(list.find("Broken"), nullptr);
  ASSERT_EQ(list.refusals().size(), 2u);
  EXPECT_EQ(list.refusals()[1].reason, "$.bleed: out of range (0 to 432)");

  std::string why;
  EXPECT_NE(addUserPdfStyle({.name = "[Press Quality]"}, &why), kSuccess);
  EXPECT_NE(addUserPdfStyle({.name = "../escape"}, &why), kSuccess);
  EXPECT_FALSE(fs::exists(fs::path(userPdfStylesFolder()).parent_path() / "escape.json"));
  EXPECT_FALSE(pdfStyleFromJson("{\"pdfVersion\": \"2.0\"}", "x"));
  EXPECT_FALSE(pdfStyleFromJson("{\"colorConversion\": \"cmyk\"}", "x"));
  EXPECT_FALSE(pdfStyleFromJson("{\"exportSpreads\": 1}", "x"));
  EXPECT_FALSE(pdfStyleFromJson("{\"jpegQuality\": 70.5}", "x"));
  EXPECT_EQ(pdfStyleFromJson("{\"bleeed\": 3}", "x").message(), "$.bleeed: unknown key");
}

TEST(Paint, SwatchesResolveToTheirModels) {
  auto doc = IDocument::createNew({});
  Swatch* cmyk = doc->createColor("C", ColorModel::Process, ColorSpace::CMYK, {0.2, 0.4, 0.6, 0.8});
  Swatch* spot = doc->createColor("S", ColorModel::Spot, ColorSpace::RGB, {1, 0, 0});
  Swatch* tint = doc->createTint(cmyk->GetUID(), 50);

  EXPECT_FALSE(paintForSwatch(*doc, doc->noneSwatch(), std::nullopt));
  EXPECT_EQ(paintForSwatch(*doc, doc->paperSwatch(), std::nullopt)->values,
            (std::vector<double>{0, 0, 0, 0}));
  EXPECT_EQ(paintForSwatch(*doc, doc->blackSwatch(), 50)->values, (std::vector<double>{0, 0, 0, 0.5}));
  auto t = paintForSwatch(*doc, tint->GetUID(), 50);  // 50 % of 50 %
  ASSERT_TRUE(t);
  EXPECT_EQ(t->space, PaintSpace::DeviceCMYK);
  EXPECT_DOUBLE_EQ(t->values[0], 0.05);
  EXPECT_DOUBLE_EQ(t->values[3], 0.2);
  auto s = paintForSwatch(*doc, spot->GetUID(), 30);
  EXPECT_EQ(s->space, PaintSpace::Separation);
  EXPECT_EQ(s->alternate, PaintSpace::DeviceRGB);
  EXPECT_EQ(s->separation, "S");
  EXPECT_DOUBLE_EQ(s->tint, 0.3);
  auto registration = paintForSwatch(*doc, doc->registrationSwatch(), std::nullopt);
  EXPECT_EQ(registration->separation, "All");

  auto rgb = paintForSwatch(*doc, cmyk->GetUID(), std::nullopt, PdfColorConversion::ToRGB);
  EXPECT_EQ(rgb->space, PaintSpace::DeviceRGB);
  EXPECT_NEAR(rgb->values[0], 0.8 * 0.2, 1e-9);
  auto spotRgb = paintForSwatch(*doc, spot->GetUID(), 30, PdfColorConversion::ToRGB);
  EXPECT_EQ(spotRgb->space, PaintSpace::DeviceRGB);
  EXPECT_NEAR(spotRgb->values[1], 0.7, 1e-9);
}

TEST(Composer, LinesColumnsThreadsAndOverset) {
  test::TextSetup t;
  std::string words;
  for (int i = 0; i < 60; ++i) words += "word" + std::to_string(i) + " ";
  t.text(words + "end");
  MultiColumnItem* first = t.frame({0, 0, 210, 60}, 2);
  MultiColumnItem* second = t.frame({0, 100, 100, 130});
  Composer composer(*t.doc);
  const ComposedStory& story = composer.story(t.story->GetUID());
  ASSERT_EQ(story.columns.size(), 3u);
  EXPECT_TRUE(story.overset);
  // Columns follow each other without gaps, up to the overset text.
  EXPECT_EQ(story.columns[0].start, 0);
  EXPECT_EQ(story.columns[1].start, story.columns[0].start + story.columns[0].span);
  EXPECT_EQ(story.columns[2].start, story.columns[1].start + story.columns[1].span);
  EXPECT_EQ(story.columns[2].start + story.columns[2].span, story.oversetStart);
  EXPECT_GT(story.columns[1].span, 0);
  // Default leading is 120 % of the size; every glyph stays inside its column.
  for (const auto& column : story.columns) {
    const bool inFirst = column.frame == first->GetParentUID();
    const double left = inFirst && column.textColumn == first->GetChildUID(1) ? 110 : 0;
    const double right = inFirst ? left + 100 : 100;
    double lastBaseline = -1;
    for (const auto& run : column.runs) {
      EXPECT_GE(run.origin.x, left - 0.01);
      EXPECT_LE(run.origin.x + run.glyphs.back().x, right);
      if (run.origin.y != lastBaseline && lastBaseline >= 0) {
        EXPECT_NEAR(run.origin.y - lastBaseline, 12, 0.01);
      }
      lastBaseline = run.origin.y;
    }
  }
  (void)second;

  test::TextSetup fits;
  fits.text("Short.");
  fits.frame({0, 0, 200, 100});
  Composer c2(*fits.doc);
  EXPECT_FALSE(c2.story(fits.story->GetUID()).overset);
  EXPECT_EQ(c2.story(fits.story->GetUID()).columns[0].span, fits.story->TotalLength());
}

TEST(Composer, WordsWiderThanTheColumnAreBroken) {
  test::TextSetup t;
  t.text("Donaudampfschifffahrtsgesellschaftskapitän");
  t.frame({0, 0, 60, 200});
  Composer composer(*t.doc);
  const auto& column = composer.story(t.story->GetUID()).columns.at(0);
  std::set<double> baselines;
  std::u32string shown;
  for (const auto& run : column.runs) {
    baselines.insert(run.origin.y);
    EXPECT_LE(run.origin.x + run.glyphs.back().x, 60);
    for (const auto& g : run.glyphs) shown += g.text;
  }
  EXPECT_GT(baselines.size(), 2u);
  EXPECT_EQ(utf32ToUtf8(shown), "Donaudampfschifffahrtsgesellschaftskapitän") << "nothing lost or doubled";
}

TEST(Composer, LongWordsAreBrokenLineByLineUpToTheLastColumn) {
  // Monospaced 10 points: 6.02 points a character, 9 to a 60-point line.
  auto lines = [](const ComposedColumn& column) {
    std::map<double, std::u32string> byBaseline;
    for (const auto& run : column.runs) {
      EXPECT_LE(run.origin.x + run.glyphs.back().x, 60);
      for (const auto& g : run.glyphs) byBaseline[run.origin.y] += g.text;
    }
    std::vector<std::u32string> out;
    for (auto& [y, text] : byBaseline) out.push_back(text);
    return out;
  };
  std::string word;
  for (int i = 0; i < 1000; ++i) word += static_cast<char>('a' + i % 26);
  test::TextSetup t;
  t.text(word + " end", "DejaVu Sans Mono");
  // Sizes change inside the word: breaks fall across style runs too.
  for (int at = 500; at < 700; at += 14) t.story->ApplyAttributes(at, 7, {{AttributeClass::kPointSize, 8.0}});
  t.frame({0, 0, 60, 2000});
  Composer composer(*t.doc);
  const ComposedStory& story = composer.story(t.story->GetUID());
  EXPECT_FALSE(story.overset);
  const auto set = lines(story.columns.at(0));
  std::u32string shown;
  for (std::size_t i = 0; i < set.size(); ++i) {
    shown += set[i];
    if (i < 50) {
      EXPECT_EQ(set[i].size(), 9u) << "line " << i << " holds what fits";
    }
  }
  EXPECT_EQ(utf32ToUtf8(shown), word + " end") << "nothing lost or doubled";

  // A word far longer than the frame holds: set up to the frame's end, the rest is overset.
  test::TextSetup huge;
  huge.text(std::string(300000, 'x'), "DejaVu Sans Mono");
  huge.frame({0, 0, 60, 120});
  Composer c2(*huge.doc);
  const ComposedStory& over = c2.story(huge.story->GetUID());
  ASSERT_TRUE(over.overset);
  const auto shownLines = lines(over.columns.at(0));
  EXPECT_EQ(shownLines.size(), 10u) << "12-point lines in 120 points";
  EXPECT_EQ(over.oversetStart, 90);
  EXPECT_EQ(over.columns[0].span, 90);
}

TEST(Composer, AlignmentAndVerticalJustification) {
  auto baselineAndLeft = [](VerticalJustification vertical, const std::string& justification) {
    test::TextSetup t;
    t.text("One line");
    if (!justification.empty()) {
      UID style = kInvalidUID;
      t.doc->createStyle(StyleKind::Paragraph, "P", kInvalidUID, &style);
      t.doc->GetDocDataBase()->instantiate<Style>(style)->setProperty("Justification", justification);
      t.story->ApplyAttributes(0, t.story->TotalLength() - 1, {{AttributeClass::kParagraphStyle, style}});
    }
    MultiColumnItem* frame = t.frame({0, 0, 200, 100});
    TextFrameSettings s = frame->settings();
    s.verticalJustification = vertical;
    frame->setSettings(s);
    Composer composer(*t.doc);
    const auto& run = composer.story(t.story->GetUID()).columns.at(0).runs.at(0);
    return std::pair(run.origin.y, run.origin.x);
  };
  const auto [top, left] = baselineAndLeft(VerticalJustification::Top, "");
  const auto [centre, centred] = baselineAndLeft(VerticalJustification::Center, "CenterAlign");
  const auto [bottom, right] = baselineAndLeft(VerticalJustification::Bottom, "RightAlign");
  EXPECT_NEAR(top, 10 * 0.928, 0.01) << "first baseline at the ascent";
  EXPECT_NEAR(bottom, 100 - 10 * 0.236, 0.01);
  EXPECT_NEAR(centre, (top + bottom) / 2, 0.01);
  EXPECT_EQ(left, 0);
  EXPECT_GT(centred, 50);
  EXPECT_NEAR(right - centred, centred, 0.01) << "right-aligned moves twice as far as centred";
}

TEST(Composer, MissingFontIsDrawnWithAFallback) {
  test::TextSetup t;
  t.text("Text in a font nobody has", "No Such Font Family 4711");
  t.frame({0, 0, 300, 100});
  Composer composer(*t.doc);
  const auto& story = composer.story(t.story->GetUID());
  ASSERT_FALSE(story.columns[0].runs.empty());
  EXPECT_NE(story.columns[0].runs[0].face, nullptr);
  EXPECT_TRUE(composer.fonts().get("No Such Font Family 4711", "").fallback);
  EXPECT_FALSE(composer.fonts().get("DejaVu Sans", "Book").fallback);
  EXPECT_EQ(t.doc->usedFontList().missingFonts().size(), 1u);
}

}  // namespace
}  // namespace korvex
