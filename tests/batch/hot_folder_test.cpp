#include "batch/hot_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "batch/action_dispatch.h"
#include "batch_test_support.h"
#include "config/settings_store.h"
#include "docmodel/documents.h"
#include "foundation/dictionary_accessors.h"
#include "host/database.h"
#include "host/session.h"
#include "run/run_values.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using HotFolder = test::BatchTest;

void writeDocument(const fs::path& path) {
  fs::create_directories(path.parent_path());
  Application* application = GetExecutionContextSession()->application();
  IDocument* document = application->newDocument(DocumentSetup{}, false);
  ASSERT_EQ(application->saveDocumentAs(document, path.string()), 0);
  application->closeDocument(document);
}

const char* const kChain =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array>"
    "<dict><key>Action</key><string>Save</string><key>modifiedLinks</key><integer>2</integer>"
    "<key>preflight</key><string>Strict</string></dict></array></plist>\n";

struct Seen {
  std::vector<std::string> paths;
  std::vector<int> modifiedLinks;
  std::vector<std::string> preflight;
};

// A file is taken by the second scan that sees it unchanged.
void scanTwice() {
  scanHotfolder();
  scanHotfolder();
}

// Replaces the handler of "Save" with a recorder.
void recordSaves(Seen* seen) {
  setActionHandler(
      "Save", DocumentHandler([seen](IDocument* document, const DictPtr&) {
        seen->paths.push_back(pathForDoc(document).value_or(""));
        seen->modifiedLinks.push_back(integerForKey(prefs()->options(), "modifiedLinks", -1));
        seen->preflight.push_back(stringForKey(prefs()->options(), "preflight", "(none)").value_or(""));
        return true;
      }));
}

TEST_F(HotFolder, MovesFilesToOutAndRunsTheChainOnDocuments) {
  fs::path hot = home.scratch() / "hot";
  prefs()->dict()->set("Hotfolder", hot.string());
  prefs()->options()->set("modifiedLinks", 1);
  test::writeFile(home.dataHome() / "Korvex" / "Chain.plist", kChain);

  writeDocument(hot / "Chain" / "a.indd");
  writeDocument(hot / "Chain" / "B.INDD");
  test::writeFile(hot / "Chain" / "Out" / "a.indd", "an older file");
  test::writeFile(hot / "Chain" / "notes.txt", "text");
  test::writeFile(hot / "Chain" / ".hidden.indd", "hidden");
  writeDocument(hot / "NoActionFile" / "c.indd");
  test::writeFile(hot / "loose.indd", "not in a subfolder");
  test::writeFile(home.dataHome() / "Korvex" / "Blocked.plist", kChain);
  test::writeFile(hot / "Blocked" / "Out", "a file where the folder should be");
  test::writeFile(hot / "Blocked" / "d.txt", "waits");

  Seen seen;
  recordSaves(&seen);
  scanHotfolder();
  EXPECT_TRUE(fs::exists(hot / "Chain" / "a.indd"));
  EXPECT_TRUE(seen.paths.empty());
  scanHotfolder();

  fs::path out = hot / "Chain" / "Out";
  EXPECT_FALSE(fs::exists(hot / "Chain" / "a.indd"));
  EXPECT_FALSE(fs::exists(hot / "Chain" / "B.INDD"));
  EXPECT_FALSE(fs::exists(hot / "Chain" / "notes.txt"));
  EXPECT_EQ(test::readFile(out / "notes.txt"), "text");
  EXPECT_NE(test::readFile(out / "a.indd"), "an older file");
  EXPECT_EQ(test::readFile(home.dataHome() / "Trash/files/a.indd"), "an older file");
  EXPECT_TRUE(logHas("\tmoved to the Trash: " + (out / "a.indd").string()));
  EXPECT_TRUE(fs::exists(out / "B.INDD"));
  EXPECT_TRUE(fs::exists(hot / "Chain" / ".hidden.indd"));
  EXPECT_FALSE(fs::exists(out / ".hidden.indd"));
  EXPECT_TRUE(fs::exists(hot / "NoActionFile" / "c.indd"));
  EXPECT_FALSE(fs::exists(hot / "NoActionFile" / "Out"));
  EXPECT_TRUE(fs::exists(hot / "loose.indd"));
  EXPECT_EQ(test::readFile(hot / "Blocked" / "d.txt"), "waits");
  EXPECT_EQ(logText().find("Blocked"), std::string::npos) << logText();

  // Both documents ran from "Out" with the chain's own options, and were closed.
  ASSERT_EQ(seen.paths.size(), 2u);
  std::vector<std::string> paths = seen.paths;
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (std::vector<std::string>{(out / "B.INDD").string(), (out / "a.indd").string()}));
  EXPECT_EQ(seen.modifiedLinks, (std::vector<int>{2, 2}));
  EXPECT_EQ(seen.preflight, (std::vector<std::string>{"Strict", "Strict"}));
  EXPECT_EQ(getNumberOfDocs(), 0);

  // The settings are as before: the integer back, the missing key missing.
  EXPECT_EQ(prefs()->options()->get("modifiedLinks"), Value(1));
  EXPECT_FALSE(prefs()->options()->contains("preflight"));
}

TEST_F(HotFolder, NothingHappensWithoutAFolderAndAStopLeavesFilesForLater) {
  scanHotfolder();
  prefs()->dict()->set("Hotfolder", (home.scratch() / "missing").string());
  scanHotfolder();

  fs::path hot = home.scratch() / "hot";
  prefs()->dict()->set("Hotfolder", hot.string());
  test::writeFile(home.dataHome() / "Korvex" / "Chain.plist", kChain);
  test::writeFile(hot / "Chain" / "one.txt", "1");
  setHotfolderStopCheck([] { return true; });
  scanHotfolder();
  setHotfolderStopCheck(nullptr);
  EXPECT_TRUE(fs::exists(hot / "Chain" / "one.txt"));
  scanTwice();
  EXPECT_TRUE(fs::exists(hot / "Chain" / "Out" / "one.txt"));
}

TEST_F(HotFolder, UnopenableDocumentStaysInOut) {
  fs::path hot = home.scratch() / "hot";
  prefs()->dict()->set("Hotfolder", hot.string());
  test::writeFile(home.dataHome() / "Korvex" / "Chain.plist", kChain);
  test::writeFile(hot / "Chain" / "broken.indd", "not a document");
  Seen seen;
  recordSaves(&seen);
  scanTwice();
  EXPECT_TRUE(seen.paths.empty());
  const fs::path out = hot / "Chain" / "Out" / "broken.indd";
  EXPECT_EQ(test::readFile(out), "not a document");
  EXPECT_EQ(getNumberOfDocs(), 0);
  EXPECT_NE(logText().find("\t####\tcould not open: " + out.string() + ": "), std::string::npos) << logText();
  EXPECT_TRUE(getShowLog());
}

TEST_F(HotFolder, ChangedDocumentIsSavedInOutOnlyWhenAnActionAskedForIt) {
  fs::path hot = home.scratch() / "hot";
  prefs()->dict()->set("Hotfolder", hot.string());
  test::writeFile(home.dataHome() / "Korvex" / "Chain.plist", kChain);
  fs::path dropped = hot / "Chain" / "kept.indd";
  writeDocument(dropped);
  auto anHourAgo = fs::last_write_time(dropped) - std::chrono::hours(1);
  fs::last_write_time(dropped, anHourAgo);

  bool askToSave = false;
  setActionHandler("Save", DocumentHandler([&askToSave](IDocument* document, const DictPtr&) {
                     document->GetDocDataBase()->SetModified(true);
                     if (askToSave) setSaveProject(true);
                     return true;
                   }));
  scanTwice();
  fs::path out = hot / "Chain" / "Out" / "kept.indd";
  EXPECT_EQ(fs::last_write_time(out), anHourAgo);

  askToSave = true;
  fs::rename(out, dropped);
  scanTwice();
  EXPECT_NE(fs::last_write_time(out), anHourAgo);
  EXPECT_EQ(getNumberOfDocs(), 0);
}

// A file another process holds in hand is its own until that process lets go
// (or dies); then the next scan takes it.
TEST_F(HotFolder, AClaimHeldElsewhereIsLeftAlone) {
  fs::path hot = home.scratch() / "hot";
  prefs()->dict()->set("Hotfolder", hot.string());
  test::writeFile(home.dataHome() / "Korvex" / "Chain.plist", kChain);
  const fs::path claimed = hot / "Chain" / kHotfolderWorkFolder / "held.txt";
  test::writeFile(claimed, "in hand");
  int held = ::open(claimed.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  scanTwice();
  EXPECT_TRUE(fs::exists(claimed));
  EXPECT_FALSE(fs::exists(hot / "Chain" / "Out" / "held.txt"));
  ::close(held);
  scanHotfolder();
  EXPECT_FALSE(fs::exists(claimed));
  EXPECT_EQ(test::readFile(hot / "Chain" / "Out" / "held.txt"), "in hand");
}

}  // namespace
}  // namespace korvex
