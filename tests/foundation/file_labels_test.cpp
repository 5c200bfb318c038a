#include "foundation/file_labels.h"

#include <sys/xattr.h>

#include <gtest/gtest.h>

#include "foundation/log.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

std::string tags(const std::string& path) {
  char buffer[256];
  ssize_t n = ::getxattr(path.c_str(), kTagsAttribute, buffer, sizeof buffer);
  return n < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(n));
}

class FileLabelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = (home_.scratch() / "doc.indd").string();
    test::writeFile(file_, "x");
    if (::setxattr(file_.c_str(), "user.korvex.probe", "1", 1, 0) != 0)
      GTEST_SKIP() << "the temporary file system has no user extended attributes";
    ::removexattr(file_.c_str(), "user.korvex.probe");
  }
  test::TempHome home_;
  std::string file_;
};

TEST_F(FileLabelsTest, SetsReadsAndRemovesTheColourTag) {
  EXPECT_EQ(labelColorForPath(file_), 0);
  setLabelColorForPath(file_, 2);
  EXPECT_EQ(tags(file_), "Green");
  EXPECT_EQ(labelColorForPath(file_), 2);
  setLabelColorForPath(file_, 6);
  EXPECT_EQ(tags(file_), "Red");
  EXPECT_EQ(labelColorForPath(file_), 6);
  setLabelColorForPath(file_, 0);
  EXPECT_EQ(labelColorForPath(file_), 0);
  EXPECT_EQ(::getxattr(file_.c_str(), kTagsAttribute, nullptr, 0), -1);
}

TEST_F(FileLabelsTest, KeepsOtherTags) {
  std::string list = "Projekt,red,Kunde";
  ASSERT_EQ(::setxattr(file_.c_str(), kTagsAttribute, list.data(), list.size(), 0), 0);
  EXPECT_EQ(labelColorForPath(file_), 6);
  setLabelColorForPath(file_, 7);
  EXPECT_EQ(tags(file_), "Projekt,Kunde,Orange");
  setLabelColorForPath(file_, 0);
  EXPECT_EQ(tags(file_), "Projekt,Kunde");
}

TEST_F(FileLabelsTest, FoldersAndMissingFilesAreLeftAlone) {
  setLabelColorForPath(home_.scratch().string(), 2);
  EXPECT_EQ(labelColorForPath(home_.scratch().string()), 0);
  setLabelColorForPath((home_.scratch() / "missing").string(), 2);
  EXPECT_EQ(labelColorForPath((home_.scratch() / "missing").string()), 0);
}

TEST_F(FileLabelsTest, OutOfRangeIsLogged) {
  setupLog(true, "Tamrisk");
  setLabelColorForPath(file_, 9);
  EXPECT_EQ(labelColorForPath(file_), 0);
  EXPECT_NE(test::readFile(*getLogPath()).find("out of range"), std::string::npos);
}

TEST(FileLabelNames, Names) {
  EXPECT_EQ(labelColorName(1), "Grey");
  EXPECT_EQ(labelColorName(7), "Orange");
  EXPECT_EQ(labelColorName(0), std::nullopt);
  EXPECT_EQ(labelColorName(8), std::nullopt);
}

}  // namespace
}  // namespace korvex
