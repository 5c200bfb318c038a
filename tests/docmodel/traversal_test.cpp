#include "docmodel/traversal.h"

#include <gtest/gtest.h>

#include "docmodel/adapter_fixture.h"
#include "docmodel/frame_content.h"
#include "docmodel/frames.h"
#include "docmodel/my_doc.h"
#include "host/host_test_support.h"

namespace korvex {
namespace {

using test::Visits;

class Traversal : public test::AdapterTest {
 protected:
  // Two content layers; on the first spread: a, b and a group (g1, g2) on
  // "Back", c on "Front"; on the second spread: d on "Front".
  void SetUp() override {
    AdapterTest::SetUp();
    doc = newDoc(3, {"Back", "Front"});
    db = doc->GetDocDataBase();
    const UID back = test::spreadLayer(*doc), front = test::spreadLayer(*doc, 2);
    a = rect(*doc, back, {0, 0, 10, 10});
    b = rect(*doc, back, {20, 0, 30, 10});
    g1 = rect(*doc, back, {40, 0, 50, 10});
    g2 = rect(*doc, back, {60, 0, 70, 10});
    UIDList members(db);
    members.Append(g1);
    members.Append(g2);
    ASSERT_EQ(doc->groupItems(members, &group), kSuccess);
    c = rect(*doc, front, {0, 20, 10, 30});
    d = rect(*doc, test::spreadLayer(*doc, 2, 1), {0, 0, 5, 5});
  }

  IDocument* doc = nullptr;
  IDataBase* db = nullptr;
  UID a{}, b{}, g1{}, g2{}, group{}, c{}, d{};
};

TEST_F(Traversal, ItemsComeLayerByLayerLastChildFirst) {
  MyDoc handle(doc);
  Visits visits;
  EXPECT_TRUE(handle.enumBoxes(&Visits::collect, &visits));
  EXPECT_EQ(visits.uids, (std::vector<UID>{group, b, a, c, d}));

  Visits front;  // a null document is the front document
  EXPECT_TRUE(EnumBoxes(static_cast<IDocument*>(nullptr), &Visits::collect, &front));
  EXPECT_EQ(front.uids, visits.uids);
  Visits second;  // spreads count from 1 here
  EXPECT_TRUE(EnumBoxes(doc->GetUIDRef(), 2, &Visits::collect, &second));
  EXPECT_EQ(second.uids, (std::vector<UID>{d}));
  Visits none;
  EXPECT_TRUE(EnumBoxes(doc->GetUIDRef(), 9, &Visits::collect, &none));
  EXPECT_TRUE(none.uids.empty());

  Visits stopped{.uids = {}, .stopAt = b};
  EXPECT_FALSE(handle.enumBoxes(&Visits::collect, &stopped));
  EXPECT_EQ(stopped.uids, (std::vector<UID>{group, b}));
}

TEST_F(Traversal, GroupsOpenedAndAStopInsideStopsEveryWalk) {
  ISpread* spread = doc->spreadAt(0);
  Visits opened;
  EXPECT_TRUE(EnumSpread2(spread, &Visits::collect, &opened));
  EXPECT_EQ(opened.uids, (std::vector<UID>{g2, g1, b, a, c}));

  Visits stopped{.uids = {}, .stopAt = g2};
  EXPECT_FALSE(EnumSpread2(spread, &Visits::collect, &stopped));
  EXPECT_EQ(stopped.uids, (std::vector<UID>{g2}));

  // A group inside a group: the stop travels up through both.
  const UID outer = [&] {
    UIDList both(db);
    both.Append(group);
    both.Append(a);
    UID made = kInvalidUID;
    EXPECT_EQ(doc->groupItems(both, &made), kSuccess);
    return made;
  }();
  Visits nested{.uids = {}, .stopAt = g1};
  EXPECT_FALSE(EnumHierarchy2(db, test::spreadLayer(*doc), &Visits::collect, &nested));
  EXPECT_EQ(nested.uids.back(), g1);
  EXPECT_EQ(std::count(nested.uids.begin(), nested.uids.end(), b), 0);  // b comes after the group
  Visits direct;
  EXPECT_TRUE(EnumHierarchy(db, outer, &Visits::collect, &direct));
  EXPECT_EQ(direct.uids.size(), 2u);

  EXPECT_FALSE(EnumHierarchy(static_cast<IHierarchy*>(nullptr), &Visits::collect, &direct));
  EXPECT_FALSE(EnumHierarchy2(static_cast<IHierarchy*>(nullptr), &Visits::collect, &direct));
  EXPECT_FALSE(EnumHierarchy(db, 999999, &Visits::collect, &direct));
  EXPECT_TRUE(EnumSpread(nullptr, &Visits::collect, &direct));
}

TEST_F(Traversal, OnlyThePagesLayerMeansNothingToVisit) {
  std::unique_ptr<IDocument> bare = IDocument::createBare();
  ISpread* spread = bare->createSpread();
  bare->addPage(spread, 100, 100);
  IDocument* adopted = app().adoptDocument(std::move(bare), false);
  Visits visits;
  EXPECT_TRUE(MyDoc(adopted).enumBoxes(&Visits::collect, &visits));
  EXPECT_TRUE(EnumSpread(adopted->spreadAt(0), &Visits::collect, &visits));
  EXPECT_TRUE(visits.uids.empty());
}

TEST_F(Traversal, CallbacksMayDeleteWhatIsWalked) {
  struct Deleter {
    IDocument* doc;
    std::vector<UID> seen;
    static bool remove(const UIDRef& item, void* data) {
      auto* self = static_cast<Deleter*>(data);
      self->seen.push_back(item.GetUID());
      UIDList one(item);
      EXPECT_EQ(self->doc->deleteItems(one), kSuccess);
      return true;
    }
  } deleter{doc, {}};
  EXPECT_TRUE(EnumSpread2(doc->spreadAt(0), &Deleter::remove, &deleter));
  EXPECT_EQ(deleter.seen, (std::vector<UID>{g2, g1, b, a, c}));
  EXPECT_EQ(getPageItems(UIDRef(db, test::spreadLayer(*doc))).size(), 1u);  // the emptied group
}

TEST_F(Traversal, LayersAndSpreads) {
  MyDoc handle(doc);
  struct Names {
    std::vector<std::string> names;
    static bool collect(IDocumentLayer*, const std::string& name, void* data) {
      static_cast<Names*>(data)->names.push_back(name);
      return true;
    }
  } names;
  EXPECT_TRUE(handle.enumDocLayers(&Names::collect, &names));
  EXPECT_EQ(names.names, (std::vector<std::string>{"Back", "Front"}));

  struct SpreadLayers {
    std::vector<std::pair<std::string, UID>> seen;
    static bool collect(ISpread*, ISpreadLayer* layer, const std::string& name, void* data) {
      static_cast<SpreadLayers*>(data)->seen.emplace_back(name, layer ? layer->GetUID() : kInvalidUID);
      return name != "Back";
    }
  } spreadLayers;
  EXPECT_FALSE(handle.enumSpreadLayers(1, &SpreadLayers::collect, &spreadLayers));
  ASSERT_EQ(spreadLayers.seen.size(), 1u);
  EXPECT_EQ(spreadLayers.seen[0].second, test::spreadLayer(*doc, 1, 1));

  // One document layer across all spreads.
  IDocumentLayer* front = doc->findLayer("Front");
  Visits onFront;
  EXPECT_TRUE(handle.enumSpreads(front, &Visits::collect, &onFront));
  EXPECT_EQ(onFront.uids, (std::vector<UID>{c, d}));
  Visits byRef;
  EXPECT_TRUE(handle.enumSpreads(UIDRef(db, front->GetUID()), &Visits::collect, &byRef));
  EXPECT_EQ(byRef.uids, onFront.uids);
  EXPECT_FALSE(handle.enumSpreads(UIDRef(), &Visits::collect, &byRef));
  EXPECT_FALSE(handle.enumSpreads(UIDRef(db, a), &Visits::collect, &byRef));

  // enumDocLayer hands out each item's first child, first item first.
  ASSERT_EQ(doc->makeTextFrame(c), kSuccess);
  const UID empty = rect(*doc, test::spreadLayer(*doc, 2), {50, 50, 60, 60});
  Visits children;
  EXPECT_TRUE(handle.enumDocLayer("Front", &Visits::collect, &children));
  ASSERT_EQ(children.uids.size(), 2u);
  EXPECT_EQ(children.uids[0], db->instantiate<SplineItem>(c)->textContentUID());
  EXPECT_EQ(children.uids[1], kInvalidUID);  // the empty frame has no child
  EXPECT_TRUE(handle.enumDocLayer("Nowhere", &Visits::collect, &children));
  EXPECT_EQ(getPageItems(UIDRef(db, test::spreadLayer(*doc, 2))).uids(), (std::vector<UID>{c, empty}));
  EXPECT_TRUE(getPageItems(UIDRef(db, 999999)).empty());
}

TEST_F(Traversal, PageRangesCountsAndReferences) {
  MyDoc handle(doc);
  const std::vector<Page*> pages = doc->pages();
  EXPECT_EQ(handle.pageRange(0, 999).uids(),
            (std::vector<UID>{pages[0]->GetUID(), pages[1]->GetUID(), pages[2]->GetUID()}));
  EXPECT_TRUE(handle.pageRange(3, 2).empty());
  EXPECT_EQ(handle.pageRange(2, 2).uids(), (std::vector<UID>{pages[1]->GetUID()}));
  EXPECT_EQ(handle.pageRange(3, 7).uids(), (std::vector<UID>{pages[2]->GetUID()}));
  EXPECT_TRUE(handle.pageRange(4, 9).empty());
  EXPECT_TRUE(MyDoc().pageRange(1, 3).empty());

  EXPECT_EQ(pageCntForDoc(static_cast<IDocument*>(nullptr)), 3);  // the front document
  EXPECT_EQ(spreadCntForDoc(static_cast<IDocument*>(nullptr)), 0);
  EXPECT_EQ(pageCntForSpread(doc->GetUIDRef(), 3), 0);
  EXPECT_EQ(pageUIDForDoc(doc, 2), pages[2]->GetUID());
  EXPECT_EQ(pageUIDForDoc(doc, 3), kInvalidUID);
  EXPECT_EQ(pageUIDForDoc(doc, -1), kInvalidUID);

  const UIDRef second = handle.getSpreadRef(1);
  EXPECT_EQ(second, spreadRefForDoc(doc, 1));
  EXPECT_EQ(spreadNumForSpread(second), 1);
  EXPECT_EQ(spreadNumForSpread(UIDRef()), -1);
  EXPECT_FALSE(handle.getSpreadRef(3).isValid());

  UIDRef spread;
  int indexInSpread = -5;
  EXPECT_EQ(handle.getPageRef(2, &spread, &indexInSpread), UIDRef(db, pages[2]->GetUID()));
  EXPECT_EQ(spread, UIDRef(db, doc->spreadList()[2]));
  EXPECT_EQ(indexInSpread, 0);
  UIDRef untouched(db, 4242);
  EXPECT_EQ(handle.getPageRef(3, &untouched), UIDRef());
  EXPECT_EQ(untouched, UIDRef(db, 4242));
}

TEST_F(Traversal, FacingSpreadsAndPageGeometry) {
  IDocument* facing = newDoc(3, {"Layer 1"}, true);
  MyDoc handle(facing);
  ASSERT_EQ(handle.getNumSpreads(), 2);
  int count = 0;
  const PMRect bounds = handle.getSpreadBounds(1, &count);
  EXPECT_EQ(count, 2);
  EXPECT_NEAR(bounds.width(), 2 * 595.2756, 1e-6);
  EXPECT_NEAR(bounds.height(), 841.8898, 1e-6);
  EXPECT_TRUE(handle.getSpreadBounds(5, &count).isNull());
  EXPECT_EQ(count, 0);

  UIDRef spread;
  int indexInSpread = -1;
  handle.getPageRef(2, &spread, &indexInSpread);
  EXPECT_EQ(spread, handle.getSpreadRef(1));
  EXPECT_EQ(indexInSpread, 1);

  const PMRect points = pageRectForDoc(facing, 2, 0);
  const PMRect millimetres = pageRectForDoc(facing, 2, 1);
  EXPECT_NEAR(points.width(), 595.2756, 1e-6);
  EXPECT_NEAR(millimetres.width(), 210.0, 1e-3);
  EXPECT_NEAR(millimetres.left, points.left * 25.4 / 72, 1e-9);
  EXPECT_NEAR(millimetres.bottom, points.bottom * 25.4 / 72, 1e-9);
  EXPECT_TRUE(pageRectForDoc(facing, 7, 0).isNull());

  // Inner rectangle: the first page's margins, whatever the page.
  PageMargins margins{10, 20, 30, 40};
  facing->pageAt(0)->setMargins(margins);
  const PMRect inner = pageRectForDocWithoutMargins(facing, 2);
  EXPECT_NEAR(inner.left, points.left + 10, 1e-9);
  EXPECT_NEAR(inner.top, points.top + 20, 1e-9);
  EXPECT_NEAR(inner.right, points.right - 30, 1e-9);
  EXPECT_NEAR(inner.bottom, points.bottom - 40, 1e-9);
  EXPECT_EQ(marginsForDoc(facing, 0), (PMRect{10, 20, 30, 40}));
  EXPECT_TRUE(pageRectForDocWithoutMargins(UIDRef()).isNull());
  EXPECT_EQ(pageRectForDocWithoutMargins(facing->GetUIDRef()), pageRectForDocWithoutMargins(facing, 0));

  struct Pages {
    std::vector<PMRect> bounds;
    static bool collect(PMRect& r, void* data) {
      static_cast<Pages*>(data)->bounds.push_back(r);
      return true;
    }
  } seen;
  EXPECT_TRUE(handle.enumPages(&Pages::collect, &seen));
  ASSERT_EQ(seen.bounds.size(), 3u);
  EXPECT_EQ(seen.bounds[2], millimetres);
}

TEST_F(Traversal, LinksInOrderAndTheirPaths) {
  EXPECT_FALSE(EnumLinks(static_cast<IDocument*>(nullptr), &Visits::collect, nullptr));
  EXPECT_TRUE(EnumLinks(static_cast<IDataBase*>(nullptr), &Visits::collect, nullptr));
  Visits none;
  EXPECT_TRUE(EnumLinks(doc, &Visits::collect, &none));
  EXPECT_TRUE(none.uids.empty());

  const auto first = home.scratch() / "first.png", second = home.scratch() / "second.jpg";
  test::writeFile(first, test::pngBytes(100, 50, false));
  test::writeFile(second, test::jpegBytes(80, 40, 3));
  ASSERT_EQ(doc->placeFile(b, second.string()), kSuccess);
  ASSERT_EQ(doc->placeFile(a, first.string()), kSuccess);
  MyDoc handle(doc);
  Visits links;
  EXPECT_TRUE(handle.enumLinks(&Visits::collect, &links));
  EXPECT_EQ(links.uids, doc->linkList());
  Visits byRef{.uids = {}, .stopAt = doc->linkList()[0]};
  EXPECT_FALSE(EnumLinks(doc->GetUIDRef(), &Visits::collect, &byRef));
  EXPECT_EQ(handle.picturePaths(), (std::vector<std::string>{second.string(), first.string()}));
  EXPECT_EQ(pathForLink(UIDRef(db, a)), std::nullopt);
}

TEST_F(Traversal, AnchoredFramesInTextOrder) {
  ASSERT_EQ(doc->makeTextFrame(c), kSuccess);
  const UID storyUID =
      db->instantiate<MultiColumnItem>(db->instantiate<SplineItem>(c)->textContentUID())->storyUID();
  ITextModel* story = doc->story(storyUID);
  ASSERT_EQ(story->Insert(0, "abcdef"), kSuccess);
  ASSERT_EQ(story->ApplyAttributes(0, 3, {{AttributeClass::kFontFamily, std::string("DejaVu Sans")}}),
            kSuccess);
  const UID first = rect(*doc, test::spreadLayer(*doc, 2), {0, 0, 5, 5});
  const UID second = rect(*doc, test::spreadLayer(*doc, 2), {0, 0, 6, 6});
  ASSERT_NE(doc->anchorItem(storyUID, 4, second), nullptr);
  ASSERT_NE(doc->anchorItem(storyUID, 1, first), nullptr);  // second moves to 5

  struct Anchored {
    std::vector<std::pair<UID, int>> seen;
    UID story = kInvalidUID;
    static bool collect(const UIDRef& frame, const UIDRef& story, int index, void* data) {
      auto* self = static_cast<Anchored*>(data);
      EXPECT_EQ(story.GetUID(), self->story);
      self->seen.emplace_back(frame.GetUID(), index);
      return true;
    }
  };
  Anchored all{.seen = {}, .story = storyUID};
  EXPECT_TRUE(EnumAnchoredBoxes(UIDRef(db, storyUID), &Anchored::collect, &all));
  EXPECT_EQ(all.seen, (std::vector<std::pair<UID, int>>{{first, 1}, {second, 5}}));
  Anchored part{.seen = {}, .story = storyUID};
  EXPECT_TRUE(EnumAnchoredBoxes(UIDRef(db, storyUID), &Anchored::collect, 2, 5, &part));
  EXPECT_EQ(part.seen, (std::vector<std::pair<UID, int>>{{second, 5}}));
  EXPECT_TRUE(EnumAnchoredBoxes(UIDRef(), &Anchored::collect, &part));

  ITextModel* empty = doc->createStory();
  Anchored nothing;
  EXPECT_TRUE(EnumAnchoredBoxes(empty, &Anchored::collect, 0, -1, &nothing));
  EXPECT_TRUE(nothing.seen.empty());
}

}  // namespace
}  // namespace korvex
