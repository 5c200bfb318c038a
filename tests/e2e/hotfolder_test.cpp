#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/plist_text.h"
#include "support/run_process.h"
#include "support/spawned.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using test::plist;

const char* const kFlyer = "Flyer Sommerfest.indd";

// A hot folder with the subfolder "Proof": export a PDF next to the
// document, then save it.
class Hotfolder : public ::testing::Test {
 protected:
  void SetUp() override {
    test::writeFile(home.dataHome() / "Tamrisk/Korvex.plist",
                    plist("<dict><key>Hotfolder</key><string>" + hot().string() + "</string></dict>"));
    test::writeFile(home.dataHome() / "Korvex/Proof.plist",
                    plist("<array><dict><key>Action</key><string>PDF</string><key>Style</key>"
                          "<string>[High Quality Print]</string></dict>"
                          "<dict><key>Action</key><string>Save</string></dict></array>"));
    fs::create_directories(proof());
  }

  fs::path hot() const { return home.scratch() / "hot"; }
  fs::path proof() const { return hot() / "Proof"; }
  fs::path out() const { return proof() / "Out"; }
  fs::path trash() const { return home.dataHome() / "Trash/files"; }

  // The example flyer with its pictures, as a user drops it: the pictures
  // stay beside the folder it is dropped into.
  void dropFlyer() const {
    const fs::path examples = fs::path(KORVEX_SOURCE_DIR) / "examples";
    if (!fs::exists(proof() / "Links")) fs::copy(examples / "Links", proof() / "Links", fs::copy_options::recursive);
    fs::copy_file(examples / kFlyer, proof() / kFlyer, fs::copy_options::overwrite_existing);
  }

  test::ProcessResult once() { return test::runProcess(KORVEX_EXE, {"hotfolder", "--once"}); }
  std::string log() const { return test::readFile(home.documents() / "Tamrisk/Korvex.txt"); }
  bool logHas(const std::string& line) const { return log().find("Korvex::" + line + "\n") != std::string::npos; }

  test::TempHome home;
};

std::vector<std::string> linkPaths(const std::string& document) {
  static const std::regex kLink(R"re("link":\s*\{[^}]*"path":\s*"([^"]*)")re");
  std::vector<std::string> paths;
  for (auto it = std::sregex_iterator(document.begin(), document.end(), kLink); it != std::sregex_iterator(); ++it)
    paths.push_back((*it)[1]);
  return paths;
}

TEST_F(Hotfolder, MovedDocumentKeepsItsPicturesAndANamesakeSendsTheOlderToTheTrash) {
  dropFlyer();
  auto first = once();
  ASSERT_EQ(first.exitCode, 0) << first.err;

  // The links resolved from the folder the flyer was dropped into: the
  // check before the PDF passed, and the saved document names real files.
  EXPECT_TRUE(fs::exists(out() / "Flyer Sommerfest.pdf")) << log();
  EXPECT_EQ(log().find("####"), std::string::npos) << log();
  const std::string saved = test::readFile(out() / kFlyer);
  const std::vector<std::string> links = linkPaths(saved);
  ASSERT_EQ(links.size(), 2u) << saved;
  for (const std::string& link : links) EXPECT_TRUE(fs::is_regular_file(link)) << link;
  EXPECT_FALSE(fs::exists(proof() / kFlyer));
  EXPECT_FALSE(fs::exists(proof() / ".korvex" / kFlyer));

  // A second flyer of the same name takes its place; the first is in the Trash.
  dropFlyer();
  auto second = once();
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(test::readFile(trash() / kFlyer), saved);
  EXPECT_TRUE(logHas("\tmoved to the Trash: " + (out() / kFlyer).string())) << log();
  EXPECT_TRUE(fs::exists(out() / kFlyer));
  EXPECT_FALSE(fs::exists(proof() / kFlyer));
}

TEST_F(Hotfolder, TakesOnlySettledFilesAndNamesDocumentsItCannotOpen) {
  // A copy still under way: the file grows all through the scan.
  const fs::path growing = proof() / "growing.indd";
  test::writeFile(growing, "{");
  std::atomic<bool> copying{true};
  std::thread copier([&] {
    std::ofstream file(growing, std::ios::app);
    while (copying) {
      file << ' ' << std::flush;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  test::writeFile(proof() / "broken.indd", "not a document");
  auto during = once();
  copying = false;
  copier.join();
  EXPECT_EQ(during.exitCode, 0) << during.err;
  EXPECT_TRUE(fs::exists(growing));
  EXPECT_FALSE(fs::exists(out() / "growing.indd"));

  // The settled corrupt one is filed, and the log says which and why.
  EXPECT_EQ(test::readFile(out() / "broken.indd"), "not a document");
  const std::string logText = log();
  EXPECT_NE(logText.find("Korvex::\t####\tcould not open: " + (out() / "broken.indd").string() + ": "),
            std::string::npos)
      << logText;
  EXPECT_NE(during.err.find("the log reports problems"), std::string::npos) << during.err;

  // Settled now: taken at the next run.
  auto after = once();
  EXPECT_EQ(after.exitCode, 0) << after.err;
  EXPECT_FALSE(fs::exists(growing));
  EXPECT_TRUE(fs::exists(out() / "growing.indd"));
}

TEST_F(Hotfolder, DocumentsInHandWhenTheProcessDiedAreProcessedAgain) {
  dropFlyer();
  const fs::path examples = fs::path(KORVEX_SOURCE_DIR) / "examples";
  std::vector<std::string> names{kFlyer};
  for (int i = 0; i < 5; ++i) {
    names.push_back("Flyer " + std::to_string(i) + ".indd");
    fs::copy_file(examples / kFlyer, proof() / names.back());
  }
  const auto inHand = [&] {
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(proof() / ".korvex", ec))
      if (entry.path().extension() == ".indd") return true;
    return false;
  };
  {
    test::Spawned killed({KORVEX_EXE, "hotfolder", "--once"});
    ASSERT_TRUE(killed.running());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!inHand() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    killed.kill();
  }
  EXPECT_TRUE(inHand());

  auto run = once();
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_FALSE(inHand());
  for (const std::string& name : names) {
    EXPECT_FALSE(fs::exists(proof() / name)) << name;
    const std::string saved = test::readFile(out() / name);
    EXPECT_TRUE(fs::exists(out() / fs::path(name).replace_extension(".pdf"))) << name;
    const std::vector<std::string> links = linkPaths(saved);
    EXPECT_EQ(links.size(), 2u) << name;
    for (const std::string& link : links) EXPECT_TRUE(fs::is_regular_file(link)) << link;
  }
}

TEST_F(Hotfolder, NeverLeavesItsTree) {
  // A linked subfolder and a linked file, both leading to documents elsewhere.
  const fs::path elsewhere = home.scratch() / "elsewhere";
  const fs::path examples = fs::path(KORVEX_SOURCE_DIR) / "examples";
  fs::create_directories(elsewhere);
  fs::copy(examples / "Links", elsewhere / "Links", fs::copy_options::recursive);
  fs::copy_file(examples / kFlyer, elsewhere / kFlyer);
  const std::string original = test::readFile(elsewhere / kFlyer);
  fs::remove(proof());
  fs::create_directory_symlink(elsewhere, proof());
  fs::create_directories(hot() / "Real");
  fs::copy_file(home.dataHome() / "Korvex/Proof.plist", home.dataHome() / "Korvex/Real.plist");
  fs::create_symlink(elsewhere / kFlyer, hot() / "Real" / kFlyer);

  auto run = once();
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(test::readFile(elsewhere / kFlyer), original);
  EXPECT_FALSE(fs::exists(elsewhere / "Out"));
  EXPECT_FALSE(fs::exists(elsewhere / "Flyer Sommerfest.pdf"));
  EXPECT_TRUE(fs::is_symlink(hot() / "Real" / kFlyer));
  EXPECT_FALSE(fs::exists(hot() / "Real/Out" / kFlyer));
}

}  // namespace
}  // namespace korvex
