// What keeps large documents cheap to load and look up must not change what
// is found or where things are put.

#include <gtest/gtest.h>

#include <random>

#include "host/document.h"
#include "host/document_file.h"
#include "host/document_formats.h"
#include "host_test_support.h"

namespace korvex {
namespace {

TEST(Lookups, NamesFollowRenamesInsertionsAndDeletions) {
  auto doc = IDocument::createNew(test::setup(2, {"A", "B"}));
  IDocumentLayer* a = doc->findLayer("A");
  IDocumentLayer* b = doc->findLayer("B");
  ASSERT_TRUE(a && b);
  a->SetName("Text");
  EXPECT_EQ(doc->findLayer("A"), nullptr);
  EXPECT_EQ(doc->findLayer("Text"), a);
  IDocumentLayer* front = doc->createLayer("Front", 1);
  EXPECT_EQ(doc->layerIndex(front->GetUID()), 1);
  EXPECT_EQ(doc->layerIndex(a->GetUID()), 2);
  EXPECT_EQ(doc->layerIndex(b->GetUID()), 3);
  // Renamed to a name in use: the first in list order is found, the other once the first is gone.
  b->SetName("Front");
  EXPECT_EQ(doc->findLayer("Front"), front);
  const UID frontUID = front->GetUID();  // the layer object goes with the deletion
  ASSERT_EQ(doc->deleteLayer(frontUID), kSuccess);
  EXPECT_EQ(doc->findLayer("Front"), b);
  EXPECT_EQ(doc->layerIndex(frontUID), -1);
  EXPECT_EQ(doc->layerIndex(b->GetUID()), 2);
  // Page items go on content layers only, whatever moved in the list.
  EXPECT_EQ(doc->createRectangle(doc->spreadAt(1)->QueryLayer(b->GetUID())->GetUID(), {0, 0, 10, 10}) != nullptr,
            true);
  EXPECT_EQ(doc->createRectangle(doc->spreadAt(1)->pagesLayer()->GetUID(), {0, 0, 10, 10}), nullptr);

  Swatch* red = doc->createColor("Rot", ColorModel::Process, ColorSpace::CMYK, {0, 1, 1, 0});
  Swatch* tint = doc->createTint(red->GetUID(), 40);
  EXPECT_EQ(doc->findSwatch("Rot 40%"), tint);
  red->setName("Red");
  EXPECT_EQ(doc->findSwatch("Rot"), nullptr);
  EXPECT_EQ(doc->findSwatch("Red"), red);
  EXPECT_EQ(doc->createColor("Red", ColorModel::Process, ColorSpace::CMYK, {0, 1, 1, 0}), nullptr);
  ASSERT_EQ(doc->deleteSwatch(red->GetUID()), kSuccess);
  EXPECT_EQ(doc->findSwatch("Red"), nullptr);
  EXPECT_EQ(doc->findSwatch("Rot 40%"), nullptr) << "a tint of a colour replaced by None goes too";
  EXPECT_NE(doc->createColor("Red", ColorModel::Process, ColorSpace::CMYK, {0, 1, 1, 0}), nullptr);

  UID body = kInvalidUID;
  ASSERT_EQ(doc->createStyle(StyleKind::Paragraph, "Body", kInvalidUID, &body), kSuccess);
  EXPECT_EQ(doc->findStyle(StyleKind::Paragraph, "Body"), body);
  EXPECT_EQ(doc->findStyle(StyleKind::Character, "Body"), kInvalidUID);
  doc->styleGroup(StyleKind::Paragraph).remove(body);
  EXPECT_EQ(doc->findStyle(StyleKind::Paragraph, "Body"), kInvalidUID);
  const UID german = doc->addLanguage("Deutsch");
  EXPECT_EQ(doc->addLanguage("Deutsch"), german);
  EXPECT_EQ(doc->findLanguage("Deutsch"), german);
}

TEST(Lookups, LoadedSpreadsAndPagesArePlacedAsTheDocumentPlacesThem) {
  // Spreads of one, three and no pages of different sizes, without transforms in the file.
  const std::string text = R"({"format": "korvex-document", "version": 1, "spreads": [
      {"pages": [{"size": [300, 400]}]},
      {"pages": [{"size": [200, 500]}, {"name": "x"}, {"size": [100, 100]}]},
      {},
      {"transform": [1, 0, 0, 1, 0, 5000], "pages": [{}, {"transform": [1, 0, 0, 1, 900, 0]}, {}]},
      {"pages": [{}]}]})";
  DocumentLoadResult r = parseDocument(text, "f.indd", "/");
  ASSERT_EQ(r.error, kSuccess) << r.message;
  const IDocument& loaded = *r.document;
  auto built = IDocument::createEmpty(1);
  built->addMissingEssentials();
  built->createLayer("Layer 1");
  auto page = [&](ISpread* s, PMReal w, PMReal h) { return built->addPage(s, w, h); };
  ISpread* s0 = built->createSpread();
  page(s0, 300, 400);
  ISpread* s1 = built->createSpread();
  page(s1, 200, 500);
  page(s1, built->defaultPageWidth(), built->defaultPageHeight());
  page(s1, 100, 100);
  built->createSpread();
  ISpread* s3 = built->createSpread();
  s3->setTransform(PMMatrix::translation(0, 5000));
  page(s3, built->defaultPageWidth(), built->defaultPageHeight());
  page(s3, built->defaultPageWidth(), built->defaultPageHeight())->setTransform(PMMatrix::translation(900, 0));
  page(s3, built->defaultPageWidth(), built->defaultPageHeight());
  ISpread* s4 = built->createSpread();
  page(s4, built->defaultPageWidth(), built->defaultPageHeight());
  ASSERT_EQ(loaded.GetSpreadCount(), built->GetSpreadCount());
  for (int i = 0; i < loaded.GetSpreadCount(); ++i) {
    EXPECT_EQ(loaded.spreadAt(i)->transform(), built->spreadAt(i)->transform()) << "spread " << i;
    const auto want = built->spreadAt(i)->pages();
    const auto got = loaded.spreadAt(i)->pages();
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t p = 0; p < got.size(); ++p)
      EXPECT_EQ(got[p]->transform(), want[p]->transform()) << "spread " << i << " page " << p;
  }
  std::vector<std::string> names;
  for (Page* p : loaded.pages()) names.push_back(p->name());
  EXPECT_EQ(names, (std::vector<std::string>{"1", "2", "x", "4", "5", "6", "7", "8"}));
}

TEST(Lookups, ChainedStylesLoadAndCirclesAreRefusedWhereTheFileClosesThem) {
  auto load = [](const std::string& styles) {
    return parseDocument(R"({"format": "korvex-document", "version": 1, "paragraphStyles": [)" + styles + "]}",
                         "f.indd", "/");
  };
  std::string chain;
  constexpr int kChain = 3000;
  // Written child first, so that each parent comes later in the file.
  for (int i = kChain - 1; i >= 0; --i)
    chain += std::string(i == kChain - 1 ? "" : ",") + R"({"name": "P)" + std::to_string(i) + R"(", "basedOn": ")" +
             (i ? "P" + std::to_string(i - 1) : std::string("[Basic Paragraph]")) + R"("})";
  DocumentLoadResult r = load(chain);
  ASSERT_EQ(r.error, kSuccess) << r.message;
  const IDocument& doc = *r.document;
  const IDataBase& db = *doc.GetDocDataBase();
  int depth = 0;
  for (UID s = doc.findStyle(StyleKind::Paragraph, "P" + std::to_string(kChain - 1)); s != kInvalidUID;
       s = db.instantiate<Style>(s)->basedOn())
    ++depth;
  EXPECT_EQ(depth, kChain + 2) << "the chain, [Basic Paragraph] and [No Paragraph Style]";

  struct Case {
    std::string styles, message;
  } cases[] = {
      // A tail into a circle of two: refused where its second member comes.
      {R"({"name": "T", "basedOn": "A"}, {"name": "A", "basedOn": "B"}, {"name": "X"}, {"name": "B", "basedOn": "A"})",
       "f.indd: $.paragraphStyles[3].basedOn: styles based on each other in a circle"},
      {R"({"name": "A", "basedOn": "A"}, {"name": "B", "basedOn": "Nowhere"})",
       "f.indd: $.paragraphStyles[0].basedOn: styles based on each other in a circle"},
      {R"({"name": "A", "basedOn": "B"}, {"name": "B", "basedOn": "Nowhere"}, {"name": "C", "basedOn": "C"})",
       "f.indd: $.paragraphStyles[1].basedOn: unknown style \"Nowhere\""},
      // Of two circles, the one closed first in the file.
      {R"({"name": "A", "basedOn": "B"}, {"name": "C", "basedOn": "D"}, {"name": "D", "basedOn": "C"},
          {"name": "B", "basedOn": "A"})",
       "f.indd: $.paragraphStyles[2].basedOn: styles based on each other in a circle"},
      {R"({"name": "[No Paragraph Style]", "basedOn": "[Basic Paragraph]"})",
       "f.indd: $.paragraphStyles[0].basedOn: styles based on each other in a circle"},
  };
  for (const Case& c : cases) EXPECT_EQ(load(c.styles).message, c.message) << c.styles;
}

}  // namespace
}  // namespace korvex
