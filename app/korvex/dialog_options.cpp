#include "dialog_options.h"

#include <cstdio>

#include "command.h"
#include "dialogs/scripted_backend.h"

namespace korvex::cli {

DialogOptions::~DialogOptions() {
  if (installed_) setDialogBackend(std::move(former_));
}

bool DialogOptions::take(std::span<const std::string> args, std::size_t& i, std::string& error) {
  const std::string& option = args[i];
  if (option != "--choose" && option != "--ui-script") return false;
  if (i + 1 >= args.size()) {
    error = option + " needs a value";
    return true;
  }
  const std::string& value = args[++i];
  if (option == "--choose") {
    choose_.push_back(value);
  } else if (uiScript_) {
    error = "--ui-script given twice";
  } else {
    uiScript_ = value;
  }
  // The script answers choosers with its own events.
  if (uiScript_ && !choose_.empty()) error = "--choose and --ui-script don't go together (the script answers choosers)";
  return true;
}

std::optional<int> DialogOptions::install() {
  std::unique_ptr<DialogBackend> backend;
  if (uiScript_) {
    Result<UiScript> script = readUiScript(*uiScript_);
    if (!script) {
      std::fprintf(stderr, "korvex: %s\n", script.message().c_str());
      return kExitUsage;
    }
    auto scripted = std::make_unique<ScriptedDialogBackend>(std::move(*script));
    scripted_ = scripted.get();
    backend = std::move(scripted);
  } else {
    auto console = std::make_unique<ConsoleDialogBackend>(choose_);
    console_ = console.get();
    backend = std::move(console);
  }
  // A failure left from before is none of this command's.
  (void)takeDialogFailure();
  former_ = setDialogBackend(std::move(backend));
  installed_ = true;
  return std::nullopt;
}

int DialogOptions::finish(int exitCode) {
  if (std::optional<Failure> failure = takeDialogFailure()) {
    std::fprintf(stderr, "korvex: %s\n", failure->message.c_str());
    return failure->code == kExitUsage ? kExitUsage : kExitFailed;
  }
  if (console_ && console_->unusedAnswers() > 0)
    std::fprintf(stderr, "korvex: %zu --choose answer(s) not used: no chooser asked for them\n",
                 console_->unusedAnswers());
  if (scripted_ && scripted_->unusedEvents() > 0)
    std::fprintf(stderr, "korvex: %s: %zu event(s) not used\n", scripted_->scriptPath().c_str(),
                 scripted_->unusedEvents());
  return exitCode;
}

}  // namespace korvex::cli
