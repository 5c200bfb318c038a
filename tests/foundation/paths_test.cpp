#include "foundation/paths.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

TEST(Paths, AppendingComponents) {
  EXPECT_EQ(stringByAppendingPathComponents("/a/b", "c", "pdf"), "/a/b/c.pdf");
  EXPECT_EQ(stringByAppendingPathComponents("/a/b/", "c", std::nullopt), "/a/b/c");
  EXPECT_EQ(stringByAppendingPathComponents("/a/b", "", "pdf"), "/a/b");
  EXPECT_EQ(stringByAppendingPathComponents("/", "c"), "/c");
  EXPECT_EQ(stringByAppendingPathComponents("", "c", "txt"), "c.txt");
  EXPECT_EQ(stringByAppendingPathComponents("/a", "c", ""), "/a/c");
}

TEST(Paths, Extensions) {
  EXPECT_EQ(stringByReplacingPathExtension("/a/doc.indd", "pdf"), "/a/doc.pdf");
  EXPECT_EQ(stringByReplacingPathExtension("/a/doc", "pdf"), "/a/doc.pdf");
  EXPECT_EQ(stringByReplacingPathExtension("/a/doc.tar.gz", "zip"), "/a/doc.tar.zip");
  EXPECT_EQ(stringByReplacingPathExtension("/a/doc.indd", ""), "/a/doc");
  EXPECT_EQ(pathExtension("/a.b/doc"), "");
  EXPECT_EQ(pathExtension("/a/.hidden"), "");
  EXPECT_EQ(pathExtension("/a/doc.INDD"), "INDD");
  EXPECT_EQ(stringByDeletingPathExtension("/a/doc.indd/"), "/a/doc");
}

TEST(Paths, LastComponentAndFolder) {
  EXPECT_EQ(lastPathComponent("/a/b/doc.indd", true), "doc.indd");
  EXPECT_EQ(lastPathComponent("/a/b/doc.indd", false), "doc");
  EXPECT_EQ(lastPathComponent("/a/b/", true), "b");
  EXPECT_EQ(lastPathComponent("/", true), "/");
  EXPECT_EQ(lastPathComponent("doc", false), "doc");
  EXPECT_EQ(stringByDeletingLastPathComponent("/a/b"), "/a");
  EXPECT_EQ(stringByDeletingLastPathComponent("/a"), "/");
  EXPECT_EQ(stringByDeletingLastPathComponent("a"), "");
}

TEST(Paths, PathEndsWithComparesTheLowerCasedExtension) {
  EXPECT_TRUE(pathEndsWith("/x/Katalog.INDD", "indd"));
  EXPECT_FALSE(pathEndsWith("/x/Katalog.INDD", "INDD"));
  EXPECT_TRUE(pathEndsWith("/x/Katalog.indd", "indd"));
  EXPECT_FALSE(pathEndsWith("/x/Katalog.indd.bak", "indd"));
  EXPECT_FALSE(pathEndsWith("/x/indd", "indd"));
  EXPECT_TRUE(pathEndsWith("/x/a.SLD", std::vector<std::string>{"indd", "sld"}));
  EXPECT_FALSE(pathEndsWith("/x/a.idml", std::vector<std::string>{"indd", "sld"}));
  EXPECT_TRUE(pathEndsWith("/x/a.Idml", Array::make({"indd", "idml"})));
  EXPECT_FALSE(pathEndsWith("/x/a.idml", ArrayPtr()));
}

}  // namespace
}  // namespace korvex
