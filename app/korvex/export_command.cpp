#include "export_command.h"

#include <cstdio>

#include "command.h"
#include "host/output/pdf_export.h"
#include "host/session.h"

namespace korvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: korvex export DOC OUT.pdf [--style NAME] [--pages FIRST-LAST] [--spreads]";

bool parseWhole(const std::string& text, int& out) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  out = std::stoi(text);
  return out >= 1;
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

}  // namespace

int runExportCommand(std::span<const std::string> args) {
  std::vector<std::string> positional;
  std::optional<std::string> styleName;
  std::optional<std::pair<int, int>> range;
  bool spreads = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--style") {
      if (i + 1 >= args.size()) return usageError("--style needs a style name");
      styleName = args[++i];
    } else if (a == "--pages") {
      int first = 0, last = 0;
      if (i + 1 >= args.size() || !parseRange(args[i + 1], first, last))
        return usageError("--pages needs FIRST-LAST, page numbers counted from 1");
      range = std::pair(first, last);
      ++i;
    } else if (a == "--spreads") {
      spreads = true;
    } else if (a.rfind("--", 0) == 0) {
      return usageError("unknown option '" + a + "'\n" + kUsage);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) return usageError(kUsage);
  const std::string& docPath = positional[0];
  const std::string& outPath = positional[1];

  Session* session = GetExecutionContextSession();
  PdfExportProvider& provider = pdfExportProvider(*session);
  for (const std::string& problem : provider.styles().problems())
    std::fprintf(stderr, "korvex: export: style ignored: %s\n", problem.c_str());
  const std::string style = styleName.value_or(provider.styles().styles().front().name);
  if (!provider.styles().find(style)) {
    std::fprintf(stderr, "korvex: export: no PDF export style named \"%s\" (korvex styles list --pdf)\n",
                 style.c_str());
    return kExitFailed;
  }

  IDocument* document = nullptr;
  Application* app = session->application();
  if (ErrorCode code = app->openDocument(docPath, false, &document); code != kSuccess || !document) {
    std::fprintf(stderr, "korvex: export: %s\n", app->errorMessage().c_str());
    return kExitFailed;
  }
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
  return kExitOk;
}

}  // namespace korvex::cli
