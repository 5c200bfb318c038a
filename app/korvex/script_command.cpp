#include "script_command.h"

#include <cstdio>
#include <string_view>
#include <vector>

#include "command.h"
#include "dialogs/message_box.h"
#include "foundation/files.h"
#include "host/document.h"
#include "host/output/composer_layout.h"
#include "host/script/javascript_runner.h"
#include "host/session.h"
#include "tool_arguments.h"

namespace korvex::cli {

namespace {

constexpr const char* kUsage = "usage: korvex script FILE.jsx [DOC...] [--time-limit SECONDS] [--memory-limit MB]";

// Closes what the command opened, whatever the script left open; the script
// saves what it wants kept.
class OpenedDocuments {
 public:
  OpenedDocuments() = default;
  OpenedDocuments(const OpenedDocuments&) = delete;
  OpenedDocuments& operator=(const OpenedDocuments&) = delete;
  ~OpenedDocuments() {
    Application* app = GetExecutionContextSession()->application();
    for (IDocument* document : documents_)
      if (app->isOpen(document)) app->closeDocument(document);
  }
  void add(IDocument* document) { documents_.push_back(document); }
  IDocument* first() const { return documents_.empty() ? nullptr : documents_.front(); }

 private:
  std::vector<IDocument*> documents_;
};

}  // namespace

int runScriptCommand(std::span<const std::string> args) {
  std::string error;
  auto parsed = parseToolArguments(args, {"--time-limit", "--memory-limit"}, {}, error);
  if (!parsed) return usageError(error + "\n" + kUsage);
  if (parsed->positional.empty()) return usageError(kUsage);
  RunScriptParams params;
  params.allowUserInteraction = true;
  params.output = [](std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  };
  int number = 0;
  if (auto seconds = parsed->value("--time-limit")) {
    if (!parseWholeNumber(*seconds, number) || number == 0)
      return usageError("script: --time-limit wants whole seconds above 0, not \"" + *seconds + "\"");
    params.timeLimitSeconds = number;
  }
  if (auto megabytes = parsed->value("--memory-limit")) {
    if (!parseWholeNumber(*megabytes, number) || number == 0)
      return usageError("script: --memory-limit wants whole megabytes above 0, not \"" + *megabytes + "\"");
    params.memoryLimitBytes = static_cast<std::size_t>(number) << 20;
  }

  const std::string& scriptPath = parsed->positional[0];
  Session* session = GetExecutionContextSession();
  JavaScriptRunner& runner = javaScriptRunner(*session);
  const IDFile script(scriptPath);
  if (!runner.CanHandleFile(script))
    return usageError("script: " + scriptPath + ": not a JavaScript file (.jsx or .js)");
  if (!pathIsFile(scriptPath)) {
    std::fprintf(stderr, "korvex: script: %s: no such file\n", scriptPath.c_str());
    return kExitFailed;
  }
  // What frames show is what the composer sets with real fonts.
  installComposerLayout();
  ScriptAlertHandler former = setScriptAlertHandler([](const std::string& text) { showAlert(text); });

  OpenedDocuments opened;
  Application* app = session->application();
  for (std::size_t i = 1; i < parsed->positional.size(); ++i) {
    IDocument* document = nullptr;
    if (app->openDocument(parsed->positional[i], true, &document) != kSuccess || !document) {
      std::fprintf(stderr, "korvex: script: %s\n", app->errorMessage().c_str());
      setScriptAlertHandler(std::move(former));
      return kExitFailed;
    }
    opened.add(document);
  }
  // The first document given is the one the script finds active.
  if (opened.first()) app->bringToFront(opened.first());

  const ErrorCode result = runner.RunFile(script, params);
  setScriptAlertHandler(std::move(former));
  if (result != kSuccess) {
    std::fprintf(stderr, "korvex: script: %s\n", runner.lastError().c_str());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace korvex::cli
