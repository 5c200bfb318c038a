#include "foundation/hfs_path.h"

#include <gtest/gtest.h>

#include "support/temp_home.h"

namespace korvex {
namespace {

class HfsPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    media_ = (home_.scratch() / "media").string();
    volumesFolder_ = (home_.scratch() / "Volumes").string();
    std::filesystem::create_directories(home_.scratch() / "media" / "USB Stick");
    volumes_.rootName = "Macintosh HD";
    volumes_.mountParents = {media_};
    volumes_.fallbackParent = volumesFolder_;
  }
  test::TempHome home_;
  std::string media_;
  std::string volumesFolder_;
  HfsVolumes volumes_;
};

TEST_F(HfsPathTest, RootVolume) {
  EXPECT_EQ(posixToHfs("/Users/jo/Job 1/a.indd", volumes_), "Macintosh HD:Users:jo:Job 1:a.indd");
  EXPECT_EQ(hfsToPosix("Macintosh HD:Users:jo:Job 1:a.indd", volumes_), "/Users/jo/Job 1/a.indd");
  EXPECT_EQ(posixToHfs("/", volumes_), "Macintosh HD:");
  EXPECT_EQ(hfsToPosix("Macintosh HD:", volumes_), "/");
  EXPECT_EQ(posixToHfs("/a/b/", volumes_), "Macintosh HD:a:b:");
  EXPECT_EQ(hfsToPosix("Macintosh HD:a:b:", volumes_), "/a/b/");
}

TEST_F(HfsPathTest, SlashesAndColonsTradePlaces) {
  EXPECT_EQ(posixToHfs("/Jobs/10:30 Uhr/a", volumes_), "Macintosh HD:Jobs:10/30 Uhr:a");
  EXPECT_EQ(hfsToPosix("Macintosh HD:Jobs:1/2 Seite:a", volumes_), "/Jobs/1:2 Seite/a");
  for (std::string path : {"/a:b/c:d", "/x//y", "/Jobs/10:30 Uhr/a/", "/M\xC3\xBCller/a.indd"})
    EXPECT_EQ(hfsToPosix(*posixToHfs(path, volumes_), volumes_), path) << path;
  for (std::string hfs : {"Macintosh HD:a/b:c/d", "Macintosh HD:x::y"})
    EXPECT_EQ(posixToHfs(*hfsToPosix(hfs, volumes_), volumes_), hfs) << hfs;
}

TEST_F(HfsPathTest, MountedVolumes) {
  std::string stick = media_ + "/USB Stick";
  EXPECT_EQ(posixToHfs(stick + "/Jobs/a.pdf", volumes_), "USB Stick:Jobs:a.pdf");
  EXPECT_EQ(hfsToPosix("USB Stick:Jobs:a.pdf", volumes_), stick + "/Jobs/a.pdf");
  EXPECT_EQ(posixToHfs(stick, volumes_), "USB Stick:");
  EXPECT_EQ(hfsToPosix("USB Stick:", volumes_), stick);
  // A folder under a mount parent that does not exist is no volume.
  EXPECT_EQ(posixToHfs(media_ + "/Other/a", volumes_)->substr(0, 13), "Macintosh HD:");
  EXPECT_EQ(hfsToPosix(*posixToHfs(media_ + "/Other/a", volumes_), volumes_), media_ + "/Other/a");
}

TEST_F(HfsPathTest, UnmountedVolumesLiveInTheFallbackFolder) {
  EXPECT_EQ(hfsToPosix("Archiv:2023:a.indd", volumes_), volumesFolder_ + "/Archiv/2023/a.indd");
  EXPECT_EQ(posixToHfs(volumesFolder_ + "/Archiv/2023/a.indd", volumes_), "Archiv:2023:a.indd");
  // A volume named ":x" would give "/x:…", which reads as a POSIX path: named on the root volume.
  const std::string odd = volumesFolder_ + "/:x/a";
  const auto hfs = posixToHfs(odd, volumes_);
  ASSERT_TRUE(hfs);
  EXPECT_EQ(hfs->rfind("Macintosh HD:", 0), 0u) << *hfs;
  EXPECT_EQ(hfsToPosix(*hfs, volumes_), odd);
}

TEST_F(HfsPathTest, ResultsAreNFC) {
  EXPECT_EQ(posixToHfs("/Mu\xCC\x88ller", volumes_), "Macintosh HD:M\xC3\xBCller");
  EXPECT_EQ(hfsToPosix("Macintosh HD:Mu\xCC\x88ller", volumes_), "/M\xC3\xBCller");
}

TEST_F(HfsPathTest, TextsThatAreNoPathsStayUnchanged) {
  EXPECT_EQ(hfsToPosix("no colon", volumes_), std::nullopt);
  EXPECT_EQ(hfsToPosix(":relative:path", volumes_), std::nullopt);
  EXPECT_EQ(posixToHfs("relative/path", volumes_), std::nullopt);
  EXPECT_EQ(pathWithString("no colon"), "no colon");
  EXPECT_EQ(pathWithString(""), "");
  EXPECT_EQ(pathWithString(std::nullopt), std::nullopt);
  EXPECT_EQ(hfsPathWithString("relative/path"), "relative/path");
  EXPECT_EQ(hfsPathWithString(std::nullopt), std::nullopt);
  EXPECT_EQ(pathWithString("/already/posix"), "/already/posix");
}

TEST(HfsPathSystem, RoundTripsWithTheSystemsRootVolume) {
  std::string root = rootVolumeName();
  EXPECT_FALSE(root.empty());
  EXPECT_EQ(hfsPathWithString("/tmp/x y/z.indd"), root + ":tmp:x y:z.indd");
  EXPECT_EQ(pathWithString(root + ":tmp:x y:z.indd"), "/tmp/x y/z.indd");
  EXPECT_EQ(pathWithString(*hfsPathWithString("/a:b/c")), "/a:b/c");
}

}  // namespace
}  // namespace korvex
