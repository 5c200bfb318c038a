#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/plist_text.h"
#include "support/run_process.h"
#include "support/temp_home.h"
#include "support/tools.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using test::tool;
using test::str;
using test::plist;

void make(const std::vector<std::string>& args) {
  const auto r = test::runProcess(tool(args[0]), {args.begin() + 1, args.end()});
  ASSERT_EQ(r.exitCode, 0) << args[0] << " " << args.back() << ": " << r.err;
}

std::string frame(double top, const std::string& link) {
  const std::string t = std::to_string(top), b = std::to_string(top + 50);
  return R"({"kind": "rectangle", "bounds": [0, )" + t + ", 50, " + b + R"(], "content": {"link": {"path": ")" +
         link + R"("}}})";
}

// A document of picture frames, one per link path (relative to the document).
std::string document(const std::vector<std::string>& links) {
  std::string items;
  for (std::size_t i = 0; i < links.size(); ++i) items += (i ? ", " : "") + frame(60.0 * double(i), links[i]);
  return R"({"format": "korvex-document", "version": 1, "spreads": [{"pages": [{"name": "1"}], "items": [)" + items +
         "]}]}";
}

class PictureLinks : public ::testing::Test {
 protected:
  test::ProcessResult run(const std::vector<std::string>& actions, const std::vector<std::string>& docs) {
    std::string body;
    for (const std::string& action : actions) body += "<dict>" + action + "</dict>";
    const fs::path chain = home.scratch() / ("chain" + std::to_string(++chains_) + ".plist");
    test::writeFile(chain, plist("<array>" + body + "</array>"));
    std::vector<std::string> args{"run", "--chain", chain.string()};
    args.insert(args.end(), docs.begin(), docs.end());
    return test::runProcess(KORVEX_EXE, args);
  }
  std::string log() const { return test::readFile(home.documents() / "Tamrisk" / "Korvex.txt"); }
  bool logHas(const std::string& line) const { return log().find("Korvex::" + line + "\n") != std::string::npos; }
  std::string info(const fs::path& doc) const { return test::runProcess(KORVEX_EXE, {"doc", "info", doc.string()}).out; }
  // A small grey picture made by libvips.
  void picture(const fs::path& path, int size = 8) {
    fs::create_directories(path.parent_path());
    make({"vips", "black", path.string(), std::to_string(size), std::to_string(size)});
  }

  test::TempHome home;
  int chains_ = 0;
};

TEST_F(PictureLinks, CollectPicturesCopiesByContainmentAndListsTheMissing) {
  const fs::path job = home.scratch() / "Job";
  const fs::path src = home.scratch() / "Quelle";
  const fs::path out = src / "Lieferung";  // inside the source tree: its copies are never found again
  for (const char* name : {"a.png", "b.png", "c.png", "d.png"}) picture(job / name);
  test::writeFile(job / "doc.indd", document({"a.png", "b.png", "a.png", "c.png", "d.png"}));
  picture(src / "a.png");
  picture(src / "sub/a.png");       // found twice: the second copy is a_2.png
  fs::copy_file(src / "a.png", src / "olda.png.bak");  // contains "a.png"
  picture(src / ".hidden/a.png");   // hidden: not in the index
  picture(src / "sub/.a.png");      // hidden
  fs::create_directories(out);
  const std::string collect =
      str("Action", "CollectPictures") + str("SrcFolder", src.string()) + str("DstFolder", out.string());

  auto r = run({collect}, {(job / "doc.indd").string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << log();
  const fs::path target = out / "doc";
  EXPECT_TRUE(fs::exists(target / "doc.indd"));
  // "a.png" is placed twice and found three times each time.
  for (const char* name : {"a.png", "a_2.png", "olda.png.bak", "a_3.png", "a_4.png", "olda.png_2.bak"})
    EXPECT_TRUE(fs::exists(target / name)) << name << "\n" << log();
  EXPECT_FALSE(fs::exists(target / "a_5.png")) << log();
  EXPECT_FALSE(fs::exists(target / "Lieferung"));
  EXPECT_EQ(test::readFile(target / "Fehlende Bilder.txt"), "b.png\nc.png\nd.png\n");
  EXPECT_TRUE(logHas("\t\tMissing: b.png")) << log();

  // Collected again: the document's copy is doc_2.indd, the list starts afresh.
  r = run({collect}, {(job / "doc.indd").string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << log();
  EXPECT_TRUE(fs::exists(target / "doc_2.indd"));
  EXPECT_EQ(test::readFile(target / "Fehlende Bilder.txt"), "b.png\nc.png\nd.png\n");

  // After doc_99 there is no name left: the action fails and the run stops.
  for (int n = 3; n <= 99; ++n) test::writeFile(target / ("doc_" + std::to_string(n) + ".indd"), "");
  r = run({collect}, {(job / "doc.indd").string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(logHas("\t####\terror getting suffix for doc.indd")) << log();
  EXPECT_TRUE(logHas("\t####\terror copying src doc")) << log();

  r = run({str("Action", "CollectPictures") + str("SrcFolder", (src / "none").string()) +
           str("DstFolder", out.string())},
          {(job / "doc.indd").string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(logHas("\t####\tinvalid folder")) << log();
}

TEST_F(PictureLinks, BildaktualisierungPrefersTifAndEarlierFoldersAndRefreshesTheContent) {
  const fs::path root = home.scratch() / "2024";
  const fs::path layout = root / "Layout";
  picture(layout / "logo.png");
  picture(layout / "foto.png");
  picture(layout / "karte.png");
  picture(root / "Logos/logo.psd.png", 20);
  fs::rename(root / "Logos/logo.psd.png", root / "Logos/logo.psd");
  picture(root / "Logos/logo.tif", 30);   // the tif wins within a folder
  picture(root / "Bilder/foto.tif", 40);
  picture(root / "Logos/foto.jpg", 50);   // an earlier folder wins over a later tif
  fs::create_directories(root / "Logos/karte");  // a folder is no picture: the relink fails
  make({"gs", "-q", "-dNOPAUSE", "-dBATCH", "-sDEVICE=pdfwrite", "-o", (root / "Bilder/plan.pdf").string(), "-c",
        "showpage"});
  picture(layout / "plan.png");
  const fs::path doc = layout / "doc.indd";
  test::writeFile(doc, document({"logo.png", "foto.png", "karte.png", "plan.png"}));

  const std::string update = str("Action", "Bildaktualisierung") +
                             "<key>Logos</key><array><string>Logos</string><string>Bilder</string></array>";
  auto r = run({update}, {doc.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << log();
  EXPECT_NE(r.err.find("the log reports problems"), std::string::npos) << r.err;
  EXPECT_TRUE(logHas("\t\t<--> " + (root / "Logos/logo.tif").string())) << log();
  EXPECT_TRUE(logHas("\t\t####\trelink failed (err: 10): " + (root / "Logos/karte").string())) << log();
  const std::string shown = info(doc);
  // Kind and pixels come from the new files, as libvips and Ghostscript made them.
  EXPECT_NE(shown.find((root / "Logos/logo.tif").string() + ": image (tiff), 30 x 30 pixels"), std::string::npos) << shown;
  EXPECT_NE(shown.find((root / "Logos/foto.jpg").string() + ": image (jpeg), 50 x 50 pixels"), std::string::npos) << shown;
  EXPECT_NE(shown.find((root / "Bilder/plan.pdf").string() + ": pdf"), std::string::npos) << shown;
  EXPECT_NE(shown.find((layout / "karte.png").string() + ": image (png), 8 x 8"), std::string::npos) << shown;

  // A string is no list of folders: nothing changes, and the action succeeds.
  const std::string before = test::readFile(doc);
  r = run({str("Action", "Bildaktualisierung") + str("Logos", "Logos")}, {doc.string()});
  EXPECT_EQ(r.exitCode, 0) << r.err << log();
  EXPECT_EQ(test::readFile(doc), before);

  // Only a failed relink: logged, and the document is not saved for it.
  test::writeFile(doc, document({"karte.png"}));
  const std::string unchanged = test::readFile(doc);
  r = run({update}, {doc.string()});
  EXPECT_TRUE(logHas("\t\t####\trelink failed (err: 10): " + (root / "Logos/karte").string())) << log();
  EXPECT_EQ(test::readFile(doc), unchanged);

  // From the menu: the installed action file searches "Logos", then "Bilder".
  test::writeFile(doc, document({"foto.png"}));
  r = test::runProcess(KORVEX_EXE, {"command", "bildaktualisierung", doc.string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(info(doc).find((root / "Logos/foto.jpg").string() + ": image (jpeg)"), std::string::npos) << info(doc);
}

TEST_F(PictureLinks, AddLinksPerTableAndSetEmbeddedProfileAreSavedAndShown) {
  const fs::path job = home.scratch() / "Job";
  picture(job / "a.png");
  picture(job / "b.png");
  // Profiles embedded by libvips; ImageMagick names them independently.
  make({"vips", "copy", (job / "a.png").string(), (job / "srgb.jpg").string() + "[profile=srgb]"});
  make({"vips", "copy", (job / "a.png").string(), (job / "cmyk.jpg").string() + "[profile=cmyk]"});
  const auto described = [](const fs::path& p) {
    return test::runProcess(tool("identify"), {"-format", "%[icc:description]", p.string()}).out;
  };
  const std::string srgbName = described(job / "srgb.jpg");
  const std::string cmykName = described(job / "cmyk.jpg");
  ASSERT_FALSE(srgbName.empty());
  ASSERT_FALSE(cmykName.empty());
  // Files that are there: the check before each action passes missing links by.
  for (const char* name : {"extra-a.pdf", "extra-b.pdf"})
    make({"gs", "-q", "-dNOPAUSE", "-dBATCH", "-sDEVICE=pdfwrite", "-o", (job / name).string(), "-c", "showpage"});
  const fs::path doc = job / "doc.indd";
  test::writeFile(doc, document({"srgb.jpg", "cmyk.jpg", "a.png", "b.png"}));
  // Two tables in one chain: each AddLinks gets its own file's entries.
  test::writeFile(job / "one.txt", "a\t" + (job / "extra-a.pdf").string() + "\nsrgb\t\n");
  test::writeFile(job / "two.csv", "b;" + (job / "extra-b.pdf").string() + "\nc;x\n");
  const std::string save = str("Action", "Save");
  auto r = run({str("Action", "SetEmbeddedProfile"), str("Action", "AddLinks") + str("Links", (job / "one.txt").string()),
                str("Action", "AddLinks") + str("Links", (job / "two.csv").string()), save},
               {doc.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << log();
  const std::string shown = info(doc);
  EXPECT_NE(shown.find("embedded profile \"" + srgbName + "\""), std::string::npos) << shown;
  EXPECT_NE(shown.find("embedded profile \"" + cmykName + "\""), std::string::npos) << shown;
  EXPECT_NE(shown.find((job / "extra-a.pdf").string() + ": pdf, normal (further link)"), std::string::npos) << shown;
  EXPECT_NE(shown.find((job / "extra-b.pdf").string() + ": pdf, normal (further link)"), std::string::npos) << shown;
  EXPECT_TRUE(logHas("\t\t" + (job / "a.png").string() + ": no embedded colour profile")) << log();

  // The menu command reads its action file; a table that isn't there is reported.
  test::writeFile(home.dataHome() / "Korvex/AddLinks.plist",
                  plist("<array><dict>" + str("Action", "AddLinks") + str("Links", (job / "none.txt").string()) +
                        "</dict></array>"));
  r = test::runProcess(KORVEX_EXE, {"command", "addlinks", doc.string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(logHas("\t####\tAddLinks: " + (job / "none.txt").string() + ": no such file")) << log();
  test::writeFile(home.dataHome() / "Korvex/AddLinks.plist",
                  plist("<array><dict>" + str("Action", "AddLinks") + str("Links", (job / "two.csv").string()) +
                        "</dict></array>"));
  r = test::runProcess(KORVEX_EXE, {"command", "addlinks", doc.string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const std::string again = info(doc);
  std::size_t count = 0;
  for (auto at = again.find("extra-b.pdf"); at != std::string::npos; at = again.find("extra-b.pdf", at + 1)) ++count;
  EXPECT_EQ(count, 2u) << again;
}

}  // namespace
}  // namespace korvex
