#include "actions/preflight_action.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "action_fixture.h"
#include "actions/pdf_action.h"
#include "docmodel/layers.h"
#include "host/layout.h"
#include "host/output/pdf_style.h"
#include "host/preflight/preflight_profile.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

using test::replaceAll;

class PreflightAction : public test::ActionTest {
 protected:
  void SetUp() override {
    ActionTest::SetUp();
    // The catalogue page with its text layer named "Text"; its one missing
    // picture fails "[Basic]" but not "NoLinks".
    test::writeFile(jobs() / "Katalog Seite 12.indd",
                    replaceAll(test::readFile(jobs() / "Katalog Seite 12.indd"), "\"TEXT\"", "\"Text\""));
    ASSERT_EQ(addUserPreflightProfile({.name = "NoLinks", .missingLinks = false}), kSuccess);
    ASSERT_EQ(addUserPdfStyle({.name = "DuV"}), kSuccess);
    fs::create_directories(pdfs());
  }
  fs::path pdfs() const { return home.scratch() / "PDF"; }
  DictPtr preflight(const std::optional<std::string>& profile) const {
    auto action = Dictionary::make();
    action->set("Action", "Preflight");
    if (profile) action->set("PreflightProfile", *profile);
    action->set("ErrorFolder", (home.scratch() / "Fehler").string());
    action->set("PDFPath", pdfs().string());
    return action;
  }
  static bool visible(IDocument* doc, const std::string& name) { return doc->findLayer(name)->IsVisible(); }
};

TEST_F(PreflightAction, PdfNamesFromTheDocumentName) {
  auto names = preflightPdfNames("Katalog Seite 12");
  ASSERT_TRUE(names);
  EXPECT_EQ(names->first, "011-Seite-Katalog Seite 12");
  EXPECT_EQ(names->second, "012-Seite-Katalog Seite 12");
  names = preflightPdfNames("Heft Teil zwei");
  ASSERT_TRUE(names);
  EXPECT_EQ(names->first, "-01-Teil-Heft Teil zwei");
  EXPECT_EQ(names->second, "000-Teil-Heft Teil zwei");
  EXPECT_EQ(preflightPdfNames("A B 7b")->second, "007-B-A B 7b");
  EXPECT_FALSE(preflightPdfNames("Katalog 12"));
}

TEST_F(PreflightAction, CleanDocumentGivesTwoPagePdfsAndStays) {
  IDocument* doc = open("Katalog Seite 12.indd");
  setDstFolder("/left/over");
  EXPECT_TRUE(doPreflight(doc, preflight("NoLinks")));
  EXPECT_EQ(getDstFolder(), std::nullopt);
  EXPECT_TRUE(fs::is_regular_file(pdfs() / "011-Seite-Katalog Seite 12.pdf"));
  EXPECT_TRUE(fs::is_regular_file(pdfs() / "012-Seite-Katalog Seite 12.pdf"));
  EXPECT_TRUE(logHas("\tsaveAsPDF: " + (pdfs() / "011-Seite-Katalog Seite 12.pdf").string()));
  // Only the text layer is left visible, and nothing locked.
  EXPECT_TRUE(visible(doc, "Text"));
  EXPECT_FALSE(visible(doc, "BILDER"));
  EXPECT_FALSE(visible(doc, "Hintergrund"));
  EXPECT_FALSE(doc->findLayer("Hintergrund")->IsLocked());
}

TEST_F(PreflightAction, ExportProblemsAreLoggedAndTheDocumentStays) {
  IDocument* doc = open("Katalog Seite 12.indd");
  auto action = preflight("NoLinks");
  action->set("PDFPath", (jobs() / "Katalog Seite 12.indd").string());
  EXPECT_TRUE(doPreflight(doc, action));
  EXPECT_TRUE(
      logHas("\t####\tUngültiger Pfad: " + (jobs() / "Katalog Seite 12.indd").string() + " (PDFPath)"));
  EXPECT_TRUE(logHas("\t####\tPDF Exportpfade: (null)"));

  action = preflight("NoLinks");
  action->set("PDFStyle", "Gibt es nicht");
  EXPECT_TRUE(doPreflight(doc, action));
  EXPECT_TRUE(logHas("\t####\tUngültiger Exportstil (Gibt es nicht)"));
  EXPECT_EQ(getDstFolder(), std::nullopt);
  EXPECT_TRUE(fs::is_empty(pdfs()));

  // Without a profile the document is filed as failing.
  EXPECT_TRUE(doPreflight(doc, preflight(std::nullopt)));
  EXPECT_TRUE(logHas("\t####\tKein Preflight Profil definiert!"));
  EXPECT_EQ(getDstFolder(), (home.scratch() / "Fehler").string());
}

TEST_F(PreflightAction, CountingErrors) {
  IDocument* doc = open("Katalog Seite 12.indd");
  EXPECT_TRUE(countPreflightErrors(doc, ""));  // its own profile: "[Basic]"
  EXPECT_FALSE(countPreflightErrors(doc, "NoLinks"));
  EXPECT_FALSE(countPreflightErrors(doc, ""));  // the profile stays with the document
  EXPECT_FALSE(countPreflightErrors(doc, "Unbekannt"));
  EXPECT_TRUE(logHas("\t####\tInvalid Preflight Profile (Unbekannt)"));
  EXPECT_TRUE(countPreflightErrors(doc, "[Basic]"));

  const auto names = preflightNames();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], (std::pair<std::string, std::string>{"[Basic]", "[Basic]"}));
  EXPECT_EQ(names[1].first, "NoLinks");
}

}  // namespace
}  // namespace korvex
