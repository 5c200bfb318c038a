#pragma once

// What the document tools share: splitting their arguments into positional
// ones and options, reading whole numbers, and opening the document.

#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvex {
class IDocument;
}

namespace korvex::cli {

struct ToolArguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string, std::less<>> values;
  std::set<std::string, std::less<>> flags;

  std::optional<std::string> value(std::string_view option) const;
  bool flag(std::string_view option) const { return flags.contains(option); }
};

// "--name VALUE" for the value options, "--name" for the flags; none, with
// the reason in error, for an unknown option or one without its value.
std::optional<ToolArguments> parseToolArguments(std::span<const std::string> args,
                                                std::initializer_list<std::string_view> valueOptions,
                                                std::initializer_list<std::string_view> flagOptions,
                                                std::string& error);

// Digits only, at most nine of them.
bool parseWholeNumber(std::string_view text, int& out);

// Opens the document without a window; on failure prints
// "korvex: TOOL: reason" and answers null.
IDocument* openDocumentForTool(std::string_view tool, const std::string& path);

}  // namespace korvex::cli
