// Moving page items between layers and deleting several swatches at once.

#include <gtest/gtest.h>

#include "host/host_test_support.h"

namespace korvex {
namespace {

using test::setup;
using test::spreadLayer;

std::vector<UID> children(const IDocument& doc, UID spreadLayerUID) {
  return doc.GetDocDataBase()->instantiate<ISpreadLayer>(spreadLayerUID)->children();
}

TEST(MoveItemsToLayer, KeepsOrderPlacesAndThreads) {
  auto doc = IDocument::createNew(setup(2, {"A", "B", "Ziel"}));
  const UID a = spreadLayer(*doc, 1), b = spreadLayer(*doc, 2), target = spreadLayer(*doc, 3);
  const UID a1 = doc->createRectangle(a, {0, 0, 10, 10})->GetUID();
  const UID a2 = doc->createRectangle(a, {20, 0, 30, 10})->GetUID();
  const UID b1 = doc->createRectangle(b, {40, 0, 50, 10})->GetUID();
  const UID stay = doc->createRectangle(target, {60, 0, 70, 10})->GetUID();
  // Two threaded text frames, one on each spread.
  const UID t1 = doc->createRectangle(a, {0, 100, 100, 200})->GetUID();
  const UID t2 = doc->createRectangle(spreadLayer(*doc, 1, 1), {0, 100, 100, 200})->GetUID();
  ASSERT_EQ(doc->makeTextFrame(t1), kSuccess);
  ASSERT_EQ(doc->makeTextFrame(t2), kSuccess);
  ASSERT_EQ(doc->linkTextFrames(t1, t2), kSuccess);
  const UID group = doc->createGroup(a)->GetUID();
  const UID nested = doc->createRectangle(group, {0, 300, 10, 310})->GetUID();
  const PMRect before = *doc->pathBounds(t2);

  UIDList items(doc->GetDocDataBase());
  // Listed front to back and across layers: the move still keeps the stacking order.
  for (UID u : {t2, b1, a2, t1, a1, nested}) items.Append(u);
  EXPECT_EQ(doc->moveItemsToLayer(items, doc->layerList()[3]), kInvalidParameterError)
      << "the nested item stays";
  EXPECT_EQ(children(*doc, target), (std::vector<UID>{stay, a1, a2, t1, b1}));
  EXPECT_EQ(children(*doc, spreadLayer(*doc, 3, 1)), (std::vector<UID>{t2}));
  EXPECT_EQ(children(*doc, a), (std::vector<UID>{group}));
  EXPECT_EQ(doc->GetDocDataBase()->instantiate<IHierarchy>(nested)->GetParentUID(), group);
  EXPECT_EQ(*doc->pathBounds(t2), before);
  const UID story =
      doc->GetDocDataBase()
          ->instantiate<MultiColumnItem>(doc->GetDocDataBase()->instantiate<SplineItem>(t1)->textContentUID())
          ->storyUID();
  EXPECT_EQ(doc->story(story)->threadedFrames().size(), 2u);
}

TEST(DeleteSwatches, SkipsReservedAndKeepsTheStrengthOfEachUse) {
  auto doc = IDocument::createNew(setup(1));
  const UID layer = spreadLayer(*doc);
  const UID grey =
      doc->createColor("Grau60", ColorModel::Process, ColorSpace::CMYK, {0, 0, 0, 0.6})->GetUID();
  const UID tintOfGrey = doc->createTint(grey, 50, "Grau60 halb")->GetUID();
  const UID red = doc->createColor("Rot", ColorModel::Process, ColorSpace::CMYK, {0, 1, 1, 0})->GetUID();
  SplineItem* filled = doc->createRectangle(layer, {0, 0, 10, 10});
  GraphicAttributes attributes;
  attributes.fillSwatch = grey;
  attributes.fillTint = 50;
  attributes.strokeSwatch = grey;
  filled->setGraphicAttributes(attributes);
  ITextModel* story = doc->createStory();
  story->Insert(0, "abcdef");
  story->ApplyAttributes(0, 4, {{AttributeClass::kTextColor, AttributeValue(grey)}});
  story->ApplyAttributes(2, 2, {{AttributeClass::kTextTint, AttributeValue(50.0)}});

  int skipped = 0;
  const std::vector<IDocument::SwatchDeletion> deletions{
      {grey, 60}, {doc->blackSwatch(), 100}, {doc->paperSwatch(), 100}, {grey, 60}, {9999, 100}};
  ASSERT_EQ(doc->deleteSwatches(deletions, doc->blackSwatch(), &skipped), kSuccess);
  EXPECT_EQ(skipped, 4);
  EXPECT_EQ(doc->findSwatch("Grau60"), nullptr);
  ASSERT_NE(doc->findSwatch("Black"), nullptr);
  ASSERT_NE(doc->findSwatch("Paper"), nullptr);
  // A fill at 50 % of a 60 % grey is Black at 30 %; a use without tint takes 60 %.
  const GraphicAttributes& a = filled->graphicAttributes();
  EXPECT_EQ(a.fillSwatch, doc->blackSwatch());
  EXPECT_DOUBLE_EQ(*a.fillTint, 30);
  EXPECT_EQ(a.strokeSwatch, doc->blackSwatch());
  EXPECT_DOUBLE_EQ(*a.strokeTint, 60);
  EXPECT_EQ(std::get<UID>(story->QueryRun(AttributeClass::kTextColor, 0)->value), doc->blackSwatch());
  EXPECT_DOUBLE_EQ(std::get<double>(story->QueryRun(AttributeClass::kTextTint, 0)->value), 60);
  EXPECT_DOUBLE_EQ(std::get<double>(story->QueryRun(AttributeClass::kTextTint, 2)->value), 30);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(story->QueryRun(AttributeClass::kTextTint, 4)->value));
  // The tint of the grey is now a tint of Black at 30 %.
  EXPECT_EQ(doc->swatch(tintOfGrey)->baseSwatch(), doc->blackSwatch());
  EXPECT_DOUBLE_EQ(doc->swatch(tintOfGrey)->tintPercent(), 30);

  // Replaced by None, tints of a deleted colour go too and tints stay as they were.
  ASSERT_EQ(doc->deleteSwatches({{red, 100}}, kInvalidUID), kSuccess);
  EXPECT_EQ(doc->findSwatch("Rot"), nullptr);
}

}  // namespace
}  // namespace korvex
