#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_process.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

test::ProcessResult korvex(const std::vector<std::string>& args) {
  return test::runProcess(KORVEX_EXE, args);
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

TEST(ShellCli, MenuListsTheEntriesInPositionOrder) {
  test::TempHome home;
  auto menu = korvex({"menu"});
  ASSERT_EQ(menu.exitCode, 0) << menu.err;
  auto rows = lines(menu.out);
  ASSERT_EQ(rows.size(), 16u) << menu.out;
  EXPECT_EQ(rows[0], "     1  Main:MM        batch");
  EXPECT_EQ(rows[7], "    21  Main:MM:Zaro:  (submenu)");
  EXPECT_EQ(rows[8], "    22  Main:MM:Zaro   zaro1");
  EXPECT_EQ(rows[13], "    32  Main:MM        settings");
  EXPECT_EQ(rows[14], "    34  Main:MM        about");
  EXPECT_EQ(rows[15], "   119  Main:MM:       (submenu)");
  // Every command starts the plug-in: log header and default action files.
  EXPECT_NE(test::readFile(home.documents() / "Tamrisk" / "Korvex.txt").find(": Korvex 3.02, CS6\n"),
            std::string::npos);
  EXPECT_TRUE(fs::exists(home.dataHome() / "Korvex" / "PDF.plist"));
}

TEST(ShellCli, SettingsPathAndUsage) {
  test::TempHome home;
  auto path = korvex({"settings", "--path"});
  EXPECT_EQ(path.exitCode, 0) << path.err;
  EXPECT_EQ(path.out, (home.dataHome() / "Tamrisk" / "Korvex.plist").string() + "\n");
  EXPECT_EQ(korvex({"settings", "--bogus"}).exitCode, 2);
}

TEST(ShellCli, MenuCommands) {
  test::TempHome home;
  auto about = korvex({"command", "about"});
  EXPECT_EQ(about.exitCode, 0) << about.err;
  EXPECT_NE(about.err.find("Korvex 3.02"), std::string::npos) << about.err;
  EXPECT_EQ(korvex({"command", "9"}).exitCode, 0);

  // The batch dialog is a window: the console can't show it.
  auto batch = korvex({"command", "batch"});
  EXPECT_EQ(batch.exitCode, 2);
  EXPECT_NE(batch.err.find("the window \"Batch\" can't be shown on the console"), std::string::npos)
      << batch.err;

  auto unknown = korvex({"command", "frob"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("unknown menu command 'frob'"), std::string::npos);

  // A document given is opened as the front document; unchanged, it is not saved.
  const std::string document =
      "{\"format\": \"korvex-document\", \"version\": 1, \"pageSize\": [595.2756, 841.8898], "
      "\"layers\": [{\"name\": \"Layer 1\"}]}";
  test::writeFile(home.scratch() / "doc.indd", document);
  auto withDoc = korvex({"command", "about", (home.scratch() / "doc.indd").string()});
  EXPECT_EQ(withDoc.exitCode, 0) << withDoc.err;
  EXPECT_EQ(test::readFile(home.scratch() / "doc.indd"), document);

  auto missing = korvex({"command", "about", (home.scratch() / "none.indd").string()});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("none.indd: could not be opened"), std::string::npos) << missing.err;
}

TEST(ShellCli, HotfolderOnce) {
  test::TempHome home;
  auto unset = korvex({"hotfolder", "--once"});
  EXPECT_EQ(unset.exitCode, 1);
  EXPECT_NE(unset.err.find("no hot folder"), std::string::npos) << unset.err;

  fs::path hot = home.scratch() / "hot";
  test::writeFile(home.dataHome() / "Tamrisk" / "Korvex.plist",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                  "<key>Hotfolder</key><string>" +
                      hot.string() + "</string></dict></plist>\n");
  test::writeFile(hot / "PDF" / "readme.txt", "text");
  test::writeFile(hot / "Nothing" / "readme.txt", "text");
  test::writeFile(hot / "PDF" / "doc.indd",
                  "{\"format\": \"korvex-document\", \"version\": 1, \"pageSize\": [595.2756, 841.8898], "
                  "\"layers\": [{\"name\": \"Layer 1\"}]}");
  auto once = korvex({"hotfolder", "--once"});
  EXPECT_EQ(once.exitCode, 0) << once.err;
  EXPECT_TRUE(fs::exists(hot / "PDF" / "Out" / "readme.txt"));
  EXPECT_FALSE(fs::exists(hot / "PDF" / "readme.txt"));
  EXPECT_TRUE(fs::exists(hot / "PDF" / "Out" / "doc.indd"));
  EXPECT_FALSE(fs::exists(hot / "PDF" / "doc.indd"));
  EXPECT_TRUE(fs::exists(hot / "Nothing" / "readme.txt"));
}

}  // namespace
}  // namespace korvex
