#include "foundation/json_node.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>
#include <unordered_map>

namespace korvex {

class JsonTree {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  enum class Kind : std::uint8_t { Null, Boolean, Integer, Unsigned, Float, String, Array, Object };
  struct Value {
    Kind kind = Kind::Null;
    bool keyed = false;  // a member of an object, else an element or the root
    std::uint32_t parent = kNone;
    std::uint32_t key = 0;  // keyed: offset of the key in text; else the index in the parent
    std::uint32_t keyLength = 0;
    std::uint32_t first = 0;  // string: offset in text; array, object: offset in children
    std::uint32_t count = 0;  // string: length; array, object: number of children
    union {
      bool flag;
      std::int64_t integer;
      std::uint64_t whole;
      double real;
    } number{};
  };

  std::vector<Value> values;
  std::vector<std::uint32_t> children;
  std::string text;

  const Value& at(std::uint32_t index) const { return values[index]; }
  std::string_view keyOf(const Value& v) const { return {text.data() + v.key, v.keyLength}; }
  std::string_view stringOf(const Value& v) const { return {text.data() + v.first, v.count}; }
  std::uint32_t child(const Value& v, std::size_t i) const { return children[v.first + i]; }
  std::uint32_t find(const Value& object, std::string_view key) const {
    for (std::uint32_t i = 0; i < object.count; ++i) {
      const std::uint32_t c = child(object, i);
      if (keyOf(values[c]) == key) return c;
    }
    return kNone;
  }
};

namespace {

using Kind = JsonTree::Kind;

// Builds a JsonTree from the parser's events: no allocation per value, and
// the nesting limit checked as values arrive.
class TreeBuilder {
 public:
  using string_t = std::string;
  using number_integer_t = std::int64_t;
  using number_unsigned_t = std::uint64_t;
  using number_float_t = double;
  using binary_t = nlohmann::json::binary_t;

  TreeBuilder(JsonTree& tree, int maxDepth) : tree_(tree), maxDepth_(maxDepth) {}

  std::string problem;  // set when parsing stopped

  bool null() { return add(Kind::Null) != JsonTree::kNone; }
  bool boolean(bool b) {
    return set(add(Kind::Boolean), [b](JsonTree::Value& v) { v.number.flag = b; });
  }
  bool number_integer(std::int64_t i) {
    // The parser hands non-negative whole numbers to number_unsigned.
    return set(add(Kind::Integer), [i](JsonTree::Value& v) { v.number.integer = i; });
  }
  bool number_unsigned(std::uint64_t u) {
    return set(add(Kind::Unsigned), [u](JsonTree::Value& v) { v.number.whole = u; });
  }
  bool number_float(double d, const std::string&) {
    return set(add(Kind::Float), [d](JsonTree::Value& v) { v.number.real = d; });
  }
  bool string(std::string& s) {
    const std::uint32_t index = add(Kind::String);
    if (index == JsonTree::kNone || !fits(s.size())) return false;
    tree_.values[index].first = static_cast<std::uint32_t>(tree_.text.size());
    tree_.values[index].count = static_cast<std::uint32_t>(s.size());
    tree_.text += s;
    return true;
  }
  bool binary(binary_t&) { return false; }  // never produced by JSON text
  bool start_object(std::size_t) { return open(Kind::Object); }
  bool start_array(std::size_t) { return open(Kind::Array); }
  bool key(std::string& k) {
    if (!fits(k.size())) return false;
    keyAt_ = static_cast<std::uint32_t>(tree_.text.size());
    keyLength_ = static_cast<std::uint32_t>(k.size());
    tree_.text += k;
    return true;
  }
  bool end_object() { return close(); }
  bool end_array() { return close(); }
  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) {
    // 406: a number the parser can't hold (1e999).
    problem = e.id == 406 ? "a number too large to read" : "invalid JSON at byte " + std::to_string(position);
    return false;
  }

 private:
  struct Open {
    std::uint32_t index;
    std::size_t firstPending;
  };

  bool fits(std::size_t more) {
    if (tree_.text.size() + more < JsonTree::kNone) return true;
    problem = "too large to read";
    return false;
  }

  template <typename F>
  bool set(std::uint32_t index, F assign) {
    if (index == JsonTree::kNone) return false;
    assign(tree_.values[index]);
    return true;
  }

  std::uint32_t add(Kind kind) {
    if (open_.size() > static_cast<std::size_t>(maxDepth_)) {
      problem = "nested too deeply";
      return JsonTree::kNone;
    }
    if (tree_.values.size() >= JsonTree::kNone - 1) {
      problem = "too large to read";
      return JsonTree::kNone;
    }
    const auto index = static_cast<std::uint32_t>(tree_.values.size());
    JsonTree::Value& v = tree_.values.emplace_back();
    v.kind = kind;
    if (!open_.empty()) {
      const Open& parent = open_.back();
      v.parent = parent.index;
      if (tree_.values[parent.index].kind == Kind::Object) {
        v.keyed = true;
        v.key = keyAt_;
        v.keyLength = keyLength_;
      } else {
        v.key = static_cast<std::uint32_t>(pending_.size() - parent.firstPending);
      }
      pending_.push_back(index);
    }
    return index;
  }

  bool open(Kind kind) {
    const std::uint32_t index = add(kind);
    if (index == JsonTree::kNone) return false;
    open_.push_back({index, pending_.size()});
    return true;
  }

  bool close() {
    const Open o = open_.back();
    open_.pop_back();
    if (tree_.values[o.index].kind == Kind::Object) dropRepeatedKeys(o.firstPending);
    const auto begin = pending_.begin() + static_cast<std::ptrdiff_t>(o.firstPending);
    JsonTree::Value& v = tree_.values[o.index];
    v.first = static_cast<std::uint32_t>(tree_.children.size());
    v.count = static_cast<std::uint32_t>(pending_.end() - begin);
    tree_.children.insert(tree_.children.end(), begin, pending_.end());
    pending_.erase(begin, pending_.end());
    return true;
  }

  // A repeated key keeps its first place and takes the last value.
  void dropRepeatedKeys(std::size_t from) {
    const std::size_t n = pending_.size() - from;
    auto keyAt = [&](std::size_t i) { return tree_.keyOf(tree_.values[pending_[i]]); };
    std::size_t kept = from;
    if (n <= 16) {
      for (std::size_t i = from; i < pending_.size(); ++i) {
        std::size_t j = from;
        while (j < kept && keyAt(j) != keyAt(i)) ++j;
        pending_[j] = pending_[i];
        if (j == kept) ++kept;
      }
    } else {
      std::unordered_map<std::string_view, std::size_t> place;
      place.reserve(n);
      for (std::size_t i = from; i < pending_.size(); ++i) {
        const auto [it, added] = place.emplace(keyAt(i), kept);
        pending_[it->second] = pending_[i];
        if (added) ++kept;
      }
    }
    pending_.resize(kept);
  }

  JsonTree& tree_;
  int maxDepth_;
  std::vector<Open> open_;
  std::vector<std::uint32_t> pending_;  // children of the open containers, in order
  std::uint32_t keyAt_ = 0, keyLength_ = 0;
};

}  // namespace

std::string JsonNode::path() const {
  std::vector<std::string> parts;
  for (std::uint32_t i = index_; tree_->at(i).parent != JsonTree::kNone; i = tree_->at(i).parent) {
    const JsonTree::Value& v = tree_->at(i);
    parts.push_back(v.keyed ? member(tree_->keyOf(v)) : "[" + std::to_string(v.key) + "]");
  }
  std::string out = "$";
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) out += *it;
  return out;
}

void JsonNode::fail(const std::string& problem, int code) const {
  throw JsonProblem{path(), problem, code};
}

bool JsonNode::isObject() const {
  return tree_->at(index_).kind == Kind::Object;
}
bool JsonNode::isArray() const {
  return tree_->at(index_).kind == Kind::Array;
}
bool JsonNode::isString() const {
  return tree_->at(index_).kind == Kind::String;
}
bool JsonNode::isBoolean() const {
  return tree_->at(index_).kind == Kind::Boolean;
}
bool JsonNode::isUnsigned() const {
  return tree_->at(index_).kind == Kind::Unsigned;
}

std::size_t JsonNode::size() const {
  const JsonTree::Value& v = tree_->at(index_);
  return v.kind == Kind::Object || v.kind == Kind::Array ? v.count : 0;
}

std::vector<std::pair<std::string_view, JsonNode>> JsonNode::members() const {
  std::vector<std::pair<std::string_view, JsonNode>> out;
  const JsonTree::Value& v = tree_->at(index_);
  if (v.kind != Kind::Object) return out;
  out.reserve(v.count);
  for (std::uint32_t i = 0; i < v.count; ++i) {
    const std::uint32_t c = tree_->child(v, i);
    out.emplace_back(tree_->keyOf(tree_->at(c)), JsonNode(*tree_, c));
  }
  return out;
}

std::vector<JsonNode> JsonNode::elements() const {
  std::vector<JsonNode> out;
  const JsonTree::Value& v = tree_->at(index_);
  if (v.kind != Kind::Array) return out;
  out.reserve(v.count);
  for (std::uint32_t i = 0; i < v.count; ++i) out.emplace_back(*tree_, tree_->child(v, i));
  return out;
}

void JsonNode::expectObject(std::initializer_list<const char*> allowed) const {
  if (!isObject()) fail("expected an object");
  const JsonTree::Value& v = tree_->at(index_);
  for (std::uint32_t i = 0; i < v.count; ++i) {
    const std::uint32_t c = tree_->child(v, i);
    const std::string_view key = tree_->keyOf(tree_->at(c));
    bool known = false;
    for (const char* a : allowed) known = known || key == a;
    if (!known) JsonNode(*tree_, c).fail("unknown key");
  }
}

bool JsonNode::has(const char* key) const {
  return isObject() && tree_->find(tree_->at(index_), key) != JsonTree::kNone;
}

JsonNode JsonNode::at(const char* key) const {
  if (!isObject()) fail("expected an object");
  const std::uint32_t c = tree_->find(tree_->at(index_), key);
  if (c == JsonTree::kNone) fail(std::string("missing \"") + key + "\"");
  return JsonNode(*tree_, c);
}

JsonNode JsonNode::at(std::size_t index) const {
  if (!isArray() || index >= size()) fail("no element " + std::to_string(index));
  return JsonNode(*tree_, tree_->child(tree_->at(index_), index));
}

std::string JsonNode::member(std::string_view key) {
  bool plain = !key.empty() && !std::isdigit(static_cast<unsigned char>(key[0]));
  for (char c : key) plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
  return plain ? "." + std::string(key)
               : "[" + OrderedJson(key).dump(-1, ' ', false, OrderedJson::error_handler_t::replace) + "]";
}

std::vector<JsonNode> JsonNode::array(const char* key) const {
  if (!has(key)) return {};
  const JsonNode a = at(key);
  if (!a.isArray()) a.fail("expected an array");
  return a.elements();
}

std::string JsonNode::string() const {
  if (!isString()) fail("expected a string");
  return std::string(tree_->stringOf(tree_->at(index_)));
}

double JsonNode::number() const {
  const JsonTree::Value& v = tree_->at(index_);
  double d = 0;
  switch (v.kind) {
    case Kind::Integer: d = static_cast<double>(v.number.integer); break;
    case Kind::Unsigned: d = static_cast<double>(v.number.whole); break;
    case Kind::Float: d = v.number.real; break;
    default: fail("expected a number");
  }
  if (!std::isfinite(d)) fail("expected a finite number");
  return d;
}

namespace {

std::string shortNumber(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

}  // namespace

double JsonNode::number(double lo, double hi) const {
  const double v = number();
  if (v < lo || v > hi) fail("out of range (" + shortNumber(lo) + " to " + shortNumber(hi) + ")");
  return v;
}

long long JsonNode::integer(long long lo, long long hi) const {
  const JsonTree::Value& n = tree_->at(index_);
  if (n.kind != Kind::Integer && n.kind != Kind::Unsigned) fail("expected an integer");
  // An unsigned value past the signed range must not wrap into range.
  const long long v = n.kind == Kind::Integer ? n.number.integer
                      : n.number.whole > static_cast<std::uint64_t>(std::numeric_limits<long long>::max())
                          ? std::numeric_limits<long long>::max()
                          : static_cast<long long>(n.number.whole);
  if (v < lo || v > hi) fail("out of range (" + std::to_string(lo) + " to " + std::to_string(hi) + ")");
  return v;
}

bool JsonNode::boolean() const {
  if (!isBoolean()) fail("expected true or false");
  return tree_->at(index_).number.flag;
}

std::vector<double> JsonNode::numbers(std::size_t count) const {
  if (!isArray() || (count && size() != count))
    fail(count ? "expected an array of " + std::to_string(count) + " numbers"
               : "expected an array of numbers");
  std::vector<double> out;
  out.reserve(size());
  for (const JsonNode& e : elements()) out.push_back(e.number());
  return out;
}

std::string JsonNode::str(const char* key, const std::string& fallback) const {
  return has(key) ? at(key).string() : fallback;
}
double JsonNode::num(const char* key, double fallback) const {
  return has(key) ? at(key).number() : fallback;
}
bool JsonNode::flag(const char* key, bool fallback) const {
  return has(key) ? at(key).boolean() : fallback;
}

namespace {

Failure problemAt(const std::string& path, const std::string& problem, int code) {
  return fail(oneLine(path + ": " + problem), code);
}

}  // namespace

Status readJson(std::string_view text, const std::function<void(const JsonNode&)>& read, int defaultCode,
                int maxDepth) {
  JsonTree tree;
  // Sized for the densest text we write (about 24 bytes a value): growing
  // these would copy them; pages reserved but never written cost nothing.
  tree.values.reserve(text.size() / 16 + 1);
  tree.children.reserve(text.size() / 16 + 1);
  tree.text.reserve(text.size() / 2 + 1);
  TreeBuilder builder(tree, maxDepth);
  try {
    if (!nlohmann::json::sax_parse(text.begin(), text.end(), &builder) || tree.values.empty())
      return problemAt("$", builder.problem.empty() ? "invalid JSON" : builder.problem, defaultCode);
  } catch (const std::exception& e) {
    return problemAt("$", std::string("invalid JSON: ") + e.what(), defaultCode);
  }
  try {
    read(JsonNode(tree, 0));
  } catch (const JsonProblem& p) {
    return problemAt(p.path, p.problem, p.code ? p.code : defaultCode);
  } catch (const std::exception& e) {
    return problemAt("$", e.what(), defaultCode);
  }
  return {};
}

std::string oneLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
      out.push_back(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
      out += escaped;
    }
  }
  return out;
}

}  // namespace korvex
