#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <utility>
#include <string>
#include <thread>
#include <vector>

#include "foundation/hfs_path.h"
#include "support/plist_text.h"
#include "support/run_process.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using test::str;
using test::num;
using test::dict;
using test::plist;

using test::replaceAll;

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Each test works on fresh copies of the example documents and their pictures.
class ActionsRun : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path examples = fs::path(KORVEX_SOURCE_DIR) / "examples";
    fs::create_directories(jobs());
    fs::copy(examples / "Links", jobs() / "Links", fs::copy_options::recursive);
    for (const char* name : {"Flyer Sommerfest.indd", "Katalog Seite 12.indd"})
      fs::copy_file(examples / name, jobs() / name);
    // The host's built-in "[Basic]" fails the catalogue for its missing picture;
    // the check before every action uses this profile instead.
    test::writeFile(home.dataHome() / "korvex-host/preflight-profiles/NoLinks.json",
                    R"({"missingLinks": false})");
    options(num("modifiedLinks", 1) + str("preflight", "NoLinks"));
  }

  fs::path jobs() const { return home.scratch() / "Jobs"; }
  std::string doc(const std::string& name) const { return (jobs() / name).string(); }
  void options(const std::string& body) const {
    test::writeFile(home.dataHome() / "Tamrisk/Korvex.plist", plist(dict("<key>Options</key>" + dict(body))));
  }
  test::ProcessResult run(const std::vector<std::string>& actions, const std::vector<std::string>& docs) {
    std::string body;
    for (const std::string& action : actions) body += dict(action);
    const fs::path chain = home.scratch() / ("chain" + std::to_string(++chains_) + ".plist");
    test::writeFile(chain, plist("<array>" + body + "</array>"));
    std::vector<std::string> args{"run", "--chain", chain.string()};
    args.insert(args.end(), docs.begin(), docs.end());
    return test::runProcess(KORVEX_EXE, args);
  }
  std::string log() const { return test::readFile(home.documents() / "Tamrisk" / "Korvex.txt"); }
  bool logHas(const std::string& line) const {
    return log().find("Korvex::" + line + "\n") != std::string::npos;
  }

  test::TempHome home;
  int chains_ = 0;
};

const std::string kPdf = str("Action", "PDF") + str("Style", "[High Quality Print]");

TEST_F(ActionsRun, PdfNextToTheDocumentAndIntoAFolder) {
  const std::string before = test::readFile(doc("Flyer Sommerfest.indd"));
  const fs::path out = home.scratch() / "Out";
  fs::create_directories(out);
  auto result = run({kPdf, kPdf + str("Folder", out.string())}, {doc("Flyer Sommerfest.indd")});
  EXPECT_EQ(result.exitCode, 0) << result.err << log();
  EXPECT_EQ(test::readFile(jobs() / "Flyer Sommerfest.pdf").rfind("%PDF", 0), 0u);
  EXPECT_EQ(test::readFile(out / "Flyer Sommerfest.pdf").rfind("%PDF", 0), 0u);
  // Exporting changes nothing: the document was not saved.
  EXPECT_EQ(test::readFile(doc("Flyer Sommerfest.indd")), before);
  EXPECT_EQ(result.err.find("the log reports problems"), std::string::npos) << log();
}

TEST_F(ActionsRun, UnknownStyleOrFailedExportStopsTheRun) {
  fs::create_directories(jobs() / "Flyer Sommerfest.pdf");  // a folder in the PDF's place
  auto result = run({kPdf}, {doc("Flyer Sommerfest.indd"), doc("Katalog Seite 12.indd")});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(logHas("\t####\t" + doc("Flyer Sommerfest.pdf") + ": is a folder, not a file")) << log();
  EXPECT_TRUE(fs::is_directory(jobs() / "Flyer Sommerfest.pdf"));
  EXPECT_FALSE(fs::exists(jobs() / "Katalog Seite 12.pdf"));

  // A failed export leaves the previous PDF as it was.
  test::writeFile(jobs() / "Leer.indd",
                  R"({"format": "korvex-document", "version": 1, "pageSize": [200, 300], "spreads": []})");
  test::writeFile(jobs() / "Leer.pdf", "previous");
  result = run({kPdf}, {doc("Leer.indd")});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(logHas("\t####\tPDF export failed: " + doc("Leer.pdf"))) << log();
  EXPECT_EQ(test::readFile(jobs() / "Leer.pdf"), "previous");

  result = run({str("Action", "PDF") + str("Style", "Nope")}, {doc("Katalog Seite 12.indd")});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(logHas("\t####\tinvalid PDF Style: Nope")) << log();
}

// Outputs named after a document never replace a document or anything that is not a file.
TEST_F(ActionsRun, OutputThatIsADocumentOrNotAFileIsRefused) {
  test::writeFile(home.dataHome() / "korvex-host/print-styles/Datei.json", R"({"destination": 1})");
  const std::string flyer = test::readFile(doc("Flyer Sommerfest.indd"));
  for (const auto& [name, action] : {std::pair<std::string, std::string>{"Job.pdf", kPdf},
                                     {"Job.ps", str("Action", "Print") + str("Style", "Datei")}}) {
    test::writeFile(jobs() / name, flyer);
    auto result = run({action}, {doc(name)});
    EXPECT_EQ(result.exitCode, 1) << name;
    EXPECT_TRUE(logHas("\t####\t" + doc(name) + ": is the open document \"" + name + "\", not replaced"))
        << log();
    EXPECT_EQ(test::readFile(jobs() / name), flyer) << name;
  }

  ASSERT_EQ(::mkfifo((jobs() / "Katalog Seite 12.pdf").c_str(), 0600), 0);
  auto result = run({kPdf}, {doc("Katalog Seite 12.indd")});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(logHas("\t####\t" + doc("Katalog Seite 12.pdf") + ": is a fifo, not a file")) << log();
  EXPECT_TRUE(fs::is_fifo(jobs() / "Katalog Seite 12.pdf"));
}

// Two documents of one name exported into one folder: the second's PDF takes the name, the
// first's is kept in the Trash; an unchanged PDF exported again trashes nothing.
TEST_F(ActionsRun, ReplacedPdfGoesToTheTrash) {
  const fs::path out = home.scratch() / "PDF";
  fs::create_directories(out);
  for (const char* folder : {"A", "B"}) fs::create_directories(jobs() / folder);
  fs::copy_file(jobs() / "Flyer Sommerfest.indd", jobs() / "A" / "Job.indd");
  fs::copy_file(jobs() / "Katalog Seite 12.indd", jobs() / "B" / "Job.indd");
  const std::string toOut = kPdf + str("Folder", out.string());
  auto result = run({toOut}, {doc("A/Job.indd")});
  ASSERT_EQ(result.exitCode, 0) << result.err << log();
  const std::string first = test::readFile(out / "Job.pdf");

  result = run({toOut}, {doc("B/Job.indd"), doc("B/Job.indd")});
  ASSERT_EQ(result.exitCode, 0) << result.err << log();
  const fs::path trash = home.dataHome() / "Trash" / "files";
  EXPECT_EQ(test::readFile(trash / "Job.pdf"), first);
  EXPECT_NE(test::readFile(out / "Job.pdf"), first);
  EXPECT_EQ(test::readFile(out / "Job.pdf").rfind("%PDF", 0), 0u);
  EXPECT_EQ(count(log(), "Korvex::\tmoved to the Trash: " + (out / "Job.pdf").string() + "\n"), 1u) << log();
  EXPECT_EQ(std::distance(fs::directory_iterator(trash), fs::directory_iterator()), 1);
  // Nothing of the staging is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
}

TEST_F(ActionsRun, ShowOpensThePdfThroughTheWorkspace) {
  // A stand-in for xdg-open that only writes down what it was asked to open.
  const fs::path bin = home.scratch() / "bin";
  const fs::path record = home.scratch() / "opened.txt";
  test::writeFile(bin / "xdg-open", "#!/bin/sh\necho \"$1\" >> '" + record.string() + "'\n");
  // No default application is known, so none is started but xdg-open.
  test::writeFile(bin / "xdg-mime", "#!/bin/sh\nexit 1\n");
  fs::permissions(bin / "xdg-open", fs::perms::owner_all);
  fs::permissions(bin / "xdg-mime", fs::perms::owner_all);
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
  auto result = run({kPdf + num("Show", 1)}, {doc("Flyer Sommerfest.indd")});
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  for (int i = 0; i < 100 && !fs::exists(record); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(test::readFile(record), doc("Flyer Sommerfest.pdf") + "\n");
}

TEST_F(ActionsRun, PrintToFileGivesPostScriptNextToTheDocument) {
  test::writeFile(home.dataHome() / "korvex-host/print-styles/Datei.json", R"({"destination": 1})");
  auto result = run({str("Action", "Print") + str("Style", "Datei")}, {doc("Flyer Sommerfest.indd")});
  EXPECT_EQ(result.exitCode, 0) << result.err << log();
  EXPECT_EQ(test::readFile(jobs() / "Flyer Sommerfest.ps").rfind("%!PS", 0), 0u);
  // The host is handed the file's colon form.
  EXPECT_TRUE(logHas(*hfsPathWithString(doc("Flyer Sommerfest.ps")))) << log();

  result = run({str("Action", "Print") + str("Style", "Fehlt"), kPdf}, {doc("Flyer Sommerfest.indd")});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(logHas("\t####\tinvalid print style: Fehlt")) << log();
  EXPECT_NE(result.err.find("the log reports problems"), std::string::npos);
  EXPECT_TRUE(fs::exists(jobs() / "Flyer Sommerfest.pdf"));  // the chain went on

  // No extension: ".ps" is added to the file name, not cut at a dot of a folder's name.
  fs::create_directories(jobs() / "job.v2");
  fs::copy(jobs() / "Links", jobs() / "job.v2" / "Links", fs::copy_options::recursive);
  fs::copy_file(jobs() / "Flyer Sommerfest.indd", jobs() / "job.v2" / "Plakat");
  result = run({str("Action", "Print") + str("Style", "Datei")}, {doc("job.v2/Plakat")});
  EXPECT_EQ(result.exitCode, 0) << result.err << log();
  EXPECT_EQ(test::readFile(jobs() / "job.v2" / "Plakat.ps").rfind("%!PS", 0), 0u);
  EXPECT_FALSE(fs::exists(jobs() / "job.ps"));
}

TEST_F(ActionsRun, CollectDeliversAndCopiesOnlyChangesTheSecondTime) {
  const fs::path out = home.scratch() / "Auslieferung";
  const std::string collect = str("Action", "Collect") + str("Folder", out.string()) + num("SubFolders", 1) +
                              num("Docs", 1) + num("Picts", 1) + num("Fonts", 1);
  auto result = run({collect}, {doc("Flyer Sommerfest.indd")});
  EXPECT_EQ(result.exitCode, 0) << result.err << log();
  const fs::path delivery = out / "Flyer Sommerfest";
  EXPECT_TRUE(fs::is_regular_file(delivery / "Flyer Sommerfest.indd"));
  EXPECT_TRUE(fs::is_regular_file(delivery / "images" / "logo-grau.png"));
  EXPECT_TRUE(fs::is_regular_file(delivery / "images" / "sommerfest-foto.png"));
  EXPECT_FALSE(fs::is_empty(delivery / "fonts"));

  // Same date as the source: counted as collected, left alone. Another date: copied again.
  const fs::path logo = delivery / "images" / "logo-grau.png";
  const fs::path photo = delivery / "images" / "sommerfest-foto.png";
  test::writeFile(logo, "kept");
  fs::last_write_time(logo, fs::last_write_time(jobs() / "Links" / "logo-grau.png"));
  test::writeFile(photo, "replaced");
  result = run({collect}, {doc("Flyer Sommerfest.indd")});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(test::readFile(logo), "kept");
  EXPECT_EQ(test::readFile(photo), test::readFile(jobs() / "Links" / "sommerfest-foto.png"));

  // A destination that can't be made fails the chain.
  test::writeFile(home.scratch() / "file", "x");
  result = run({str("Action", "Collect") + str("Folder", (home.scratch() / "file").string())},
               {doc("Flyer Sommerfest.indd")});
  EXPECT_EQ(result.exitCode, 1);
}

// A delivery holds real files and stays inside its folder, whatever the names and links.
TEST_F(ActionsRun, CollectDeliversRealFilesOnlyInsideTheDestination) {
  const fs::path out = home.scratch() / "Auslieferung";
  const std::string collect = str("Action", "Collect") + str("Folder", out.string()) + num("SubFolders", 1) +
                              num("Docs", 1) + num("Fonts", 0);
  // The logo is a link to a picture elsewhere, the photo a link to a whole folder.
  const fs::path elsewhere = home.scratch() / "elsewhere";
  fs::create_directories(elsewhere / "tree");
  test::writeFile(elsewhere / "tree" / "big.bin", "not to be collected");
  fs::rename(jobs() / "Links" / "logo-grau.png", elsewhere / "logo.png");
  fs::create_symlink(elsewhere / "logo.png", jobs() / "Links" / "logo-grau.png");
  fs::remove(jobs() / "Links" / "sommerfest-foto.png");
  fs::create_directory_symlink(elsewhere / "tree", jobs() / "Links" / "sommerfest-foto.png");
  // "...indd" would name its folder ".."; a name that is not UTF-8 stays as it is.
  fs::copy_file(jobs() / "Flyer Sommerfest.indd", jobs() / "...indd");
  const std::string bytes = "Fl\xFFyer";
  fs::copy_file(jobs() / "Flyer Sommerfest.indd", jobs() / (bytes + ".indd"));
  // An older, different logo already delivered.
  test::writeFile(out / "...indd" / "images" / "logo-grau.png", "older");

  auto result = run({collect}, {doc("...indd"), doc(bytes + ".indd")});
  EXPECT_EQ(result.exitCode, 0) << result.err << log();
  for (const auto& [name, folder] : {std::pair<std::string, std::string>{"...indd", "...indd"},
                                     {bytes + ".indd", bytes}}) {
    const fs::path delivery = out / folder;
    EXPECT_TRUE(fs::is_regular_file(delivery / name)) << name;
    const fs::path logo = delivery / "images" / "logo-grau.png";
    EXPECT_FALSE(fs::is_symlink(logo)) << name;
    EXPECT_EQ(test::readFile(logo), test::readFile(elsewhere / "logo.png")) << name;
    EXPECT_FALSE(fs::exists(delivery / "images" / "sommerfest-foto.png")) << name;
  }
  EXPECT_TRUE(logHas("\t\t#### " + doc("Links/sommerfest-foto.png") + ": is a folder, not copied")) << log();
  EXPECT_FALSE(fs::exists(home.scratch() / "images"));
  EXPECT_FALSE(fs::exists(out / "images"));
  EXPECT_EQ(test::readFile(home.dataHome() / "Trash" / "files" / "logo-grau.png"), "older");
}

class PreflightRun : public ActionsRun {
 protected:
  void SetUp() override {
    ActionsRun::SetUp();
    // The catalogue with its text layer named "Text".
    test::writeFile(jobs() / "Katalog Seite 12.indd",
                    replaceAll(test::readFile(jobs() / "Katalog Seite 12.indd"), "\"TEXT\"", "\"Text\""));
    test::writeFile(home.dataHome() / "korvex-host/pdf-styles/DuV.json", "{}");
    fs::create_directories(pdfs());
  }
  fs::path pdfs() const { return home.scratch() / "PDF"; }
  fs::path errors() const { return home.scratch() / "Fehler"; }
  std::string preflight(const std::string& profile) const {
    return str("Action", "Preflight") + str("PreflightProfile", profile) +
           str("ErrorFolder", errors().string()) + str("PDFPath", pdfs().string());
  }
};

// An older page PDF of the same name is another job's: it is kept in the Trash.
TEST_F(PreflightRun, CleanDocumentGivesTwoPagePdfs) {
  test::writeFile(pdfs() / "011-Seite-Katalog Seite 12.pdf", "an older job's PDF");
  auto result = run({preflight("NoLinks")}, {doc("Katalog Seite 12.indd")});
  EXPECT_EQ(result.exitCode, 0) << result.err << log();
  EXPECT_EQ(test::readFile(home.dataHome() / "Trash" / "files" / "011-Seite-Katalog Seite 12.pdf"),
            "an older job's PDF");
  EXPECT_TRUE(logHas("\tmoved to the Trash: " + (pdfs() / "011-Seite-Katalog Seite 12.pdf").string())) << log();
  EXPECT_EQ(test::readFile(pdfs() / "011-Seite-Katalog Seite 12.pdf").rfind("%PDF", 0), 0u);
  EXPECT_EQ(test::readFile(pdfs() / "012-Seite-Katalog Seite 12.pdf").rfind("%PDF", 0), 0u);
  EXPECT_TRUE(fs::exists(jobs() / "Katalog Seite 12.indd"));
  EXPECT_FALSE(fs::exists(errors()));
}

TEST_F(PreflightRun, FailingDocumentIsMovedIntoTheErrorFolder) {
  fs::create_directories(errors());
  auto result = run({preflight("[Basic]")}, {doc("Katalog Seite 12.indd"), doc("Flyer Sommerfest.indd")});
  EXPECT_EQ(result.exitCode, 0) << result.err << log();
  EXPECT_FALSE(fs::exists(jobs() / "Katalog Seite 12.indd"));
  EXPECT_TRUE(fs::is_regular_file(errors() / "Katalog Seite 12.indd"));
  EXPECT_TRUE(logHas("\t" + doc("Katalog Seite 12.indd") + " --> " + errors().string())) << log();
  EXPECT_TRUE(fs::is_empty(pdfs()));
  // The flyer has no "Text" layer: it is filed as well.
  EXPECT_TRUE(fs::is_regular_file(errors() / "Flyer Sommerfest.indd"));
}

TEST_F(ActionsRun, PreflightErrorsUnderTheDocumentsOwnProfileSkipEveryAction) {
  options(num("modifiedLinks", 1));  // "[Basic]": the catalogue misses a picture
  auto result = run({kPdf, kPdf}, {doc("Katalog Seite 12.indd"), doc("Flyer Sommerfest.indd")});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_FALSE(fs::exists(jobs() / "Katalog Seite 12.pdf"));
  EXPECT_TRUE(fs::exists(jobs() / "Flyer Sommerfest.pdf"));
  EXPECT_EQ(count(log(), "Korvex::\t\t####\tpreflight\n"), 2u) << log();
  EXPECT_NE(result.err.find("the log reports problems"), std::string::npos);
}

TEST_F(ActionsRun, JavaScriptWithoutAScriptFailsTheChain) {
  auto result = run({str("Action", "JSX") + str("Path", (home.scratch() / "none.jsx").string()), kPdf},
                    {doc("Flyer Sommerfest.indd")});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_FALSE(fs::exists(jobs() / "Flyer Sommerfest.pdf"));
}

// The flyer's logo changes on disk after it was placed.
class ModifiedLinkRun : public ActionsRun {
 protected:
  void SetUp() override {
    ActionsRun::SetUp();
    const fs::path logo = jobs() / "Links" / "logo-grau.png";
    const auto size = fs::file_size(logo);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::file_clock::to_sys(fs::last_write_time(logo)).time_since_epoch())
                        .count();
    const std::string flyer = replaceAll(
        test::readFile(jobs() / "Flyer Sommerfest.indd"), R"("link": {"path": "Links/logo-grau.png"})",
        R"("link": {"path": "Links/logo-grau.png", "size": )" + std::to_string(size) + R"(, "modified": )" +
            std::to_string(ms) + "}");
    test::writeFile(jobs() / "Flyer Sommerfest.indd", flyer);
    test::writeFile(logo, test::readFile(logo) + "changed");
    fs::last_write_time(logo, fs::last_write_time(logo) + std::chrono::seconds(5));
  }
};

TEST_F(ModifiedLinkRun, SkippedWithTwo) {
  options(num("modifiedLinks", 2) + str("preflight", "NoLinks"));
  const std::string before = test::readFile(doc("Flyer Sommerfest.indd"));
  auto result = run({kPdf, kPdf}, {doc("Flyer Sommerfest.indd"), doc("Katalog Seite 12.indd")});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_FALSE(fs::exists(jobs() / "Flyer Sommerfest.pdf"));
  EXPECT_TRUE(fs::exists(jobs() / "Katalog Seite 12.pdf"));  // the run went on
  EXPECT_EQ(count(log(), "Korvex::\t\t####\tmodified pictures\n"), 2u) << log();
  EXPECT_NE(result.err.find("the log reports problems"), std::string::npos);
  EXPECT_EQ(test::readFile(doc("Flyer Sommerfest.indd")), before);
}

TEST_F(ModifiedLinkRun, UpdatedWithThreeAndSavedWithFour) {
  const std::string before = test::readFile(doc("Flyer Sommerfest.indd"));
  const std::string newSize =
      "\"size\": " + std::to_string(fs::file_size(jobs() / "Links" / "logo-grau.png"));
  options(num("modifiedLinks", 3) + str("preflight", "NoLinks"));
  auto result = run({kPdf}, {doc("Flyer Sommerfest.indd")});
  EXPECT_EQ(result.exitCode, 0) << result.err << log();
  EXPECT_TRUE(fs::exists(jobs() / "Flyer Sommerfest.pdf"));
  EXPECT_FALSE(logHas("\t\t####\tmodified pictures"));
  EXPECT_EQ(test::readFile(doc("Flyer Sommerfest.indd")), before);  // updated, not saved

  fs::remove(jobs() / "Flyer Sommerfest.pdf");
  options(num("modifiedLinks", 4) + str("preflight", "NoLinks"));
  result = run({kPdf}, {doc("Flyer Sommerfest.indd")});
  EXPECT_EQ(result.exitCode, 0) << result.err << log();
  EXPECT_TRUE(fs::exists(jobs() / "Flyer Sommerfest.pdf"));
  EXPECT_NE(test::readFile(doc("Flyer Sommerfest.indd")).find(newSize), std::string::npos);
}

}  // namespace
}  // namespace korvex
