#include "foundation/strings.h"

#include <gtest/gtest.h>

#include "foundation/bundle.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

TEST(Strings, StringsAreEqualHandlesNone) {
  EXPECT_TRUE(stringsAreEqual(std::nullopt, std::nullopt));
  EXPECT_FALSE(stringsAreEqual("a", std::nullopt));
  EXPECT_FALSE(stringsAreEqual(std::nullopt, "a"));
  EXPECT_TRUE(stringsAreEqual("Layer", std::string("Layer")));
  EXPECT_FALSE(stringsAreEqual("Layer", "layer"));
  std::optional<std::string> none;
  EXPECT_TRUE(stringsAreEqual(none, none));
  EXPECT_TRUE(stringsAreEqual("", ""));
}

TEST(Strings, StringsAreEqualAgainstArrays) {
  std::vector<std::string> names = {"Text", "Bilder"};
  EXPECT_TRUE(stringsAreEqual("Bilder", names));
  EXPECT_FALSE(stringsAreEqual("bilder", names));
  EXPECT_FALSE(stringsAreEqual(std::nullopt, names));
  ArrayPtr array = Array::make({"Text", 3, "Bilder"});
  EXPECT_TRUE(stringsAreEqual("Bilder", array));
  EXPECT_FALSE(stringsAreEqual("3", array));
  EXPECT_FALSE(stringsAreEqual("Text", ArrayPtr()));
}

TEST(Strings, StringStartsWith) {
  EXPECT_FALSE(stringStartsWith("abcabc", "bc"));
  EXPECT_TRUE(stringStartsWith("abcabc", "ab"));
  EXPECT_FALSE(stringStartsWith("abc", ""));
  EXPECT_FALSE(stringStartsWith("ab", "abc"));
  EXPECT_TRUE(stringStartsWith("abc", "abc"));
  EXPECT_FALSE(stringStartsWith(std::nullopt, "a"));
  EXPECT_FALSE(stringStartsWith("a", std::nullopt));
  EXPECT_TRUE(stringStartsWith("PN_Trennung", std::vector<std::string>{"XX", "PN_"}));
  EXPECT_FALSE(stringStartsWith("PN_Trennung", std::vector<std::string>{}));
  EXPECT_TRUE(stringStartsWith("PN_Trennung", Array::make({"PN"})));
}

TEST(Strings, CStringsAndData) {
  EXPECT_EQ(stringWithCString("K\xC3\xB6ln"), "K\xC3\xB6ln");
  EXPECT_EQ(stringWithCString(nullptr), std::nullopt);
  EXPECT_EQ(stringWithCString("K\xF6ln"), std::nullopt);
  Bytes bytes = {'h', 'i'};
  EXPECT_EQ(stringWithData(bytes), "hi");
  EXPECT_EQ(stringWithData(Value(bytes)), "hi");
  EXPECT_EQ(stringWithData(Value()), std::nullopt);
  EXPECT_EQ(stringWithData(Value("text")), std::nullopt);
}

TEST(Strings, FirstObject) {
  EXPECT_TRUE(firstObject(ArrayPtr()).isNil());
  EXPECT_TRUE(firstObject(Array::make()).isNil());
  EXPECT_EQ(firstObject(Array::make({"a", "b"})), Value("a"));
  EXPECT_EQ(firstObject(std::vector<int>{7, 8}), 7);
  EXPECT_EQ(firstObject(std::vector<int>{}), std::nullopt);
}

TEST(Strings, ResourcesComeFromTheBundle) {
  test::TempHome home;
  auto resources = home.scratch() / "resources";
  test::writeFile(resources / "MyStrings_D.strings", "\"OK\" = \"OK\";\n");
  std::filesystem::create_directories(resources / "Batch.nib");
  setBundleResourcesPath(resources.string());
  EXPECT_EQ(bundleResourcesPath(), resources.string());
  EXPECT_EQ(stringWithResource("MyStrings_D", "strings"), "\"OK\" = \"OK\";\n");
  EXPECT_EQ(stringWithResource("Missing", "strings"), std::nullopt);
  EXPECT_EQ(stringWithResource("Batch", "nib"), std::nullopt);  // a folder
  EXPECT_EQ(pathForResource("MyStrings_D", "strings"), (resources / "MyStrings_D.strings").string());
  setBundleResourcesPath("");
  EXPECT_NE(bundleResourcesPath(), resources.string());
}

TEST(Strings, BundleIsFoundBesideTheExecutable) {
  setBundleResourcesPath("");
  std::string path = bundleResourcesPath();
  EXPECT_FALSE(path.empty());
  EXPECT_EQ(std::filesystem::path(path).filename(), "resources");
}

}  // namespace
}  // namespace korvex
