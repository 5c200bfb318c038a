#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "support/plist_text.h"
#include "support/run_process.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using test::plist;
using Lines = std::vector<std::string>;

test::ProcessResult korvex(const std::vector<std::string>& args) {
  return test::runProcess(KORVEX_EXE, args);
}

const char* const kMinimalDocument = R"({"format": "korvex-document", "version": 1})";

std::string actionDict(const std::string& name) {
  return "<dict><key>Action</key><string>" + name + "</string></dict>";
}

class RunCommand : public ::testing::Test {
 protected:
  std::string doc(const std::string& name) {
    const fs::path path = home.scratch() / name;
    test::writeFile(path, kMinimalDocument);
    return path.string();
  }
  std::string chainFile(const std::string& name, const std::string& body) {
    const fs::path path = home.scratch() / name;
    test::writeFile(path, plist(body));
    return path.string();
  }
  fs::path logPath() const { return home.documents() / "Tamrisk" / "Korvex.txt"; }
  // The log's lines with the time before ": Korvex::" masked.
  Lines log() const {
    Lines lines;
    std::string text = test::readFile(logPath());
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      std::string line = text.substr(start, end - start);
      if (auto at = line.find(": Korvex::"); at != std::string::npos)
        line = "T" + line.substr(at);
      else if (auto header = line.find(": Korvex "); header != std::string::npos)
        line = "D" + line.substr(header);
      lines.push_back(line);
      if (end == std::string::npos) break;
      start = end + 1;
    }
    return lines;
  }

  test::TempHome home;
};

TEST_F(RunCommand, LogOfARunLineByLine) {
  const std::string a = doc("a.indd"), b = doc("b.indd");
  const std::string missing = (home.scratch() / "gone.indd").string();
  const std::string chain = chainFile("chain.plist", "<array>" + actionDict("#PDF") + "</array>");
  auto result = korvex({"run", "--chain", chain, a, missing, b});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "log: " + logPath().string() + "\n");
  EXPECT_NE(result.err.find("[1/3] a.indd\n[2/3] gone.indd\n[3/3] b.indd\n"), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("the log reports problems"), std::string::npos);
  const std::string sep(62, '-');
  EXPECT_EQ(log(), (Lines{"D: Korvex 3.02, CS6",
                          "T: Korvex::(",
                          "    {",
                          "        Action = \"#PDF\";",
                          "    }",
                          ")",
                          "T: Korvex::" + sep,
                          "T: Korvex::" + a,
                          "T: Korvex::action: #PDF",
                          "T: Korvex::\t####\taction not supported",
                          "T: Korvex::...done",
                          "T: Korvex::" + sep,
                          "T: Korvex::" + missing,
                          "T: Korvex::\t####\tpath not found!",
                          "T: Korvex::...done",
                          "T: Korvex::" + sep,
                          "T: Korvex::" + b,
                          "T: Korvex::action: #PDF",
                          "T: Korvex::\t####\taction not supported",
                          "T: Korvex::...done"}));
}

TEST_F(RunCommand, FailingDocumentStopsTheRun) {
  const std::string a = doc("a.indd"), b = doc("b.indd");
  const std::string chain = chainFile("stop.plist", actionDict("pdf"));
  auto result = korvex({"run", "--chain", chain, a, b});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find(a + ": an action failed; the run stopped (1 of 2 documents taken)"),
            std::string::npos)
      << result.err;
  Lines lines = log();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "T: Korvex::" + b), 0);
  EXPECT_EQ(lines.back(), "T: Korvex::...done");
}

TEST_F(RunCommand, ChainByNameFromTheActionsFolder) {
  const std::string a = doc("a.indd");
  test::writeFile(home.dataHome() / "Korvex" / "Mine.plist", plist("<array/>"));
  auto result = korvex({"run", "--chain", "Mine", a});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err.find("problems"), std::string::npos) << "an empty chain flags nothing";
  auto withExtension = korvex({"run", "--chain", "Mine.plist", a});
  EXPECT_EQ(withExtension.exitCode, 0) << withExtension.err;
  EXPECT_TRUE(fs::exists(a));
}

TEST_F(RunCommand, BadUsageAndUnreadableChains) {
  const std::string a = doc("a.indd");
  EXPECT_EQ(korvex({"run"}).exitCode, 2);
  EXPECT_EQ(korvex({"run", "--chain"}).exitCode, 2);
  EXPECT_EQ(korvex({"run", a}).exitCode, 2);
  EXPECT_EQ(korvex({"run", "--chain", "PDF"}).exitCode, 2) << "no document";
  EXPECT_EQ(korvex({"run", "--frob", "--chain", "PDF", a}).exitCode, 2);

  const std::string notPlist = (home.scratch() / "junk.plist").string();
  test::writeFile(notPlist, "this is no property list");
  auto junk = korvex({"run", "--chain", notPlist, a});
  EXPECT_EQ(junk.exitCode, 2);
  EXPECT_EQ(junk.err,
            "korvex: " + notPlist + ": not a property list: Start tag expected, '<' not found (line 1)\n");

  const std::string scalar = chainFile("scalar.plist", "<string>PDF</string>");
  auto wrongRoot = korvex({"run", "--chain", scalar, a});
  EXPECT_EQ(wrongRoot.exitCode, 2);
  EXPECT_NE(wrongRoot.err.find(scalar + ": the property list holds neither"), std::string::npos);

  auto missing = korvex({"run", "--chain", "NoSuchChain", a});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_EQ(missing.err, "korvex: " + (home.dataHome() / "Korvex" / "NoSuchChain.plist").string() +
                             ": no such action file\n");
}

TEST_F(RunCommand, NonDictionaryElementFailsTheDocument) {
  const std::string a = doc("a.indd");
  const std::string chain =
      chainFile("mixed.plist", "<array>" + actionDict("#X") + "<string>PDF</string></array>");
  auto result = korvex({"run", "--chain", chain, a});
  EXPECT_EQ(result.exitCode, 1);
  Lines lines = log();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 2], "T: Korvex::\t####\taction not supported");
}

// Documents filed into an error folder: each document's own outcome decides,
// and a document of the same name filed earlier goes to the Trash, not away.
TEST_F(RunCommand, FilingIntoTheErrorFolder) {
  const fs::path examples = fs::path(KORVEX_SOURCE_DIR) / "examples";
  const fs::path jobs = home.scratch() / "Jobs", again = home.scratch() / "Again";
  const fs::path errors = home.scratch() / "Fehler";
  for (const fs::path& folder : {jobs, again}) {
    fs::create_directories(folder);
    fs::copy(examples / "Links", folder / "Links", fs::copy_options::recursive);
    for (const char* name : {"Flyer Sommerfest.indd", "Katalog Seite 12.indd"})
      fs::copy_file(examples / name, folder / name);
  }
  test::writeFile(again / "Flyer Sommerfest.indd", test::readFile(again / "Flyer Sommerfest.indd") + "\n\n");
  const std::string firstFlyer = test::readFile(jobs / "Flyer Sommerfest.indd");
  const std::string secondFlyer = test::readFile(again / "Flyer Sommerfest.indd");
  fs::create_directories(errors);
  // The catalogue misses a picture: the check before each action skips its Preflight.
  test::writeFile(home.dataHome() / "Tamrisk/Korvex.plist",
                  plist("<dict><key>Options</key><dict><key>modifiedLinks</key><integer>1</integer></dict></dict>"));
  const std::string chain = chainFile(
      "preflight.plist", "<array><dict><key>Action</key><string>Preflight</string>"
                         "<key>PreflightProfile</key><string>[Basic]</string><key>ErrorFolder</key><string>" +
                             errors.string() + "</string></dict></array>");

  const std::string flyer = (jobs / "Flyer Sommerfest.indd").string();
  const std::string catalogue = (jobs / "Katalog Seite 12.indd").string();
  const std::string flyerAgain = (again / "Flyer Sommerfest.indd").string();
  auto result = korvex({"run", "--chain", chain, flyer, catalogue, flyerAgain});
  EXPECT_EQ(result.exitCode, 0) << result.err;

  // The flyers have no "Text" layer and fail; the catalogue's Preflight was skipped.
  EXPECT_TRUE(fs::exists(catalogue));
  EXPECT_FALSE(fs::exists(errors / "Katalog Seite 12.indd"));
  EXPECT_FALSE(fs::exists(flyer));
  EXPECT_FALSE(fs::exists(flyerAgain));
  EXPECT_EQ(test::readFile(errors / "Flyer Sommerfest.indd"), secondFlyer);
  EXPECT_EQ(test::readFile(home.dataHome() / "Trash/files/Flyer Sommerfest.indd"), firstFlyer);
  const std::string moved = (errors / "Flyer Sommerfest.indd").string();
  Lines lines = log();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "T: Korvex::\tmoved to the Trash: " + moved), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "T: Korvex::\t" + catalogue + " --> " + errors.string()), 0);
}

// A move to another file system that a kill cut short leaves the document
// twice, the copy at the destination complete. Filing it again replaces that
// copy, as it destroys nothing, even on a volume without a Trash (a tmpfs);
// a different file there is still never replaced.
TEST_F(RunCommand, FilingAgainOverItsOwnCopyOnAVolumeWithoutTrash) {
  struct stat shm {}, here {};
  if (::stat("/dev/shm", &shm) != 0 || ::stat(home.scratch().c_str(), &here) != 0 || shm.st_dev == here.st_dev ||
      ::access("/dev/shm", W_OK) != 0)
    GTEST_SKIP() << "no writable /dev/shm on another file system";
  struct Folder {
    fs::path path;
    ~Folder() {
      std::error_code ec;
      fs::remove_all(path, ec);
    }
  } errors{fs::path("/dev/shm") / ("korvex-run-test-" + std::to_string(::getpid()))};
  fs::create_directories(errors.path);
  const std::string job = doc("Job.indd"), other = doc("Other.indd");
  test::writeFile(errors.path / "Job.indd", kMinimalDocument);
  test::writeFile(errors.path / "Other.indd", std::string(kMinimalDocument) + "\n");
  // A document without a "Text" layer fails Preflight and is filed.
  const std::string chain = chainFile(
      "preflight.plist", "<array><dict><key>Action</key><string>Preflight</string>"
                         "<key>PreflightProfile</key><string>[Basic]</string><key>ErrorFolder</key><string>" +
                             errors.path.string() + "</string></dict></array>");

  auto result = korvex({"run", "--chain", chain, job, other});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_FALSE(fs::exists(job));
  EXPECT_EQ(test::readFile(errors.path / "Job.indd"), kMinimalDocument);
  EXPECT_TRUE(fs::exists(other));
  EXPECT_EQ(test::readFile(errors.path / "Other.indd"), std::string(kMinimalDocument) + "\n");
  Lines lines = log();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "T: Korvex::\t####\tnot moved: " + job), 0);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "T: Korvex::\t####\tnot moved: " + other), 1);
  EXPECT_FALSE(fs::exists(home.dataHome() / "Trash/files/Job.indd"));
}

// Save replaces the document whole: through a symbolic link, under a name of
// any length, and a save killed half-way leaves the old document and nothing else.
TEST_F(RunCommand, SavingThroughLinksLongNamesAndKills) {
  const fs::path jobs = home.scratch() / "jobs", desk = home.scratch() / "desk";
  test::writeFile(jobs / "Job.indd", kMinimalDocument);
  fs::create_directories(desk);
  fs::create_symlink("../jobs/Job.indd", desk / "Job.indd");
  const std::string longName = std::string(245, 'x') + ".indd";
  test::writeFile(jobs / longName, kMinimalDocument);
  const std::string save = chainFile("save.plist", "<array>" + actionDict("Save") + "</array>");

  auto result = korvex({"run", "--chain", save, (desk / "Job.indd").string(), (jobs / longName).string()});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err.find("problems"), std::string::npos) << result.err;
  EXPECT_TRUE(fs::is_symlink(desk / "Job.indd"));
  const std::string saved = test::readFile(jobs / "Job.indd");
  EXPECT_NE(saved, kMinimalDocument);
  EXPECT_EQ(test::readFile(jobs / longName), saved);
  EXPECT_EQ(std::distance(fs::directory_iterator(jobs), fs::directory_iterator()), 2);

  // A file-size limit below the document's size kills korvex in the middle of the save.
  test::writeFile(jobs / "Job.indd", kMinimalDocument);
  result = test::runProcess("/usr/bin/prlimit", {"--fsize=" + std::to_string(saved.size() / 2), KORVEX_EXE, "run",
                                                 "--chain", save, (jobs / "Job.indd").string()});
  EXPECT_NE(result.exitCode, 0);
  EXPECT_EQ(log().back(), "T: Korvex::action: Save") << "killed while saving";
  EXPECT_EQ(test::readFile(jobs / "Job.indd"), kMinimalDocument);
  EXPECT_EQ(std::distance(fs::directory_iterator(jobs), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace korvex
