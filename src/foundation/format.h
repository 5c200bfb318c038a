#pragma once

// One printf-style formatter for every log line and message: the C
// conversions plus "%@" for objects (a value's description, a string as
// itself, nil as "(null)").

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "foundation/value.h"

namespace korvex {

// One argument of a format. Integers keep their signedness; C strings may be
// null; Values carry objects for "%@".
class FormatArg {
 public:
  FormatArg(const Value& v) : v_(&v) {}
  FormatArg(const std::string& s) : v_(std::string_view(s)) {}
  FormatArg(std::string_view s) : v_(s) {}
  FormatArg(const char* s) : v_(s) {}
  FormatArg(const std::optional<std::string>& s)
      : v_(s ? Storage(std::string_view(*s)) : Storage(static_cast<const char*>(nullptr))) {}
  FormatArg(char c) : v_(static_cast<std::int64_t>(c)) {}
  FormatArg(bool b) : v_(static_cast<std::int64_t>(b)) {}
  FormatArg(double d) : v_(d) {}
  FormatArg(float f) : v_(static_cast<double>(f)) {}
  template <std::integral I>
    requires(!std::same_as<I, bool> && !std::same_as<I, char>)
  FormatArg(I i) {
    if constexpr (std::is_signed_v<I>)
      v_ = static_cast<std::int64_t>(i);
    else
      v_ = static_cast<std::uint64_t>(i);
  }
  FormatArg(const void* p) : v_(Pointer{p}) {}

  struct Pointer {
    const void* p;
  };
  using Storage =
      std::variant<const Value*, std::string_view, const char*, std::int64_t, std::uint64_t, double, Pointer>;
  const Storage& storage() const { return v_; }

 private:
  Storage v_;
};

std::string formatv(std::string_view format, std::span<const FormatArg> args);

template <typename... Args>
std::string stringWithFormat(std::string_view format, const Args&... args) {
  const FormatArg list[] = {FormatArg(args)..., FormatArg(static_cast<const char*>(nullptr))};
  return formatv(format, std::span<const FormatArg>(list, sizeof...(Args)));
}

}  // namespace korvex
