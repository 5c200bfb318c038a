#include <gtest/gtest.h>

#include "host/document.h"
#include "host/session.h"
#include "host_test_support.h"

namespace korvex {
namespace {

TEST(DocumentModel, NewDocumentHasPagesLayerSpreadsAndPages) {
  DocumentSetup setup;
  setup.pages = 5;
  setup.facingPages = true;
  setup.layers = {"TEXT", "BILDER"};
  auto doc = IDocument::createNew(setup);
  ASSERT_TRUE(doc);
  IDataBase* db = doc->GetDocDataBase();
  EXPECT_FALSE(db->IsModified());
  EXPECT_EQ(db->document(), doc.get());
  EXPECT_EQ(db->instantiate<IDocument>(db->GetRootUID()), doc.get());

  ASSERT_EQ(doc->GetLayerCount(), 3);
  EXPECT_TRUE(doc->layerAt(0)->isPagesLayer());
  EXPECT_EQ(doc->layerAt(1)->GetName(), "TEXT");
  EXPECT_EQ(doc->layerAt(2)->GetName(), "BILDER");

  // Facing pages: a single first page, then pairs.
  ASSERT_EQ(doc->GetSpreadCount(), 3);
  EXPECT_EQ(doc->spreadAt(0)->GetNumPages(), 1);
  EXPECT_EQ(doc->spreadAt(1)->GetNumPages(), 2);
  EXPECT_EQ(doc->spreadAt(2)->GetNumPages(), 2);
  EXPECT_EQ(doc->GetPageCount(), 5);

  for (int i = 0; i < doc->GetPageCount(); ++i) {
    Page* page = doc->pageAt(i);
    EXPECT_EQ(doc->pageIndex(page->GetUID()), i);
    EXPECT_EQ(page->name(), std::to_string(i + 1));
    // A page's grandparent is its spread, through the pages layer's spread layer.
    auto* spreadLayer = db->instantiate<ISpreadLayer>(page->GetParentUID());
    ASSERT_TRUE(spreadLayer);
    EXPECT_EQ(spreadLayer->documentLayerUID(), doc->layerList()[0]);
    EXPECT_TRUE(db->instantiate<ISpread>(spreadLayer->GetParentUID()));
  }
  // One spread layer per document layer, in layer order.
  for (UID s : doc->spreadList()) {
    auto* spread = db->instantiate<ISpread>(s);
    ASSERT_EQ(spread->GetChildCount(), 3);
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(db->instantiate<ISpreadLayer>(spread->GetChildUID(i))->documentLayerUID(),
                doc->layerList()[static_cast<std::size_t>(i)]);
  }
  // The second page of a pair sits right of the first; spreads do not overlap on the pasteboard.
  const PMRect left = *doc->pathBounds(doc->pageAt(1)->GetUID()),
               right = *doc->pathBounds(doc->pageAt(2)->GetUID());
  EXPECT_DOUBLE_EQ(right.left, left.right);
  EXPECT_LT(doc->spreadAt(0)->GetPagesBounds(true).bottom, doc->spreadAt(1)->GetPagesBounds(true).top);
}

TEST(DocumentModel, RejectsBadSetups) {
  DocumentSetup setup;
  setup.pages = 0;
  EXPECT_FALSE(IDocument::createNew(setup));
  setup.pages = 1;
  setup.layers = {"A", "A"};
  EXPECT_FALSE(IDocument::createNew(setup));
  setup.layers = {};
  auto doc = IDocument::createNew(setup);
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->layerAt(1)->GetName(), "Layer 1");
}

TEST(DocumentModel, ChangesSetTheModifiedFlagAndReturnErrorCodes) {
  auto doc = IDocument::createNew({});
  IDataBase* db = doc->GetDocDataBase();
  ASSERT_FALSE(db->IsModified());
  EXPECT_EQ(doc->layerAt(1)->SetLocked(true), kSuccess);
  EXPECT_TRUE(db->IsModified());
  db->SetModified(false);
  EXPECT_NE(doc->pageAt(0)->setSize(-1, 10), kSuccess);
  EXPECT_FALSE(db->IsModified()) << "a refused change changes nothing";
  EXPECT_NE(doc->deleteLayer(doc->layerList()[0]), kSuccess) << "the pages layer stays";
  EXPECT_EQ(doc->createLayer(doc->layerAt(1)->GetName()), nullptr) << "names are unique";
}

TEST(DocumentModel, LayersAddAndRemoveSpreadLayersWithTheirItems) {
  auto doc = IDocument::createNew(test::setup(2, {"A", "B"}));
  IDataBase* db = doc->GetDocDataBase();
  const UID b = doc->findLayer("B")->GetUID();
  SplineItem* item = doc->createRectangle(doc->spreadAt(1)->QueryLayer(b)->GetUID(), {0, 0, 10, 10});
  ASSERT_TRUE(item);
  const UID itemUID = item->GetUID();

  IDocumentLayer* c = doc->createLayer("C", 1);
  ASSERT_TRUE(c);
  EXPECT_EQ(doc->layerIndex(c->GetUID()), 1);
  for (UID s : doc->spreadList())
    EXPECT_EQ(db->instantiate<ISpread>(s)->GetChildUID(1),
              db->instantiate<ISpread>(s)->QueryLayer(c->GetUID())->GetUID());

  ASSERT_EQ(doc->deleteLayer(b), kSuccess);
  EXPECT_FALSE(db->exists(itemUID));
  EXPECT_FALSE(doc->findLayer("B"));
  for (UID s : doc->spreadList()) EXPECT_EQ(db->instantiate<ISpread>(s)->GetChildCount(), 3);
}

TEST(DocumentModel, HierarchyKeepsBackToFrontOrderAndRefusesCycles) {
  auto doc = IDocument::createNew({});
  const UID layer = test::spreadLayer(*doc);
  SplineItem* a = doc->createRectangle(layer, {0, 0, 10, 10});
  SplineItem* b = doc->createRectangle(layer, {20, 0, 30, 10});
  Group* g = doc->createGroup(layer, 0);
  auto* sl = doc->GetDocDataBase()->instantiate<ISpreadLayer>(layer);
  EXPECT_EQ(sl->children(), (std::vector<UID>{g->GetUID(), a->GetUID(), b->GetUID()}));
  EXPECT_EQ(sl->addChild(sl), kInvalidParameterError);
  ASSERT_EQ(doc->reparent(a->GetUID(), g->GetUID()), kSuccess);
  EXPECT_EQ(a->GetParentUID(), g->GetUID());
  EXPECT_NE(g->addChild(g), kSuccess);
  EXPECT_NE(a->addChild(g), kSuccess) << "a node can't get a parent of its own while it has one";
  // Frames hold content, not page items.
  EXPECT_EQ(doc->createRectangle(b->GetUID(), {0, 0, 1, 1}), nullptr);
  // Pages layer holds pages only.
  EXPECT_EQ(doc->createRectangle(doc->spreadAt(0)->pagesLayer()->GetUID(), {0, 0, 1, 1}), nullptr);
}

TEST(DocumentModel, DeletingItemsTakesTheirTreeLinksAndThreads) {
  test::TempHome home;
  const auto picture = home.scratch() / "a.png";
  test::writeFile(picture, test::pngBytes(100, 50, false));
  auto doc = IDocument::createNew({});
  IDataBase* db = doc->GetDocDataBase();
  const UID layer = test::spreadLayer(*doc);
  SplineItem* frame = doc->createRectangle(layer, {0, 0, 100, 100});
  UID content = kInvalidUID;
  ASSERT_EQ(doc->placeFile(frame->GetUID(), picture.string(), &content), kSuccess);
  SplineItem* text = doc->createRectangle(layer, {0, 200, 100, 300});
  MultiColumnItem* mc = nullptr;
  ASSERT_EQ(doc->makeTextFrame(text->GetUID(), kInvalidUID, &mc), kSuccess);
  ITextModel* story = doc->story(mc->storyUID());
  ASSERT_EQ(story->threadedFrames().size(), 1u);
  ASSERT_EQ(doc->linkList().size(), 1u);
  const UID link = doc->linkList()[0];

  UIDList items(db);
  items.Append(frame->GetUID());
  items.Append(text->GetUID());
  ASSERT_EQ(doc->deleteItems(items), kSuccess);
  EXPECT_FALSE(db->exists(content));
  EXPECT_FALSE(db->exists(link));
  EXPECT_TRUE(doc->linkList().empty());
  EXPECT_TRUE(story->threadedFrames().empty());
  EXPECT_EQ(doc->deleteItems(items), kObjectNotFoundError);
}

TEST(DocumentModel, LabelsKeepOrderAndTreatEmptyAsAbsent) {
  auto doc = IDocument::createNew({});
  SplineItem* item = doc->createRectangle(test::spreadLayer(*doc), {0, 0, 10, 10});
  item->setLabel("b", "2");
  item->setLabel("a", "1");
  item->setLabel("b", "3");
  ASSERT_EQ(item->labels().entries().size(), 2u);
  EXPECT_EQ(item->labels().entries()[0], (std::pair<std::string, std::string>{"b", "3"}));
  item->setLabel("a", "");
  EXPECT_FALSE(item->labels().get("a"));
  EXPECT_EQ(item->setLabel("", "x"), kInvalidParameterError);
}

TEST(DocumentModel, StylesAndLanguages) {
  auto doc = IDocument::createNew({});
  const UID basic = doc->findStyle(StyleKind::Paragraph, "[Basic Paragraph]");
  ASSERT_NE(basic, kInvalidUID);
  UID body = kInvalidUID;
  ASSERT_EQ(doc->createStyle(StyleKind::Paragraph, "Body", basic, &body), kSuccess);
  EXPECT_EQ(doc->findStyle(StyleKind::Paragraph, "Body"), body);
  EXPECT_EQ(doc->findStyle(StyleKind::Character, "Body"), kInvalidUID);
  EXPECT_NE(doc->createStyle(StyleKind::Paragraph, "Body", basic), kSuccess);
  EXPECT_NE(doc->createStyle(StyleKind::Character, "X", basic), kSuccess) << "a parent of another kind";
  auto* basicStyle = doc->GetDocDataBase()->instantiate<Style>(basic);
  EXPECT_NE(basicStyle->setBasedOn(body), kSuccess) << "no circles";
  EXPECT_NE(doc->findStyle(StyleKind::Object, "[Basic Text Frame]"), kInvalidUID);

  EXPECT_NE(doc->findLanguage("Neutral"), kInvalidUID);
  const UID german = doc->addLanguage("German: 2006 Reform");
  EXPECT_EQ(doc->addLanguage("German: 2006 Reform"), german);
}

}  // namespace
}  // namespace korvex
