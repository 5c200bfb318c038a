#include "tables/tab_text.h"

namespace korvex {

std::string collapseCRLF(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
  }
  return out;
}

std::string processQuotes(std::string_view text, char separator) {
  if (text.size() < 3) return std::string(text);
  std::string out;
  out.reserve(text.size());
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!quoted) {
      if (c == '\n') out += '\r';
      else if (c == '"') quoted = true;
      else out += c;
    } else if (c == '\r') {
      out += '\n';
    } else if (c == separator) {
      out += '\f';
    } else if (c == '"') {
      if (i + 1 < text.size() && text[i + 1] == '"') {
        out += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else {
      out += c;
    }
  }
  while (!out.empty() && out.back() == '\r') out.pop_back();
  return out;
}

std::vector<std::string_view> splitText(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, end - start));
    start = end + separator.size();
  }
}

std::vector<std::string> headerNames(std::string_view line, std::string_view separator) {
  std::vector<std::string> names;
  for (std::string_view name : splitText(line, separator)) {
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    names.emplace_back(name);
  }
  while (!names.empty() && names.back().empty()) names.pop_back();
  return names;
}

std::string restoreField(std::string_view field, std::string_view separator) {
  std::string out;
  out.reserve(field.size());
  for (const char c : field) {
    if (c == '\n') out += '\r';
    else if (c == '\f') out += separator;
    else out += c;
  }
  return out;
}

}  // namespace korvex
