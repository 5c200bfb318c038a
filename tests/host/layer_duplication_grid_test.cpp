// Whole layers duplicated across every spread, layer colours from the stock
// colours, the document grid's division in the native file, and deleting a
// document's XML content.

#include <gtest/gtest.h>

#include <string>

#include "host/document_file.h"
#include "host/document_formats.h"
#include "host/duplicate_items.h"
#include "host/session.h"
#include "host_test_support.h"

namespace korvex {
namespace {

using test::setup;

TEST(LayerDuplication, CopiesEveryItemOfEverySpreadDirectlyAboveTheSource) {
  auto doc = IDocument::createNew(setup(2, {"Back", "Text", "Front"}));
  IDataBase* db = doc->GetDocDataBase();
  IDocumentLayer* text = doc->findLayer("Text");
  ASSERT_EQ(text->SetPrintable(false), kSuccess);
  ASSERT_EQ(text->SetColor("Red"), kSuccess);
  ISpread* first = doc->spreadAt(0);
  ISpread* second = doc->spreadAt(1);
  SplineItem* frame = doc->createRectangle(first->QueryLayer(text->GetUID())->GetUID(), {10, 10, 200, 100});
  ASSERT_EQ(doc->makeTextFrame(frame->GetUID()), kSuccess);
  ITextModel* story = doc->story(doc->storyList().back());
  ASSERT_EQ(story->Insert(0, "Hallo"), kSuccess);
  ASSERT_EQ(frame->setLabel("Label", "Titel"), kSuccess);
  Group* group = doc->createGroup(second->QueryLayer(text->GetUID())->GetUID());
  doc->createRectangle(group->GetUID(), {0, 0, 50, 50});
  doc->createRectangle(group->GetUID(), {60, 0, 90, 50});
  doc->createRectangle(second->QueryLayer(doc->findLayer("Front")->GetUID())->GetUID(), {0, 0, 5, 5});

  UIDList copies;
  ASSERT_EQ(duplicateLayers(*doc, UIDList(UIDRef(db, text->GetUID())), &copies), kSuccess);
  ASSERT_EQ(copies.size(), 1u);
  IDocumentLayer* copy = db->instantiate<IDocumentLayer>(copies[0]);
  EXPECT_EQ(copy->GetName(), "Text copy");
  EXPECT_EQ(doc->layerIndex(copy->GetUID()), doc->layerIndex(text->GetUID()) + 1);
  EXPECT_EQ(doc->layerIndex(doc->findLayer("Front")->GetUID()), doc->layerIndex(copy->GetUID()) + 1);
  EXPECT_FALSE(copy->IsPrintable());
  EXPECT_EQ(copy->GetColor(), "Red");

  const ISpreadLayer* copyOnFirst = first->QueryLayer(copy->GetUID());
  ASSERT_EQ(copyOnFirst->GetChildCount(), 1);
  auto* frameCopy = db->instantiate<SplineItem>(copyOnFirst->GetChildUID(0));
  EXPECT_EQ(doc->pathBounds(frameCopy->GetUID()), doc->pathBounds(frame->GetUID()));
  EXPECT_EQ(frameCopy->labels().get("Label"), std::optional<std::string>("Titel"));
  const ISpreadLayer* copyOnSecond = second->QueryLayer(copy->GetUID());
  ASSERT_EQ(copyOnSecond->GetChildCount(), 1);
  EXPECT_EQ(db->instantiate<Group>(copyOnSecond->GetChildUID(0))->GetChildCount(), 2);
  // The source keeps its items; the copy's text is a story of its own.
  EXPECT_EQ(first->QueryLayer(text->GetUID())->GetChildCount(), 1);
  EXPECT_EQ(doc->storyList().size(), 2u);
  EXPECT_EQ(doc->story(doc->storyList().back())->text(), "Hallo");

  // A second copy takes the next free name; the pages layer can't be copied,
  // and a failed list leaves no copy behind.
  ASSERT_EQ(duplicateLayers(*doc, UIDList(UIDRef(db, text->GetUID())), &copies), kSuccess);
  EXPECT_EQ(db->instantiate<IDocumentLayer>(copies[0])->GetName(), "Text copy 2");
  const int layers = doc->GetLayerCount();
  UIDList withPages(db);
  withPages.Append(text->GetUID());
  withPages.Append(doc->layerList()[0]);
  EXPECT_NE(duplicateLayers(*doc, withPages), kSuccess);
  EXPECT_EQ(doc->GetLayerCount(), layers);
}

TEST(LayerDuplication, AStoryThreadedAcrossSpreadsStaysOneThreadedStory) {
  auto doc = IDocument::createNew(setup(2, {"Text"}));
  IDataBase* db = doc->GetDocDataBase();
  const UID layer = doc->findLayer("Text")->GetUID();
  SplineItem* a = doc->createRectangle(doc->spreadAt(0)->QueryLayer(layer)->GetUID(), {36, 36, 300, 100});
  SplineItem* b = doc->createRectangle(doc->spreadAt(1)->QueryLayer(layer)->GetUID(), {36, 36, 300, 100});
  ASSERT_EQ(doc->makeTextFrame(a->GetUID()), kSuccess);
  ASSERT_EQ(doc->story(doc->storyList().back())->Insert(0, "Lauftext über zwei Seiten"), kSuccess);
  ASSERT_EQ(doc->makeTextFrame(b->GetUID()), kSuccess);
  ASSERT_EQ(doc->linkTextFrames(a->GetUID(), b->GetUID()), kSuccess);

  UIDList copies;
  ASSERT_EQ(duplicateLayers(*doc, UIDList(UIDRef(db, layer)), &copies), kSuccess);
  ASSERT_EQ(doc->storyList().size(), 2u);
  const ITextModel* copy = doc->story(doc->storyList().back());
  EXPECT_EQ(copy->text(), "Lauftext über zwei Seiten");
  ASSERT_EQ(copy->threadedFrames().size(), 2u);
  // First frame on the first spread, second on the second, as in the original.
  const UID firstCopy = doc->spreadAt(0)->QueryLayer(copies[0])->GetChildUID(0);
  const UID secondCopy = doc->spreadAt(1)->QueryLayer(copies[0])->GetChildUID(0);
  EXPECT_EQ(db->instantiate<SplineItem>(firstCopy)->textContentUID(), copy->threadedFrames()[0]);
  EXPECT_EQ(db->instantiate<SplineItem>(secondCopy)->textContentUID(), copy->threadedFrames()[1]);
}

TEST(LayerDuplication, StockColoursNameTheLayerColour) {
  auto doc = IDocument::createNew(setup(1, {"A"}));
  IDocumentLayer* layer = doc->findLayer("A");
  ASSERT_EQ(layer->SetStockColor(2), kSuccess);
  EXPECT_EQ(layer->GetColor(), stockColors()[2].name);
  EXPECT_EQ(layer->SetStockColor(static_cast<int>(stockColors().size())), kInvalidParameterError);
  EXPECT_EQ(layer->GetColor(), stockColors()[2].name);
  // No swatch is made for a layer colour.
  EXPECT_FALSE(doc->findSwatch(stockColors()[2].name));
}

TEST(GridDivision, OptionalInTheFileAndKeptAcrossSaveAndLoad) {
  auto doc = IDocument::createNew(setup(1));
  const std::string plain = serializeDocument(*doc);
  // The default is not written: files without the key keep their bytes.
  EXPECT_EQ(plain.find("\"division\""), std::string::npos);
  DocumentLoadResult loaded = parseDocument(plain, "Plain.indd", "/tmp");
  ASSERT_EQ(loaded.error, kSuccess) << loaded.message;
  EXPECT_EQ(loaded.document->documentGrid().division, 72);
  EXPECT_EQ(serializeDocument(*loaded.document), plain);

  DocumentGrid grid = doc->documentGrid();
  grid.division = 28.35;
  ASSERT_EQ(doc->setDocumentGrid(grid), kSuccess);
  const std::string bytes = serializeDocument(*doc);
  loaded = parseDocument(bytes, "Grid.indd", "/tmp");
  ASSERT_EQ(loaded.error, kSuccess) << loaded.message;
  EXPECT_EQ(loaded.document->documentGrid(), grid);
  EXPECT_EQ(serializeDocument(*loaded.document), bytes);

  grid.division = 0;
  EXPECT_EQ(doc->setDocumentGrid(grid), kInvalidParameterError);
  std::string bad = test::replaceAll(bytes, "\"division\": 28.35", "\"division\": -1");
  ASSERT_NE(bad, bytes);
  loaded = parseDocument(bad, "Bad.indd", "/tmp");
  EXPECT_NE(loaded.error, kSuccess);
  EXPECT_NE(loaded.message.find("Bad.indd: $.documentGrid"), std::string::npos) << loaded.message;
}

TEST(XMLContent, DeletingKeepsTheRootElementItself) {
  auto doc = IDocument::createNew(setup(1));
  ASSERT_EQ(doc->setXMLRoot({"Root", {{"id", "1"}}, "text", {{"Child", {}, "", {}}}}), kSuccess);
  doc->GetDocDataBase()->SetModified(false);
  EXPECT_EQ(doc->deleteXMLContent(), kSuccess);
  EXPECT_EQ(doc->xmlRoot(), (XMLElement{"Root", {{"id", "1"}}, "", {}}));
  EXPECT_TRUE(doc->GetDocDataBase()->IsModified());
}

}  // namespace
}  // namespace korvex
