#include <gtest/gtest.h>

#include "foundation/json.h"
#include "foundation/log.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

TEST(JsonTest, ObjectBecomesDictionaryWithSameStructure) {
  auto d = dictWithJsonData(std::string_view(
      R"({"z": "text", "n": 12, "neg": -3, "r": 2.5, "e": 1e2, "t": true, "f": false, "none": null,)"
      R"( "list": [1, null, "x", {"k": []}], "inner": {"b": 1, "a": 2}, "big": 18446744073709551615})"));
  ASSERT_TRUE(d);
  EXPECT_EQ(d->keys(), (std::vector<std::string>{"z", "n", "neg", "r", "e", "t", "f", "list", "inner", "big"}));
  EXPECT_EQ(d->get("z"), Value("text"));
  EXPECT_EQ(d->get("n"), Value(12));
  EXPECT_EQ(d->get("neg"), Value(-3));
  EXPECT_EQ(d->get("r"), Value(2.5));
  EXPECT_EQ(d->get("e"), Value(100.0));
  EXPECT_EQ(d->get("t"), Value::boolean(true));
  EXPECT_EQ(d->get("f"), Value::boolean(false));
  EXPECT_FALSE(d->contains("none"));
  auto list = d->get("list").array();
  ASSERT_TRUE(list);
  ASSERT_EQ(list->size(), 4u);
  EXPECT_TRUE(list->at(1).isNil());
  EXPECT_TRUE(list->at(3).dictionary()->get("k").array()->empty());
  EXPECT_EQ(d->get("inner").dictionary()->keys(), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(d->get("big").kind(), Value::Kind::Real);
  // Containers are mutable.
  d->get("inner").dictionary()->set("c", Value(3));
  EXPECT_EQ(d->get("inner").dictionary()->size(), 3u);
}

TEST(JsonTest, ErrorsAndNonObjectsGiveNull) {
  test::TempHome home;
  setupLog(true, std::nullopt);
  setLogging(true, false);
  EXPECT_EQ(dictWithJsonData(std::string_view("[1, 2]")), nullptr);
  EXPECT_EQ(dictWithJsonData(std::string_view("\"text\"")), nullptr);
  EXPECT_EQ(dictWithJsonData(std::string_view("{\"a\": ")), nullptr);
  EXPECT_EQ(dictWithJsonData(std::string_view("")), nullptr);
  EXPECT_EQ(dictWithJsonData(std::string_view("{\"a\": \"\xFF\"}")), nullptr);  // invalid UTF-8
  std::string deep(100000, '[');
  EXPECT_EQ(dictWithJsonData(std::string_view("{\"a\":" + deep)), nullptr);
  std::string deepButValid = "{\"a\":" + std::string(1000, '[') + std::string(1000, ']') + "}";
  EXPECT_EQ(dictWithJsonData(std::string_view(deepButValid)), nullptr);
  const std::uint8_t bytes[] = {'{', '}'};
  auto empty = dictWithJsonData(std::span<const std::uint8_t>(bytes));
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty());
  const std::string log = test::readFile(*getLogPath());
  EXPECT_NE(log.find("parse_error"), std::string::npos) << log;
  EXPECT_NE(log.find("nested too deeply"), std::string::npos) << log;
  setLogging(false, false);
}

TEST(JsonTest, SerialisationKeepsOrderAndReadsBack) {
  auto d = Dictionary::make();
  d->set("name", Value("Proof \"1\""));
  d->set("count", Value(2));
  d->set("scale", Value(0.1));
  d->set("on", Value::boolean(true));
  d->set("list", Value(Array::make({Value(1), Value(), Value("x")})));
  d->set("when", Value(Date{0}));
  d->set("blob", Value(Bytes{'M', 'a', 'n'}));
  EXPECT_EQ(*jsonWithValue(Value(d)),
            R"({"name":"Proof \"1\"","count":2,"scale":0.1,"on":true,"list":[1,null,"x"],)"
            R"("when":"1970-01-01T00:00:00Z","blob":"TWFu"})");
  auto back = dictWithJsonData(*jsonWithValue(Value(d), true));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->keys(), d->keys());
  EXPECT_EQ(back->get("scale"), Value(0.1));
  EXPECT_EQ(*jsonWithValue(Value(std::string("bad\xFF"))), "\"bad\xEF\xBF\xBD\"");
  EXPECT_EQ(*jsonWithValue(Value(Bytes{1})), "\"AQ==\"");
  auto self = Array::make();
  self->append(Value(self));
  EXPECT_FALSE(jsonWithValue(Value(self)));
  self->clear();
}

}  // namespace
}  // namespace korvex
