#include "host/preflight/preflight.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "host/document.h"
#include "host/document_file.h"
#include "host/host_test_support.h"
#include "host/output/composer_layout.h"
#include "host/text_layout.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

struct PreflightDoc {
  std::unique_ptr<IDocument> doc;
  PreflightDoc() {
    DocumentSetup setup;
    setup.pages = 2;
    setup.pageWidth = 200;
    setup.pageHeight = 300;
    doc = IDocument::createNew(setup);
  }
  UID layer(int spread) const { return test::spreadLayer(*doc, 1, spread); }
  // Items on the second page sit in the second spread (single pages).
  SplineItem* rect(const PMRect& r, int spread = 0) { return doc->createRectangle(layer(spread), r); }
  void paint(SplineItem* item, UID fill, UID stroke = kInvalidUID, PMReal weight = 0) {
    GraphicAttributes a = item->graphicAttributes();
    a.fillSwatch = fill;
    a.strokeSwatch = stroke;
    a.strokeWeight = weight;
    item->setGraphicAttributes(a);
  }
  PlacedContent* picture(SplineItem* frame, const std::string& path, PMRect bounds = {0, 0, 72, 72}) {
    PlacedContent* c = doc->createPlacedContent(frame->GetUID(), ClassID::kImageItem, bounds);
    doc->createLink(c->GetUID(), path);
    return c;
  }
  ITextModel* story(const std::string& text, const std::string& family = "DejaVu Sans") {
    ITextModel* s = doc->createStory();
    s->Insert(0, text);
    s->ApplyAttributes(0, s->TotalLength() - 1,
                       {{AttributeClass::kFontFamily, family},
                        {AttributeClass::kFontStyle, std::string("Book")},
                        {AttributeClass::kPointSize, 12.0}});
    return s;
  }
};

std::vector<std::string> rules(const std::vector<PreflightError>& errors) {
  std::vector<std::string> r;
  for (const auto& e : errors) r.push_back(e.rule);
  return r;
}

PreflightProfile everything() {
  PreflightProfile p{.name = "strict"};
  p.minImageResolution = 300;
  p.allowRGB = p.allowLab = p.allowSpot = false;
  p.minStrokeWeight = 0.25;
  return p;
}

TEST(Preflight, CleanDocumentPassesEveryRule) {
  test::TempHome home;
  PreflightDoc t;
  fs::path pic = home.scratch() / "fine.jpg";
  test::writeFile(pic, test::jpegBytes(100, 100, 3));
  SplineItem* frame = t.rect({10, 10, 34, 34});
  PlacedContent* c = t.picture(frame, pic.string(), {0, 0, 24, 24});
  c->setImageAttributes(ImageAttributes{ImageColorSpace::Colour, 100, 100, 300});  // 300 ppi at 24 pt
  t.paint(t.rect({50, 50, 100, 100}), t.doc->blackSwatch(), t.doc->blackSwatch(), 1);
  EXPECT_TRUE(runPreflight(*t.doc, everything()).empty());
}

TEST(Preflight, LinksMissingAndModifiedWithTheirPages) {
  test::TempHome home;
  PreflightDoc t;
  fs::path gone = home.scratch() / "gone.jpg", changed = home.scratch() / "changed.jpg";
  const fs::path junk = home.scratch() / "junk.jpg";
  test::writeFile(gone, test::jpegBytes(10, 10, 3));
  test::writeFile(changed, test::jpegBytes(10, 10, 3));
  test::writeFile(junk, "no picture");
  SplineItem* f1 = t.rect({10, 10, 82, 82}, 0);
  SplineItem* f2 = t.rect({10, 10, 82, 82}, 1);
  SplineItem* f3 = t.rect({10, 100, 82, 172}, 1);
  t.picture(f1, gone.string());
  t.picture(f2, changed.string());
  t.picture(f3, junk.string());
  fs::remove(gone);
  test::writeFile(changed, test::jpegBytes(30, 30, 3));

  auto errors = runPreflight(*t.doc, PreflightProfile{.name = kBasicPreflightProfile});
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_EQ(errors[0].rule, kRuleMissingLinks);
  EXPECT_EQ(errors[0].item, f1->GetUID()) << "the frame, not its content, is reported";
  EXPECT_EQ(errors[0].page, 1);
  EXPECT_NE(errors[0].description.find("gone.jpg"), std::string::npos);
  EXPECT_EQ(errors[1].rule, kRuleModifiedLinks);
  EXPECT_EQ(errors[1].page, 2);
  // A file that is there but no picture has a rule of its own, after the plain link states.
  EXPECT_EQ(errors[2].rule, kRuleUndrawableLinks);
  EXPECT_EQ(errors[2].item, f3->GetUID());
  EXPECT_NE(errors[2].description.find("junk.jpg"), std::string::npos);

  PreflightProfile onlyMissing{.name = "m", .modifiedLinks = false, .undrawableLinks = false};
  EXPECT_EQ(rules(runPreflight(*t.doc, onlyMissing)), std::vector<std::string>{kRuleMissingLinks});
}

TEST(Preflight, MissingFontsAndOversetText) {
  PreflightDoc t;
  ITextModel* s = t.story("Hello", "No Such Family Korvex");
  SplineItem* frame = t.rect({10, 10, 190, 100});
  t.doc->makeTextFrame(frame->GetUID(), s->GetUID());
  auto errors = runPreflight(*t.doc, PreflightProfile{.name = kBasicPreflightProfile});
  ASSERT_EQ(rules(errors), std::vector<std::string>{kRuleMissingFonts});
  EXPECT_EQ(errors[0].description, "Missing font: No Such Family Korvex Book");
  EXPECT_EQ(errors[0].item, frame->GetUID()) << "the frame whose text uses it";
  EXPECT_EQ(errors[0].page, 1);

  // Text without any frame is overset for the text model alone.
  PreflightDoc u;
  u.story("nowhere to go");
  EXPECT_EQ(rules(runPreflight(*u.doc, PreflightProfile{.name = "b"})),
            std::vector<std::string>{kRuleOversetText});
}

TEST(Preflight, OversetMeasuredByTheComposer) {
  PreflightDoc t;
  std::string text;
  for (int i = 0; i < 200; ++i) text += "word ";
  ITextModel* s = t.story(text);
  SplineItem* frame = t.rect({10, 10, 100, 40});
  t.doc->makeTextFrame(frame->GetUID(), s->GetUID());
  PreflightProfile basic{.name = kBasicPreflightProfile};
  {
    // Without a text layout the model can't tell; with the composer's it can.
    auto former = setTextLayout(nullptr);
    EXPECT_TRUE(runPreflight(*t.doc, basic).empty());
    installComposerLayout();
    auto errors = runPreflight(*t.doc, basic);
    ASSERT_EQ(rules(errors), std::vector<std::string>{kRuleOversetText});
    EXPECT_EQ(errors[0].item, frame->GetUID());
    EXPECT_EQ(errors[0].page, 1);

    ITextModel* small = t.story("fits");
    SplineItem* roomy = t.rect({10, 100, 190, 200});
    t.doc->makeTextFrame(roomy->GetUID(), small->GetUID());
    EXPECT_EQ(runPreflight(*t.doc, basic).size(), 1u) << "only the overset story";
    setTextLayout(std::move(former));
  }
}

TEST(Preflight, ResolutionColourModelsAndStrokes) {
  test::TempHome home;
  PreflightDoc t;
  fs::path pic = home.scratch() / "low.jpg";
  test::writeFile(pic, test::jpegBytes(200, 100, 3));
  SplineItem* frame = t.rect({10, 10, 154, 82});
  // 200 × 100 pixels over 144 × 72 points: 100 ppi across, 100 ppi down.
  t.picture(frame, pic.string(), {0, 0, 144, 72})
      ->setImageAttributes(ImageAttributes{ImageColorSpace::Colour, 200, 100, 72});
  Swatch* rgb = t.doc->createColor("Screen Red", ColorModel::Process, ColorSpace::RGB, {1, 0, 0});
  Swatch* lab = t.doc->createColor("Lab Grey", ColorModel::Process, ColorSpace::Lab, {50, 0, 0});
  Swatch* spot = t.doc->createColor("HKS 43", ColorModel::Spot, ColorSpace::CMYK, {1, 0.5, 0, 0});
  Swatch* spotTint = t.doc->createTint(spot->GetUID(), 40);
  SplineItem* a = t.rect({10, 100, 50, 140});
  t.paint(a, rgb->GetUID(), lab->GetUID(), 0.1);
  SplineItem* b = t.rect({60, 100, 90, 140});
  t.paint(b, spotTint->GetUID());
  ITextModel* s = t.story("red text");
  s->ApplyAttributes(0, 3, {{AttributeClass::kTextColor, rgb->GetUID()}});
  SplineItem* tf = t.rect({10, 200, 190, 290});
  t.doc->makeTextFrame(tf->GetUID(), s->GetUID());

  auto errors = runPreflight(*t.doc, everything());
  std::vector<std::string> expected{kRuleImageResolution, kRuleColorModel, kRuleColorModel,
                                    kRuleColorModel,      kRuleColorModel, kRuleStrokeWeight};
  ASSERT_EQ(rules(errors), expected);
  EXPECT_EQ(errors[0].item, frame->GetUID());
  EXPECT_NE(errors[0].description.find("100 ppi"), std::string::npos) << errors[0].description;
  EXPECT_EQ(errors[1].description, "Fill \"Screen Red\" is RGB");
  EXPECT_EQ(errors[2].description, "Stroke \"Lab Grey\" is Lab");
  EXPECT_EQ(errors[3].item, b->GetUID()) << "a tint of a spot colour is a spot colour";
  EXPECT_EQ(errors[4].description, "Text \"Screen Red\" is RGB");
  EXPECT_EQ(errors[4].item, tf->GetUID());
  EXPECT_EQ(errors[5].item, a->GetUID());

  // Each model can be allowed on its own; a hairline stroke of None is no stroke.
  PreflightProfile lenient = everything();
  lenient.allowRGB = lenient.allowLab = true;
  lenient.minImageResolution = 100;
  t.paint(a, rgb->GetUID(), t.doc->noneSwatch(), 0.1);
  EXPECT_EQ(rules(runPreflight(*t.doc, lenient)), std::vector<std::string>{kRuleColorModel});
}

TEST(PreflightProfiles, UserFilesBesideBasic) {
  test::TempHome home;
  const fs::path folder = userPreflightProfilesFolder();
  test::writeFile(folder / "Print.json",
                  R"({"minImageResolution": 300, "disallowedColors": ["RGB", "Lab"]})");
  test::writeFile(folder / "Broken.json", R"({"minStrokeWeight": "thin"})");
  test::writeFile(folder / "Typo.json", R"({"missingLink": true})");
  test::writeFile(folder / "[Basic].json", R"({})");
  PreflightProfileList list = PreflightProfileList::load();
  ASSERT_EQ(list.count(), 2);
  EXPECT_EQ(list.at(0).name, kBasicPreflightProfile);
  EXPECT_EQ(list.indexOf("Print"), 1);
  EXPECT_EQ(list.indexOf("Missing"), -1);
  EXPECT_EQ(list.at(1).minImageResolution, 300);
  EXPECT_FALSE(list.at(1).allowRGB);
  EXPECT_TRUE(list.at(1).allowSpot);
  ASSERT_EQ(list.refusals().size(), 3u);
  EXPECT_EQ(list.refusals()[0].reason, "$.minStrokeWeight: expected a number");
  EXPECT_EQ(list.refusals()[1].reason, "$.missingLink: unknown key");
  EXPECT_NE(list.refusals()[2].file.find("[Basic].json"), std::string::npos) << "a built-in's name";

  PreflightProfile round = everything();
  EXPECT_EQ(addUserPreflightProfile(round), kSuccess);
  EXPECT_EQ(*PreflightProfileList::load().find("strict"), round);
  EXPECT_NE(addUserPreflightProfile(PreflightProfile{.name = "[Mine]"}), kSuccess);
}

TEST(PreflightService, AssignmentKeptInTheDocumentAndResultsAggregated) {
  test::TempHome home;
  test::writeFile(userPreflightProfilesFolder() + "/Thin.json", R"({"minStrokeWeight": 1})");
  Session session;
  PreflightService& service = preflightService(session);
  EXPECT_EQ(&service, &preflightService(session)) << "installed once";

  PreflightDoc t;
  t.paint(t.rect({10, 10, 50, 50}), t.doc->blackSwatch(), t.doc->blackSwatch(), 0.5);
  EXPECT_EQ(service.state(*t.doc), PreflightState::NotProcessed);
  EXPECT_TRUE(service.aggregatedResults(*t.doc).empty());
  service.process(*t.doc);
  ASSERT_EQ(service.state(*t.doc), PreflightState::Complete);
  auto results = service.aggregatedResults(*t.doc);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].profile, kBasicPreflightProfile);
  EXPECT_TRUE(results[0].data.empty());

  const int thin = service.profiles().indexOf("Thin");
  ASSERT_GE(thin, 0);
  service.prepare(*t.doc);
  EXPECT_EQ(service.assignProfile(*t.doc, 99), kInvalidParameterError);
  ASSERT_EQ(service.assignProfile(*t.doc, thin), kSuccess);
  EXPECT_EQ(service.state(*t.doc), PreflightState::NotProcessed) << "a new profile invalidates old results";
  service.process(*t.doc);
  results = service.aggregatedResults(*t.doc);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].profile, "Thin");
  EXPECT_EQ(rules(results[0].data), std::vector<std::string>{kRuleStrokeWeight});

  // A change makes the results stale until the next processing.
  t.rect({60, 60, 90, 90});
  EXPECT_EQ(service.state(*t.doc), PreflightState::NotProcessed);
  EXPECT_TRUE(service.aggregatedResults(*t.doc).empty());
  service.process(*t.doc);
  EXPECT_EQ(service.aggregatedResults(*t.doc).size(), 1u);
  PreflightDoc other;
  EXPECT_EQ(service.state(*other.doc), PreflightState::NotProcessed) << "results belong to their document";

  // The assignment travels with the saved document.
  const std::string path = (home.scratch() / "doc.kxd").string();
  fs::create_directories(home.scratch());
  ASSERT_EQ(saveDocumentFile(*t.doc, path), kSuccess);
  auto loaded = loadDocumentFile(path);
  ASSERT_TRUE(loaded.document) << loaded.message;
  EXPECT_EQ(loaded.document->preflightProfile(), "Thin");
  EXPECT_EQ(service.profileOf(*loaded.document).name, "Thin");
  loaded.document->setPreflightProfile("Deleted since");
  EXPECT_EQ(service.profileOf(*loaded.document).name, kBasicPreflightProfile)
      << "an unknown profile falls back";
}

}  // namespace
}  // namespace korvex
