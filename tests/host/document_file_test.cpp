#include "host/document_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "host/session.h"
#include "host_test_support.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

// A document with a bit of everything.
std::unique_ptr<IDocument> richDocument(const std::filesystem::path& picture) {
  auto doc = IDocument::createNew(test::setup(3, {"TEXT", "BILDER"}, true));
  IDataBase* db = doc->GetDocDataBase();
  const UID text = doc->spreadAt(1)->QueryLayer(doc->findLayer("TEXT")->GetUID())->GetUID();
  const UID pictures = doc->spreadAt(1)->QueryLayer(doc->findLayer("BILDER")->GetUID())->GetUID();
  Swatch* red = doc->createColor("Rot", ColorModel::Process, ColorSpace::CMYK, {0, 1, 1, 0});
  doc->createColor("HKS 43", ColorModel::Spot, ColorSpace::Lab, {50, -20, 30});
  doc->createTint(red->GetUID(), 25);
  doc->findLayer("BILDER")->SetLocked(true);
  UID body = kInvalidUID;
  doc->createStyle(StyleKind::Paragraph, "Body", doc->findStyle(StyleKind::Paragraph, "[Basic Paragraph]"),
                   &body);
  db->instantiate<Style>(body)->setProperty("PointSize", "10");

  SplineItem* frame = doc->createRectangle(pictures, {10, 10, 200, 150});
  doc->placeFile(frame->GetUID(), picture.string());
  frame->setLabel("Bild", "1");
  SplineItem* oval = doc->createSplineItem(pictures, SplineShape::Oval, Path::oval({0, 0, 50, 30}));
  oval->setTransform(PMMatrix::translation(300, 40) * PMMatrix::rotation(30));
  GraphicAttributes a = oval->graphicAttributes();
  a.fillSwatch = red->GetUID();
  a.fillTint = 50;
  a.strokeSwatch = doc->blackSwatch();
  a.strokeWeight = 0.5;
  a.strokeAlignment = StrokeAlignment::Inside;
  a.nonPrinting = true;
  oval->setGraphicAttributes(a);
  TextWrapSettings wrap;
  wrap.mode = TextWrapMode::BoundingBox;
  wrap.offsets = {1, 2, 3, 4};
  oval->setTextWrap(wrap);

  SplineItem* t1 = doc->createRectangle(text, {10, 200, 200, 400});
  SplineItem* t2 = doc->createRectangle(text, {220, 200, 400, 400});
  MultiColumnItem* mc = nullptr;
  doc->makeTextFrame(t1->GetUID(), kInvalidUID, &mc);
  doc->makeTextFrame(t2->GetUID());
  doc->linkTextFrames(t1->GetUID(), t2->GetUID());
  TextFrameSettings settings = mc->settings();
  settings.columnCount = 2;
  settings.inset = {3, 3, 3, 3};
  settings.verticalJustification = VerticalJustification::Center;
  mc->setSettings(settings);
  ITextModel* story = doc->story(mc->storyUID());
  story->Insert(0, "Überschrift\rText in Rot und Schwarz.");
  story->ApplyAttributes(0, 11,
                         {{AttributeClass::kParagraphStyle, body}, {AttributeClass::kPointSize, 18.0}});
  story->ApplyAttributes(20, 3,
                         {{AttributeClass::kTextColor, red->GetUID()},
                          {AttributeClass::kTextTint, 60.0},
                          {AttributeClass::kTextFlag, true}});
  story->ApplyAttributes(0, 5,
                         {{AttributeClass::kFontFamily, std::string("DejaVu Sans")},
                          {AttributeClass::kFontStyle, std::string("Bold")}});
  SplineItem* anchored = doc->createRectangle(text, {0, 0, 20, 20});
  doc->anchorItem(story->GetUID(), 12, anchored->GetUID());

  SplineItem* g1 = doc->createRectangle(text, {0, 500, 10, 510});
  GraphicLine* line = doc->createGraphicLine(text, {0, 520}, {100, 520});
  UIDList group(db);
  group.Append(g1->GetUID());
  group.Append(line->GetUID());
  doc->groupItems(group);
  doc->pageAt(0)->setColumns({36, 200, 212, 559});
  doc->setXMLRoot({"Root", {{"lang", "de"}}, "", {{"Story", {}, "Text", {}}}});
  BaselineGrid grid;
  grid.start = 48;
  doc->setBaselineGrid(grid);
  return doc;
}

TEST(DocumentFile, SaveLoadSaveIsLosslessAndDeterministic) {
  test::TempHome home;
  const auto picture = home.scratch() / "pic.jpg";
  test::writeFile(picture, test::jpegBytes(400, 300, 3));
  auto doc = richDocument(picture);
  const std::string first = serializeDocument(*doc);
  EXPECT_EQ(serializeDocument(*doc), first);

  const auto path = home.scratch() / "Katalog Seite 12.indd";
  ASSERT_EQ(saveDocumentFile(*doc, path.string()), kSuccess);
  DocumentLoadResult loaded = loadDocumentFile(path.string());
  ASSERT_EQ(loaded.error, kSuccess) << loaded.message;
  EXPECT_EQ(serializeDocument(*loaded.document), first);
  EXPECT_FALSE(loaded.document->GetDocDataBase()->IsModified());
  EXPECT_EQ(loaded.document->GetDocDataBase()->GetSysFile().path(), path.string());

  // UIDs survive, and so do the model's answers.
  IDocument& back = *loaded.document;
  EXPECT_EQ(back.GetUID(), doc->GetUID());
  EXPECT_EQ(back.spreadList(), doc->spreadList());
  EXPECT_EQ(back.layerList(), doc->layerList());
  EXPECT_EQ(back.allPageItems(), doc->allPageItems());
  for (UID item : doc->allPageItems()) {
    EXPECT_EQ(back.pathBounds(item), doc->pathBounds(item));
    EXPECT_EQ(back.GetDocDataBase()->instantiate<PageItem>(item)->graphicAttributes(),
              doc->GetDocDataBase()->instantiate<PageItem>(item)->graphicAttributes());
  }
  ITextModel* story = back.story(back.storyList()[0]);
  EXPECT_EQ(story->characters(), doc->story(doc->storyList()[0])->characters());
  EXPECT_EQ(story->frameList(), doc->story(doc->storyList()[0])->frameList());
  EXPECT_EQ(story->ownedItems(), doc->story(doc->storyList()[0])->ownedItems());
  EXPECT_EQ(std::get<double>(story->QueryRun(AttributeClass::kTextTint, 21)->value), 60.0)
      << "after the anchor at 12";
  auto* link = back.GetDocDataBase()->instantiate<ILink>(back.linkList()[0]);
  EXPECT_EQ(link->GetResourceModificationState(), ILink::kResourceNormal);
  EXPECT_TRUE(back.findLayer("BILDER")->IsLocked());
  EXPECT_EQ(back.xmlRoot(), doc->xmlRoot());
}

// What loads saves and loads again to the same model (the writer's bytes),
// whatever the linked files are: the examples, and links to damaged pictures,
// unknown bytes and a PDF whose kind the file leaves out.
TEST(DocumentFile, EveryDocumentThatLoadsSavesAndLoadsTheSame) {
  test::TempHome home;
  namespace fs = std::filesystem;
  const fs::path examples = fs::path(KORVEX_SOURCE_DIR) / "examples";
  const fs::path links = home.scratch() / "Links";
  fs::create_directories(links);
  const std::string png = test::readFile(examples / "Links/logo-grau.png");
  std::string garbage = png;
  garbage.replace(16, 8, std::string("\x05\xCC\xA0\xEF\x3E\x83\xF5\x15", 8));
  test::writeFile(links / "garbage.png", garbage);
  test::writeFile(links / "cut.png", png.substr(0, png.size() / 2));
  test::writeFile(links / "notes.bin", "no picture");
  test::writeFile(links / "page.pdf", "%PDF-1.4\n%%EOF\n");
  test::writeFile(home.scratch() / "Damaged.indd", R"({"format": "korvex-document", "version": 1,
    "spreads": [{"pages": [{}], "items": [
      {"kind": "rectangle", "bounds": [0, 0, 100, 100], "content": {"link": {"path": "Links/garbage.png"}}},
      {"kind": "rectangle", "bounds": [0, 100, 100, 200], "content": {"link": {"path": "Links/cut.png"}}},
      {"kind": "rectangle", "bounds": [100, 0, 200, 100], "content": {"link": {"path": "Links/notes.bin"}}},
      {"kind": "rectangle", "bounds": [100, 100, 200, 200], "content": {"link": {"path": "Links/page.pdf"}}}]}]})");
  std::vector<fs::path> documents{home.scratch() / "Damaged.indd"};
  for (const auto& entry : fs::directory_iterator(examples))
    if (entry.path().extension() == ".indd") documents.push_back(entry.path());
  ASSERT_GE(documents.size(), 3u);
  for (const fs::path& path : documents) {
    SCOPED_TRACE(path.filename().string());
    DocumentLoadResult first = loadDocumentFile(path.string());
    ASSERT_EQ(first.error, kSuccess) << first.message;
    const std::string saved = serializeDocument(*first.document);
    DocumentLoadResult second = parseDocument(saved, path.filename().string(), path.parent_path().string());
    ASSERT_EQ(second.error, kSuccess) << second.message;
    EXPECT_EQ(serializeDocument(*second.document), saved);
  }
  // The damaged picture's sizes never reached the model (a cut file's header is
  // sound); the PDF without a kind is a PDF.
  DocumentLoadResult damaged = loadDocumentFile((home.scratch() / "Damaged.indd").string());
  for (UID uid : damaged.document->linkList()) {
    const auto* link = damaged.document->GetDocDataBase()->instantiate<ILink>(uid);
    const auto* content = damaged.document->GetDocDataBase()->instantiate<PlacedContent>(link->GetObject());
    const bool pdf = link->resource()->path().ends_with(".pdf");
    EXPECT_EQ(content->GetClass(), pdf ? ClassID::kPDFItem : ClassID::kImageItem);
    EXPECT_EQ(content->imageAttributes().has_value(), link->resource()->path().ends_with("cut.png"));
    EXPECT_EQ(link->GetResourceModificationState(), ILink::kResourceNormal);
    EXPECT_TRUE(link->undrawableReason()) << link->resource()->path();
  }
}

TEST(DocumentFile, HandWrittenFilesGetDefaultsAndFreshUIDs) {
  test::TempHome home;
  test::writeFile(home.scratch() / "bilder/logo.png", test::pngBytes(144, 72, true));
  const std::string text = R"({
    "format": "korvex-document", "version": 1,
    "uid": 7,
    "layers": [{"name": "TEXT"}, {"name": "BILDER", "uid": 500}],
    "swatches": [{"name": "Rot", "values": [0, 1, 1, 0]}, {"name": "Rot hell", "kind": "tint", "base": "Rot", "tint": 20},
                 {"name": "Grau", "kind": "tint", "base": "Black", "tint": 30}],
    "paragraphStyles": [{"name": "Body", "basedOn": "[Basic Paragraph]"}],
    "stories": [{"id": "main", "text": "Hallo Welt", "runs": [{"start": 0, "length": 5, "color": "Rot", "paragraphStyle": "Body"}]}],
    "spreads": [{"pages": [{}], "items": [
      {"layer": "TEXT", "bounds": [36, 36, 300, 200], "text": {"story": "main"}},
      {"layer": "BILDER", "kind": "oval", "bounds": [36, 300, 136, 350], "fill": "Rot hell",
       "content": {"link": {"path": "bilder/logo.png"}}, "labels": {"Bild": "Logo"}}]}]
  })";
  DocumentLoadResult r = parseDocument(text, "flyer.indd", home.scratch().string());
  ASSERT_EQ(r.error, kSuccess) << r.message;
  IDocument& doc = *r.document;
  EXPECT_EQ(doc.GetUID(), 7u);
  EXPECT_EQ(doc.findLayer("BILDER")->GetUID(), 500u);
  EXPECT_GT(doc.findLayer("TEXT")->GetUID(), 500u) << "fresh UIDs come after every UID of the file";
  EXPECT_EQ(doc.GetPageCount(), 1);
  EXPECT_DOUBLE_EQ(doc.pageAt(0)->width(), doc.defaultPageWidth());
  EXPECT_TRUE(doc.findSwatch("Black") && doc.findSwatch("None"));
  EXPECT_EQ(doc.findSwatch("Grau")->baseSwatch(), doc.blackSwatch())
      << "tints of reserved swatches left out of the file";
  const UID basic = doc.findStyle(StyleKind::Paragraph, "[Basic Paragraph]");
  EXPECT_NE(basic, kInvalidUID);
  EXPECT_EQ(doc.GetDocDataBase()->instantiate<Style>(doc.findStyle(StyleKind::Paragraph, "Body"))->basedOn(),
            basic);
  ITextModel* story = doc.story(doc.storyList()[0]);
  EXPECT_EQ(story->text(), "Hallo Welt");
  EXPECT_EQ(std::get<UID>(story->QueryRun(AttributeClass::kTextColor, 0)->value),
            doc.findSwatch("Rot")->GetUID());
  EXPECT_EQ(story->frameList().size(), 1u);
  ASSERT_EQ(doc.linkList().size(), 1u);
  auto* link = doc.GetDocDataBase()->instantiate<ILink>(doc.linkList()[0]);
  EXPECT_EQ(link->resource()->path(), (home.scratch() / "bilder/logo.png").string());
  EXPECT_EQ(link->GetResourceModificationState(), ILink::kResourceNormal);
  auto* content = doc.GetDocDataBase()->instantiate<PlacedContent>(link->GetObject());
  EXPECT_EQ(content->imageAttributes()->colorSpace, ImageColorSpace::Grey);
  // A saved and reloaded hand-written file keeps the UIDs it was given.
  const std::string saved = serializeDocument(doc);
  DocumentLoadResult again = parseDocument(saved, "flyer.indd", "/");
  ASSERT_EQ(again.error, kSuccess) << again.message;
  EXPECT_EQ(serializeDocument(*again.document), saved);
}

TEST(DocumentFile, BadInputIsRefusedWithOneLineNamingPathAndProblem) {
  struct Case {
    std::string json, message;
    ErrorCode code;
  } cases[] = {
      {R"({"format": "korvex-document", "version": 1, "spreads": [{"items": [{"fill": "Lila", "bounds": [0,0,1,1]}]}]})",
       "f.indd: $.spreads[0].items[0].fill: unknown swatch \"Lila\"", kInvalidDocumentError},
      // A repeated key takes its last value: the version here is 2.
      {R"({"format": "korvex-document", "version": 1, "version": 2})",
       "f.indd: $.version: format version 2 is newer than this program reads (1); update Korvex",
       kNewerFormatError},
      {R"({"format": "korvex-document", "version": 1, "layers": [{"name": "A", "uid": 9, "name": "B", "x": 0}]})",
       "f.indd: $.layers[0].x: unknown key", kInvalidDocumentError},
      {R"({"format": "korvex-document", "version": 2})",
       "f.indd: $.version: format version 2 is newer than this program reads (1); update Korvex",
       kNewerFormatError},
      {R"({"format": "other", "version": 1})",
       "f.indd: $.format: not a Korvex document (expected \"korvex-document\")", kNotADocumentError},
      {R"({"format": "korvex-document", "version": 1, "layers": [{"name": "A", "uid": 9}, {"name": "B", "uid": 9}]})",
       "f.indd: $.layers[1]: duplicate uid", kInvalidDocumentError},
      {R"({"format": "korvex-document", "version": 1, "spreads": [{"items": [{"bounds": [0,0,1]}]}]})",
       "f.indd: $.spreads[0].items[0].bounds: expected an array of 4 numbers", kInvalidDocumentError},
      {R"({"format": "korvex-document", "version": 1, "colour": 1})", "f.indd: $.colour: unknown key",
       kInvalidDocumentError},
      {R"({"format": "korvex-document", "version": 1, "stories": [{"id": "s", "text": "ab"}],
          "spreads": [{"items": [{"bounds": [0,0,1,1], "text": {"story": "t"}}]}]})",
       "f.indd: $.spreads[0].items[0].text.story: unknown story \"t\"", kInvalidDocumentError},
      {R"({"format": "korvex-document", "version": 1, "stories": [{"id": "s", "text": "ab", "runs": [{"start": 1, "length": 5}]}]})",
       "f.indd: $.stories[0].runs[0].length: out of range (0 to 1)", kInvalidDocumentError},
      {R"({"format": "korvex-document", "version": 1,)", "f.indd: $: invalid JSON at byte 44",
       kInvalidDocumentError},
      {"hello", "f.indd: not a Korvex document (no JSON object)", kNotADocumentError},
      {R"({"format": "korvex-document", "version": 1, "pageSize": [595e2756, 1]})",
       "f.indd: $: a number too large to read", kInvalidDocumentError},
  };
  for (const Case& c : cases) {
    DocumentLoadResult r = parseDocument(c.json, "f.indd", "/");
    EXPECT_FALSE(r.document);
    EXPECT_EQ(r.error, c.code) << c.json;
    EXPECT_EQ(r.message, c.message);
    EXPECT_EQ(r.message.find('\n'), std::string::npos);
  }
  std::string deep = R"({"format": "korvex-document", "version": 1, "xml": )";
  for (int i = 0; i < 100000; ++i) deep += "[";
  DocumentLoadResult nested = parseDocument(deep + std::string(100000, ']') + "}", "f.indd", "/");
  EXPECT_EQ(nested.message, "f.indd: $: nested too deeply");
  const std::string indd(
      "\x06\x06\xED\xF5\xD8\x1D\x46\xE5\xBD\x31\xEF\xE7\xFE\x74\xB7\x1D"
      "DOCUMENT",
      24);
  DocumentLoadResult r = parseDocument(indd, "Alt.indd", "/");
  EXPECT_EQ(r.error, kBinaryDocumentError);
  EXPECT_NE(r.message.find("export it as IDML"), std::string::npos);
}

TEST(DocumentFile, FailedSaveLeavesTheOldFileIntact) {
  test::TempHome home;
  const auto path = home.scratch() / "doc.indd";
  auto small = IDocument::createNew({});
  ASSERT_EQ(saveDocumentFile(*small, path.string()), kSuccess);
  const std::string before = test::readFile(path);

  DocumentSetup setup;
  setup.pages = 200;
  auto big = IDocument::createNew(setup);
  ASSERT_GT(serializeDocument(*big).size(), before.size() + 4096);

  // Limit file size below the new document's; the write fails half way.
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = old;
  limit.rlim_cur = before.size() + 4096;
  setrlimit(RLIMIT_FSIZE, &limit);
  std::string message;
  const ErrorCode e = saveDocumentFile(*big, path.string(), &message);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(e, kFileWriteError);
  EXPECT_NE(message.find(path.string()), std::string::npos);
  EXPECT_EQ(test::readFile(path), before);
  for (const auto& entry : std::filesystem::directory_iterator(home.scratch()))
    EXPECT_EQ(entry.path(), path) << "no temporary file left behind";
}

TEST(DocumentFile, RecognisedByContentNotByName) {
  EXPECT_EQ(sniffDocumentFile("  \n{\"format\""), DocumentFileKind::Native);
  EXPECT_EQ(sniffDocumentFile("\xEF\xBB\xBF{"), DocumentFileKind::Native);
  EXPECT_EQ(sniffDocumentFile(std::string_view("PK\x03\x04", 4)), DocumentFileKind::IDMLPackage);
  EXPECT_EQ(sniffDocumentFile("%PDF"), DocumentFileKind::Unknown);
}

}  // namespace
}  // namespace korvex
