#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_process.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

test::ProcessResult korvex(const std::vector<std::string>& args) { return test::runProcess(KORVEX_EXE, args); }

TEST(Cli, VersionHelpAndBadUsage) {
  test::TempHome home;
  auto version = korvex({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "Korvex 3.02\n");

  auto help = korvex({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("log "), std::string::npos);

  auto unknown = korvex({"frobnicate"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("unknown command 'frobnicate'"), std::string::npos);
}

TEST(Cli, LogCheckWritesIntoTheDocumentsFolder) {
  test::TempHome home;
  auto check = korvex({"log", "check"});
  ASSERT_EQ(check.exitCode, 0) << check.err;
  auto path = home.documents() / "Tamrisk" / "Korvex.txt";
  EXPECT_NE(check.out.find("log ok: " + path.string()), std::string::npos);
  std::string text = test::readFile(path);
  EXPECT_NE(text.find(": Korvex::log check\n"), std::string::npos);

  auto where = korvex({"log", "path"});
  EXPECT_EQ(where.out, path.string() + "\n");
}

}  // namespace
}  // namespace korvex
