#include "print_command.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "command.h"
#include "host/document.h"
#include "host/output/print.h"
#include "host/session.h"
#include "tool_arguments.h"

namespace korvex::cli {

namespace {

constexpr const char* kUsage = "usage: korvex print DOC [--style NAME] [--to FILE.ps]";

}  // namespace

int runPrintCommand(std::span<const std::string> args) {
  std::string error;
  auto parsed = parseToolArguments(args, {"--style", "--to"}, {}, error);
  if (!parsed) return usageError(error + "\n" + kUsage);
  if (parsed->positional.size() != 1) return usageError(kUsage);
  const std::string& docPath = parsed->positional[0];
  const std::optional<std::string> styleName = parsed->value("--style");
  const std::optional<std::string> to = parsed->value("--to");

  Session* session = GetExecutionContextSession();
  PrintService& service = printService(*session);
  for (const StyleRefusal& refusal : service.styles().refusals())
    std::fprintf(stderr, "korvex: print: style ignored: %s\n", refusal.text().c_str());
  const std::string name = styleName.value_or(kDefaultPrintStyleKey);
  const PrintStyle* found = service.styles().find(name);
  if (!found) {
    std::fprintf(stderr, "korvex: print: no print style named \"%s\" (korvex styles list --print)\n",
                 name.c_str());
    return kExitFailed;
  }
  PrintStyle style = *found;
  if (to) {
    style.destination = kPrintToFile;
    style.outputFile = *to;
  } else if (style.destination != kPrintToPrinter && style.outputFile.empty()) {
    // As the print action does: the PostScript file goes next to the document.
    style.outputFile = std::filesystem::path(docPath).replace_extension("ps").string();
  }

  Application* app = session->application();
  IDocument* document = openDocumentForTool("print", docPath);
  if (!document) return kExitFailed;
  const PrintResult result = service.print(*document, style);
  app->closeDocument(document);
  for (const std::string& warning : result.warnings)
    std::fprintf(stderr, "korvex: print: %s\n", warning.c_str());
  if (result.error != kSuccess) {
    std::fprintf(stderr, "korvex: print: %s\n", result.message.c_str());
    return kExitFailed;
  }
  const char* plural = result.pages == 1 ? "" : "s";
  if (style.destination == kPrintToPrinter)
    std::printf("sent %d page%s to %s with \"%s\"\n", result.pages, plural,
                style.printer.empty() ? "the default printer" : style.printer.c_str(), name.c_str());
  else
    std::printf("%s: %d page%s with \"%s\"\n", result.outputFile.c_str(), result.pages, plural, name.c_str());
  for (const UndrawableFile& file : result.undrawable)
    std::fprintf(stderr, "korvex: print: %s: can't be drawn, left out: %s\n", file.path.c_str(),
                 file.reason.c_str());
  return result.undrawable.empty() ? kExitOk : kExitFailed;
}

}  // namespace korvex::cli
