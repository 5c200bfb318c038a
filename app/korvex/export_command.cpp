#include "export_command.h"

#include <cstdio>

#include "command.h"
#include "host/output/pdf_export.h"
#include "host/session.h"
#include "tool_arguments.h"

namespace korvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: korvex export DOC OUT.pdf [--style NAME] [--pages FIRST-LAST] [--spreads]\n"
    "       korvex export DOC OUT.idml";

bool parseWhole(std::string_view text, int& out) {
  return parseWholeNumber(text, out) && out >= 1;
}

// "3" or "2-5", counted from 1.
bool parseRange(const std::string& text, int& first, int& last) {
  const auto dash = text.find('-');
  if (dash == std::string::npos) {
    if (!parseWhole(text, first)) return false;
    last = first;
    return true;
  }
  return parseWhole(text.substr(0, dash), first) && parseWhole(text.substr(dash + 1), last) && first <= last;
}

// The whole document as an IDML package, through the session's provider.
int exportIdml(Session& session, const std::string& docPath, const std::string& outPath) {
  std::string message;
  if (checkOutputPath(outPath, &message) != kSuccess) {
    std::fprintf(stderr, "korvex: export: %s\n", message.c_str());
    return kExitFailed;
  }
  IDocument* document = openDocumentForTool("export", docPath);
  if (!document) return kExitFailed;
  auto* provider = dynamic_cast<IdmlExportProvider*>(exportProviderFor(session, *document, kIdmlFormatName));
  const ErrorCode error = provider ? provider->exportDocument(*document, outPath, &message) : kFailure;
  const int pages = document->GetPageCount();
  session.application()->closeDocument(document);
  if (error != kSuccess) {
    std::fprintf(stderr, "korvex: export: %s\n", message.empty() ? "no InDesignMarkup export provider" : message.c_str());
    return kExitFailed;
  }
  std::printf("%s: %d page%s as %s\n", outPath.c_str(), pages, pages == 1 ? "" : "s", kIdmlFormatName);
  return kExitOk;
}

}  // namespace

int runExportCommand(std::span<const std::string> args) {
  std::string error;
  auto parsed = parseToolArguments(args, {"--style", "--pages"}, {"--spreads"}, error);
  if (!parsed) return usageError(error + "\n" + kUsage);
  if (parsed->positional.size() != 2) return usageError(kUsage);
  const std::string& docPath = parsed->positional[0];
  const std::string& outPath = parsed->positional[1];
  const std::optional<std::string> styleName = parsed->value("--style");
  const bool spreads = parsed->flag("--spreads");
  std::optional<std::pair<int, int>> range;
  if (auto pages = parsed->value("--pages")) {
    int first = 0, last = 0;
    if (!parseRange(*pages, first, last))
      return usageError("--pages needs FIRST-LAST, page numbers counted from 1");
    range = std::pair(first, last);
  }

  Session* session = GetExecutionContextSession();
  if (isIdmlPath(outPath)) {
    if (styleName || spreads || range) return usageError("--style, --pages and --spreads are for PDF only\n" + std::string(kUsage));
    return exportIdml(*session, docPath, outPath);
  }
  PdfExportProvider& provider = pdfExportProvider(*session);
  for (const StyleRefusal& refusal : provider.styles().refusals())
    std::fprintf(stderr, "korvex: export: style ignored: %s\n", refusal.text().c_str());
  const std::string style = styleName.value_or(provider.styles().styles().front().name);
  if (!provider.styles().find(style)) {
    std::fprintf(stderr, "korvex: export: no PDF export style named \"%s\" (korvex styles list --pdf)\n",
                 style.c_str());
    return kExitFailed;
  }

  Application* app = session->application();
  IDocument* document = openDocumentForTool("export", docPath);
  if (!document) return kExitFailed;
  PdfExportRequest request;
  if (spreads) request.spreads = true;
  if (range) {
    const int count = document->GetPageCount();
    if (range->second > count) {
      std::fprintf(stderr, "korvex: export: %s has %d page%s, --pages asks for %d-%d\n", docPath.c_str(),
                   count, count == 1 ? "" : "s", range->first, range->second);
      app->closeDocument(document);
      return kExitFailed;
    }
    request.items = UIDList(document->GetDocDataBase());
    for (int i = range->first; i <= range->second; ++i)
      request.items.Append(document->pageAt(i - 1)->GetUID());
  }
  const PdfExportResult result = provider.exportDocument(*document, outPath, style, request);
  app->closeDocument(document);
  for (const std::string& warning : result.warnings)
    std::fprintf(stderr, "korvex: export: %s\n", warning.c_str());
  if (result.error != kSuccess) {
    std::fprintf(stderr, "korvex: export: %s\n", result.message.c_str());
    return kExitFailed;
  }
  std::printf("%s: %d page%s with \"%s\"\n", outPath.c_str(), result.pages, result.pages == 1 ? "" : "s",
              style.c_str());
  // The PDF is written but incomplete.
  for (const UndrawableFile& file : result.undrawable)
    std::fprintf(stderr, "korvex: export: %s: can't be drawn, left out: %s\n", file.path.c_str(),
                 file.reason.c_str());
  return result.undrawable.empty() ? kExitOk : kExitFailed;
}

}  // namespace korvex::cli
