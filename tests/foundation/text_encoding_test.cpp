#include "foundation/text_encoding.h"

#include <gtest/gtest.h>

#include "support/temp_home.h"

namespace korvex {
namespace {

using namespace std::string_literals;

const std::string kUmlauts = "M\xC3\xBCller \xC3\xA4rgert sich";  // "Müller ärgert sich" in UTF-8

TEST(TextEncoding, Windows1252UmlautDecides) {
  DecodedText d = decodeText("\xE4pfel");  // 0xE4 = ä in Windows-1252
  EXPECT_EQ(d.encoding, TextEncoding::Windows1252);
  EXPECT_EQ(d.text, "\xC3\xA4pfel");
}

TEST(TextEncoding, MacRomanUmlautDecides) {
  DecodedText d = decodeText("\x8Apfel");  // 0x8A = ä in Mac OS Roman
  EXPECT_EQ(d.encoding, TextEncoding::MacRoman);
  EXPECT_EQ(d.text, "\xC3\xA4pfel");
}

TEST(TextEncoding, FirstDecidingByteWins) {
  EXPECT_EQ(scanGermanEncoding("x\x9A y\xFC"), TextEncoding::MacRoman);
  EXPECT_EQ(scanGermanEncoding("x\xDF y\x9A"), TextEncoding::Windows1252);
  EXPECT_EQ(scanGermanEncoding("\xA7"), TextEncoding::MacRoman);
}

TEST(TextEncoding, NoDecidingByteMeansMacRoman) {
  DecodedText d = decodeText("caf\x8E \xA9");  // é and © in Mac OS Roman; invalid UTF-8
  EXPECT_EQ(d.encoding, TextEncoding::MacRoman);
  EXPECT_EQ(d.text, "caf\xC3\xA9 \xC2\xA9");
}

TEST(TextEncoding, ValidUTF8IsTakenAsIs) {
  DecodedText d = decodeText(kUmlauts);
  EXPECT_EQ(d.encoding, TextEncoding::UTF8);
  EXPECT_EQ(d.text, kUmlauts);
  EXPECT_EQ(decodeText("").encoding, TextEncoding::UTF8);
}

TEST(TextEncoding, ByteOrderMarksAreRecognisedAndDropped) {
  EXPECT_EQ(decodeText("\xEF\xBB\xBFhi"s).text, "hi");
  EXPECT_EQ(decodeText("\xEF\xBB\xBFhi"s).encoding, TextEncoding::UTF8);

  DecodedText le = decodeText("\xFF\xFEh\0\xE4\0"s);
  EXPECT_EQ(le.encoding, TextEncoding::UTF16LE);
  EXPECT_EQ(le.text, "h\xC3\xA4");

  DecodedText be = decodeText("\xFE\xFF\0h\0\xE4"s);
  EXPECT_EQ(be.encoding, TextEncoding::UTF16BE);
  EXPECT_EQ(be.text, "h\xC3\xA4");

  DecodedText le32 = decodeText("\xFF\xFE\0\0h\0\0\0"s);
  EXPECT_EQ(le32.encoding, TextEncoding::UTF32LE);
  EXPECT_EQ(le32.text, "h");

  DecodedText be32 = decodeText("\0\0\xFE\xFF\0\0\0h"s);
  EXPECT_EQ(be32.encoding, TextEncoding::UTF32BE);
  EXPECT_EQ(be32.text, "h");
}

TEST(TextEncoding, BrokenUnicodeAfterAMarkFallsThroughToTheByteScan) {
  // A UTF-8 mark followed by a Windows-1252 ä: not UTF-8 after all.
  DecodedText d = decodeText("\xEF\xBB\xBF\xE4"s);
  EXPECT_EQ(d.encoding, TextEncoding::Windows1252);
  // UTF-16 LE mark with an odd length.
  EXPECT_EQ(decodeText("\xFF\xFEh"s).encoding, TextEncoding::MacRoman);
}

TEST(TextEncoding, ReadsFiles) {
  test::TempHome home;
  auto path = home.scratch() / "names.txt";
  test::writeFile(path, "Gr\xFC\xDF" "e\n");
  EXPECT_EQ(stringWithContentsOfFile(path.string()), "Gr\xC3\xBC\xC3\x9F" "e\n");
  EXPECT_EQ(stringWithContentsOfFile((home.scratch() / "missing.txt").string()), std::nullopt);
  EXPECT_EQ(stringWithContentsOfFile(home.scratch().string()), std::nullopt);  // a folder
}

TEST(TextEncoding, EncodingNames) {
  EXPECT_STREQ(textEncodingName(TextEncoding::MacRoman), "macintosh");
  EXPECT_STREQ(textEncodingName(TextEncoding::Windows1252), "windows-1252");
}

}  // namespace
}  // namespace korvex
