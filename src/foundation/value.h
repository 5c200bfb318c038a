#pragma once

// The property-list value model: nil, string, integer, real, boolean, date,
// data, array and dictionary. Arrays and dictionaries are shared and mutable
// in place (a section changed through one holder is seen by all), and
// dictionaries keep insertion order so that every run is deterministic.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace korvex {

class Array;
class Dictionary;
using ArrayPtr = std::shared_ptr<Array>;
using DictPtr = std::shared_ptr<Dictionary>;
using Bytes = std::vector<std::uint8_t>;

// Seconds since 1970-01-01 00:00:00 UTC.
struct Date {
  double seconds = 0;
  friend bool operator==(const Date&, const Date&) = default;
};

class Value {
 public:
  enum class Kind { Nil, String, Integer, Real, Boolean, Date, Data, Array, Dictionary };

  Value() = default;
  Value(std::nullptr_t) {}
  Value(std::string s) : v_(std::move(s)) {}
  Value(std::string_view s) : v_(std::string(s)) {}
  Value(const char* s) : v_(s ? Storage(std::string(s)) : Storage()) {}
  Value(int i) : v_(std::int64_t{i}) {}
  Value(std::int64_t i) : v_(i) {}
  Value(double d) : v_(d) {}
  Value(Date d) : v_(d) {}
  Value(Bytes b) : v_(std::move(b)) {}
  Value(ArrayPtr a);
  Value(DictPtr d);
  // bool is explicit: too many things convert to it silently.
  static Value boolean(bool b) {
    Value v;
    v.v_ = Bool{b};
    return v;
  }

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool isNil() const { return kind() == Kind::Nil; }
  bool isString() const { return kind() == Kind::String; }
  bool isNumber() const {
    return kind() == Kind::Integer || kind() == Kind::Real || kind() == Kind::Boolean;
  }
  bool isArray() const { return kind() == Kind::Array; }
  bool isDictionary() const { return kind() == Kind::Dictionary; }
  explicit operator bool() const { return !isNil(); }

  // Typed views; null/none when the value is of another kind.
  // Pointers into the value: not on temporaries, whose text would be gone
  // before the caller reads it.
  const std::string* string() const& { return std::get_if<std::string>(&v_); }
  const std::string* string() const&& = delete;
  std::optional<std::int64_t> integer() const;
  std::optional<double> real() const;
  std::optional<bool> boolValue() const;
  std::optional<korvex::Date> date() const;
  const Bytes* data() const& { return std::get_if<Bytes>(&v_); }
  const Bytes* data() const&& = delete;
  ArrayPtr array() const;
  DictPtr dictionary() const;

  // The platform's text of a number (integers plainly, reals as the shortest
  // text that reads back); a string as itself; none for other kinds.
  std::optional<std::string> stringValue() const;
  // The platform's intValue/floatValue: leading number of a string, a number's value.
  int intValue() const;
  float floatValue() const;

  // Old-style property-list text, as collections appear in the log.
  std::string description() const;

  // Structural equality (containers compared by content).
  friend bool operator==(const Value& a, const Value& b);

  // A deep copy: containers are duplicated, never shared with the original.
  Value deepCopy() const;

 private:
  struct Bool {
    bool b;
    friend bool operator==(const Bool&, const Bool&) = default;
  };
  friend class ValueDescriber;
  using Storage = std::variant<std::monostate, std::string, std::int64_t, double, Bool, korvex::Date,
                               Bytes, ArrayPtr, DictPtr>;
  Storage v_;
};

class Array {
 public:
  Array() = default;
  Array(std::initializer_list<Value> items) : items_(items) {}
  static ArrayPtr make(std::initializer_list<Value> items = {}) {
    return std::make_shared<Array>(items);
  }

  std::size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  const Value& at(std::size_t i) const { return items_.at(i); }
  Value& at(std::size_t i) { return items_.at(i); }
  void append(Value v) { items_.push_back(std::move(v)); }
  void insert(std::size_t i, Value v) { items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(i), std::move(v)); }
  void removeAt(std::size_t i) { items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i)); }
  void clear() { items_.clear(); }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }

 private:
  std::vector<Value> items_;
};

class Dictionary {
 public:
  using Entry = std::pair<std::string, Value>;
  static DictPtr make() { return std::make_shared<Dictionary>(); }

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  // Nil when the key is absent.
  Value get(std::string_view key) const;
  bool contains(std::string_view key) const { return index_.contains(std::string(key)); }
  // Setting nil removes the key; a new key goes to the end, an existing one keeps its place.
  void set(std::string_view key, Value v);
  void remove(std::string_view key);
  void clear() {
    entries_.clear();
    index_.clear();
  }
  std::vector<std::string> keys() const;

  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

 private:
  std::vector<Entry> entries_;
  std::unordered_map<std::string, std::size_t> index_;
};

// Shortest decimal text that reads back to the same number.
std::string shortestText(float f);
std::string shortestText(double d);

}  // namespace korvex
