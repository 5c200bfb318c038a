#include <gtest/gtest.h>

#include "foundation/dictionary_accessors.h"

namespace korvex {
namespace {

DictPtr action() {
  auto d = Dictionary::make();
  d->set("One", Value("1"));
  d->set("Letters", Value("abc"));
  d->set("Lead", Value("  12px"));
  d->set("Five", Value(5));
  d->set("Half", Value(0.5));
  d->set("Flag", Value::boolean(true));
  d->set("Empty", Value(""));
  d->set("Comma", Value("0,75"));
  d->set("List", Value(Array::make({Value("a")})));
  d->set("Section", Value(Dictionary::make()));
  d->set("When", Value(Date{0}));
  return d;
}

TEST(DictionaryAccessorsTest, IntegerFallbacks) {
  auto d = action();
  EXPECT_EQ(integerForKey(d, "One", 9), 1);
  EXPECT_EQ(integerForKey(d, "Letters", 9), 0);  // a string without a number is 0, not the default
  EXPECT_EQ(integerForKey(d, "Lead", 9), 12);
  EXPECT_EQ(integerForKey(d, "Five", 9), 5);
  EXPECT_EQ(integerForKey(d, "Half", 9), 0);
  EXPECT_EQ(integerForKey(d, "Flag", 9), 1);
  EXPECT_EQ(integerForKey(d, "Missing", 9), 9);
  EXPECT_EQ(integerForKey(d, "List", 9), 9);
  EXPECT_EQ(integerForKey(d, "Section", 9), 9);
  EXPECT_EQ(integerForKey(d, "When", 9), 9);
  EXPECT_EQ(intForKey(d, "One", 9), 1);
  EXPECT_EQ(intForKey(d, "Missing", 9), 9);
  EXPECT_EQ(integerForKey(nullptr, "One", 9), 9);
  // Readers take plain keys, not key paths.
  d->get("Section").dictionary()->set("Inner", Value("4"));
  EXPECT_EQ(integerForKey(d, "Section.Inner", 9), 9);
}

TEST(DictionaryAccessorsTest, StringFallbacks) {
  auto d = action();
  EXPECT_EQ(stringForKey(d, "Letters", "x"), "abc");
  EXPECT_EQ(stringForKey(d, "Five", "x"), "5");
  EXPECT_EQ(stringForKey(d, "Half", "x"), "0.5");
  EXPECT_EQ(stringForKey(d, "Empty", "x"), "");
  EXPECT_EQ(stringForKey(d, "List", "x"), "x");
  EXPECT_EQ(stringForKey(d, "Section", "x"), "x");
  EXPECT_EQ(stringForKey(d, "Missing", "x"), "x");
  EXPECT_EQ(stringForKey(d, "Missing"), std::nullopt);  // nil default
  EXPECT_EQ(stringForKey(d, "List", std::nullopt), std::nullopt);
  EXPECT_EQ(stringForKey(nullptr, "Letters", "d"), "d");
  const std::string key = "Letters";
  EXPECT_EQ(stringForKey(d, key.c_str()), "abc");  // both key forms are one
}

TEST(DictionaryAccessorsTest, FloatFallbacks) {
  auto d = action();
  EXPECT_FLOAT_EQ(floatForKey(d, "Comma", 2), 0.75f);
  EXPECT_FLOAT_EQ(floatForKey(d, "Half", 2), 0.5f);
  EXPECT_FLOAT_EQ(floatForKey(d, "Five", 2), 5.0f);
  EXPECT_FLOAT_EQ(floatForKey(d, "Letters", 2), 0.0f);
  EXPECT_FLOAT_EQ(floatForKey(d, "Missing", 2), 2.0f);
  EXPECT_FLOAT_EQ(floatForKey(d, "List", 2), 2.0f);
  EXPECT_FLOAT_EQ(floatForKey(nullptr, "Half", 2), 2.0f);
}

TEST(DictionaryAccessorsTest, SettersStoreDecimalText) {
  auto d = Dictionary::make();
  setIntegerForKey(d, "Save", 1);
  EXPECT_EQ(d->get("Save"), Value("1"));
  EXPECT_EQ(integerForKey(d, "Save", 0), 1);
  setIntegerForKey(d, "Neg", -12);
  EXPECT_EQ(d->get("Neg"), Value("-12"));
  setFloatForKey(d, "Scale", 0.1f);
  EXPECT_EQ(d->get("Scale"), Value("0.1"));
  EXPECT_FLOAT_EQ(floatForKey(d, "Scale", 0), 0.1f);
  setFloatForKey(d, "Whole", 2.0f);
  EXPECT_EQ(d->get("Whole"), Value("2"));
  setStringForKey(d, "Name", "Proof");
  EXPECT_EQ(stringForKey(d, "Name"), "Proof");
  // An existing key keeps its place; nil removes it.
  setStringForKey(d, "Save", "0");
  EXPECT_EQ(d->keys().front(), "Save");
  setStringForKey(d, "Save", std::nullopt);
  EXPECT_FALSE(d->contains("Save"));
  // A null dictionary is left alone.
  setStringForKey(nullptr, "Name", "x");
  setIntegerForKey(nullptr, "Name", 1);
}

TEST(DictionaryAccessorsTest, SettersFollowKeyPaths) {
  auto d = Dictionary::make();
  auto a = Dictionary::make();
  d->set("A", Value(a));
  setStringForKey(d, "A.B", "value");
  EXPECT_EQ(a->get("B"), Value("value"));
  EXPECT_FALSE(d->contains("A.B"));
  setIntegerForKey(d, "A.N", 3);
  EXPECT_EQ(a->get("N"), Value("3"));

  // A missing or non-dictionary component: nothing is stored, nothing replaced.
  setStringForKey(d, "Missing.B", "v");
  EXPECT_FALSE(d->contains("Missing"));
  EXPECT_FALSE(d->contains("Missing.B"));
  d->set("S", Value("text"));
  EXPECT_FALSE(setValueForKeyPath(d, "S.B", Value("v")));
  EXPECT_EQ(d->get("S"), Value("text"));

  // Removal takes the key as a plain key.
  d->set("X.Y", Value("plain"));
  setStringForKey(d, "X.Y", std::nullopt);
  EXPECT_FALSE(d->contains("X.Y"));
  setStringForKey(d, "A.B", std::nullopt);
  EXPECT_EQ(a->get("B"), Value("value"));
}

TEST(DictionaryAccessorsTest, DictAndArrayForKey) {
  auto d = action();
  auto section = dictForKey(d, "Section", false);
  ASSERT_TRUE(section);
  EXPECT_EQ(section, d->get("Section").dictionary());  // shared, not copied

  EXPECT_EQ(dictForKey(d, "Letters", true), nullptr);  // another kind: nil, left alone
  EXPECT_EQ(d->get("Letters"), Value("abc"));
  EXPECT_EQ(dictForKey(d, "New", false), nullptr);
  EXPECT_FALSE(d->contains("New"));
  auto made = dictForKey(d, "New", true);
  ASSERT_TRUE(made);
  EXPECT_TRUE(made->empty());
  made->set("k", Value("v"));
  EXPECT_EQ(stringForKey(d->get("New").dictionary(), "k"), "v");
  EXPECT_EQ(dictForKey(nullptr, "New", true), nullptr);

  EXPECT_EQ(arrayForKey(d, "List", false)->size(), 1u);
  EXPECT_EQ(arrayForKey(d, "Section", true), nullptr);
  auto list = arrayForKey(d, "NewList", true);
  ASSERT_TRUE(list);
  list->append(Value("x"));
  EXPECT_EQ(d->get("NewList").array()->size(), 1u);
  EXPECT_EQ(arrayForKey(d, "Nothing", false), nullptr);
}

}  // namespace
}  // namespace korvex
