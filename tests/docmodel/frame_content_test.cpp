#include "docmodel/frame_content.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "docmodel/adapter_fixture.h"
#include "docmodel/frames.h"
#include "docmodel/my_frame.h"
#include "host/host_test_support.h"
#include "host/interaction.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

class FrameContent : public test::LayoutTest {
 protected:
  void SetUp() override {
    LayoutTest::SetUp();
    openDocument(1);
  }
  UIDRef textFrame(PMRect bounds) {
    const UIDRef frame = item(bounds);
    EXPECT_EQ(doc->makeTextFrame(frame.GetUID()), kSuccess);
    return frame;
  }
};

TEST_F(FrameContent, LabelFallbacksAndNumberTexts) {
  const UIDRef frame = item({0, 0, 10, 10});
  EXPECT_EQ(stringForKey(frame, "Key", std::optional<std::string>("fallback")), "fallback");
  setStringForKey(frame, "Key", "");
  EXPECT_EQ(stringForKey(frame, "Key", std::optional<std::string>("fallback")), "fallback")
      << "an empty value counts as absent";
  setStringForKey(frame, "Key", std::nullopt);
  EXPECT_EQ(stringForKey(frame, std::string("Key"), std::nullopt), std::nullopt) << "none changes nothing";

  setIntForKey(frame, "N", 42);
  EXPECT_EQ(stringForKey(frame, "N", std::nullopt), "42");
  setStringForKey(frame, "N", "12abc");
  EXPECT_EQ(intForKey(frame, "N", 7), 12);
  EXPECT_EQ(intForKey(frame, "missing", 7), 7);
  setFloatForKey(frame, "F", 2.5f);
  EXPECT_EQ(stringForKey(frame, "F", std::nullopt), "2.5");
  setFloatForKey(frame, "F", 0.1f);
  EXPECT_EQ(stringForKey(frame, "F", std::nullopt), "0.1");
  EXPECT_FLOAT_EQ(floatForKey(frame, "F", 9), 0.1f);
  EXPECT_FLOAT_EQ(floatForKey(frame, "missing", 9), 9);

  // Not a page item, or no database: the default, and setting changes nothing.
  setStringForKey(UIDRef(db, layer), "Key", "v");
  EXPECT_EQ(stringForKey(UIDRef(db, layer), "Key", std::optional<std::string>("d")), "d");
  EXPECT_EQ(stringForKey(UIDRef(), "Key", std::nullopt), std::nullopt);

  MyFrame f(frame);
  f.setInt("Count", -3);
  EXPECT_EQ(f.getInt("Count"), -3);
  EXPECT_EQ(f.getInt("absent"), 0);
  f.setTag("Tag", "x");
  EXPECT_STREQ(f.stringForKey("Tag"), "x");
  EXPECT_EQ(f.stringForKey("absent"), nullptr);
  f.setStringForKey("Tag", "");
  EXPECT_EQ(f.stringForKey("Tag"), nullptr);
}

TEST_F(FrameContent, LabelBufferNeverOverruns) {
  MyFrame f(item({0, 0, 10, 10}));
  // 2046 ASCII bytes then a two-byte character: it can't fit whole and is left out.
  const std::string value = std::string(2046, 'a') + "\xC3\xA9" + "tail";
  f.setStringForKey("Long", value.c_str());
  const char* read = f.stringForKey("Long");
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(std::string(read), std::string(2046, 'a'));
  EXPECT_EQ(f.getTag("Long"), value) << "the label itself keeps the whole value";
  f.setStringForKey("Short", "ok");
  EXPECT_STREQ(f.stringForKey("Short"), "ok");
}

TEST_F(FrameContent, FrameListForStoryOverThreadedAndMultiColumnFrames) {
  const UIDRef a = textFrame({0, 0, 100, 100}), b = textFrame({0, 120, 200, 220}),
               c = textFrame({0, 240, 100, 300});
  EXPECT_EQ(setNumberOfColumnsForFrame(b, 2, 6), kSuccess);
  EXPECT_EQ(MyFrame(b).numberOfColumns(), 2);
  UIDList chain(a);
  chain.Append(b.GetUID());
  chain.Append(c.GetUID());
  linkTextFrames(chain);

  const UIDRef story = storyForFrame(a);
  ASSERT_TRUE(story.isValid());
  EXPECT_EQ(storyForFrame(c), story);
  EXPECT_EQ(MyFrame(b).storyRef(), story);
  const UIDList frames = frameListForStory(story);
  EXPECT_EQ(frames.uids(), (std::vector<UID>{a.GetUID(), b.GetUID(), c.GetUID()}))
      << "two columns of one frame give one entry";
  EXPECT_EQ(firstFrameForStory(story), a);
  EXPECT_EQ(lastFrameForStory(story), c);
  EXPECT_EQ(frameForTextModel(doc->story(story.GetUID())), a);
  EXPECT_TRUE(frameListForStory(UIDRef(db, 999999)).empty());
  EXPECT_FALSE(firstFrameForStory(UIDRef()).isValid());
  EXPECT_EQ(storyForFrame(item({0, 0, 5, 5})), UIDRef::gNull());

  setVerticalJustificationForStory(story, VerticalJustification::Bottom);
  for (UID uid : frames)
    EXPECT_EQ(db->instantiate<MultiColumnItem>(db->instantiate<SplineItem>(uid)->textContentUID())
                  ->settings()
                  .verticalJustification,
              VerticalJustification::Bottom);

  EXPECT_EQ(setTextInsetForFrame(a, 4), kSuccess);
  EXPECT_FLOAT_EQ(textInsetForFrame(a), 8);
  EXPECT_FLOAT_EQ(textInsetForStory(story), 8);
  EXPECT_FLOAT_EQ(textInsetForFrame(item({0, 0, 5, 5})), 0);

  // The gutter stays when 0 is given; a bad count fails with the log line.
  EXPECT_EQ(MyFrame(b).setNumberOfColumns(3), kSuccess);
  EXPECT_EQ(numberOfColumnsForFrame(b), 3);
  EXPECT_NE(setNumberOfColumnsForFrame(b, 0, 0), kSuccess);
  EXPECT_NE(logText().find("\t####\tsetNumberOfColumns failed!\n"), std::string::npos);
  EXPECT_EQ(linkTextFrames(a, item({0, 0, 5, 5}), 0), 1);
}

TEST_F(FrameContent, SelectTextClampsTheRange) {
  const UIDRef frame = textFrame({0, 0, 100, 100});
  const UIDRef story = storyForFrame(frame);
  doc->story(story.GetUID())->Insert(0, "Hello world");
  selectText(story, -5, 3);
  ASSERT_TRUE(activeSelection()->textSelection());
  EXPECT_EQ(*activeSelection()->textSelection(), (TextSelection{story.GetUID(), 0, 0}));
  selectText(story, 6, 5);
  EXPECT_EQ(*activeSelection()->textSelection(), (TextSelection{story.GetUID(), 6, 11}));
}

TEST_F(FrameContent, ColoursStrokesAndPrinting) {
  const UIDRef frame = item({0, 0, 10, 10});
  doc->createColor("Red", ColorModel::Process, ColorSpace::CMYK, {0, 1, 1, 0});
  MyFrame f(frame);
  EXPECT_EQ(f.fillColorName(), std::nullopt) << "None reads as none";
  EXPECT_EQ(fillColorNameForFrame(frame), "None");

  UIDList list(frame);
  EXPECT_NE(setFillColor(list, StringArg("Nonexistent")), kSuccess);
  EXPECT_EQ(fillColorNameForFrame(frame), "None") << "an unknown name changes nothing";
  EXPECT_EQ(setFillColor(list, StringArg("Red")), kSuccess);
  EXPECT_EQ(f.fillColorName(), "Red");
  EXPECT_EQ(f.fillColor(), getColorUID(db, "Red"));
  EXPECT_EQ(getColorUID(db, "Nope"), 0u);
  f.setFillColor(doc->blackSwatch());
  EXPECT_EQ(f.fillColorName(), "Black");

  EXPECT_FLOAT_EQ(getStrokeWidth(frame), 0);
  EXPECT_EQ(setStrokeWidth(frame, 3), kSuccess);
  EXPECT_FLOAT_EQ(getStrokeWidth(frame), 0) << "no stroke colour, no width";
  setStrokeColor(frame, StringArg("Red"));
  EXPECT_EQ(strokeColorNameForFrame(frame), "Red");
  EXPECT_FLOAT_EQ(getStrokeWidth(frame), 3);
  EXPECT_EQ(setStrokeAlignment(frame, StrokeAlignment::Inside), kSuccess);
  EXPECT_EQ(db->instantiate<PageItem>(frame.GetUID())->graphicAttributes().strokeAlignment,
            StrokeAlignment::Inside);
  EXPECT_EQ(applyBGColor(frame, "Red"), 1);

  EXPECT_TRUE(frameIsPrinting(frame));
  EXPECT_EQ(setFramePrinting(frame, 0), kSuccess);
  EXPECT_FALSE(frameIsPrinting(frame));
  EXPECT_TRUE(frameIsPrinting(UIDRef(db, layer))) << "no graphic attributes: printing";
}

TEST_F(FrameContent, ObjectStylesPagesAndSpreads) {
  const UIDRef frame = item({10, 10, 20, 20});
  doc->createColor("Blue", ColorModel::Process, ColorSpace::CMYK, {1, 1, 0, 0});
  UID style = kInvalidUID;
  ASSERT_EQ(doc->createStyle(StyleKind::Object, "Boxed", kInvalidUID, &style), kSuccess);
  db->instantiate<Style>(style)->setProperty("FillColor", "Blue");
  EXPECT_EQ(applyObjectStyle(frame, std::nullopt), 1);
  EXPECT_EQ(applyObjectStyle(frame, "Unknown"), 1);
  EXPECT_EQ(applyObjectStyle(db, frame.GetUID(), "Boxed"), kSuccess);
  EXPECT_EQ(db->instantiate<PageItem>(frame.GetUID())->objectStyle(), "Boxed");
  EXPECT_EQ(fillColorNameForFrame(frame), "Blue");

  EXPECT_EQ(pageUIDForFrame(frame), doc->pageAt(0)->GetUID());
  EXPECT_EQ(pageUIDForObj(db->instantiate<PageItem>(frame.GetUID())), doc->pageAt(0)->GetUID());
  EXPECT_EQ(spreadUIDForFrame(frame), doc->spreadAt(0)->GetUID());
  EXPECT_EQ(pageUIDForFrame(item({-300, 10, -250, 20})), 0u) << "on the pasteboard";
  EXPECT_EQ(spreadUIDForFrame(UIDRef()), 0u);
}

TEST_F(FrameContent, LinkStatesFollowTheFileOnDisk) {
  const fs::path picture = home.scratch() / "pic.png";
  test::writeFile(picture, test::pngBytes(20, 10, false));
  const UIDRef frame = item({0, 0, 100, 100});
  ASSERT_EQ(doc->placeFile(frame.GetUID(), picture.string()), kSuccess);

  const UIDRef link = linkForFrame(frame);
  ASSERT_TRUE(link.isValid());
  EXPECT_EQ(frameForLink(link, 0), getChildRef(frame));
  EXPECT_EQ(frameForLink(link, 1), frame);
  ILink::ResourceModificationState state = ILink::kResourceMissing;
  EXPECT_EQ(pathForLink(link, &state), picture.string());
  EXPECT_EQ(state, ILink::kResourceNormal);
  EXPECT_EQ(MyFrame(frame).getPath(1), picture.string());
  EXPECT_EQ(MyFrame(frame).getPath(0), std::nullopt) << "the frame itself has no link";
  EXPECT_EQ(pathForFrame(getChildRef(frame)), picture.string());
  EXPECT_FALSE(isMissingLink(link));
  EXPECT_FALSE(isModifiedLink(link));

  // A changed file: modified until updated.
  test::writeFile(picture, test::pngBytes(40, 10, false) + "more bytes");
  EXPECT_TRUE(isModifiedLink(link));
  EXPECT_EQ(updateLink(link), kSuccess);
  EXPECT_FALSE(isModifiedLink(link));

  // A removed file: missing; relinking to another file mends it.
  fs::remove(picture);
  EXPECT_TRUE(isMissingLink(link));
  EXPECT_FALSE(isModifiedLink(link));
  const fs::path other = home.scratch() / "other pic.png";
  test::writeFile(other, test::pngBytes(5, 5, true));
  EXPECT_EQ(updateFrameWithFile(frame, other.string()), kSuccess);
  EXPECT_FALSE(isMissingLink(link));
  EXPECT_EQ(pathForLink(link), other.string()) << "a path with a space survives the URI";
  EXPECT_EQ(updateLinkWithFile(UIDRef(), other.string()), 1);
  MyFrame content(getChildRef(frame));
  EXPECT_NE(content.relink((home.scratch() / "gone.png").string()), 0) << "relinking to a missing file fails";

  UIDRef embedded = frame;
  embedLinkForFrame(embedded);
  EXPECT_EQ(embedded, getChildRef(frame));
  fs::remove(other);
  EXPECT_FALSE(isMissingLink(link)) << "an embedded link is never missing";

  EXPECT_EQ(deleteLinks(UIDList(link)), kSuccess);
  EXPECT_FALSE(linkForFrame(frame).isValid());
  EXPECT_FALSE(isMissingLink(link));
  EXPECT_EQ(pathForLink(link), std::nullopt);
}

}  // namespace
}  // namespace korvex
