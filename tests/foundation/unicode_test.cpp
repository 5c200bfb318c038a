#include "foundation/unicode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace korvex {
namespace {

const std::string kComposed = "M\xC3\xBCller";     // "Müller", ü as U+00FC
const std::string kDecomposed = "Mu\xCC\x88ller";  // u + U+0308

TEST(Unicode, NormalizationComposesAndDecomposes) {
  EXPECT_EQ(toNFC(kDecomposed), kComposed);
  EXPECT_EQ(toNFD(kComposed), kDecomposed);
  EXPECT_TRUE(isNFC(kComposed));
  EXPECT_FALSE(isNFC(kDecomposed));
  EXPECT_EQ(toNFC("plain ascii"), "plain ascii");
}

TEST(Unicode, CaseMappingIsFullAndLocaleIndependent) {
  EXPECT_EQ(toUpper("stra\xC3\x9F" "e"), "STRASSE");
  EXPECT_EQ(toLower("\xC3\x84PFEL"), "\xC3\xA4pfel");
  EXPECT_EQ(toUpper("istanbul"), "ISTANBUL");
  EXPECT_EQ(toLower(""), "");
}

TEST(Unicode, CaseInsensitiveComparison) {
  EXPECT_EQ(compareCaseInsensitive("Layer", "LAYER"), 0);
  EXPECT_LT(compareCaseInsensitive("apple", "Banana"), 0);
  EXPECT_GT(compareCaseInsensitive("b", "A"), 0);
  EXPECT_LT(compareCaseInsensitive("ab", "ABC"), 0);
  EXPECT_TRUE(equalsCaseInsensitive(kComposed, toUpper(kDecomposed)));
  EXPECT_TRUE(equalsCaseInsensitive("STRASSE", "stra\xC3\x9F" "e"));
  EXPECT_FALSE(equalsCaseInsensitive("a", "b"));
}

TEST(Unicode, NumericOrderingSortsLikeAFileBrowser) {
  std::vector<std::string> names = {"Seite 10.indd", "seite 2.indd", "Seite 1.indd", "Anhang.indd", "Seite 2.indd"};
  std::sort(names.begin(), names.end(), NumericLess());
  EXPECT_EQ(names, (std::vector<std::string>{"Anhang.indd", "Seite 1.indd", "seite 2.indd", "Seite 2.indd",
                                             "Seite 10.indd"}));
  EXPECT_EQ(compareNumeric("x", "x"), 0);
  EXPECT_NE(compareNumeric("a", "A"), 0);
  EXPECT_LT(compareNumeric("file9", "file10"), 0);
}

TEST(Unicode, ValidatesUTF8) {
  EXPECT_TRUE(isValidUTF8(""));
  EXPECT_TRUE(isValidUTF8(kComposed));
  EXPECT_TRUE(isValidUTF8("\xF0\x9F\x98\x80"));
  EXPECT_FALSE(isValidUTF8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(isValidUTF8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(isValidUTF8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(isValidUTF8("abc\xE4"));           // truncated
  EXPECT_FALSE(isValidUTF8("\x80"));
}

TEST(Unicode, DecodesTheEightBitEncodings) {
  EXPECT_EQ(decodeMacRoman("\x80\x85\x86\x8A\x9A\x9F\xA7"),
            "\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F");
  EXPECT_EQ(decodeWindows1252("\xC4\xD6\xDC\xE4\xF6\xFC\xDF"),
            "\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F");
  EXPECT_EQ(decodeWindows1252("\x80"), "\xE2\x82\xAC");
  EXPECT_EQ(decodeWindows1252("\x81"), "\xC2\x81");
  EXPECT_EQ(decodeMacRoman("\xDB"), "\xE2\x82\xAC");
  EXPECT_EQ(decodeMacRoman("plain"), "plain");
}

TEST(Unicode, DecodesUTF16AndUTF32) {
  using namespace std::string_literals;
  EXPECT_EQ(decodeUTF16("A\0\xE4\0"s, false), "A\xC3\xA4");
  EXPECT_EQ(decodeUTF16("\0A\0\xE4"s, true), "A\xC3\xA4");
  EXPECT_EQ(decodeUTF16("\x3D\xD8\x00\xDE"s, false), "\xF0\x9F\x98\x80");
  EXPECT_FALSE(decodeUTF16("A"s, false));
  EXPECT_FALSE(decodeUTF16("\x3D\xD8"s, false));  // lone high surrogate
  EXPECT_EQ(decodeUTF32("A\0\0\0"s, false), "A");
  EXPECT_EQ(decodeUTF32("\0\x01\xF6\x00"s, true), "\xF0\x9F\x98\x80");
  EXPECT_FALSE(decodeUTF32("\0\x11\0\0"s, true));  // U+110000
  EXPECT_FALSE(decodeUTF32("\x00\x00\x00\x01"s, false));  // 0x01000000 > U+10FFFF
}

TEST(Unicode, UTF16RoundTripAndCounting) {
  std::string text = "K\xC3\xB6ln \xF0\x9F\x98\x80";
  EXPECT_EQ(fromUTF16(toUTF16(text)), text);
  EXPECT_EQ(toUTF16(text).size(), 7u);
  EXPECT_EQ(characterCount(text), 6u);
  EXPECT_EQ(fromUTF16(toUTF16("a\xFF")), "a\xEF\xBF\xBD");
}

}  // namespace
}  // namespace korvex
