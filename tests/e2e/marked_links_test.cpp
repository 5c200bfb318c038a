// "collect marked links" through the korvex executable: a document linking
// real pictures (vips) whose IPTC Source the exiv2 tool sets, run twice into
// the same folder, its PDF checked by qpdf, pdfinfo and pdftotext.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "support/run_process.h"
#include "support/scoped_env.h"
#include "support/temp_home.h"
#include "support/tools.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using test::tool;

std::set<std::string> entries(const fs::path& folder) {
  std::set<std::string> names;
  if (fs::is_directory(folder))
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

class MarkedLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"vips", "exiv2", "qpdf", "pdfinfo", "pdftotext"})
      if (tool(name).empty()) GTEST_SKIP() << name << " is not installed";
  }

  // A picture made by vips, with an IPTC Source when one is given.
  void picture(const fs::path& path, const std::string& source = "") {
    fs::create_directories(path.parent_path());
    auto made = test::runProcess(tool("vips"), {"black", path.string(), "8", "8"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    if (source.empty()) return;
    // Quoted, so that exiv2 keeps a trailing blank.
    made = test::runProcess(tool("exiv2"),
                            {"-Mset Iptc.Application2.Source String \"" + source + "\"", path.string()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
  }

  static std::string frame(int index, const std::string& link) {
    const std::string top = std::to_string(40 + 60 * index), bottom = std::to_string(90 + 60 * index);
    return R"({"layer": "BILDER", "bounds": [300, )" + top + ", 350, " + bottom +
           R"(], "content": {"link": {"path": ")" + link + R"("}}})";
  }

  // Text on "TEXT", on "Grauebene" and on "FR", a CMYK red area, and the pictures.
  static std::string document(const std::vector<std::string>& links) {
    std::string items =
        R"({"layer": "TEXT", "bounds": [36, 36, 250, 80], "text": {"story": "visible"}},
           {"layer": "Grauebene", "bounds": [36, 100, 250, 140], "text": {"story": "grey"}},
           {"layer": "FR", "bounds": [36, 160, 250, 200], "text": {"story": "fr"}},
           {"layer": "TEXT", "bounds": [36, 220, 250, 260], "fill": "Rot"})";
    for (std::size_t i = 0; i < links.size(); ++i) items += ", " + frame(static_cast<int>(i), links[i]);
    return R"({"format": "korvex-document", "version": 1,
      "layers": [{"name": "TEXT"}, {"name": "BILDER"}, {"name": "Grauebene"}, {"name": "FR"}],
      "swatches": [{"name": "Rot", "kind": "process", "space": "CMYK", "values": [0, 1, 1, 0]}],
      "stories": [{"id": "visible", "text": "Sichtbar"}, {"id": "grey", "text": "Grauebenentext"},
                  {"id": "fr", "text": "Freisteller"}],
      "spreads": [{"pages": [{"name": "1"}], "items": [)" +
           items + "]}]}";
  }

  test::ProcessResult collect(const fs::path& doc, const std::vector<std::string>& more) {
    std::vector<std::string> args{"command", "collect marked links", doc.string()};
    args.insert(args.end(), more.begin(), more.end());
    return test::runProcess(KORVEX_EXE, args);
  }
  std::string log() const { return test::readFile(home.documents() / "Tamrisk" / "Korvex.txt"); }

  test::TempHome home;
};

TEST_F(MarkedLinks, BuildsTheJobFolderTwiceKeepingWorkAndTheDocumentsOwnPictures) {
  // Run in English: the German style name must still be found.
  test::ScopedEnv language("LANGUAGE", nullptr), all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr),
      lang("LANG", "en_GB.UTF-8");
  const fs::path work = home.scratch() / "Auftrag";
  const fs::path out = home.scratch() / "Retusche";
  const fs::path job = out / "Katalog";
  const fs::path corrected = job / "Uebernahmebilder/Auskorrigiert";
  const fs::path uncorrected = job / "Neubilder/Unkorrigiert";
  picture(work / "Bilder/mixed.jpg", "AusKorrigiert");
  picture(work / "Bilder/plain.tif", "unkorrigiert");
  picture(work / "Bilder/blank.jpg", "auskorrigiert ");  // trailing blank: not marked
  picture(work / "Bilder/none.jpg");
  // Originals linked from the folders the command empties, marked and not.
  picture(uncorrected / "original.jpg", "unkorrigiert");
  picture(corrected / "retusche.tif");
  const fs::path doc = work / "Katalog.indd";
  test::writeFile(doc, document({"Bilder/mixed.jpg", "Bilder/plain.tif", "Bilder/blank.jpg",
                                 "Bilder/none.jpg", uncorrected.string() + "/original.jpg",
                                 corrected.string() + "/retusche.tif", "Bilder/gone.jpg"}));
  // Leftovers of an earlier job in the emptied folders.
  test::writeFile(uncorrected / "alt.jpg", "x");
  test::writeFile(corrected / "Ordner/alt.tif", "x");

  // Cancelled chooser: nothing is made.
  auto r = collect(doc, {});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(fs::exists(job / "Katalog.indd"));

  r = collect(doc, {"--choose", out.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << log();
  EXPECT_EQ(entries(job), (std::set<std::string>{"Katalog.indd", "Katalog.txt", "Katalog.pdf", "DSM",
                                                 "Umfaerber", "Neubilder", "Uebernahmebilder"}));
  EXPECT_EQ(test::readFile(job / "Katalog.txt"), "");
  EXPECT_EQ(entries(job / "Neubilder"), (std::set<std::string>{"Bearbeitet", "Unkorrigiert"}));
  EXPECT_EQ(entries(job / "Uebernahmebilder"), (std::set<std::string>{"Retuschen", "Auskorrigiert"}));
  EXPECT_EQ(entries(corrected), (std::set<std::string>{"mixed.jpg", "retusche.tif"})) << log();
  EXPECT_EQ(entries(uncorrected), (std::set<std::string>{"plain.tif", "original.jpg"})) << log();
  EXPECT_NE(log().find("Bilder/gone.jpg"), std::string::npos) << "an unreadable picture is logged\n" << log();

  // The PDF: sound, without the grey and FR layers, in the smallest style (colours as RGB).
  const fs::path pdf = job / "Katalog.pdf";
  auto checked = test::runProcess(tool("qpdf"), {"--check", pdf.string()});
  EXPECT_EQ(checked.exitCode, 0) << checked.out << checked.err;
  EXPECT_EQ(test::runProcess(tool("pdfinfo"), {pdf.string()}).exitCode, 0);
  const std::string text = test::runProcess(tool("pdftotext"), {pdf.string(), "-"}).out;
  EXPECT_NE(text.find("Sichtbar"), std::string::npos) << text;
  EXPECT_EQ(text.find("Grauebenentext"), std::string::npos) << text;
  EXPECT_EQ(text.find("Freisteller"), std::string::npos) << text;
  const std::string plain =
      test::runProcess(tool("qpdf"), {"--qdf", "--object-streams=disable", pdf.string(), "-"}).out;
  EXPECT_NE(plain.find("1 0 0 rg"), std::string::npos) << "red converted to RGB";
  EXPECT_EQ(plain.find("0 1 1 0 k"), std::string::npos) << "no CMYK red left";
  // The document keeps its two layers switched off for printing.
  std::map<std::string, bool> printable;
  const nlohmann::json saved = nlohmann::json::parse(test::readFile(doc));
  for (const auto& layer : saved.at("layers"))
    printable[layer.at("name").get<std::string>()] = layer.value("printable", true);
  EXPECT_EQ(printable, (std::map<std::string, bool>{
                           {"TEXT", true}, {"BILDER", true}, {"Grauebene", false}, {"FR", false}}));

  // Work done between the runs is kept; the marked folders are filled afresh.
  test::writeFile(job / "Neubilder/Bearbeitet/done.tif", "work");
  test::writeFile(job / "Uebernahmebilder/Retuschen/retusche.psd", "work");
  test::writeFile(job / "Katalog.txt", "Notizen");
  test::writeFile(corrected / "stray.jpg", "x");
  fs::remove(corrected / "mixed.jpg");
  r = collect(doc, {"--choose", out.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << log();
  EXPECT_EQ(test::readFile(job / "Neubilder/Bearbeitet/done.tif"), "work");
  EXPECT_EQ(test::readFile(job / "Uebernahmebilder/Retuschen/retusche.psd"), "work");
  EXPECT_EQ(test::readFile(job / "Katalog.txt"), "Notizen");
  EXPECT_EQ(entries(corrected), (std::set<std::string>{"mixed.jpg", "retusche.tif"}));
  EXPECT_EQ(entries(uncorrected), (std::set<std::string>{"plain.tif", "original.jpg"}));
  EXPECT_EQ(test::runProcess(tool("qpdf"), {"--check", pdf.string()}).exitCode, 0);

  // The job folder's own copy of the document, collected into the same place: it stays itself.
  const fs::path again = job / "Katalog.indd";
  const std::uintmax_t size = fs::file_size(again);
  r = collect(again, {"--choose", out.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << log();
  EXPECT_GE(fs::file_size(again), size / 2);
  EXPECT_EQ(test::runProcess(KORVEX_EXE, {"doc", "info", again.string()}).exitCode, 0);
}

}  // namespace
}  // namespace korvex
