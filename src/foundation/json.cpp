#include "foundation/json.h"

#include <cmath>
#include <ctime>
#include <limits>
#include <nlohmann/json.hpp>
#include <unordered_set>

#include "foundation/base64.h"
#include "foundation/log.h"

namespace korvex {

namespace {

// Keeps object members in the text's order, as our dictionaries do.
using Json = nlohmann::ordered_json;

constexpr int kMaxDepth = 512;

struct TooDeep {};

Value fromJson(const Json& j, int depth) {
  if (depth > kMaxDepth) throw TooDeep{};
  switch (j.type()) {
    case Json::value_t::object: {
      auto dict = Dictionary::make();
      for (auto it = j.begin(); it != j.end(); ++it) dict->set(it.key(), fromJson(it.value(), depth + 1));
      return Value(dict);
    }
    case Json::value_t::array: {
      auto array = Array::make();
      for (const auto& item : j) array->append(fromJson(item, depth + 1));
      return Value(array);
    }
    case Json::value_t::string: return Value(j.get_ref<const std::string&>());
    case Json::value_t::boolean: return Value::boolean(j.get<bool>());
    case Json::value_t::number_integer: return Value(j.get<std::int64_t>());
    case Json::value_t::number_unsigned: {
      const auto u = j.get<std::uint64_t>();
      if (u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return Value(static_cast<std::int64_t>(u));
      return Value(static_cast<double>(u));
    }
    case Json::value_t::number_float: return Value(j.get<double>());
    default: return {};
  }
}

std::string isoDate(Date d) {
  double s = std::floor(d.seconds);
  if (!std::isfinite(s)) s = 0;
  std::time_t t = static_cast<std::time_t>(s);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

// False when a container contains itself.
bool toJson(const Value& v, Json& out, std::unordered_set<const void*>& open, int depth) {
  if (depth > kMaxDepth) return false;
  switch (v.kind()) {
    case Value::Kind::Nil: out = nullptr; return true;
    case Value::Kind::String: out = *v.string(); return true;
    case Value::Kind::Integer: out = *v.integer(); return true;
    case Value::Kind::Real: {
      const double d = *v.real();
      if (std::isfinite(d))
        out = d;
      else
        out = nullptr;
      return true;
    }
    case Value::Kind::Boolean: out = *v.boolValue(); return true;
    case Value::Kind::Date: out = isoDate(*v.date()); return true;
    case Value::Kind::Data: out = base64Encode(*v.data()); return true;
    case Value::Kind::Array: {
      ArrayPtr a = v.array();
      if (!open.insert(a.get()).second) return false;
      out = Json::array();
      for (const Value& item : *a) {
        Json j;
        if (!toJson(item, j, open, depth + 1)) return false;
        out.push_back(std::move(j));
      }
      open.erase(a.get());
      return true;
    }
    case Value::Kind::Dictionary: {
      DictPtr d = v.dictionary();
      if (!open.insert(d.get()).second) return false;
      out = Json::object();
      for (const auto& [key, item] : *d) {
        Json j;
        if (!toJson(item, j, open, depth + 1)) return false;
        out[key] = std::move(j);
      }
      open.erase(d.get());
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<Value> valueWithJsonData(std::string_view text) {
  try {
    const Json j = Json::parse(text.begin(), text.end());
    return fromJson(j, 0);
  } catch (const Json::exception& e) {
    logError(std::optional<std::string>(e.what()));
  } catch (const TooDeep&) {
    logError(std::optional<std::string>("JSON nested too deeply"));
  } catch (const std::bad_alloc&) {
    logError(std::optional<std::string>("JSON too large"));
  }
  return std::nullopt;
}

DictPtr dictWithJsonData(std::string_view text) {
  auto v = valueWithJsonData(text);
  return v ? v->dictionary() : nullptr;
}

DictPtr dictWithJsonData(std::span<const std::uint8_t> data) {
  return dictWithJsonData(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

std::optional<std::string> jsonWithValue(const Value& value, bool pretty) {
  Json j;
  std::unordered_set<const void*> open;
  if (!toJson(value, j, open, 0)) return std::nullopt;
  try {
    return j.dump(pretty ? 2 : -1, ' ', false, Json::error_handler_t::replace);
  } catch (const Json::exception& e) {
    logError(std::optional<std::string>(e.what()));
    return std::nullopt;
  }
}

}  // namespace korvex
