// IPTC written into real JPEG and TIFF files by the exiv2 tool, read back
// through the image-properties reader.

#include "platform/image_properties.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_process.h"
#include "support/temp_home.h"
#include "support/tools.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

class ImagePropertiesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::tool("exiv2").empty() || test::tool("vips").empty()) GTEST_SKIP() << "exiv2 or vips missing";
  }

  fs::path picture(const std::string& name) {
    const fs::path path = home.scratch() / name;
    const test::ProcessResult made =
        test::runProcess(test::tool("vips"), {"black", path.string(), "16", "16"});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return path;
  }

  // exiv2 -M "set KEY String VALUE" for each pair.
  void setIptc(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& values) {
    std::vector<std::string> args;
    for (const auto& [key, value] : values) args.push_back("-Mset " + key + " String " + value);
    args.push_back(path.string());
    const test::ProcessResult set = test::runProcess(test::tool("exiv2"), args);
    ASSERT_EQ(set.exitCode, 0) << set.err;
  }

  test::TempHome home;
};

TEST_F(ImagePropertiesTest, SourceOfJpegAndTiffWithTheRecordsCharacterSet) {
  const fs::path jpeg = picture("a.jpg");
  // Declared UTF-8: the bytes as they are.
  setIptc(jpeg, {{"Iptc.Envelope.CharacterSet", "\x1b%G"},
                 {"Iptc.Application2.Source", "Auskorrigiert"},
                 {"Iptc.Application2.Headline", "Grüße"}});
  Result<std::map<std::string, std::string>> read = iptcPropertiesForImage(jpeg.string());
  ASSERT_TRUE(read) << read.message();
  EXPECT_EQ(read->at("Source"), "Auskorrigiert");
  EXPECT_EQ(read->at("Headline"), "Grüße");
  EXPECT_EQ(read->count("CharacterSet"), 0u) << "only the application record";

  // Undeclared: Latin-1, so é written as the one byte 0xE9 reads as é.
  const fs::path tiff = picture("b.tif");
  setIptc(tiff, {{"Iptc.Application2.Source", "unkorrigiert"}, {"Iptc.Application2.Headline", "Caf\xe9"}});
  read = iptcPropertiesForImage(tiff.string());
  ASSERT_TRUE(read) << read.message();
  EXPECT_EQ(read->at("Source"), "unkorrigiert");
  EXPECT_EQ(read->at("Headline"), "Café");

  // No IPTC at all, and files that are no pictures.
  EXPECT_TRUE(iptcPropertiesForImage(picture("c.jpg").string())->empty());
  test::writeFile(home.scratch() / "x.jpg", "not a picture");
  EXPECT_FALSE(iptcPropertiesForImage((home.scratch() / "x.jpg").string()));
  const Result<std::map<std::string, std::string>> missing =
      iptcPropertiesForImage((home.scratch() / "missing.tif").string());
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.message().find("missing.tif"), std::string::npos) << missing.message();
}

TEST(DecodeIimText, Utf8OnlyWhenDeclaredAndValid) {
  EXPECT_EQ(decodeIimText("Gr\xc3\xbc\xc3\x9f"
                          "e",
                          true),
            "Grüße");
  EXPECT_EQ(decodeIimText("Gr\xc3\xbc\xc3\x9f"
                          "e",
                          false),
            "Gr\xc3\x83\xc2\xbc\xc3\x83\xc2\x9f"
            "e");
  // Declared UTF-8 but not: Latin-1 rather than broken text.
  EXPECT_EQ(decodeIimText("\xe9t\xe9", true), "été");
}

}  // namespace
}  // namespace korvex
