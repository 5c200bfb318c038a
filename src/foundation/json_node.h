#pragma once

// Reading JSON that people write by hand. Every value is checked as it is
// read; the first problem ends the read and names the value's JSON path
// ("$.spreads[2].items[0].bounds") and what is wrong with it.
//
//   Status read = readJson(text, [&](const JsonNode& root) {
//     root.expectObject({"copies"});
//     copies = static_cast<int>(root.at("copies").integer(1, 999));
//   });
//   if (!read) report(path + ": " + read.message());

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/result.h"

namespace korvex {

using OrderedJson = nlohmann::ordered_json;

// Raised by JsonNode::fail inside a reader and caught by readJson: it never
// leaves the reader. A code of 0 stands for the reader's default code.
struct JsonProblem {
  std::string path;
  std::string problem;
  int code = 0;
};

// The parsed text: every value in one flat table, strings in one buffer.
// Built by readJson, read through JsonNode; never changes once built.
class JsonTree;

// A JSON value of a parsed text. Cheap to copy; its path ("$.spreads[2]")
// is worked out only when a message needs it.
class JsonNode {
 public:
  JsonNode(const JsonTree& tree, std::uint32_t index) : tree_(&tree), index_(index) {}

  std::string path() const;

  bool isObject() const;
  bool isArray() const;
  bool isString() const;
  bool isBoolean() const;
  // A whole number of 0 or more (how a UID is written).
  bool isUnsigned() const;
  // Members of an object or elements of an array; 0 for anything else.
  std::size_t size() const;
  // An object's members in file order (a repeated key keeps its first
  // place and its last value); none for anything else.
  std::vector<std::pair<std::string_view, JsonNode>> members() const;
  // An array's elements; none for anything else.
  std::vector<JsonNode> elements() const;

  [[noreturn]] void fail(const std::string& problem, int code = 0) const;

  // An object whose keys are all among allowed; an unknown key is a problem
  // (a typo must not vanish silently).
  void expectObject(std::initializer_list<const char*> allowed) const;
  bool has(const char* key) const;
  JsonNode at(const char* key) const;
  JsonNode at(std::size_t index) const;
  // The elements of the array under key; none when the key is absent.
  std::vector<JsonNode> array(const char* key) const;

  std::string string() const;
  // Finite numbers only.
  double number() const;
  double number(double lo, double hi) const;
  // Whole numbers in [lo, hi]; anything larger (even past 64 bits) is out of range.
  long long integer(long long lo, long long hi) const;
  bool boolean() const;
  // An array of count numbers (any count when 0).
  std::vector<double> numbers(std::size_t count) const;

  // One of the names of the table; the problem lists them all.
  template <typename E, std::size_t N>
  E choice(const std::pair<E, const char*> (&names)[N]) const {
    const std::string s = string();
    for (const auto& [value, name] : names)
      if (s == name) return value;
    std::string allowed;
    for (const auto& [value, name] : names) allowed += std::string(allowed.empty() ? "" : ", ") + name;
    fail("unknown value \"" + s + "\" (one of " + allowed + ")");
  }

  // The value under key, or the default when the key is absent.
  std::string str(const char* key, const std::string& fallback) const;
  double num(const char* key, double fallback) const;
  bool flag(const char* key, bool fallback) const;

  // How a key appears in a path: .name, or ["odd key"].
  static std::string member(std::string_view key);

 private:
  const JsonTree* tree_;
  std::uint32_t index_;
};

// Parses text and hands its root ("$") to read. A syntax error, a number
// too large to read, or a problem raised while reading comes back as a
// failure "PATH: PROBLEM" (one line) with the problem's code, else
// defaultCode. Nesting deeper than maxDepth is refused before reading.
Status readJson(std::string_view text, const std::function<void(const JsonNode&)>& read, int defaultCode = 1,
                int maxDepth = 256);

// Control characters escaped as \xNN, so a message with names and keys from
// a file stays one line.
std::string oneLine(std::string_view text);

}  // namespace korvex
