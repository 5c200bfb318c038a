#include <gtest/gtest.h>

#include <cmath>

#include "host/document.h"
#include "host_test_support.h"

namespace korvex {
namespace {

void expectRect(const PMRect& r, double l, double t, double rt, double b) {
  EXPECT_NEAR(r.left, l, 1e-6);
  EXPECT_NEAR(r.top, t, 1e-6);
  EXPECT_NEAR(r.right, rt, 1e-6);
  EXPECT_NEAR(r.bottom, b, 1e-6);
}

TEST(Geometry, PathBoundsIncludeCurvesAndTransforms) {
  expectRect(Path::oval({0, 0, 100, 50}).bounds(), 0, 0, 100, 50);
  // A circle keeps its size under rotation; a square's corners reach out.
  expectRect(Path::oval({-10, -10, 10, 10}).bounds(PMMatrix::rotation(45)), -10, -10, 10, 10);
  const double h = 10 * std::sqrt(2.0);
  expectRect(Path::rectangle({-10, -10, 10, 10}).bounds(PMMatrix::rotation(45)), -h, -h, h, h);
  const PMMatrix m = PMMatrix::translation(5, 7) * PMMatrix::scaling(2, 3);
  expectRect(Path::rectangle({0, 0, 10, 10}).bounds(m), 5, 7, 25, 37);
  EXPECT_EQ((m * *m.inverse()).apply({3, 4}).x, 3);
  EXPECT_FALSE(PMMatrix::scaling(0, 1).inverse());
}

TEST(Geometry, StrokeBoundsFollowWeightAndAlignment) {
  const PMRect r{0, 0, 10, 10};
  expectRect(strokeBounds(r, 2, StrokeAlignment::Center, true), -1, -1, 11, 11);
  expectRect(strokeBounds(r, 2, StrokeAlignment::Inside, true), 0, 0, 10, 10);
  expectRect(strokeBounds(r, 2, StrokeAlignment::Outside, true), -2, -2, 12, 12);
  expectRect(strokeBounds(r, 2, StrokeAlignment::Outside, false), -1, -1, 11, 11);

  auto doc = IDocument::createNew({});
  SplineItem* item = doc->createRectangle(test::spreadLayer(*doc), {0, 0, 10, 10});
  GraphicAttributes a = item->graphicAttributes();
  a.strokeWeight = 4;
  ASSERT_EQ(item->setGraphicAttributes(a), kSuccess);
  // A stroke in None draws nothing.
  expectRect(*doc->strokeBounds(item->GetUID()), 0, 0, 10, 10);
  a.strokeSwatch = doc->blackSwatch();
  item->setGraphicAttributes(a);
  expectRect(*doc->strokeBounds(item->GetUID()), -2, -2, 12, 12);
  ASSERT_EQ(doc->setStrokeBounds(item->GetUID(), {0, 0, 24, 24}), kSuccess);
  expectRect(*doc->pathBounds(item->GetUID()), 2, 2, 22, 22);
}

TEST(Geometry, ItemsOnLaterSpreadsAreOffsetBySpreadTransform) {
  auto doc = IDocument::createNew(test::setup(2));
  const UID layer = test::spreadLayer(*doc, 1, 1);
  SplineItem* item = doc->createRectangle(layer, {10, 20, 30, 40});
  const PMReal y = doc->spreadAt(1)->transform().ty;
  EXPECT_GT(y, doc->defaultPageHeight());
  expectRect(*doc->pathBounds(item->GetUID()), 10, 20 + y, 30, 40 + y);
  EXPECT_EQ(doc->spreadOf(item->GetUID()), doc->spreadList()[1]);
  EXPECT_EQ(doc->pageOf(item->GetUID()), doc->pageAt(1)->GetUID());
}

TEST(Geometry, MoveAndResizeWorkInPasteboardCoordinatesUnderRotation) {
  auto doc = IDocument::createNew({});
  const UID layer = test::spreadLayer(*doc);
  SplineItem* item = doc->createRectangle(layer, {-10, -5, 10, 5});
  ASSERT_EQ(item->setTransform(PMMatrix::translation(100, 100) * PMMatrix::rotation(90)), kSuccess);
  expectRect(*doc->pathBounds(item->GetUID()), 95, 90, 105, 110);

  UIDList list(doc->GetDocDataBase());
  list.Append(item->GetUID());
  ASSERT_EQ(doc->moveBy(list, 5, -10), kSuccess);
  expectRect(*doc->pathBounds(item->GetUID()), 100, 80, 110, 100);

  ASSERT_EQ(doc->setPathBounds(item->GetUID(), {0, 0, 40, 20}), kSuccess);
  expectRect(*doc->pathBounds(item->GetUID()), 0, 0, 40, 20);
  EXPECT_EQ(doc->setPathBounds(item->GetUID(), {10, 10, 0, 0}), kInvalidParameterError);
}

TEST(Geometry, GroupingAndUngroupingKeepPositions) {
  auto doc = IDocument::createNew(test::setup(1, {"A", "B"}));
  IDataBase* db = doc->GetDocDataBase();
  const UID a = test::spreadLayer(*doc, 1), b = test::spreadLayer(*doc, 2);
  SplineItem* back = doc->createRectangle(a, {0, 0, 10, 10});
  SplineItem* front = doc->createRectangle(b, {50, 50, 60, 70});
  back->setTransform(PMMatrix::translation(5, 5));

  UIDList items(db);
  items.Append(front->GetUID());
  items.Append(back->GetUID());
  UID group = kInvalidUID;
  ASSERT_EQ(doc->groupItems(items, &group), kSuccess);
  auto* g = db->instantiate<Group>(group);
  // The group goes where the front-most item was; members keep stacking order.
  EXPECT_EQ(g->GetParentUID(), b);
  EXPECT_EQ(g->children(), (std::vector<UID>{back->GetUID(), front->GetUID()}));
  expectRect(*doc->pathBounds(back->GetUID()), 5, 5, 15, 15);
  expectRect(*doc->pathBounds(group), 5, 5, 60, 70);

  // Moving the group moves its members; resizing scales their places.
  UIDList one(db);
  one.Append(group);
  ASSERT_EQ(doc->moveBy(one, 10, 0), kSuccess);
  expectRect(*doc->pathBounds(front->GetUID()), 60, 50, 70, 70);
  ASSERT_EQ(doc->setPathBounds(group, {15, 5, 125, 135}), kSuccess);
  expectRect(*doc->pathBounds(group), 15, 5, 125, 135);
  expectRect(*doc->pathBounds(back->GetUID()), 15, 5, 35, 25);

  g->setTransform(PMMatrix::translation(0, 100));
  const PMRect before = *doc->pathBounds(front->GetUID());
  UIDList released;
  ASSERT_EQ(doc->ungroup(group, &released), kSuccess);
  EXPECT_FALSE(db->exists(group));
  EXPECT_EQ(released.size(), 2u);
  EXPECT_EQ(front->GetParentUID(), b);
  expectRect(*doc->pathBounds(front->GetUID()), before.left, before.top, before.right, before.bottom);

  UIDList single(db);
  single.Append(front->GetUID());
  EXPECT_NE(doc->groupItems(single), kSuccess);
  // Items of different spreads can't be grouped.
  auto two = IDocument::createNew(test::setup(2));
  UIDList apart(two->GetDocDataBase());
  apart.Append(two->createRectangle(test::spreadLayer(*two), {0, 0, 1, 1})->GetUID());
  apart.Append(two->createRectangle(test::spreadLayer(*two, 1, 1), {0, 0, 1, 1})->GetUID());
  EXPECT_NE(two->groupItems(apart), kSuccess);
}

TEST(Geometry, FramesFitToTheirPlacedContent) {
  test::TempHome home;
  const auto picture = home.scratch() / "wide.jpg";
  test::writeFile(picture, test::jpegBytes(200, 100, 3));
  auto doc = IDocument::createNew({});
  SplineItem* frame = doc->createRectangle(test::spreadLayer(*doc), {10, 10, 60, 110});
  UID content = kInvalidUID;
  ASSERT_EQ(doc->placeFile(frame->GetUID(), picture.string(), &content), kSuccess);
  expectRect(*doc->pathBounds(content), 10, 10, 210, 110);
  ASSERT_EQ(doc->fitContentToFrame(frame->GetUID(), true), kSuccess);
  expectRect(*doc->pathBounds(content), 10, 47.5, 60, 72.5);
  ASSERT_EQ(doc->fitFrameToContent(frame->GetUID()), kSuccess);
  expectRect(*doc->pathBounds(frame->GetUID()), 10, 47.5, 60, 72.5);
}

}  // namespace
}  // namespace korvex
