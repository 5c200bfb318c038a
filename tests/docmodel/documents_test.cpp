#include "docmodel/documents.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "docmodel/my_doc.h"
#include "host/document_file.h"
#include "host/session.h"
#include "support/plugin_test.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

using Documents = test::PluginTest;

TEST_F(Documents, EmptySessionGivesEmptyHandles) {
  MyDoc front(static_cast<IDocument*>(nullptr));
  EXPECT_TRUE(front.isEmpty());
  EXPECT_EQ(front.getPath(), std::nullopt);
  EXPECT_EQ(front.getName(), std::nullopt);
  front.close();
  front.setModified(true);
  EXPECT_EQ(MyDoc::frontDoc(false), nullptr);
  EXPECT_EQ(getNumberOfDocs(), 0);
  EXPECT_FALSE(docIsOpen(std::nullopt));
  EXPECT_FALSE(frontDocRef().isValid());
  EXPECT_EQ(pathForDoc(UIDRef()), std::nullopt);
  EXPECT_EQ(saveDoc(UIDRef()), -1);
  EXPECT_FALSE(makeDocActive(static_cast<IDocument*>(nullptr)));
}

TEST_F(Documents, NewDocumentHasNoPath) {
  auto created = MyDoc::frontDoc(true);
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(getNumberOfDocs(), 1);
  EXPECT_EQ(app().windowCount(created->document()), 1);
  EXPECT_EQ(created->getName(), std::nullopt);
  EXPECT_TRUE(docIsOpen(std::nullopt)) << "none equals none";
  EXPECT_EQ(docForPath(std::nullopt), created->document());
  EXPECT_EQ(saveDoc(created->reference()), kNoFileError);
  // A second call finds the front document instead of making another.
  auto again = MyDoc::frontDoc(true);
  EXPECT_EQ(again->document(), created->document());
  EXPECT_EQ(getNumberOfDocs(), 1);
}

TEST_F(Documents, OpenFindAndClose) {
  const std::string a = makeDoc("a.indd"), b = makeDoc("b.indd");
  EXPECT_FALSE(openDoc2((home.scratch() / "none.indd").string(), true).isValid());
  const UIDRef refA = openDoc2(a, true);
  const UIDRef refB = openDoc1(b);
  ASSERT_TRUE(refA.isValid());
  ASSERT_TRUE(refB.isValid());
  EXPECT_EQ(app().windowCount(documentForRef(refA)), 1);
  EXPECT_EQ(app().windowCount(documentForRef(refB)), 0);
  EXPECT_EQ(getNumberOfDocs(), 2);
  EXPECT_EQ(docRefForPath(b), refB);
  EXPECT_EQ(pathForDoc(refA), a);
  EXPECT_FALSE(docIsOpen(a + "x"));
  EXPECT_FALSE(docIsOpen(fs::path(a).parent_path().string() + "/A.indd")) << "paths compare with case";

  MyDoc handle(refA);
  EXPECT_EQ(handle.getPath(), a);
  EXPECT_EQ(handle.getPath(true), home.scratch().string());
  EXPECT_EQ(handle.getName(false), "a");
  EXPECT_EQ(MyDoc(documentForRef(refA)).getPath(), a) << "a handle from a document takes the document's path";

  EXPECT_TRUE(makeDocActive(refA));
  EXPECT_EQ(frontDocRef(), refA);
  EXPECT_FALSE(makeDocActive(refB)) << "no window";

  closeDocWindows(refA);
  EXPECT_EQ(app().windowCount(documentForRef(refA)), 0);
  EXPECT_TRUE(docIsOpen(a));
  closeDoc(refA);
  EXPECT_FALSE(docIsOpen(a));
  EXPECT_TRUE(fs::exists(a));
  closeDoc(refA);  // already gone: nothing happens

  closeDoc2(refB, true);
  EXPECT_EQ(getNumberOfDocs(), 0);
  EXPECT_FALSE(fs::exists(b));
}

TEST_F(Documents, SameFileUnderTwoDocumentsFindsTheEarlier) {
  const std::string a = makeDoc("a.indd"), b = makeDoc("b.indd");
  const UIDRef refA = openDoc2(a, false), refB = openDoc2(b, false);
  ASSERT_EQ(saveDocAs(refB, a), kSuccess);
  EXPECT_EQ(pathForDoc(refB), a);
  EXPECT_EQ(docRefForPath(a), refA);
  closeDocs();
  EXPECT_EQ(getNumberOfDocs(), 0) << "every document is closed";
}

TEST_F(Documents, SavingAndCopies) {
  const std::string a = makeDoc("a.indd");
  auto doc = MyDoc::docWithPath(a);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(MyDoc::docWithPath((home.scratch() / "none.indd").string()), nullptr);
  doc->document()->createLayer("Extra");
  EXPECT_TRUE(doc->database()->IsModified());

  const std::string copy = (home.scratch() / "copy.indd").string();
  test::writeFile(copy, "old");
  EXPECT_EQ(doc->saveACopy(copy), kSuccess);
  ASSERT_TRUE(loadDocumentFile(copy).document);
  EXPECT_NE(loadDocumentFile(copy).document->findLayer("Extra"), nullptr);
  EXPECT_EQ(doc->getPath(), a) << "a copy leaves the document's own file";

  EXPECT_EQ(doc->save(), kSuccess);
  EXPECT_FALSE(doc->database()->IsModified());
  EXPECT_NE(loadDocumentFile(a).document->findLayer("Extra"), nullptr);

  const std::string moved = (home.scratch() / "moved.indd").string();
  EXPECT_EQ(doc->saveAs(moved), kSuccess);
  EXPECT_EQ(pathForDoc(doc->document()), moved);
  EXPECT_EQ(doc->getPath(), a) << "the handle keeps the path it was opened with";

  doc->setModified(true);
  EXPECT_TRUE(doc->database()->IsModified());
  EXPECT_NE(doc->stockColorUID(0), kInvalidUID);
  doc->close();
  EXPECT_EQ(getNumberOfDocs(), 0);

  std::string log = logText();
  EXPECT_NE(log.find(": Korvex::MyDoc::open: " + a + "\n"), std::string::npos);
}

TEST_F(Documents, CloseIfOpenDeletesEvenWhenNotOpen) {
  const std::string a = makeDoc("a.indd"), b = makeDoc("b.indd");
  EXPECT_TRUE(closeDocIfOpen(a, true));
  EXPECT_FALSE(fs::exists(a));
  ASSERT_TRUE(openDoc2(b, true).isValid());
  EXPECT_TRUE(closeDocIfOpen(b, false));
  EXPECT_TRUE(fs::exists(b));
  EXPECT_FALSE(closeDocIfOpen(b, false));
}

TEST_F(Documents, EnumDocsStopsWhenAsked) {
  makeDoc("a.indd");
  ASSERT_TRUE(openDoc2((home.scratch() / "a.indd").string(), false).isValid());
  ASSERT_NE(MyDoc::frontDoc(true), nullptr);
  ASSERT_TRUE(app().newDocument(DocumentSetup{}, false));
  int visits = 0;
  EXPECT_FALSE(EnumDocs([](IDocument*, const std::optional<std::string>&,
                           void* data) { return ++*static_cast<int*>(data) < 2; },
                        &visits));
  EXPECT_EQ(visits, 2);
  EXPECT_TRUE(EnumDocs([](IDocument*, const std::optional<std::string>&, void*) { return true; }, nullptr));
}

}  // namespace
}  // namespace korvex

namespace korvex {
namespace {

class RedrawAndResponders : public test::PluginTest {
 protected:
  static int redrawsOf(const IDocument* document) {
    int total = 0;
    for (const auto& w : app().windows())
      if (w.document == document) total += w.redraws;
    return total;
  }
};

TEST_F(RedrawAndResponders, RedrawReachesTheRightWindows) {
  redrawDoc(static_cast<IDocument*>(nullptr));  // nothing open: nothing happens
  IDocument* first = app().newDocument(DocumentSetup{}, true);
  IDocument* second = app().newDocument(DocumentSetup{}, true);
  IDocument* hidden = app().newDocument(DocumentSetup{}, false);
  ASSERT_TRUE(first && second && hidden);
  app().bringToFront(second);

  redrawDoc(static_cast<IDocument*>(nullptr));  // the front document
  EXPECT_EQ(redrawsOf(second), 1);
  EXPECT_EQ(redrawsOf(first), 0);

  MyDoc handle(UIDRef(first->GetDataBase(), first->GetDataBase()->GetRootUID()));
  handle.redraw();
  redrawDoc(first->GetDataBase());
  EXPECT_EQ(redrawsOf(first), 2);

  redrawDocs();
  EXPECT_EQ(redrawsOf(first), 3);
  EXPECT_EQ(redrawsOf(second), 2);
  EXPECT_EQ(app().windowCount(hidden), 0);
}

TEST_F(RedrawAndResponders, RespondersHearOnlyTheirService) {
  IDocument* document = app().newDocument(DocumentSetup{}, false);
  std::vector<std::string> heard;
  auto& responders = GetExecutionContextSession()->responders();
  int before = responders.add(kBeforeExportSignalResponderService, [&](const ResponderSignalData& d) {
    heard.push_back("before " + d.file.path() + " " + d.formatName + " " + std::to_string(d.uiFlags) +
                    (d.document == document ? " doc" : " other"));
  });
  responders.add(kAfterExportSignalResponderService,
                 [&](const ResponderSignalData&) { heard.push_back("after"); });

  MyDoc handle(document);
  handle.notifyResponders(kBeforeExportSignalResponderService, IDFile("/tmp/x.pdf"), "Adobe PDF", 2);
  notifyResponders(document, kAfterExportSignalResponderService, IDFile("/tmp/x.pdf"), "Adobe PDF", 2);
  responders.remove(before);
  notifyResponders(document, kBeforeExportSignalResponderService, IDFile("/tmp/y.pdf"), "Adobe PDF", 0);
  EXPECT_EQ(heard, (std::vector<std::string>{"before /tmp/x.pdf Adobe PDF 2 doc", "after"}));
}

}  // namespace
}  // namespace korvex
