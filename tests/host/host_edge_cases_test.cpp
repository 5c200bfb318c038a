#include <gtest/gtest.h>

#include <filesystem>

#include "host/document_file.h"
#include "host_test_support.h"

namespace korvex {
namespace {

TEST(DocumentFileEdges, EmbeddedDataOfEveryLengthSurvivesSaveAndLoad) {
  test::TempHome home;
  auto doc = IDocument::createNew({});
  const UID layer = test::spreadLayer(*doc);
  // Three lengths cover every base64 padding.
  for (const std::string tail : {"", "x", "xy"}) {
    const auto path = home.scratch() / ("p" + std::to_string(tail.size()) + ".eps");
    test::writeFile(path, "%!PS-Adobe-3.0 EPSF\n\xFF\x00\x80" + tail);
    SplineItem* frame = doc->createRectangle(layer, {0, 0, 50, 50});
    ASSERT_EQ(doc->placeFile(frame->GetUID(), path.string()), kSuccess);
    auto* link = doc->GetDocDataBase()->instantiate<ILink>(doc->linkList().back());
    ASSERT_EQ(link->resource()->embed(), kSuccess);
    std::filesystem::remove(path);
  }
  DocumentLoadResult back = parseDocument(serializeDocument(*doc), "e.indd", "/");
  ASSERT_EQ(back.error, kSuccess) << back.message;
  ASSERT_EQ(back.document->linkList().size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const auto* original = doc->GetDocDataBase()->instantiate<ILink>(doc->linkList()[i])->resource();
    const auto* loaded =
        back.document->GetDocDataBase()->instantiate<ILink>(back.document->linkList()[i])->resource();
    EXPECT_TRUE(loaded->isEmbedded());
    EXPECT_EQ(loaded->embeddedData(), original->embeddedData());
    EXPECT_EQ(back.document->GetDocDataBase()
                  ->instantiate<PlacedContent>(back.document->GetDocDataBase()
                                                   ->instantiate<ILink>(back.document->linkList()[i])
                                                   ->GetObject())
                  ->GetClass(),
              ClassID::kEPSItem);
  }
  DocumentLoadResult bad = parseDocument(
      R"({"format": "korvex-document", "version": 1, "spreads": [{"items": [{"bounds": [0,0,9,9],
          "content": {"kind": "eps", "link": {"path": "/a.eps", "embedded": true, "data": "QU*C"}}}]}]})",
      "e.indd", "/");
  EXPECT_EQ(bad.message, "e.indd: $.spreads[0].items[0].content.link.data: invalid base64");
}

TEST(DocumentFileEdges, AnchorsThreadsAndUIDsAreChecked) {
  const std::string head = R"({"format": "korvex-document", "version": 1, )";
  struct Case {
    std::string body, message;
  } cases[] = {
      {R"("stories": [{"id": "s", "text": "abc", "anchored": [{"index": 1, "item": {"bounds": [0,0,1,1]}}]}]})",
       "f.indd: $.stories[0].anchored[0].index: no free U+FFFC character at this index (or a duplicate uid)"},
      {R"("stories": [{"id": "s", "text": "a"}, {"id": "s", "text": "b"}]})",
       "f.indd: $.stories[1].id: duplicate story id \"s\""},
      {R"("uid": 4294967295})", "f.indd: $: uid values must stay below 4294967295"},
      {R"("spreads": [{"layerUIDs": [5]}]})",
       "f.indd: $.spreads[0].layerUIDs: expected one uid per layer (2, the pages layer first)"},
      {R"("spreads": [{"items": [{"kind": "group", "bounds": [0,0,1,1]}]}]})",
       "f.indd: $.spreads[0].items[0]: a group has only children"},
      {R"("swatches": [{"name": "Black", "values": [0,0,0,1]}]})",
       "f.indd: $.swatches[0]: the reserved swatch \"Black\" cannot be redefined"},
      {R"("layers": [{"name": "A", "na\nme": 1}]})", "f.indd: $.layers[0][\"na\\nme\"]: unknown key"},
      {R"("swatches": [{"name": "R", "values": [0,0,0,0]}], "spreads": [{"items": [{"bounds": [0,0,1,1], "fill": "a\u0007b"}]}]})",
       "f.indd: $.spreads[0].items[0].fill: unknown swatch \"a\\x07b\""},
      {R"("spreads": [{"items": [{"bounds": [0,0,1,1], "transform": [0,0,0,0,0,0]}]}]})",
       "f.indd: $.spreads[0].items[0].transform: transform cannot be inverted"},
  };
  for (const Case& c : cases) {
    DocumentLoadResult r = parseDocument(head + c.body, "f.indd", "/");
    EXPECT_EQ(r.message, c.message) << c.body;
    EXPECT_FALSE(r.document);
  }
  // Threads follow "thread", not file order.
  DocumentLoadResult r = parseDocument(head + R"("stories": [{"id": "s", "text": "abc"}],
      "spreads": [{"items": [{"uid": 100, "bounds": [0,0,1,1], "text": {"story": "s", "thread": 1}},
                             {"uid": 200, "bounds": [0,5,1,6], "text": {"story": "s", "thread": 0}}]}]})",
                                       "f.indd", "/");
  ASSERT_EQ(r.error, kSuccess) << r.message;
  IDataBase* db = r.document->GetDocDataBase();
  const auto frames = r.document->story(r.document->storyList()[0])->threadedFrames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(db->instantiate<IHierarchy>(frames[0])->GetParentUID(), 200u);
  EXPECT_EQ(db->instantiate<IHierarchy>(frames[1])->GetParentUID(), 100u);
}

TEST(ModelEdges, LinesResizeAndReplaceKeepsRuns) {
  auto doc = IDocument::createNew({});
  GraphicLine* line = doc->createGraphicLine(test::spreadLayer(*doc), {0, 10}, {100, 10});
  // A horizontal line has no height: resizing keeps it flat and scales its length.
  ASSERT_EQ(doc->setPathBounds(line->GetUID(), {10, 20, 60, 20}), kSuccess);
  EXPECT_EQ(*doc->pathBounds(line->GetUID()), (PMRect{10, 20, 60, 20}));
  EXPECT_TRUE(line->path()->isLine());
  // Open paths stroke centred whatever the alignment says.
  EXPECT_EQ(*doc->strokeBounds(line->GetUID()), (PMRect{9.5, 19.5, 60.5, 20.5}));

  ITextModel* story = doc->createStory();
  story->Insert(0, "Preis 10 €");
  story->ApplyAttributes(6, 4, {{AttributeClass::kTextColor, doc->blackSwatch()}});
  ASSERT_EQ(story->Replace(6, 2, "12,50"), kSuccess);
  EXPECT_EQ(story->text(), "Preis 12,50 €");
  EXPECT_EQ(story->QueryRun(AttributeClass::kTextColor, 6)->length, 7);

  IDataBase db;
  EXPECT_FALSE(db.createWithUID<Language>(IDataBase::kLastUID, "x"));
  db.reserveThrough(500);
  EXPECT_EQ(db.create<Language>("y")->GetUID(), 501u);
}

}  // namespace
}  // namespace korvex
