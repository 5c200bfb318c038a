#include "run_command.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "batch/korvex_controller.h"
#include "chain_argument.h"
#include "command.h"
#include "config/settings_store.h"
#include "dialog_options.h"
#include "dialogs/console_progress.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/workspace.h"
#include "plugin_session.h"
#include "run/run_values.h"

namespace korvex::cli {

namespace {

constexpr std::string_view kUsage =
    "usage: korvex run --chain CHAIN [--choose PATH]... [--ui-script FILE.json] [--] DOC...";
const char* const kLogFolder = "Tamrisk";

}  // namespace

int runRunCommand(std::span<const std::string> args) {
  std::optional<std::string> chainArgument;
  std::vector<std::string> documents;
  bool options = true;
  DialogOptions dialogs;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string error;
    if (!options) {
      documents.push_back(std::filesystem::absolute(args[i]).lexically_normal().string());
    } else if (dialogs.take(args, i, error)) {
      if (!error.empty()) return usageError(error + " (" + std::string(kUsage) + ")");
    } else if (args[i] == "--") {
      options = false;
    } else if (args[i] == "--chain") {
      if (chainArgument || i + 1 >= args.size()) return usageError(kUsage);
      chainArgument = args[++i];
    } else if (args[i].starts_with("--")) {
      return usageError("unknown option '" + args[i] + "' (" + std::string(kUsage) + ")");
    } else {
      documents.push_back(std::filesystem::absolute(args[i]).lexically_normal().string());
    }
  }
  if (!chainArgument || chainArgument->empty() || documents.empty()) return usageError(kUsage);

  if (std::optional<int> failed = dialogs.install()) return *failed;
  PluginSession plugIn;
  ChainOrError chain = readChain(*chainArgument);
  if (!chain.chain) {
    std::fprintf(stderr, "korvex: %s\n", chain.error.c_str());
    return kExitUsage;
  }

  // As the batch dialog's OK starts a run: the flag as the options say, log
  // restarted, chain logged.
  const bool logShownByOption = integerForKey(prefs() ? prefs()->options() : nullptr, "showLog", 0) == 1;
  setShowLog(logShownByOption);
  setupLog(true, kLogFolder);
  MyLog("%@", Value(chain.chain));

  std::unique_ptr<ProgressWindow> progress = dialogBackend().makeProgressWindow(nullptr);
  KorvexController controller(*progress);
  controller.setPaths(documents);
  controller.setActions(chain.chain);
  RunOutcome outcome;
  {
    InterruptCancels cancelOnInterrupt;
    InterruptCancels::reset();
    outcome = controller.doProgressDialog();
  }

  const int dialogStatus = dialogs.finish(kExitOk);
  const std::string logPath = getLogPath().value_or("");
  std::printf("log: %s\n", logPath.c_str());
  // As after a dialog run: the log opens when it was flagged or the options
  // ask for it.
  if (getShowLog()) {
    if (!logShownByOption) std::fprintf(stderr, "korvex: the log reports problems: %s\n", logPath.c_str());
    beep();
    showLogFile();
  }
  switch (outcome) {
    case RunOutcome::Completed: return dialogStatus;
    case RunOutcome::Failed:
      std::fprintf(stderr, "korvex: %s: an action failed; the run stopped (%zu of %zu documents taken)\n",
                   controller.paths()[controller.takenCount() - 1].c_str(), controller.takenCount(),
                   documents.size());
      return kExitFailed;
    case RunOutcome::Cancelled:
      std::fprintf(stderr, "korvex: cancelled (%zu of %zu documents taken)\n", controller.takenCount(),
                   documents.size());
      return kExitFailed;
  }
  return kExitFailed;
}

}  // namespace korvex::cli
