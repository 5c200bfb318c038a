#include "tool_arguments.h"

#include <charconv>
#include <cstdio>

#include "host/document.h"
#include "host/session.h"

namespace korvex::cli {

std::optional<std::string> ToolArguments::value(std::string_view option) const {
  auto it = values.find(option);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

std::optional<ToolArguments> parseToolArguments(std::span<const std::string> args,
                                                std::initializer_list<std::string_view> valueOptions,
                                                std::initializer_list<std::string_view> flagOptions,
                                                std::string& error) {
  auto among = [](std::initializer_list<std::string_view> list, std::string_view a) {
    for (std::string_view o : list)
      if (o == a) return true;
    return false;
  };
  ToolArguments parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (among(valueOptions, a)) {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = a + " needs a value";
        return std::nullopt;
      }
      parsed.values[a] = args[++i];
    } else if (among(flagOptions, a)) {
      parsed.flags.insert(a);
    } else if (a.starts_with("--")) {
      error = "unknown option '" + a + "'";
      return std::nullopt;
    } else {
      parsed.positional.push_back(a);
    }
  }
  return parsed;
}

bool parseWholeNumber(std::string_view text, int& out) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string_view::npos)
    return false;
  std::from_chars(text.data(), text.data() + text.size(), out);
  return true;
}

IDocument* openDocumentForTool(std::string_view tool, const std::string& path) {
  Application* app = GetExecutionContextSession()->application();
  IDocument* document = nullptr;
  if (app->openDocument(path, false, &document) != kSuccess || !document) {
    std::fprintf(stderr, "korvex: %.*s: %s\n", static_cast<int>(tool.size()), tool.data(),
                 app->errorMessage().c_str());
    return nullptr;
  }
  return document;
}

}  // namespace korvex::cli
