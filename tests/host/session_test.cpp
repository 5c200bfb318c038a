#include "host/session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "host/document_file.h"
#include "host/host_strings.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override { resetExecutionContextSession(); }
  void TearDown() override { resetExecutionContextSession(); }
  Application* app() { return GetExecutionContextSession()->application(); }
  test::TempHome home_;
};

TEST_F(SessionTest, DocumentsWindowsAndFront) {
  IDocument* a = app()->newDocument({}, true);
  IDocument* b = app()->newDocument({}, false);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->GetName(), "Untitled-1");
  EXPECT_EQ(app()->GetDocumentCount(), 2);
  EXPECT_EQ(app()->GetNthDocument(1), b);
  EXPECT_EQ(app()->frontDocument(), b);
  EXPECT_EQ(app()->windowCount(b), 0);
  EXPECT_FALSE(app()->bringToFront(b));
  EXPECT_TRUE(app()->bringToFront(a));
  EXPECT_EQ(app()->frontDocument(), a);
  ASSERT_EQ(app()->closeWindows(a), kSuccess);
  EXPECT_EQ(app()->windowCount(a), 0);
  EXPECT_EQ(app()->GetDocumentCount(), 2) << "closing windows keeps the document open";
  ASSERT_EQ(app()->closeDocument(a), kSuccess);
  EXPECT_EQ(app()->GetDocumentCount(), 1);
  EXPECT_EQ(app()->frontDocument(), b);
  EXPECT_NE(app()->closeDocument(a), kSuccess);
}

TEST_F(SessionTest, OpenSaveSaveAsCopyAndClose) {
  const auto first = home_.scratch() / "Flyer.indd";
  const auto second = home_.scratch() / "Flyer 2.indd";
  const auto copy = home_.scratch() / "Kopie.indd";
  IDocument* doc = app()->newDocument({}, true);
  EXPECT_EQ(app()->saveDocument(doc), kNoFileError);
  EXPECT_EQ(ErrorUtils::PMGetGlobalErrorCode(), kNoFileError);
  ASSERT_EQ(app()->saveDocumentAs(doc, first.string()), kSuccess);
  EXPECT_EQ(ErrorUtils::PMGetGlobalErrorCode(), kSuccess);
  EXPECT_EQ(doc->GetDocDataBase()->GetSysFile().path(), first.string());
  EXPECT_EQ(doc->GetName(), "Flyer.indd");

  doc->layerAt(1)->SetName("TEXT");
  ASSERT_TRUE(doc->GetDocDataBase()->IsModified());
  ASSERT_EQ(app()->saveDocumentCopy(doc, copy.string()), kSuccess);
  EXPECT_TRUE(doc->GetDocDataBase()->IsModified()) << "a copy doesn't save the document itself";
  EXPECT_EQ(doc->GetDocDataBase()->GetSysFile().path(), first.string());
  ASSERT_EQ(app()->saveDocument(doc), kSuccess);
  EXPECT_FALSE(doc->GetDocDataBase()->IsModified());
  ASSERT_EQ(app()->saveDocumentAs(doc, second.string()), kSuccess);
  EXPECT_EQ(doc->GetDocDataBase()->GetFallbackSysFile().path(), first.string());
  ASSERT_EQ(app()->closeDocument(doc), kSuccess);

  IDocument* opened = nullptr;
  ASSERT_EQ(app()->openDocument(copy.string(), false, &opened), kSuccess);
  EXPECT_TRUE(opened->findLayer("TEXT"));
  EXPECT_EQ(app()->windowCount(opened), 0);
  IDocument* again = nullptr;
  ASSERT_EQ(app()->openDocument(copy.string(), true, &again), kSuccess);
  EXPECT_EQ(again, opened) << "an open file is not opened twice";
  EXPECT_EQ(app()->windowCount(opened), 1);

  const auto broken = home_.scratch() / "broken.indd";
  test::writeFile(broken, "{\"format\": \"korvex-document\", \"version\": 1, \"layers\": 3}");
  IDocument* none = nullptr;
  EXPECT_EQ(app()->openDocument(broken.string(), true, &none), kInvalidDocumentError);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(app()->errorMessage(), broken.string() + ": $.layers: expected an array");
  EXPECT_EQ(app()->GetDocumentCount(), 1);
  EXPECT_EQ(app()->openDocument((home_.scratch() / "missing.indd").string(), true, &none),
            kFileNotFoundError);
}

TEST_F(SessionTest, ServicesAndLanguages) {
  struct Exporter : Service {
    std::string name() const override { return "PDF"; }
  };
  ServiceRegistry& services = GetExecutionContextSession()->services();
  services.add(ServiceKind::ExportProvider, std::make_unique<Exporter>());
  EXPECT_EQ(services.services(ServiceKind::ExportProvider).size(), 1u);
  EXPECT_TRUE(services.find(ServiceKind::ExportProvider, "PDF"));
  EXPECT_FALSE(services.find(ServiceKind::Print, "PDF"));
  const auto& languages = GetExecutionContextSession()->languages();
  EXPECT_NE(std::find(languages.begin(), languages.end(), "Neutral"), languages.end());
}

TEST(HostStrings, Conversions) {
  EXPECT_EQ(stringWithPMString(pmString("Gru\xCC\x88\xC3\x9F"
                                        "e")),
            "Grüße");
  EXPECT_FALSE(stringWithPMString(PMString("\xFF")));
  EXPECT_TRUE(pmStringWithUTF8String(nullptr).empty());
  EXPECT_FALSE(pathWithPMString(PMString()));
  EXPECT_EQ(pathWithPMString(pmString("/tmp/a b")), "/tmp/a b");
  EXPECT_EQ(pathWithIDFile(IDFileWithPath("/tmp/x/../y.indd")), "/tmp/y.indd");
  EXPECT_TRUE(IDFileWithPath("").empty());
  EXPECT_EQ(hfsPathWithPMString(pmString("Volume:Ordner")), "Volume:Ordner");
  const auto hfs = hfsPathWithPMString(pmString("/tmp/a"));
  ASSERT_TRUE(hfs);
  EXPECT_EQ(pathWithPMString(pmString(*hfs)), "/tmp/a");
  const NSRect mm = nsRectWithPMRect({72, 0, 144, 72}, 1);
  EXPECT_FLOAT_EQ(mm.x, 25.4f);
  EXPECT_FLOAT_EQ(mm.width, 25.4f);
  EXPECT_FLOAT_EQ(nsRectWithPMRect({72, 0, 144, 72}, 2).x, 72.0f);
}

}  // namespace
}  // namespace korvex
