#include "actions/pdf_action.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "action_fixture.h"
#include "docmodel/my_doc.h"
#include "foundation/files.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

class PdfAction : public test::ActionTest {
 protected:
  static DictPtr pdf(const std::optional<std::string>& style, const std::optional<std::string>& folder = {},
                     int show = 0) {
    auto action = Dictionary::make();
    action->set("Action", "PDF");
    if (style) action->set("Style", *style);
    if (folder) action->set("Folder", *folder);
    if (show) action->set("Show", show);
    return action;
  }
  static constexpr const char* kStyle = "[High Quality Print]";
};

TEST_F(PdfAction, NextToTheDocumentOrIntoAnExistingFolder) {
  MyDoc doc(open("Flyer Sommerfest.indd"));
  const fs::path next = jobs() / "Flyer Sommerfest.pdf";
  EXPECT_TRUE(doPDF(doc, pdf(kStyle)));
  EXPECT_TRUE(fs::is_regular_file(next));

  // A folder that is a file, or that does not exist, is ignored.
  fs::remove(next);
  test::writeFile(home.scratch() / "plain-file", "x");
  EXPECT_TRUE(doPDF(doc, pdf(kStyle, (home.scratch() / "plain-file").string())));
  EXPECT_TRUE(doPDF(doc, pdf(kStyle, (home.scratch() / "nowhere").string())));
  EXPECT_TRUE(fs::is_regular_file(next));
  EXPECT_FALSE(fs::exists(home.scratch() / "nowhere"));

  fs::create_directories(home.scratch() / "Out");
  EXPECT_TRUE(doPDF(doc, pdf(kStyle, (home.scratch() / "Out").string())));
  EXPECT_TRUE(fs::is_regular_file(home.scratch() / "Out" / "Flyer Sommerfest.pdf"));
  EXPECT_TRUE(workspace().requests().empty());
  EXPECT_FALSE(getShowLog());
}

TEST_F(PdfAction, UnknownStyleFailsWithoutAFile) {
  MyDoc doc(open("Flyer Sommerfest.indd"));
  EXPECT_FALSE(doPDF(doc, pdf("[high quality print]")));
  EXPECT_FALSE(doPDF(doc, pdf(std::nullopt)));
  EXPECT_TRUE(logHas("\t####\tinvalid PDF Style: [high quality print]"));
  EXPECT_TRUE(logHas("\t####\tinvalid PDF Style: (null)"));
  EXPECT_FALSE(fs::exists(jobs() / "Flyer Sommerfest.pdf"));
}

TEST_F(PdfAction, FailedExportFailsTheActionAndFlagsTheLog) {
  MyDoc doc(open("Flyer Sommerfest.indd"));
  // A folder where the PDF should go is refused, never replaced by a file.
  fs::create_directories(jobs() / "Flyer Sommerfest.pdf");
  EXPECT_FALSE(doPDF(doc, pdf(kStyle, std::nullopt, 1)));
  EXPECT_TRUE(logHas("\t####\t" + (jobs() / "Flyer Sommerfest.pdf").string() + ": is a folder, not a file"));
  EXPECT_TRUE(getShowLog());
  EXPECT_TRUE(workspace().requests().empty());  // nothing to show
}

TEST_F(PdfAction, ModifiedFlagIsKept) {
  MyDoc doc(open("Flyer Sommerfest.indd"));
  ASSERT_FALSE(doc.database()->IsModified());
  EXPECT_TRUE(doPDF(doc, pdf(kStyle)));
  EXPECT_FALSE(doc.database()->IsModified());
  doc.setModified(true);
  EXPECT_TRUE(doPDF(doc, pdf(kStyle)));
  EXPECT_TRUE(doc.database()->IsModified());
  // An unknown style leaves it as it was, too.
  doc.setModified(false);
  EXPECT_FALSE(doPDF(doc, pdf("nope")));
  EXPECT_FALSE(doc.database()->IsModified());
}

TEST_F(PdfAction, StyleListsAndLookups) {
  PdfExportStyle lower{.name = "duv"};
  PdfExportStyle upper{.name = "DuV", .exportSpreads = true};
  ASSERT_EQ(addUserPdfStyle(lower), kSuccess);
  ASSERT_EQ(addUserPdfStyle(upper), kSuccess);
  ASSERT_TRUE(getPDFStyle("DuV"));
  EXPECT_TRUE(getPDFStyle("DuV")->exportSpreads);
  EXPECT_FALSE(getPDFStyle("DUV"));
  EXPECT_FALSE(getPDFStyle(std::nullopt));
  EXPECT_TRUE(pdfStyleIsSpreads("DuV"));
  EXPECT_FALSE(pdfStyleIsSpreads("duv"));
  EXPECT_FALSE(pdfStyleIsSpreads("none"));

  const std::vector<std::string> names = pdfStyles({"[Press Quality]"});
  auto at = [&](const std::string& name) {
    return std::find(names.begin(), names.end(), name) - names.begin();
  };
  EXPECT_EQ(std::count(names.begin(), names.end(), "[Press Quality]"), 0);
  EXPECT_LT(at("[High Quality Print]"), at("[Smallest File Size]"));
  EXPECT_LT(at("[Smallest File Size]"), at("duv"));  // "[" sorts before letters
  EXPECT_EQ(std::abs(at("duv") - at("DuV")), 1);     // both kept, side by side
  EXPECT_LT(at("DuV"), static_cast<long>(names.size()));

  int seen = 0;
  EXPECT_FALSE(
      EnumPDFStyles([](const std::string&, void* data) { return ++*static_cast<int*>(data) < 2; }, &seen));
  EXPECT_EQ(seen, 2);
}

TEST_F(PdfAction, PageExportsOnePageOrFails) {
  MyDoc doc(open("Katalog Seite 12.indd"));
  const std::string target = (jobs() / "page.pdf").string();
  EXPECT_EQ(saveAsPDF(doc, std::nullopt, getPDFStyle(kStyle), 0, 2, 1), -1);
  EXPECT_TRUE(logHas("\t####\tpath = NULL!"));
  EXPECT_EQ(saveAsPDF(doc, target, std::string("no such style"), 0, 2, 1), -1);
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(saveAsPDF(doc, target, std::string(kStyle), 1, 2, 1), kSuccess);
  const std::string bytes = test::readFile(target);
  EXPECT_EQ(bytes.rfind("%PDF", 0), 0u);
  // A page that isn't there: nothing to export, the host's error is logged.
  EXPECT_NE(saveAsPDF(doc, target, std::string(kStyle), 7, 2, 1), kSuccess);
  EXPECT_NE(logText().find("\t####\terr: "), std::string::npos);
}

}  // namespace
}  // namespace korvex
