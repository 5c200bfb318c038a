#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "host/document.h"
#include "host/image_info.h"
#include "host/session.h"
#include "host_test_support.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

TEST(Links, StatesFollowTheFileOnDisk) {
  test::TempHome home;
  const auto picture = home.scratch() / "Bild 1.png";
  test::writeFile(picture, test::pngBytes(10, 10, true));
  auto doc = IDocument::createNew({});
  SplineItem* frame = doc->createRectangle(test::spreadLayer(*doc), {0, 0, 100, 100});
  UID content = kInvalidUID;
  ASSERT_EQ(doc->placeFile(frame->GetUID(), picture.string(), &content), kSuccess);
  auto* link = doc->GetDocDataBase()->instantiate<ILink>(doc->linkList()[0]);
  EXPECT_EQ(link->GetObject(), content);
  EXPECT_EQ(link->resource()->path(), picture.string());
  EXPECT_EQ(link->GetResourceModificationState(), ILink::kResourceNormal);

  // Same size, later time: modified.
  std::filesystem::last_write_time(picture,
                                   std::filesystem::last_write_time(picture) + std::chrono::seconds(5));
  EXPECT_EQ(link->GetResourceModificationState(), ILink::kResourceModified);
  ASSERT_EQ(link->resource()->update(), kSuccess);
  EXPECT_EQ(link->GetResourceModificationState(), ILink::kResourceNormal);
  // Other size: modified.
  test::writeFile(picture, test::pngBytes(10, 10, true) + "more");
  std::filesystem::last_write_time(picture,
                                   std::filesystem::last_write_time(picture) - std::chrono::seconds(5));
  EXPECT_EQ(link->GetResourceModificationState(), ILink::kResourceModified);

  ASSERT_EQ(link->resource()->embed(), kSuccess);
  std::filesystem::remove(picture);
  EXPECT_EQ(link->GetResourceModificationState(), ILink::kResourceNormal)
      << "embedded data lives in the document";
  EXPECT_EQ(link->resource()->unembed(), kFileNotFoundError)
      << "the data stays when there is no file to go back to";
  EXPECT_TRUE(link->resource()->isEmbedded());

  const auto other = home.scratch() / "other.png";
  test::writeFile(other, test::pngBytes(20, 20, false));
  ASSERT_EQ(link->resource()->relink(other.string()), kSuccess);
  EXPECT_FALSE(link->resource()->isEmbedded());
  std::filesystem::remove(other);
  EXPECT_EQ(link->GetResourceModificationState(), ILink::kResourceMissing);
  EXPECT_EQ(link->resource()->relink((home.scratch() / "nope.png").string()), kFileNotFoundError);
}

TEST(Links, PlacingReadsImageAttributesFromTheFile) {
  test::TempHome home;
  struct Case {
    std::string name, bytes;
    ImageColorSpace space;
  } cases[] = {{"grey.png", test::pngBytes(30, 20, true), ImageColorSpace::Grey},
               {"colour.png", test::pngBytes(30, 20, false), ImageColorSpace::Colour},
               {"grey.jpg", test::jpegBytes(30, 20, 1), ImageColorSpace::Grey},
               {"cmyk.jpg", test::jpegBytes(30, 20, 4), ImageColorSpace::Colour}};
  auto doc = IDocument::createNew({});
  const UID layer = test::spreadLayer(*doc);
  for (const Case& c : cases) {
    const auto path = home.scratch() / c.name;
    test::writeFile(path, c.bytes);
    SplineItem* frame = doc->createRectangle(layer, {0, 0, 100, 100});
    UID content = kInvalidUID;
    ASSERT_EQ(doc->placeFile(frame->GetUID(), path.string(), &content), kSuccess) << c.name;
    auto* placed = doc->GetDocDataBase()->instantiate<PlacedContent>(content);
    EXPECT_EQ(placed->GetClass(), ClassID::kImageItem);
    ASSERT_TRUE(placed->imageAttributes());
    EXPECT_EQ(placed->imageAttributes()->colorSpace, c.space) << c.name;
    EXPECT_EQ(placed->imageAttributes()->pixelWidth, 30);
    EXPECT_EQ(frame->placedContentUID(), content);
  }
  const auto pdf = home.scratch() / "page.pdf";
  test::writeFile(pdf, "%PDF-1.4\n");
  SplineItem* frame = doc->createRectangle(layer, {0, 0, 100, 100});
  UID content = kInvalidUID;
  ASSERT_EQ(doc->placeFile(frame->GetUID(), pdf.string(), &content), kSuccess);
  EXPECT_EQ(doc->GetDocDataBase()->instantiate<PlacedContent>(content)->GetClass(), ClassID::kPDFItem);
  EXPECT_FALSE(doc->GetDocDataBase()->instantiate<PlacedContent>(content)->imageAttributes());

  const auto junk = home.scratch() / "junk.png";
  test::writeFile(junk, "\x89PNG");
  EXPECT_NE(doc->placeFile(doc->createRectangle(layer, {0, 0, 1, 1})->GetUID(), junk.string()), kSuccess);
  EXPECT_EQ(doc->placeFile(doc->createRectangle(layer, {0, 0, 1, 1})->GetUID(), home.scratch().string()),
            kFileNotFoundError);
}

TEST(Swatches, ReservedKindsTintsAndStockColours) {
  auto doc = IDocument::createNew({});
  for (const char* name : {"None", "Paper", "Black", "Registration"}) {
    Swatch* s = doc->findSwatch(name);
    ASSERT_TRUE(s) << name;
    EXPECT_TRUE(s->isReserved());
    EXPECT_NE(doc->deleteSwatch(s->GetUID()), kSuccess);
    EXPECT_NE(s->setName("X"), kSuccess);
  }
  EXPECT_EQ(doc->swatch(doc->noneSwatch())->kind(), SwatchKind::None);
  EXPECT_EQ(doc->swatch(doc->blackSwatch())->components(), (std::vector<double>{0, 0, 0, 1}));
  EXPECT_EQ(doc->swatch(doc->registrationSwatch())->model(), ColorModel::Registration);

  Swatch* red = doc->createColor("Rot", ColorModel::Process, ColorSpace::CMYK, {0, 1, 1, 0});
  Swatch* spot = doc->createColor("HKS 43", ColorModel::Spot, ColorSpace::Lab, {50, -20, 30});
  Swatch* rgb = doc->createColor("Web", ColorModel::Process, ColorSpace::RGB, {0.2, 0.4, 0.6});
  ASSERT_TRUE(red && spot && rgb);
  EXPECT_EQ(static_cast<int>(red->space()), 6);
  EXPECT_FALSE(doc->createColor("Bad", ColorModel::Process, ColorSpace::CMYK, {0, 1.5, 0, 0}));
  EXPECT_FALSE(doc->createColor("Bad", ColorModel::Process, ColorSpace::RGB, {0, 1, 0, 0}));
  EXPECT_FALSE(doc->createColor("Rot", ColorModel::Process, ColorSpace::CMYK, {0, 0, 0, 0}));
  Swatch* tint = doc->createTint(doc->blackSwatch(), 40);
  ASSERT_TRUE(tint);
  EXPECT_EQ(tint->name(), "Black 40%");
  EXPECT_EQ(tint->kind(), SwatchKind::Tint);
  EXPECT_EQ(tint->baseSwatch(), doc->blackSwatch());
  EXPECT_FALSE(doc->createTint(tint->GetUID(), 50)) << "no tints of tints";

  const UID stock = doc->stockColorUID(2);
  ASSERT_NE(stock, kInvalidUID);
  EXPECT_EQ(doc->swatch(stock)->name(), stockColors()[2].name);
  EXPECT_EQ(doc->stockColorUID(2), stock);
  EXPECT_EQ(doc->stockColorUID(99), kInvalidUID);
}

TEST(Swatches, UsageAndDeletionReplaceEveryUse) {
  auto doc = IDocument::createNew({});
  Swatch* red = doc->createColor("Rot", ColorModel::Process, ColorSpace::CMYK, {0, 1, 1, 0});
  Swatch* blue = doc->createColor("Blau", ColorModel::Process, ColorSpace::CMYK, {1, 1, 0, 0});
  Swatch* redTint = doc->createTint(red->GetUID(), 30);
  const UID redUID = red->GetUID(), tintUID = redTint->GetUID();
  EXPECT_TRUE(doc->isSwatchUsed(redUID)) << "a tint uses its base";
  EXPECT_FALSE(doc->isSwatchUsed(blue->GetUID()));

  SplineItem* item = doc->createRectangle(test::spreadLayer(*doc), {0, 0, 10, 10});
  GraphicAttributes a = item->graphicAttributes();
  a.strokeSwatch = redUID;
  item->setGraphicAttributes(a);
  ITextModel* story = doc->createStory();
  story->Insert(0, "text");
  story->ApplyAttributes(1, 2, {{AttributeClass::kTextColor, redUID}});
  EXPECT_TRUE(doc->isSwatchUsed(blue->GetUID()) == false);

  ASSERT_EQ(doc->deleteSwatch(redUID, blue->GetUID()), kSuccess);
  EXPECT_FALSE(doc->findSwatch("Rot"));
  EXPECT_EQ(item->graphicAttributes().strokeSwatch, blue->GetUID());
  EXPECT_EQ(std::get<UID>(story->QueryRun(AttributeClass::kTextColor, 1)->value), blue->GetUID());
  EXPECT_EQ(doc->swatch(tintUID)->baseSwatch(), blue->GetUID());
  EXPECT_TRUE(doc->isSwatchUsed(blue->GetUID()));
  // Deleting without a replacement falls back to None; tints of it go too.
  ASSERT_EQ(doc->deleteSwatch(blue->GetUID()), kSuccess);
  EXPECT_EQ(item->graphicAttributes().strokeSwatch, doc->noneSwatch());
  EXPECT_FALSE(doc->swatch(tintUID));
}

}  // namespace
}  // namespace korvex
