#include "docmodel/layers.h"

#include <gtest/gtest.h>

#include "docmodel/adapter_fixture.h"
#include "docmodel/frame_content.h"
#include "docmodel/frames.h"
#include "docmodel/my_doc.h"
#include "docmodel/traversal.h"
#include "host/duplicate_items.h"
#include "host/host_test_support.h"

namespace korvex {
namespace {

class Layers : public test::AdapterTest {
 protected:
  void SetUp() override {
    AdapterTest::SetUp();
    doc = newDoc(2, {"Text", "Pictures"});
    db = doc->GetDocDataBase();
  }
  std::vector<std::string> layerNames() const {
    std::vector<std::string> names;
    for (int i = 1; i < doc->GetLayerCount(); ++i) names.push_back(doc->layerAt(i)->GetName());
    return names;
  }

  IDocument* doc = nullptr;
  IDataBase* db = nullptr;
};

TEST_F(Layers, CreatingALayerReplacesOneOfTheSameName) {
  const UID oldLayer = doc->findLayer("Text")->GetUID();
  const UID item = rect(*doc, test::spreadLayer(*doc), {0, 0, 10, 10});
  const UID created = createDocLayer(doc, "Text", false, false, true);
  ASSERT_NE(created, kInvalidUID);
  EXPECT_NE(created, oldLayer);
  EXPECT_FALSE(db->exists(oldLayer));
  EXPECT_FALSE(db->exists(item));  // the old layer's items went with it
  auto* layer = db->instantiate<IDocumentLayer>(created);
  EXPECT_FALSE(layer->IsVisible());
  EXPECT_FALSE(layer->IsPrintable());
  EXPECT_TRUE(layer->IsLocked());
  const std::vector<std::string> names = layerNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "Text"), 1);
  // Every spread has a spread layer for the new layer.
  EXPECT_NE(doc->spreadAt(1)->QueryLayer(created), nullptr);
  EXPECT_EQ(createDocLayer(nullptr, "X", true, true, false), kInvalidUID);

  // The only content layer can be replaced too: it goes once its successor is there.
  IDocument* single = newDoc(1, {"Solo"});
  const UID solo = single->findLayer("Solo")->GetUID();
  const UID fresh = createDocLayer(single, "Solo", true, true, false);
  ASSERT_NE(fresh, kInvalidUID);
  EXPECT_NE(fresh, solo);
  ASSERT_EQ(single->GetLayerCount(), 2);
  EXPECT_EQ(single->layerAt(1)->GetName(), "Solo");
}

TEST_F(Layers, FindingByNameCreatesOnlyWhenAsked) {
  MyDoc handle(doc);
  EXPECT_EQ(docLayerByName(doc, "Pictures", false), doc->findLayer("Pictures")->GetUID());
  EXPECT_EQ(handle.getLayer("Pictures"), UIDRef(db, doc->findLayer("Pictures")->GetUID()));
  EXPECT_EQ(docLayerByName(doc, "Notes", false), kInvalidUID);
  EXPECT_EQ(handle.getLayer("Notes"), UIDRef(db, kInvalidUID));
  EXPECT_EQ(docLayerByName(nullptr, "Notes", true), kInvalidUID);

  const UID notes = handle.docLayerByName("Notes", true);
  ASSERT_NE(notes, kInvalidUID);
  auto* layer = db->instantiate<IDocumentLayer>(notes);
  EXPECT_TRUE(layer->IsVisible());
  EXPECT_TRUE(layer->IsPrintable());
  EXPECT_FALSE(layer->IsLocked());
  EXPECT_EQ(handle.docLayerByName("Notes", true), notes);  // found, not made again

  setLayerLocked(doc, notes);
  EXPECT_TRUE(layer->IsLocked());
  setLayerLocked(doc, 999999);
  setLayerLocked(nullptr, notes);

  handle.removeLayer("Notes");
  EXPECT_EQ(layerNames(), (std::vector<std::string>{"Text", "Pictures"}));
  handle.removeLayer("Notes");  // nothing there: nothing happens
  removeLayer(doc->findLayer("Text"));
  EXPECT_EQ(layerNames(), (std::vector<std::string>{"Pictures"}));
}

TEST_F(Layers, RemovingStopsAtTheFirstFailure) {
  const UID text = doc->findLayer("Text")->GetUID(), pictures = doc->findLayer("Pictures")->GetUID();
  UIDList layers(db);
  layers.Append(text);
  layers.Append(doc->layerList()[0]);  // the pages layer can't go
  layers.Append(pictures);
  removeLayers(layers);
  EXPECT_FALSE(db->exists(text));
  EXPECT_TRUE(db->exists(pictures));
  EXPECT_NE(logText().find("\t####\tremoveLayers failed (1/3!"), std::string::npos);
  removeLayers(UIDList(db));
}

TEST_F(Layers, SpreadLayersAndDuplicating) {
  MyDoc handle(doc);
  EXPECT_EQ(handle.getSpreadLayer("Text"), UIDRef(db, test::spreadLayer(*doc)));

  EXPECT_EQ(handle.duplicateLayer("Text", "Nowhere"), -1);
  EXPECT_EQ(handle.duplicateLayer("Nowhere", "Text"), -1);
  const std::string log = logText();
  EXPECT_NE(log.find("Korvex::Text --> Nowhere\n"), std::string::npos);
  EXPECT_NE(log.find("Korvex::\tInvalid spreadLayer: Nowhere\n"), std::string::npos);

  // Source: a picture frame with a label, a group of a line and a text frame.
  const UID source = test::spreadLayer(*doc), target = test::spreadLayer(*doc, 2);
  const auto picture = home.scratch() / "p.png";
  test::writeFile(picture, test::pngBytes(40, 20, true));
  const UID frame = rect(*doc, source, {10, 10, 50, 30});
  ASSERT_EQ(doc->placeFile(frame, picture.string()), kSuccess);
  ASSERT_EQ(db->instantiate<PageItem>(frame)->setLabel("id", "7"), kSuccess);
  GraphicLine* line = doc->createGraphicLine(source, {0, 100}, {50, 100});
  const UID textFrame = rect(*doc, source, {0, 200, 100, 300});
  ASSERT_EQ(doc->makeTextFrame(textFrame), kSuccess);
  const UID story =
      db->instantiate<MultiColumnItem>(db->instantiate<SplineItem>(textFrame)->textContentUID())->storyUID();
  ASSERT_EQ(doc->story(story)->Insert(0, "Hallo"), kSuccess);
  UIDList members(db);
  members.Append(line->GetUID());
  members.Append(textFrame);
  UID group = kInvalidUID;
  ASSERT_EQ(doc->groupItems(members, &group), kSuccess);
  const std::size_t links = doc->linkList().size(), stories = doc->storyList().size();

  ASSERT_EQ(handle.duplicateLayer("Text", "Pictures"), kSuccess);
  const UIDList copies = getPageItems(UIDRef(db, target));
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(getPageItems(UIDRef(db, source)).size(), 2u);  // the source keeps its items
  const UIDRef frameCopy = copies.GetRef(0), groupCopy = copies.GetRef(1);
  EXPECT_EQ(boundsForFrame(frameCopy, 0), boundsForFrame(UIDRef(db, frame), 0));
  EXPECT_EQ(boundsForFrame(groupCopy, 0), boundsForFrame(UIDRef(db, group), 0));
  EXPECT_EQ(db->instantiate<PageItem>(frameCopy.GetUID())->labels().get("id"), "7");
  EXPECT_EQ(doc->linkList().size(), links + 1);
  EXPECT_EQ(pathForLink(UIDRef(db, doc->linkList().back())), picture.string());
  ASSERT_EQ(doc->storyList().size(), stories + 1);
  EXPECT_EQ(doc->story(doc->storyList().back())->text(), "Hallo");
  EXPECT_EQ(db->instantiate<IHierarchy>(groupCopy.GetUID())->GetChildCount(), 2);
  EXPECT_EQ(handle.duplicateLayer("Text", "Pictures"), kSuccess);
  EXPECT_EQ(getPageItems(UIDRef(db, target)).size(), 4u);
}

TEST_F(Layers, DuplicatedThreadsStayThreaded) {
  const UID source = test::spreadLayer(*doc);
  // Created back to front, threaded front to back: copy order differs from thread order.
  const UID second = rect(*doc, source, {0, 200, 100, 300});
  const UID first = rect(*doc, source, {0, 0, 100, 100});
  ASSERT_EQ(doc->makeTextFrame(first), kSuccess);
  ASSERT_EQ(doc->makeTextFrame(second), kSuccess);
  ASSERT_EQ(doc->linkTextFrames(first, second), kSuccess);
  const std::size_t stories = doc->storyList().size();

  UIDList copies;
  ASSERT_EQ(duplicateItems(*doc, getPageItems(UIDRef(db, source)), test::spreadLayer(*doc, 2), &copies),
            kSuccess);
  ASSERT_EQ(doc->storyList().size(), stories + 1);  // one copy of the story, not one per frame
  ITextModel* copied = doc->story(doc->storyList().back());
  auto textContent = [&](UID frame) { return db->instantiate<SplineItem>(frame)->textContentUID(); };
  // copies[0] is the copy of second, copies[1] of first.
  EXPECT_EQ(copied->threadedFrames(), (std::vector<UID>{textContent(copies[1]), textContent(copies[0])}));
}

TEST_F(Layers, DuplicatingRefusesWhatIsNoPageItem) {
  UIDList pages(db);
  pages.Append(doc->pageAt(0)->GetUID());
  const std::size_t before = db->objectCount();
  EXPECT_NE(duplicateItems(*doc, pages, test::spreadLayer(*doc)), kSuccess);
  UIDList none(db);
  EXPECT_NE(duplicateItems(*doc, none, 999999), kSuccess);
  EXPECT_EQ(db->objectCount(), before);
}

TEST_F(Layers, ActivatingShowsAHiddenLayer) {
  MyDoc handle(doc);
  IDocumentLayer* pictures = doc->findLayer("Pictures");
  IDocumentLayer* text = doc->findLayer("Text");
  ASSERT_EQ(pictures->SetVisible(false), kSuccess);
  handle.activateLayer("Pictures");
  EXPECT_TRUE(pictures->IsVisible());
  EXPECT_EQ(doc->activeLayer(), pictures->GetUID());
  handle.activateLayer("Text");
  EXPECT_EQ(doc->activeLayer(), text->GetUID());
  handle.activateLayer("Nowhere");
  EXPECT_EQ(doc->activeLayer(), text->GetUID());
  EXPECT_EQ(workspace().beeps(), 0);
}

}  // namespace
}  // namespace korvex
