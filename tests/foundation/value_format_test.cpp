#include <gtest/gtest.h>

#include <cfloat>
#include <climits>

#include "foundation/format.h"
#include "foundation/value.h"

namespace korvex {
namespace {

TEST(Value, ContainersAreSharedAndKeepInsertionOrder) {
  auto section = Dictionary::make();
  Value holderA(section), holderB(section);
  holderA.dictionary()->set("Zeta", "1");
  holderA.dictionary()->set("Alpha", 2);
  holderA.dictionary()->set("Zeta", "3");  // replacing keeps the place
  EXPECT_EQ(holderB.dictionary()->keys(), (std::vector<std::string>{"Zeta", "Alpha"}));
  EXPECT_EQ(*holderB.dictionary()->get("Zeta").stringValue(), "3");

  holderA.dictionary()->remove("Zeta");
  holderA.dictionary()->set("Beta", "x");
  EXPECT_EQ(section->keys(), (std::vector<std::string>{"Alpha", "Beta"}));
  EXPECT_EQ(*section->get("Beta").stringValue(), "x");  // index stays right after removal
  section->set("Alpha", Value());                       // nil removes
  EXPECT_FALSE(section->contains("Alpha"));

  Value copy = holderA.deepCopy();
  copy.dictionary()->set("Beta", "changed");
  EXPECT_EQ(*section->get("Beta").stringValue(), "x");
  EXPECT_FALSE(copy == holderA);
}

TEST(Value, NumberTextsAndPlatformReadings) {
  EXPECT_EQ(*Value(42).stringValue(), "42");
  EXPECT_EQ(shortestText(2.5f), "2.5");
  EXPECT_EQ(shortestText(0.1f), "0.1");
  EXPECT_EQ(shortestText(65536.0f), "65536");
  EXPECT_EQ(*Value(0.75).stringValue(), "0.75");
  EXPECT_EQ(*Value::boolean(true).stringValue(), "1");
  EXPECT_FALSE(Value(Array::make()).stringValue());

  EXPECT_EQ(Value("  12abc").intValue(), 12);
  EXPECT_EQ(Value("abc").intValue(), 0);
  EXPECT_EQ(Value("-7").intValue(), -7);
  EXPECT_EQ(Value("99999999999").intValue(), INT_MAX);
  EXPECT_EQ(Value(3.9).intValue(), 3);
  EXPECT_FLOAT_EQ(Value("2.5cm").floatValue(), 2.5f);
  EXPECT_FLOAT_EQ(Value("1e2").floatValue(), 100.0f);
  EXPECT_FLOAT_EQ(Value("2,5").floatValue(), 2.0f);  // the comma is not a decimal point here
  EXPECT_FLOAT_EQ(Value(".5").floatValue(), 0.5f);
  EXPECT_FLOAT_EQ(Value("x").floatValue(), 0.0f);
}

TEST(Value, DescriptionIsTheOldStyleTextForm) {
  auto action = Dictionary::make();
  action->set("Action", "PDF");
  action->set("Folder", "/tmp/out dir");
  action->set("Show", 1);
  action->set("List", Value(Array::make({"a", "", "b\"c"})));
  action->set("Empty", Value(Dictionary::make()));
  EXPECT_EQ(Value(action).description(),
            "{\n"
            "    Action = PDF;\n"
            "    Empty = {\n"
            "    };\n"
            "    Folder = \"/tmp/out dir\";\n"
            "    List = (\n"
            "        a,\n"
            "        \"\",\n"
            "        \"b\\\"c\"\n"
            "    );\n"
            "    Show = 1;\n"
            "}");
  // Keys are written in byte order, not in the order they were set.
  auto reversed = Dictionary::make();
  reversed->set("b", 1);
  reversed->set("B", 2);
  reversed->set("a", 3);
  EXPECT_EQ(Value(reversed).description(), "{\n    B = 2;\n    a = 3;\n    b = 1;\n}");
  EXPECT_EQ(Value(Array::make()).description(), "(\n)");
  EXPECT_EQ(Value(Bytes{1, 2, 3, 4, 255}).description(), "<01020304 ff>");
  EXPECT_EQ(Value("a_b.c$d/e:f-g").description(), "a_b.c$d/e:f-g");
  EXPECT_EQ(Value("Größe").description(), "\"Größe\"");
}

TEST(Format, ObjectsAndCConversions) {
  Value nil;
  Value list(Array::make({"x"}));
  EXPECT_EQ(stringWithFormat("action: %@", Value("PDF")), "action: PDF");
  EXPECT_EQ(stringWithFormat("%@|%@", nil, std::string("s")), "(null)|s");
  EXPECT_EQ(stringWithFormat("%@", list), "(\n    x\n)");
  EXPECT_EQ(stringWithFormat("%d %ld %03d %02d", 5, 7L, 9, 123), "5 7 009 123");
  EXPECT_EQ(stringWithFormat("%x %08x %X", 255, 48879, -1), "ff 0000beef FFFFFFFF");
  EXPECT_EQ(stringWithFormat("%.1f %.0f %f", 25.4f, 2.5, 1.0), "25.4 2 1.000000");
  EXPECT_EQ(stringWithFormat("%s|%s|%5s|%-3s|", "abc", static_cast<const char*>(nullptr), "ab", "x"),
            "abc|(null)|   ab|x  |");
  EXPECT_EQ(stringWithFormat("100%% %c", 'A'), "100% A");
  EXPECT_EQ(stringWithFormat("%*d|%.*s", 4, 7, 2, "abcdef"), "   7|ab");
}

TEST(Format, MismatchedOrMissingArgumentsNeverCrash) {
  EXPECT_EQ(stringWithFormat("%d %@ %s"), "0 (null) (null)");
  EXPECT_EQ(stringWithFormat("%d", "12"), "12");
  EXPECT_EQ(stringWithFormat("%d", Value(3.7)), "3");
  EXPECT_EQ(stringWithFormat("%.1f", Value("2.25")), "2.2");
  EXPECT_EQ(stringWithFormat("trailing %"), "trailing %");
  EXPECT_EQ(stringWithFormat("%k"), "%k");
  std::string longText(500, 'z');
  EXPECT_EQ(stringWithFormat("%s", longText), longText);
  EXPECT_EQ(stringWithFormat("%600d", 1).size(), 600u);
}

}  // namespace
}  // namespace korvex
