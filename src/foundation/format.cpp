#include "foundation/format.h"

#include <cstdio>

namespace korvex {

namespace {

struct Spec {
  std::string flags;
  int width = -1;
  int precision = -1;
  std::string length;
  char conversion = 0;
};

std::string textOf(const FormatArg& arg) {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, const Value*>) {
          return v->isString() ? *v->string() : v->description();
        } else if constexpr (std::is_same_v<T, std::string_view>) {
          return std::string(v);
        } else if constexpr (std::is_same_v<T, const char*>) {
          return v ? std::string(v) : std::string("(null)");
        } else if constexpr (std::is_same_v<T, double>) {
          return shortestText(v);
        } else if constexpr (std::is_same_v<T, FormatArg::Pointer>) {
          char buf[32];
          std::snprintf(buf, sizeof buf, "%p", v.p);
          return buf;
        } else {
          return std::to_string(v);
        }
      },
      arg.storage());
}

std::int64_t signedOf(const FormatArg& arg) {
  return std::visit(
      [](const auto& v) -> std::int64_t {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, const Value*>) {
          if (auto i = v->integer()) return *i;
          return v->intValue();
        } else if constexpr (std::is_same_v<T, std::string_view>) {
          return Value(v).intValue();
        } else if constexpr (std::is_same_v<T, const char*>) {
          return v ? Value(v).intValue() : 0;
        } else if constexpr (std::is_same_v<T, double>) {
          return static_cast<std::int64_t>(v);
        } else if constexpr (std::is_same_v<T, FormatArg::Pointer>) {
          return static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(v.p));
        } else {
          return static_cast<std::int64_t>(v);
        }
      },
      arg.storage());
}

double realOf(const FormatArg& arg) {
  return std::visit(
      [](const auto& v) -> double {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, const Value*>) {
          if (auto r = v->real()) return *r;
          return v->floatValue();
        } else if constexpr (std::is_same_v<T, std::string_view>) {
          return Value(v).floatValue();
        } else if constexpr (std::is_same_v<T, const char*>) {
          return v ? Value(v).floatValue() : 0.0;
        } else if constexpr (std::is_same_v<T, FormatArg::Pointer>) {
          return 0.0;
        } else {
          return static_cast<double>(v);
        }
      },
      arg.storage());
}

std::string cSpec(const Spec& s, std::string_view length, char conversion) {
  std::string out = "%" + s.flags;
  if (s.width >= 0) out += std::to_string(s.width);
  if (s.precision >= 0) out += "." + std::to_string(s.precision);
  out += length;
  out += conversion;
  return out;
}

// The spec is built by cSpec from checked parts, with the length modifier
// matching T, so a non-literal format is safe here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <typename T>
std::string cFormat(const std::string& spec, T value) {
  char small[128];
  int n = std::snprintf(small, sizeof small, spec.c_str(), value);
  if (n < 0) return {};
  if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, static_cast<std::size_t>(n));
  std::string big(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), spec.c_str(), value);
  big.resize(static_cast<std::size_t>(n));
  return big;
}
#pragma GCC diagnostic pop

std::string padded(std::string text, const Spec& s) {
  if (s.precision >= 0 && text.size() > static_cast<std::size_t>(s.precision))
    text.resize(static_cast<std::size_t>(s.precision));
  if (s.width >= 0 && text.size() < static_cast<std::size_t>(s.width)) {
    std::string pad(static_cast<std::size_t>(s.width) - text.size(), ' ');
    text = s.flags.find('-') != std::string::npos ? text + pad : pad + text;
  }
  return text;
}

}  // namespace

std::string formatv(std::string_view format, std::span<const FormatArg> args) {
  std::string out;
  out.reserve(format.size() + 32);
  std::size_t next = 0;
  const FormatArg nil(static_cast<const char*>(nullptr));
  auto take = [&]() -> const FormatArg& { return next < args.size() ? args[next++] : nil; };

  for (std::size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%') {
      out += c;
      continue;
    }
    Spec s;
    std::size_t j = i + 1;
    while (j < format.size() && std::string_view("-+ #0'").find(format[j]) != std::string_view::npos)
      s.flags += format[j++];
    if (j < format.size() && format[j] == '*') {
      s.width = static_cast<int>(signedOf(take()));
      if (s.width < 0) {
        s.flags += '-';
        s.width = -s.width;
      }
      ++j;
    } else {
      while (j < format.size() && format[j] >= '0' && format[j] <= '9')
        s.width = (s.width < 0 ? 0 : s.width * 10) + (format[j++] - '0');
    }
    if (j < format.size() && format[j] == '.') {
      ++j;
      s.precision = 0;
      if (j < format.size() && format[j] == '*') {
        s.precision = static_cast<int>(signedOf(take()));
        ++j;
      } else {
        while (j < format.size() && format[j] >= '0' && format[j] <= '9')
          s.precision = s.precision * 10 + (format[j++] - '0');
      }
    }
    while (j < format.size() && std::string_view("hlLqjzt").find(format[j]) != std::string_view::npos)
      s.length += format[j++];
    if (j >= format.size()) {  // a lone '%' at the end is kept as written
      out.append(format.substr(i));
      break;
    }
    s.conversion = format[j];
    switch (s.conversion) {
      case '%': out += '%'; break;
      case 'd':
      case 'i': out += cFormat(cSpec(s, "ll", 'd'), static_cast<long long>(signedOf(take()))); break;
      case 'u':
      case 'x':
      case 'X':
      case 'o': {
        auto v = static_cast<unsigned long long>(signedOf(take()));
        // "%x" of an int shows its 32-bit pattern, as C would.
        if (s.length.empty() || s.length == "h" || s.length == "hh") v &= 0xFFFFFFFFull;
        out += cFormat(cSpec(s, "ll", s.conversion), v);
        break;
      }
      case 'c': out += cFormat(cSpec(s, "", 'c'), static_cast<int>(signedOf(take()))); break;
      case 'f':
      case 'F':
      case 'e':
      case 'E':
      case 'g':
      case 'G':
      case 'a':
      case 'A': out += cFormat(cSpec(s, "", s.conversion), realOf(take())); break;
      case 's':
      case 'S':
      case '@': out += padded(textOf(take()), s); break;
      case 'p': out += textOf(take()); break;
      default:  // unknown conversion: written as it stands
        out.append(format.substr(i, j - i + 1));
    }
    i = j;
  }
  return out;
}

}  // namespace korvex
