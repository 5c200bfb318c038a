#include "preflight_command.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "command.h"
#include "host/document.h"
#include "host/output/composer_layout.h"
#include "host/preflight/preflight.h"
#include "host/session.h"
#include "tool_arguments.h"

namespace korvex::cli {

namespace {

constexpr const char* kUsage = "usage: korvex preflight DOC [--profile NAME]";

}  // namespace

int runPreflightCommand(std::span<const std::string> args) {
  std::string error;
  auto parsed = parseToolArguments(args, {"--profile"}, {}, error);
  if (!parsed) return usageError(error + "\n" + kUsage);
  if (parsed->positional.size() != 1) return usageError(kUsage);
  const std::string& docPath = parsed->positional[0];
  const std::optional<std::string> profileName = parsed->value("--profile");

  Session* session = GetExecutionContextSession();
  PreflightService& service = preflightService(*session);
  // Overset text is what the composer sets with real fonts.
  installComposerLayout();
  for (const StyleRefusal& refusal : service.profiles().refusals())
    std::fprintf(stderr, "korvex: preflight: profile ignored: %s\n", refusal.text().c_str());
  int index = -1;
  if (profileName) {
    index = service.profiles().indexOf(*profileName);
    if (index < 0) {
      std::fprintf(stderr, "korvex: preflight: no preflight profile named \"%s\"\n", profileName->c_str());
      return kExitFailed;
    }
  }

  Application* app = session->application();
  IDocument* document = openDocumentForTool("preflight", docPath);
  if (!document) return kExitFailed;
  if (index >= 0) {
    service.prepare(*document);
    service.assignProfile(*document, index);
  }
  service.process(*document);
  const auto results = service.aggregatedResults(*document);
  service.forget(*document);
  app->closeDocument(document);

  const PreflightResultEntry& entry = results.front();
  const auto& errors = entry.data;
  std::printf("%s: %zu error%s with \"%s\"\n", docPath.c_str(), errors.size(), errors.size() == 1 ? "" : "s",
              entry.profile.c_str());
  for (const PreflightError& e : errors) {
    std::string where = e.page > 0 ? "page " + std::to_string(e.page) : std::string("no page");
    if (e.item != kInvalidUID) where += ", item " + std::to_string(e.item);
    std::printf("  %s (%s): %s\n", e.rule.c_str(), where.c_str(), e.description.c_str());
  }
  return errors.empty() ? kExitOk : kExitFailed;
}

}  // namespace korvex::cli
