#include "foundation/json_node.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>

namespace korvex {

void JsonNode::fail(const std::string& problem, int code) const {
  throw JsonProblem{path_, problem, code};
}

void JsonNode::expectObject(std::initializer_list<const char*> allowed) const {
  if (!json_->is_object()) fail("expected an object");
  for (const auto& [key, value] : json_->items()) {
    bool known = false;
    for (const char* a : allowed) known = known || key == a;
    if (!known) JsonNode(value, path_ + member(key)).fail("unknown key");
  }
}

bool JsonNode::has(const char* key) const {
  return json_->is_object() && json_->contains(key);
}

JsonNode JsonNode::at(const char* key) const {
  if (!json_->is_object()) fail("expected an object");
  if (!json_->contains(key)) fail(std::string("missing \"") + key + "\"");
  return JsonNode(json_->at(key), path_ + member(key));
}

JsonNode JsonNode::at(std::size_t index) const {
  if (!json_->is_array() || index >= json_->size()) fail("no element " + std::to_string(index));
  return JsonNode(json_->at(index), path_ + "[" + std::to_string(index) + "]");
}

std::string JsonNode::member(const std::string& key) {
  bool plain = !key.empty() && !std::isdigit(static_cast<unsigned char>(key[0]));
  for (char c : key) plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
  return plain ? "." + key
               : "[" + OrderedJson(key).dump(-1, ' ', false, OrderedJson::error_handler_t::replace) + "]";
}

std::vector<JsonNode> JsonNode::array(const char* key) const {
  std::vector<JsonNode> out;
  if (!has(key)) return out;
  const JsonNode a = at(key);
  if (!a.json_->is_array()) a.fail("expected an array");
  for (std::size_t i = 0; i < a.json_->size(); ++i) out.push_back(a.at(i));
  return out;
}

std::string JsonNode::string() const {
  if (!json_->is_string()) fail("expected a string");
  return json_->get<std::string>();
}

double JsonNode::number() const {
  if (!json_->is_number()) fail("expected a number");
  const double v = json_->get<double>();
  if (!std::isfinite(v)) fail("expected a finite number");
  return v;
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
  if (!json_->is_number_integer()) fail("expected an integer");
  // An unsigned value past the signed range must not wrap into range.
  const long long v = json_->is_number_unsigned() &&
                              json_->get<unsigned long long>() >
                                  static_cast<unsigned long long>(std::numeric_limits<long long>::max())
                          ? std::numeric_limits<long long>::max()
                          : json_->get<long long>();
  if (v < lo || v > hi) fail("out of range (" + std::to_string(lo) + " to " + std::to_string(hi) + ")");
  return v;
}

bool JsonNode::boolean() const {
  if (!json_->is_boolean()) fail("expected true or false");
  return json_->get<bool>();
}

std::vector<double> JsonNode::numbers(std::size_t count) const {
  if (!json_->is_array() || (count && json_->size() != count))
    fail(count ? "expected an array of " + std::to_string(count) + " numbers"
               : "expected an array of numbers");
  std::vector<double> out;
  for (std::size_t i = 0; i < json_->size(); ++i) out.push_back(at(i).number());
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

// Iterative, so that a hostile file can't exhaust the stack here either.
bool nestedDeeperThan(const OrderedJson& root, int maxDepth) {
  std::vector<std::pair<const OrderedJson*, int>> pending{{&root, 0}};
  while (!pending.empty()) {
    const auto [value, depth] = pending.back();
    pending.pop_back();
    if (depth > maxDepth) return true;
    if (value->is_structured())
      for (const OrderedJson& child : *value) pending.emplace_back(&child, depth + 1);
  }
  return false;
}

Failure problemAt(const std::string& path, const std::string& problem, int code) {
  return fail(oneLine(path + ": " + problem), code);
}

}  // namespace

Status readJson(std::string_view text, const std::function<void(const JsonNode&)>& read, int defaultCode,
                int maxDepth) {
  OrderedJson root;
  try {
    root = OrderedJson::parse(text.begin(), text.end());
  } catch (const OrderedJson::parse_error& e) {
    return problemAt("$", "invalid JSON at byte " + std::to_string(e.byte), defaultCode);
  } catch (const OrderedJson::out_of_range&) {
    return problemAt("$", "a number too large to read", defaultCode);
  } catch (const std::exception& e) {
    return problemAt("$", std::string("invalid JSON: ") + e.what(), defaultCode);
  }
  if (nestedDeeperThan(root, maxDepth)) return problemAt("$", "nested too deeply", defaultCode);
  try {
    read(JsonNode(root, "$"));
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
