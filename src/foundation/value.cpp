#include "foundation/value.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <ctime>

namespace korvex {

Value::Value(ArrayPtr a) : v_(a ? Storage(std::move(a)) : Storage()) {}
Value::Value(DictPtr d) : v_(d ? Storage(std::move(d)) : Storage()) {}

std::optional<std::int64_t> Value::integer() const {
  if (auto* i = std::get_if<std::int64_t>(&v_)) return *i;
  return std::nullopt;
}

std::optional<double> Value::real() const {
  if (auto* d = std::get_if<double>(&v_)) return *d;
  if (auto* i = std::get_if<std::int64_t>(&v_)) return static_cast<double>(*i);
  return std::nullopt;
}

std::optional<bool> Value::boolValue() const {
  if (auto* b = std::get_if<Bool>(&v_)) return b->b;
  return std::nullopt;
}

std::optional<korvex::Date> Value::date() const {
  if (auto* d = std::get_if<korvex::Date>(&v_)) return *d;
  return std::nullopt;
}

ArrayPtr Value::array() const {
  if (auto* a = std::get_if<ArrayPtr>(&v_)) return *a;
  return nullptr;
}

DictPtr Value::dictionary() const {
  if (auto* d = std::get_if<DictPtr>(&v_)) return *d;
  return nullptr;
}

std::string shortestText(float f) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, f);
  return std::string(buf, r.ptr);
}

std::string shortestText(double d) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, r.ptr);
}

std::optional<std::string> Value::stringValue() const {
  switch (kind()) {
    case Kind::String: return *string();
    case Kind::Integer: return std::to_string(*integer());
    case Kind::Real: return shortestText(std::get<double>(v_));
    case Kind::Boolean: return std::get<Bool>(v_).b ? "1" : "0";
    default: return std::nullopt;
  }
}

namespace {

// The platform's reading of a leading number: white space, a sign, digits,
// and for reals a fraction and an exponent. Nothing readable gives 0.
std::string_view leadingNumber(std::string_view s, bool real) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
  std::size_t start = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (real) {
    if (i < s.size() && s[i] == '.') {
      ++i;
      while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    }
    if (digits > 0 && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
      std::size_t j = i + 1;
      if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
      std::size_t expDigits = 0;
      while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j, ++expDigits;
      if (expDigits > 0) i = j;
    }
  }
  if (digits == 0) return {};
  return s.substr(start, i - start);
}

int intFromText(std::string_view s) {
  auto num = leadingNumber(s, false);
  if (num.empty()) return 0;
  bool negative = num.front() == '-';
  if (num.front() == '+' || num.front() == '-') num.remove_prefix(1);
  long long v = 0;
  auto r = std::from_chars(num.data(), num.data() + num.size(), v);
  if (r.ec == std::errc::result_out_of_range || v > INT_MAX) return negative ? INT_MIN : INT_MAX;
  return static_cast<int>(negative ? -v : v);
}

float floatFromText(std::string_view s) {
  auto num = leadingNumber(s, true);
  if (num.empty()) return 0.0f;
  if (num.front() == '+') num.remove_prefix(1);
  double d = 0;
  std::from_chars(num.data(), num.data() + num.size(), d);
  return static_cast<float>(d);
}

int clampToInt(double d) {
  if (std::isnan(d)) return 0;
  if (d >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (d <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(d);
}

}  // namespace

int Value::intValue() const {
  switch (kind()) {
    case Kind::String: return intFromText(*string());
    case Kind::Integer: return clampToInt(static_cast<double>(*integer()));
    case Kind::Real: return clampToInt(std::get<double>(v_));
    case Kind::Boolean: return std::get<Bool>(v_).b ? 1 : 0;
    default: return 0;
  }
}

float Value::floatValue() const {
  switch (kind()) {
    case Kind::String: return floatFromText(*string());
    case Kind::Integer: return static_cast<float>(*integer());
    case Kind::Real: return static_cast<float>(std::get<double>(v_));
    case Kind::Boolean: return std::get<Bool>(v_).b ? 1.0f : 0.0f;
    default: return 0.0f;
  }
}

// Writes the old-style text form with four spaces of indent per level.
class ValueDescriber {
 public:
  static void describe(const Value& v, std::string& out, int level) {
    switch (v.kind()) {
      case Value::Kind::Nil: out += "(null)"; return;
      case Value::Kind::String: quoted(*v.string(), out); return;
      case Value::Kind::Integer:
      case Value::Kind::Real:
      case Value::Kind::Boolean: out += *v.stringValue(); return;
      case Value::Kind::Date: date(*v.date(), out); return;
      case Value::Kind::Data: data(*v.data(), out); return;
      case Value::Kind::Array: array(*v.array(), out, level); return;
      case Value::Kind::Dictionary: dictionary(*v.dictionary(), out, level); return;
    }
  }

 private:
  static bool isPlain(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '$' || c == '/' || c == ':' || c == '-';
  }
  static void quoted(const std::string& s, std::string& out) {
    bool plain = !s.empty();
    for (char c : s) plain = plain && isPlain(c);
    if (plain) {
      out += s;
      return;
    }
    out += '"';
    for (char c : s) {
      switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
      }
    }
    out += '"';
  }
  static void date(korvex::Date d, std::string& out) {
    std::time_t t = static_cast<std::time_t>(std::floor(d.seconds));
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S +0000", &tm);
    out += buf;
  }
  static void data(const Bytes& b, std::string& out) {
    static const char* hex = "0123456789abcdef";
    out += '<';
    for (std::size_t i = 0; i < b.size(); ++i) {
      if (i > 0 && i % 4 == 0) out += ' ';
      out += hex[b[i] >> 4];
      out += hex[b[i] & 15];
    }
    out += '>';
  }
  static void indent(std::string& out, int level) { out.append(static_cast<std::size_t>(level) * 4, ' '); }
  static void array(const Array& a, std::string& out, int level) {
    out += "(\n";
    for (std::size_t i = 0; i < a.size(); ++i) {
      indent(out, level + 1);
      describe(a.at(i), out, level + 1);
      if (i + 1 < a.size()) out += ',';
      out += '\n';
    }
    indent(out, level);
    out += ')';
  }
  // Keys in byte order, whatever order the dictionary keeps: a log that
  // people compare across runs must not change with how a chain was built.
  static void dictionary(const Dictionary& d, std::string& out, int level) {
    out += "{\n";
    std::vector<const Dictionary::Entry*> entries;
    for (const auto& entry : d) entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(),
              [](const auto* a, const auto* b) { return a->first < b->first; });
    for (const Dictionary::Entry* entry : entries) {
      const auto& [key, value] = *entry;
      indent(out, level + 1);
      quoted(key, out);
      out += " = ";
      describe(value, out, level + 1);
      out += ";\n";
    }
    indent(out, level);
    out += '}';
  }
};

std::string Value::description() const {
  std::string out;
  ValueDescriber::describe(*this, out, 0);
  return out;
}

bool operator==(const Value& a, const Value& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case Value::Kind::Array: {
      auto x = a.array(), y = b.array();
      if (x == y) return true;
      if (x->size() != y->size()) return false;
      for (std::size_t i = 0; i < x->size(); ++i)
        if (!(x->at(i) == y->at(i))) return false;
      return true;
    }
    case Value::Kind::Dictionary: {
      auto x = a.dictionary(), y = b.dictionary();
      if (x == y) return true;
      if (x->size() != y->size()) return false;
      for (const auto& [key, value] : *x)
        if (!(y->get(key) == value)) return false;
      return true;
    }
    case Value::Kind::Boolean: return a.boolValue() == b.boolValue();
    default: return a.v_ == b.v_;
  }
}

Value Value::deepCopy() const {
  if (auto a = array()) {
    auto copy = std::make_shared<Array>();
    for (const auto& item : *a) copy->append(item.deepCopy());
    return Value(copy);
  }
  if (auto d = dictionary()) {
    auto copy = Dictionary::make();
    for (const auto& [key, value] : *d) copy->set(key, value.deepCopy());
    return Value(copy);
  }
  return *this;
}

Value Dictionary::get(std::string_view key) const {
  auto it = index_.find(std::string(key));
  return it == index_.end() ? Value() : entries_[it->second].second;
}

void Dictionary::set(std::string_view key, Value v) {
  if (v.isNil()) {
    remove(key);
    return;
  }
  std::string k(key);
  if (auto it = index_.find(k); it != index_.end()) {
    entries_[it->second].second = std::move(v);
    return;
  }
  index_.emplace(k, entries_.size());
  entries_.emplace_back(std::move(k), std::move(v));
}

void Dictionary::remove(std::string_view key) {
  auto it = index_.find(std::string(key));
  if (it == index_.end()) return;
  std::size_t pos = it->second;
  index_.erase(it);
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
  for (auto& [k, i] : index_)
    if (i > pos) --i;
}

std::vector<std::string> Dictionary::keys() const {
  std::vector<std::string> out;
  out.reserve(entries_.size());
  for (const auto& e : entries_) out.push_back(e.first);
  return out;
}

}  // namespace korvex
