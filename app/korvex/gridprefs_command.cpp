#include "gridprefs_command.h"

#include <cstdio>
#include <vector>

#include "command.h"
#include "foundation/log.h"
#include "host/database.h"
#include "host/session.h"
#include "plugin_session.h"
#include "tool_arguments.h"
#include "workflows/grid_prefs.h"

namespace korvex::cli {

namespace {

constexpr const char* kUsage = "usage: korvex gridprefs DOC [DOC] [--save]";

}  // namespace

int runGridPrefsCommand(std::span<const std::string> args) {
  std::string error;
  auto parsed = parseToolArguments(args, {}, {"--save"}, error);
  if (!parsed) return usageError(error + "\n" + kUsage);
  if (parsed->positional.empty() || parsed->positional.size() > 2) return usageError(kUsage);

  PluginSession session;
  Application* app = GetExecutionContextSession()->application();
  std::vector<IDocument*> documents;
  for (const std::string& path : parsed->positional) {
    IDocument* document = openDocumentForTool("gridprefs", path);
    if (!document) return kExitFailed;
    documents.push_back(document);
  }
  // The host hands back an open document for its second opening: one
  // document would then lose its XML content instead of being compared.
  if (app->GetDocumentCount() != static_cast<int>(documents.size()))
    return usageError("gridprefs: " + parsed->positional[1] + ": the same document twice");

  // The values read go to standard output as well as to the log.
  const bool formerConsole = setConsole(true);
  const std::optional<bool> equal = doGridPrefs();
  setConsole(formerConsole);
  int exitCode = kExitOk;
  if (equal) {
    std::printf("%s\n", *equal ? "equal" : "different");
    if (!*equal) exitCode = kExitFailed;
  }

  if (parsed->flag("--save")) {
    for (std::size_t i = 0; i < documents.size(); ++i) {
      if (!documents[i]->GetDocDataBase()->IsModified()) continue;
      if (app->saveDocument(documents[i]) != kSuccess) {
        std::fprintf(stderr, "korvex: gridprefs: %s: could not be saved: %s\n", parsed->positional[i].c_str(),
                     app->errorMessage().empty() ? "the host refused" : app->errorMessage().c_str());
        exitCode = kExitFailed;
      }
    }
  }
  for (IDocument* document : documents) app->closeDocument(document);
  return exitCode;
}

}  // namespace korvex::cli
