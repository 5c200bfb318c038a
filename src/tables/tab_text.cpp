#include "tables/tab_text.h"

#include <cstring>

namespace korvex {

void collapseCRLFInPlace(std::string& text) {
  std::size_t out = 0;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    text[out++] = text[i];
    if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
  }
  text.resize(out);
}

std::string collapseCRLF(std::string_view text) {
  std::string out(text);
  collapseCRLFInPlace(out);
  return out;
}

void processQuotesInPlace(std::string& text, char separator) {
  if (text.size() < 3) return;
  char* data = text.data();
  const std::size_t n = text.size();
  std::size_t out = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = data[i];
    if (!quoted) {
      if (c == '\n') data[out++] = '\r';
      else if (c == '"') quoted = true;
      else data[out++] = c;
    } else if (c == '\r') {
      data[out++] = '\n';
    } else if (c == separator) {
      data[out++] = '\f';
    } else if (c == '"') {
      if (i + 1 < n && data[i + 1] == '"') {
        data[out++] = '"';
        ++i;
      } else {
        quoted = false;
      }
    } else {
      data[out++] = c;
    }
  }
  while (out > 0 && data[out - 1] == '\r') --out;
  text.resize(out);
}

std::string processQuotes(std::string_view text, char separator) {
  std::string out(text);
  processQuotesInPlace(out, separator);
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

void appendRestoredField(std::string& out, std::string_view field, std::string_view separator) {
  // Most fields hold neither byte: copy them whole.
  if (field.find_first_of("\n\f") == std::string_view::npos) {
    out.append(field);
    return;
  }
  for (const char c : field) {
    if (c == '\n') out += '\r';
    else if (c == '\f') out.append(separator);
    else out += c;
  }
}

std::string restoreField(std::string_view field, std::string_view separator) {
  std::string out;
  appendRestoredField(out, field, separator);
  return out;
}

}  // namespace korvex
