#include "docmodel/frames.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "docmodel/adapter_fixture.h"
#include "docmodel/frame_content.h"
#include "docmodel/my_frame.h"
#include "host/interaction.h"

namespace korvex {
namespace {

class Frames : public test::LayoutTest {
 protected:
  void SetUp() override {
    LayoutTest::SetUp();
    openDocument(2);
  }
};

TEST_F(Frames, ScaleRectFitsProportionallyAndCentres) {
  // Twice as wide as high into a square: full width, half height, centred vertically.
  const MyRect wide = scaleRect(MyRect{0, 0, 100, 100}, MyRect{0, 0, 40, 20}, 0);
  EXPECT_EQ(wide, (MyRect{0, 25, 100, 50}));
  // Equal ratios: both offsets 0, the margin on every side.
  const MyRect same = scaleRect(MyRect{10, 20, 120, 60}, MyRect{0, 0, 50, 20}, 10);
  EXPECT_EQ(same, (MyRect{20, 30, 100, 40}));
  // Tall source: full height, centred horizontally; the PMRect form agrees.
  const PMRect tall = scaleRect(PMRect{0, 0, 100, 100}, PMRect{0, 0, 10, 50}, 0);
  EXPECT_EQ(tall, (PMRect{40, 0, 60, 100}));
}

TEST_F(Frames, MoveFrameToLogsOneLineAndMovesTheCorner) {
  const UIDRef frame = item({10.26, 20.04, 110, 70});
  const PMRect before = boundsForFrame(frame);
  moveFrameTo(frame, PMPoint{50, 60.56});
  const PMRect after = boundsForFrame(frame);
  EXPECT_NEAR(after.left, 50, 1e-9);
  EXPECT_NEAR(after.top, 60.56, 1e-9);
  EXPECT_NEAR(after.width(), before.width(), 1e-9);
  const std::string log = logText();
  const std::string line = "moveFrame: [10.3 20.0] --> [50.0 60.6]\n";
  EXPECT_NE(log.find(line), std::string::npos) << log;
  EXPECT_EQ(log.find("moveFrame:"), log.rfind("moveFrame:")) << "exactly one line";

  // An invalid reference moves nothing and logs nothing.
  moveFrameTo(UIDRef(), 1, 1);
  moveFrameBy(UIDRef(), 5.0f, 5.0f);
  EXPECT_EQ(logText(), log);
}

TEST_F(Frames, BoundsInPointsAndMillimetres) {
  const UIDRef frame = item({72, 144, 216, 288});
  const PMRect mm = boundsForFrame(frame, 1);
  EXPECT_NEAR(mm.left, 25.4, 1e-9);
  EXPECT_NEAR(mm.bottom, 101.6, 1e-9);
  // Any flag other than 1 means points.
  EXPECT_EQ(boundsForFrame(frame, 2), (PMRect{72, 144, 216, 288}));

  PMRect wanted{25.4, 25.4, 50.8, 76.2};
  EXPECT_EQ(setBoundsForFrame(frame, wanted, 1), kSuccess);
  EXPECT_NEAR(wanted.left, 72, 1e-9) << "the caller's rectangle is converted in place";
  EXPECT_NEAR(wanted.bottom, 216, 1e-9);
  EXPECT_NEAR(boundsForFrame(frame).right, 144, 1e-9);
  EXPECT_EQ(myRectForFrame(frame), (MyRect{72, 72, 72, 144}));

  EXPECT_EQ(offsetFrame(frame, 10, -2), kSuccess);
  EXPECT_NEAR(boundsForFrame(frame).left, 82, 1e-9);
  EXPECT_NEAR(boundsForFrame(frame).top, 70, 1e-9);

  // Null database: the empty rectangle.
  EXPECT_EQ(boundsForFrame(UIDRef(nullptr, frame.GetUID()), 1), PMRect{});
  EXPECT_EQ(strokeBoundsForFrame(UIDRef()), PMRect{});
}

TEST_F(Frames, BoundsOfListsAndEnumeration) {
  const UIDRef a = item({0, 0, 10, 10}), b = item({20, 5, 30, 40});
  UIDList one(a);
  EXPECT_EQ(boundsForFrames(one), boundsForFrame(a));
  EXPECT_EQ(boundsForFrames(UIDList(db)), PMRect{});
  EXPECT_EQ(boundsForFrames(nullptr), PMRect{});
  UIDList both(a);
  both.Append(b.GetUID());
  EXPECT_EQ(boundsForFrames(both), (PMRect{0, 0, 30, 40}));
  EXPECT_EQ(myRectForFrames(both), (MyRect{0, 0, 30, 40}));

  struct Seen {
    std::vector<UID> uids;
    UID stopAt = kInvalidUID;
  } seen;
  auto callback = [](UIDRef& ref, void* data) -> unsigned char {
    auto* s = static_cast<Seen*>(data);
    s->uids.push_back(ref.GetUID());
    return ref.GetUID() != s->stopAt;
  };
  EXPECT_TRUE(EnumFrames(UIDList(db), callback, &seen));
  EXPECT_TRUE(EnumFrames(nullptr, callback, &seen));
  EXPECT_TRUE(seen.uids.empty());
  EXPECT_TRUE(EnumFrames(both, callback, &seen));
  EXPECT_EQ(seen.uids, (std::vector<UID>{a.GetUID(), b.GetUID()}));
  seen = {{}, a.GetUID()};
  EXPECT_FALSE(EnumFrames(both, callback, &seen));
  EXPECT_EQ(seen.uids, (std::vector<UID>{a.GetUID()}));
}

TEST_F(Frames, ClassificationAndHierarchy) {
  const UIDRef frame = item({0, 0, 50, 50});
  GraphicLine* line = doc->createGraphicLine(layer, {0, 0}, {100, 0});
  const UIDRef lineRef(db, line->GetUID());
  ASSERT_EQ(doc->makeTextFrame(item({0, 60, 50, 90}).GetUID()), kSuccess);
  const UIDRef text(db, doc->spreadAt(0)->QueryLayer(doc->layerList()[1])->children().back());

  EXPECT_TRUE(isGraphicsFrame(frame));
  EXPECT_FALSE(isTextFrame(frame));
  EXPECT_TRUE(isTextFrame(text));
  EXPECT_FALSE(isGraphicsFrame(text));
  EXPECT_TRUE(MyFrame(text).isTextFrame());
  EXPECT_FALSE(MyFrame(text).isGraphicFrame());
  EXPECT_TRUE(MyFrame(frame).isGraphicFrame());
  EXPECT_TRUE(isLineFrame(lineRef));
  EXPECT_FALSE(isLineFrame(frame));
  EXPECT_FALSE(isGroupFrame(UIDRef(nullptr, frame.GetUID())));
  EXPECT_TRUE(isValidFrame(UIDRef(nullptr, 5))) << "only the null reference is invalid";
  EXPECT_FALSE(isValidFrame(UIDRef()));

  EXPECT_EQ(getParentRef(frame), UIDRef(db, layer));
  EXPECT_EQ(MyFrame(frame).getParent(), layer);
  EXPECT_FALSE(getChildRef(frame).isValid());
  EXPECT_EQ(spreadLayerUIDForFrame(frame), layer);
  EXPECT_EQ(docLayerUIDForFrame(frame), doc->layerList()[1]);
  EXPECT_EQ(layerNameForFrame(frame), "Layer 1");
  EXPECT_EQ(layerNameForFrame(UIDRef(db, 999999)), std::nullopt);
  EXPECT_EQ(spreadLayerUIDForFrame(UIDRef()), kInvalidUID);
}

TEST_F(Frames, GroupingAndUngroupingKeepPositions) {
  const UIDRef a = item({10, 10, 60, 40}), b = item({100, 200, 150, 260});
  UIDList single(a);
  EXPECT_FALSE(groupFrames(single).isValid());
  EXPECT_EQ(logText().find("grouping failed"), std::string::npos) << "one item is a silent no-op";

  const UIDRef group = groupFrames(a, b);
  ASSERT_TRUE(group.isValid());
  EXPECT_TRUE(isGroupFrame(group));
  EXPECT_TRUE(MyFrame(group).isGroup());
  EXPECT_EQ(MyFrame(group).children().uids(), (std::vector<UID>{a.GetUID(), b.GetUID()}));
  EXPECT_EQ(boundsForFrame(a), (PMRect{10, 10, 60, 40}));
  EXPECT_EQ(boundsForFrame(b), (PMRect{100, 200, 150, 260}));
  EXPECT_EQ(boundsForFrame(group), (PMRect{10, 10, 150, 260}));
  EXPECT_EQ(getParentRef(a), group);

  // Moving the group moves both; ungrouping leaves them where they are.
  moveFrameBy(group, 5.0f, 7.0f);
  ungroupFrame(group);
  EXPECT_FALSE(db->exists(group.GetUID()));
  EXPECT_EQ(boundsForFrame(a), (PMRect{15, 17, 65, 47}));
  EXPECT_EQ(boundsForFrame(b), (PMRect{105, 207, 155, 267}));
  EXPECT_EQ(getParentRef(b), UIDRef(db, layer));

  // Grouping an item that does not exist fails with the log line; ungrouping a non-group too.
  UIDList bad(a);
  bad.Append(999999);
  EXPECT_FALSE(groupFrames(bad).isValid());
  EXPECT_NE(logText().find("\t####\tgrouping failed!\n"), std::string::npos);
  ungroupFrames(UIDList(a));
  EXPECT_NE(logText().find("\t####\tungrouping failed!\n"), std::string::npos);
  const std::string before = logText();
  ungroupFrames(UIDList(db));
  EXPECT_EQ(logText(), before);
}

TEST_F(Frames, SelectionCutPasteAndDelete) {
  const UIDRef a = item({10, 10, 60, 40}), b = item({70, 10, 90, 40});
  setStringForKey(a, "Kind", "box");
  selectFrame(a, 1);
  ActiveSelection* selection = activeSelection();
  ASSERT_NE(selection, nullptr);
  EXPECT_EQ(selection->selectedItems().uids(), std::vector<UID>{a.GetUID()});
  EXPECT_EQ(selection->lastScroll(), SelectionScroll::ScrollIntoView);
  selectFrame(b, 0);
  EXPECT_EQ(selection->selectedItems().uids(), std::vector<UID>{b.GetUID()}) << "select deselects first";
  deselectAll();
  EXPECT_TRUE(selection->selectedItems().empty());

  EXPECT_EQ(cutFrame(a), 1);
  EXPECT_FALSE(db->exists(a.GetUID()));
  EXPECT_EQ(pasteFrame(), 1);
  const UIDList pasted = activeSelection()->selectedItems();
  ASSERT_EQ(pasted.size(), 1u);
  EXPECT_EQ(boundsForFrame(pasted.GetRef(0)), (PMRect{10, 10, 60, 40}));
  EXPECT_EQ(MyFrame(pasted.GetRef(0)).getTag("Kind"), "box");

  EXPECT_EQ(deleteFrame(b), kSuccess);
  EXPECT_FALSE(db->exists(b.GetUID()));
  EXPECT_NE(deleteFrame(b), kSuccess) << "a deleted item can't be deleted again";
  MyFrame(pasted.GetRef(0)).remove();
  EXPECT_FALSE(db->exists(pasted[0]));
  EXPECT_EQ(cutFrame(UIDRef()), 0);

  // The clipboard belongs to the session: a new session starts empty.
  EXPECT_FALSE(activeClipboard()->empty());
  resetExecutionContextSession();
  doc = nullptr;
  EXPECT_TRUE(activeClipboard()->empty());
}

TEST_F(Frames, PasteGoesToTheActiveLayerOfTheFrontDocument) {
  const UIDRef a = item({10, 10, 60, 40});
  ASSERT_EQ(cutFrame(a), 1);
  IDocument* other = newDoc(1, {"Text", "Pictures"});
  ASSERT_EQ(other->setActiveLayer(other->layerList()[2]), kSuccess);
  ASSERT_EQ(pasteFrame(), 1);
  const UIDList pasted = activeSelection()->selectedItems();
  ASSERT_EQ(pasted.size(), 1u);
  EXPECT_EQ(pasted.GetDataBase(), other->GetDocDataBase());
  EXPECT_EQ(layerNameForFrame(pasted.GetRef(0)), "Pictures");
}

TEST_F(Frames, NoActiveContextMeansNoSelection) {
  const UIDRef a = item({0, 0, 10, 10});
  app().closeDocument(doc);
  doc = nullptr;
  EXPECT_EQ(activeSelection(), nullptr);
  selectFrame(UIDRef(), 0);
  deselectAll();
  EXPECT_EQ(pasteFrame(), 0);
  (void)a;
}

TEST_F(Frames, CreateRectangleAndDump) {
  const UIDRef r =
      createRectangle(UIDRef(db, layer), PMRect{0, 0, 30, 20}, GraphicAttrType::kDefaultGraphicAttributes);
  ASSERT_TRUE(r.isValid());
  EXPECT_EQ(boundsForFrame(r), (PMRect{0, 0, 30, 20}));
  EXPECT_EQ(db->instantiate<PageItem>(r.GetUID())->graphicAttributes().strokeSwatch, doc->blackSwatch());
  EXPECT_FALSE(createRectangle(r, PMRect{0, 0, 1, 1}, GraphicAttrType::kNoGraphicAttributes).isValid())
      << "a frame is no parent for a rectangle";

  const UIDRef other = item({40, 0, 50, 10});
  const UIDRef group = groupFrames(r, other);
  UIDList list(group);
  dumpUIDs(&list);
  const std::string log = logText();
  EXPECT_NE(log.find("\tuid: " + std::to_string(group.GetUID()) + "\n"), std::string::npos);
  EXPECT_NE(log.find("\t\tuid: " + std::to_string(r.GetUID()) + "\n"), std::string::npos);
  EXPECT_NE(log.find("\t\tuid: " + std::to_string(other.GetUID()) + "\n"), std::string::npos);

  MyFrame(r).log();
  dumpUID(other.GetUID());
  char expected[64];
  // %08x shows the pointer's low 32 bits, as the format always did.
  std::snprintf(expected, sizeof expected, "db: %08x, uid: %u\n",
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(db) & 0xFFFFFFFFu), r.GetUID());
  EXPECT_NE(logText().find(expected), std::string::npos) << logText();
  EXPECT_NE(logText().find("::uid: " + std::to_string(other.GetUID()) + "\n"), std::string::npos);
}

}  // namespace
}  // namespace korvex
