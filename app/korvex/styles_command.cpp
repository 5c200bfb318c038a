#include "styles_command.h"

#include <cstdio>
#include <functional>

#include "command.h"
#include "foundation/read_file.h"
#include "host/output/pdf_export.h"
#include "host/output/print.h"
#include "host/session.h"
#include "host/user_style_store.h"

namespace korvex::cli {

namespace {

constexpr const char* kUsage = "usage: korvex styles list [--pdf | --print] | show NAME | add NAME FILE";

// One kind of output style the host keeps.
struct StyleKindEntry {
  const char* option;  // "--pdf"
  std::function<std::vector<std::string>()> names;
  // The style's settings as text, or none when the kind has no such style.
  std::function<std::optional<std::string>(const std::string&)> show;
  // The user's files of this kind that were not taken.
  std::function<std::vector<StyleRefusal>()> refusals;
};

std::vector<StyleKindEntry> styleKinds() {
  auto& provider = pdfExportProvider(*GetExecutionContextSession());
  return {
      {"--pdf",
       [&provider] {
         std::vector<std::string> names;
         for (const auto& style : provider.styles().styles()) names.push_back(style.name);
         return names;
       },
       [&provider](const std::string& name) -> std::optional<std::string> {
         const PdfExportStyle* style = provider.styles().find(name);
         if (!style) return std::nullopt;
         return "PDF export style " + name + "\n" + pdfStyleToJson(*style);
       },
       [&provider] { return provider.styles().refusals(); }},
      {"--print",
       [] {
         std::vector<std::string> names;
         for (const auto& style : printService(*GetExecutionContextSession()).styles().styles())
           names.push_back(style.name);
         return names;
       },
       [](const std::string& name) -> std::optional<std::string> {
         const PrintStyle* style = printService(*GetExecutionContextSession()).styles().find(name);
         if (!style) return std::nullopt;
         return "Print style " + name + "\n" + printStyleToJson(*style);
       },
       [] { return printService(*GetExecutionContextSession()).styles().refusals(); }},
  };
}

// A refused file is a warning, as in export and print: the names stay a clean
// list on standard output and the command still succeeds.
void reportRefusals(const StyleKindEntry& kind) {
  for (const StyleRefusal& refusal : kind.refusals())
    std::fprintf(stderr, "korvex: styles: style ignored: %s\n", refusal.text().c_str());
}

int list(std::span<const std::string> args) {
  if (args.size() > 1) return usageError(kUsage);
  const auto kinds = styleKinds();
  bool known = args.empty();
  for (const auto& kind : kinds) {
    if (!args.empty() && args[0] != kind.option) continue;
    known = true;
    reportRefusals(kind);
    for (const auto& name : kind.names()) std::printf("%s\n", name.c_str());
  }
  return known ? kExitOk : usageError(kUsage);
}

int show(const std::string& name) {
  const auto kinds = styleKinds();
  // A style the user expects may be missing because its file was refused.
  for (const auto& kind : kinds) reportRefusals(kind);
  for (const auto& kind : kinds) {
    if (auto text = kind.show(name)) {
      std::printf("%s", text->c_str());
      return kExitOk;
    }
  }
  std::fprintf(stderr, "korvex: styles: no style named \"%s\"\n", name.c_str());
  return kExitFailed;
}

int add(const std::string& name, const std::string& file) {
  // The name is the user's own mistake whatever the file holds: say so first.
  if (Status valid = UserStyleStore(userPdfStylesFolder()).checkName(name); !valid) {
    std::fprintf(stderr, "korvex: styles: %s\n", valid.message().c_str());
    return kExitFailed;
  }
  Result<std::string> text = readRegularFile(file);
  if (!text) {
    std::fprintf(stderr, "korvex: styles: %s\n", text.message().c_str());
    return kExitUsage;
  }
  auto style = pdfStyleFromJson(*text, name);
  if (!style) {
    std::fprintf(stderr, "korvex: styles: %s: %s\n", file.c_str(), style.message().c_str());
    return kExitFailed;
  }
  std::string error;
  if (ErrorCode code = addUserPdfStyle(*style, &error); code != kSuccess) {
    std::fprintf(stderr, "korvex: styles: %s\n", error.c_str());
    return kExitFailed;
  }
  pdfExportProvider(*GetExecutionContextSession()).reload();
  std::printf("added PDF export style %s\n", name.c_str());
  return kExitOk;
}

}  // namespace

int runStylesCommand(std::span<const std::string> args) {
  if (args.empty()) return usageError(kUsage);
  if (args[0] == "list") return list(args.subspan(1));
  if (args[0] == "show" && args.size() == 2) return show(args[1]);
  if (args[0] == "add" && args.size() == 3) return add(args[1], args[2]);
  return usageError(kUsage);
}

}  // namespace korvex::cli
