#include "foundation/folder_enum.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/temp_home.h"

namespace korvex {
namespace {

class FolderEnumTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = (home_.scratch() / "hot").string();
    test::writeFile(home_.scratch() / "hot/b.indd", "");
    test::writeFile(home_.scratch() / "hot/a.indd", "");
    test::writeFile(home_.scratch() / "hot/.DS_Store", "");
    test::writeFile(home_.scratch() / "hot/.hidden/inside.indd", "");
    test::writeFile(home_.scratch() / "hot/Sub/.secret", "");
    test::writeFile(home_.scratch() / "hot/Sub/c.indd", "");
    test::writeFile(home_.scratch() / "hot/Sub/.dot/d.indd", "");
  }
  std::string rel(const std::string& path) const { return path.substr(root_.size() + 1); }

  test::TempHome home_;
  std::string root_;
};

bool collect(const std::string& path, void* data) {
  static_cast<std::vector<std::string>*>(data)->push_back(path);
  return true;
}

TEST_F(FolderEnumTest, FlatSkipsHiddenEntries) {
  std::vector<std::string> seen;
  EXPECT_TRUE(EnumFolderFlat(root_, collect, &seen));
  std::vector<std::string> relative;
  for (auto& p : seen) relative.push_back(rel(p));
  EXPECT_EQ(relative, (std::vector<std::string>{"Sub", "a.indd", "b.indd"}));
}

TEST_F(FolderEnumTest, DeepSkipsOnlyPathsBeginningWithADot) {
  std::vector<std::string> seen;
  EXPECT_TRUE(EnumFolder(root_, collect, &seen));
  std::vector<std::string> relative;
  for (auto& p : seen) relative.push_back(rel(p));
  EXPECT_EQ(relative, (std::vector<std::string>{"Sub", "Sub/.dot", "Sub/.dot/d.indd", "Sub/.secret", "Sub/c.indd",
                                                "a.indd", "b.indd"}));
}

TEST_F(FolderEnumTest, StoppingAnswersFalse) {
  int calls = 0;
  EXPECT_FALSE(EnumFolder(root_, [&](const std::string&) { return ++calls < 2; }));
  EXPECT_EQ(calls, 2);
  calls = 0;
  EXPECT_FALSE(EnumFolderFlat(root_, [&](const std::string&) { return ++calls < 1; }));
  EXPECT_EQ(calls, 1);
}

TEST_F(FolderEnumTest, NoFolderAnswersTrueWithoutCalls) {
  int calls = 0;
  auto count = [&](const std::string&) { return ++calls > 0; };
  EXPECT_TRUE(EnumFolder(root_ + "/missing", count));
  EXPECT_TRUE(EnumFolderFlat(root_ + "/a.indd", count));
  EXPECT_EQ(calls, 0);
}

TEST_F(FolderEnumTest, TrailingSlashGivesCleanPaths) {
  std::vector<std::string> seen;
  EnumFolderFlat(root_ + "/", collect, &seen);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), root_ + "/Sub");
}

}  // namespace
}  // namespace korvex
