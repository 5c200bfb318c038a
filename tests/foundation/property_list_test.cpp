#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "foundation/property_list.h"
#include "foundation/read_file.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

DictPtr sampleDictionary() {
  auto d = Dictionary::make();
  d->set("Zeta", Value("last letter first"));
  d->set("Count", Value(42));
  d->set("Negative", Value(std::int64_t{-7}));
  d->set("Scale", Value(0.1));
  d->set("Whole", Value(3.0));
  d->set("On", Value::boolean(true));
  d->set("Off", Value::boolean(false));
  d->set("When", Value(Date{1700000000}));
  d->set("Before2001", Value(Date{86400}));
  d->set("Blob", Value(Bytes{0, 1, 2, 0xFF}));
  d->set("Text", Value("<&> \"quoted\" äöü €"));
  auto inner = Dictionary::make();
  inner->set("b", Value("2"));
  inner->set("a", Value("1"));
  d->set("Inner", Value(inner));
  d->set("List", Value(Array::make({Value("x"), Value(1), Value(Array::make())})));
  return d;
}

TEST(PropertyListTest, XmlRoundTripKeepsOrderAndKinds) {
  Value original(sampleDictionary());
  auto xml = propertyListXML(original);
  ASSERT_TRUE(xml);
  EXPECT_NE(xml->find("<integer>-7</integer>"), std::string::npos);
  EXPECT_NE(xml->find("<date>2023-11-14T22:13:20Z</date>"), std::string::npos) << *xml;
  EXPECT_NE(xml->find("<date>1970-01-02T00:00:00Z</date>"), std::string::npos) << *xml;
  auto back = readPropertyList(*xml);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, original);
  auto d = back->dictionary();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->keys(), original.dictionary()->keys());
  EXPECT_EQ(d->get("Inner").dictionary()->keys(), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(d->get("Whole").kind(), Value::Kind::Real);
  EXPECT_EQ(d->get("Count").kind(), Value::Kind::Integer);
  EXPECT_EQ(d->get("On").kind(), Value::Kind::Boolean);
  EXPECT_EQ(d->get("When").kind(), Value::Kind::Date);
  EXPECT_EQ(d->get("Blob"), Value(Bytes{0, 1, 2, 0xFF}));
  // Writing is deterministic.
  EXPECT_EQ(*propertyListXML(*back), *xml);
}

TEST(PropertyListTest, ReadContainersAreMutableAndIndependent) {
  auto back = readPropertyList(*propertyListXML(Value(sampleDictionary())));
  ASSERT_TRUE(back);
  auto inner = back->dictionary()->get("Inner").dictionary();
  inner->set("c", Value("3"));
  EXPECT_EQ(back->dictionary()->get("Inner").dictionary()->size(), 3u);
}

TEST(PropertyListTest, BinaryListsReadLikeXml) {
  Value original(sampleDictionary());
  auto bin = propertyListBinary(original);
  ASSERT_TRUE(bin);
  ASSERT_EQ(bin->rfind("bplist00", 0), 0u);
  auto back = readPropertyList(*bin);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, original);
  EXPECT_EQ(back->dictionary()->keys(), original.dictionary()->keys());
}

// A binary list can hold text XML can't (bad UTF-8, controls); it reads as the
// XML would hold it, so settings read, saved and read again stay the same.
TEST(PropertyListTest, TextXmlCannotCarryReadsAsXmlWouldHoldIt) {
  // {"\xA5": "a\x01b"} in ASCII strings, which binary lists hold as bytes.
  const std::string bin = std::string("bplist00") + "\xD1\x01\x02" + "\x51\xA5" + "\x53" + "a\x01" + "b" +
                          std::string("\x08\x0B\x0D", 3) + std::string(6, '\0') + "\x01\x01" +
                          std::string(7, '\0') + "\x03" + std::string(8, '\0') + std::string(7, '\0') + "\x11";
  const auto read = readPropertyList(bin);
  ASSERT_TRUE(read);
  ASSERT_TRUE(read->dictionary());
  EXPECT_EQ(read->dictionary()->keys(), std::vector<std::string>{"\xEF\xBF\xBD"});
  const Value text = read->dictionary()->get("\xEF\xBF\xBD");
  ASSERT_TRUE(text.string());
  EXPECT_EQ(*text.string(), "a\xEF\xBF\xBD"
                            "b");
  const auto xml = propertyListXML(*read);
  ASSERT_TRUE(xml);
  EXPECT_EQ(readPropertyList(*xml), read);
}

TEST(PropertyListTest, ValuesThatCannotBeWritten) {
  EXPECT_FALSE(propertyListXML(Value()));
  auto self = Dictionary::make();
  self->set("me", Value(self));
  EXPECT_FALSE(propertyListXML(Value(self)));
  self->clear();  // break the cycle so the test does not leak
  auto arr = Array::make({Value("a"), Value(), Value("b")});
  auto back = readPropertyList(*propertyListXML(Value(arr)));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->array()->size(), 2u);  // nil items are left out
  // Text XML can't carry becomes U+FFFD and still reads back.
  auto odd = readPropertyList(*propertyListXML(Value(std::string("a\x01" "b\xFF"))));
  ASSERT_TRUE(odd);
  EXPECT_EQ(*odd->string(), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}

TEST(PropertyListTest, MalformedXmlGivesNone) {
  const char* cases[] = {
      "",
      "not a plist",
      "<plist><dict><key>a</key></plist>",
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key><string>x</string>",
      "<plist><dict><key>a</key><string>&undefined;</string></dict></plist>",
      "<plist><integer>12</integer></plist><extra/>",
      "<plist><dict><key>a</key><unknown/></dict></plist>",
  };
  for (const char* c : cases) EXPECT_FALSE(readPropertyList(std::string_view(c))) << c;
  // Deep nesting is refused, not recursed into.
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "<array>";
  EXPECT_FALSE(readPropertyList("<plist>" + deep));
}

TEST(PropertyListTest, XmlListDoesNotLoadExternalEntities) {
  test::TempHome home;
  test::writeFile(home.scratch() / "secret.txt", "SECRET");
  std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [<!ENTITY e SYSTEM \"file://" +
                    (home.scratch() / "secret.txt").string() +
                    "\">]>\n<plist><dict><key>k</key><string>&e;</string></dict></plist>";
  auto v = readPropertyList(xml);
  if (v) {
    EXPECT_EQ(v->description().find("SECRET"), std::string::npos);
  }
}

TEST(PropertyListTest, EveryTruncationOfABinaryListIsSafe) {
  auto bin = *propertyListBinary(Value(sampleDictionary()));
  for (std::size_t n = 0; n < bin.size(); ++n) {
    auto v = readPropertyList(std::string_view(bin.data(), n));
    EXPECT_FALSE(v) << "length " << n;
  }
  auto xml = *propertyListXML(Value(sampleDictionary()));
  for (std::size_t n = 0; n < xml.size(); n += 7) (void)readPropertyList(std::string_view(xml.data(), n));
}

TEST(PropertyListTest, CorruptedBinaryListsAreSafe) {
  const auto bin = *propertyListBinary(Value(sampleDictionary()));
  // Every single byte flipped to a few telling values: no crash, and anything
  // read is a value.
  for (std::size_t i = 0; i < bin.size(); ++i) {
    for (unsigned char b : {0x00, 0x0F, 0x7F, 0xAF, 0xD1, 0xFF}) {
      std::string copy = bin;
      copy[i] = static_cast<char>(b);
      (void)readPropertyList(copy);
    }
  }
  // An array that contains itself: the trailer says one object at offset 8.
  std::string cyclic = "bplist00";
  cyclic += "\xA1\x00";            // array of one reference: object 0 (itself)
  cyclic += '\x08';                // offset table: object 0 at 8
  std::string trailer(32, '\0');
  trailer[6] = 1;                  // offset size
  trailer[7] = 1;                  // reference size
  trailer[15] = 1;                 // one object
  trailer[31] = 10;                // offset table at 10
  EXPECT_FALSE(readPropertyList(cyclic + trailer));
}

TEST(PropertyListTest, BinaryReferenceBombIsRefused) {
  // 40 arrays, each holding the next twice: 2^40 nodes if expanded.
  const int n = 40;
  std::string body = "bplist00";
  std::vector<std::size_t> offsets;
  for (int i = 0; i < n; ++i) {
    offsets.push_back(body.size());
    if (i + 1 < n) {
      body += '\xA2';
      body += static_cast<char>(i + 1);
      body += static_cast<char>(i + 1);
    } else {
      body += '\x09';  // true
    }
  }
  const std::size_t table = body.size();
  for (auto o : offsets) body += static_cast<char>(o);
  std::string trailer(32, '\0');
  trailer[6] = 1;
  trailer[7] = 1;
  trailer[15] = static_cast<char>(n);
  trailer[31] = static_cast<char>(table);
  EXPECT_FALSE(readPropertyList(body + trailer));
}

TEST(PropertyListTest, FilesAreWrittenAtomically) {
  test::TempHome home;
  auto path = (home.scratch() / "settings.plist").string();
  std::filesystem::create_directories(home.scratch());
  ASSERT_FALSE(writePropertyList(path, Value(sampleDictionary())));
  auto back = readPropertyListFile(path);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, Value(sampleDictionary()));

  EXPECT_EQ(writePropertyList(path, Value()), std::make_error_code(std::errc::invalid_argument));
  EXPECT_TRUE(readPropertyListFile(path));  // untouched

  if (::geteuid() != 0) {  // root writes anywhere
    const std::string before = test::readFile(path);
    ::chmod(home.scratch().c_str(), 0555);
    auto changed = sampleDictionary();
    changed->set("Count", Value(43));
    EXPECT_TRUE(writePropertyList(path, Value(changed)));
    ::chmod(home.scratch().c_str(), 0755);
    EXPECT_EQ(test::readFile(path), before);
  }
  EXPECT_FALSE(readPropertyListFile((home.scratch() / "missing.plist").string()));
}

TEST(PropertyListTest, FilesThatAreNoListsSayWhyAndWhere) {
  test::TempHome home;
  std::filesystem::create_directories(home.scratch());
  const std::string fifo = (home.scratch() / "fifo.plist").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string missing = (home.scratch() / "missing.plist").string();
  const std::string folder = home.scratch().string();
  const std::pair<std::string, std::string> refused[] = {
      {"/dev/zero", "/dev/zero: is a character device, not a regular file"},
      {fifo, fifo + ": is a fifo, not a regular file"},  // at once, without a writer
      {folder, folder + ": is a folder, not a file"},
      {missing, missing + ": no such file"},
  };
  for (const auto& [path, message] : refused) {
    Result<Value> list = loadPropertyListFile(path);
    ASSERT_FALSE(list) << path;
    EXPECT_EQ(list.message(), message);
  }
  EXPECT_EQ(loadPropertyListFile(missing).code(), ENOENT);

  const std::string big = (home.scratch() / "big.plist").string();
  test::writeFile(big, "<plist><string>" + std::string(100, 'x') + "</string></plist>");
  EXPECT_TRUE(readRegularFile(big, 200));
  EXPECT_EQ(readRegularFile(big, 99).message(), big + ": is larger than 99 bytes");

  const std::pair<std::string, std::string> malformed[] = {
      {"", "not a property list: the file is empty"},
      {"<plist>\n<dict><key>a</key>\n</plist>", "(line 3)"},
      {"<plist><dict><key>a</key><unknown/></dict></plist>", "holds no property list"},
      {"bplist00garbage", "a damaged binary property list"},
  };
  for (const auto& [text, part] : malformed) {
    Result<Value> list = parsePropertyList(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    ASSERT_FALSE(list) << text;
    EXPECT_NE(list.message().find(part), std::string::npos) << list.message();
    EXPECT_EQ(list.message().find('\n'), std::string::npos) << list.message();
  }
}

}  // namespace
}  // namespace korvex
