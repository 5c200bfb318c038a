#include "run_command.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/console_progress.h"
#include "batch/korvex_controller.h"
#include "command.h"
#include "dialog_options.h"
#include "config/action_files.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/property_list.h"
#include "plugin_session.h"
#include "run/run_values.h"

namespace korvex::cli {

namespace {

constexpr std::string_view kUsage =
    "usage: korvex run --chain CHAIN [--choose PATH]... [--ui-script FILE.json] [--] DOC...";
const char* const kLogFolder = "Tamrisk";

struct ChainOrError {
  ArrayPtr chain;
  std::string file;
  std::string error;  // "FILE: PROBLEM" when there is no chain
};

bool isPathLike(const std::string& chain) {
  return chain.find('/') != std::string::npos;
}

// The file a CHAIN argument names; the first candidate when none exists, so
// the message names what was looked for.
std::string chainFile(const std::string& chain) {
  if (isPathLike(chain) || pathIsFile(chain))
    return std::filesystem::absolute(chain).lexically_normal().string();
  const std::string inFolder = stringByAppendingPathComponent(actionsPath(), chain);
  if (pathIsFile(inFolder) || !pathExtension(chain).empty()) return inFolder;
  for (const char* extension : {".plist", ".jsx"})
    if (pathIsFile(inFolder + extension)) return inFolder + extension;
  return inFolder + ".plist";
}

ChainOrError readChain(const std::string& argument) {
  ChainOrError result;
  result.file = chainFile(argument);
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(result.file, ec);
  if (!std::filesystem::exists(status)) {
    result.error = result.file + ": no such action file";
    return result;
  }
  if (std::filesystem::is_directory(status)) {
    result.error = result.file + ": is a folder, not an action file";
    return result;
  }
  if (pathEndsWith(result.file, "jsx")) {
    // A script is a chain of one script action; the script runner reads it.
    if (!std::filesystem::is_regular_file(status)) {
      result.error = result.file + ": is not a regular file";
      return result;
    }
    DictPtr script = Dictionary::make();
    script->set("Action", "JSX");
    script->set("Path", result.file);
    result.chain = Array::make({Value(script)});
    return result;
  }
  Result<Value> root = loadPropertyListFile(result.file);
  if (!root) {
    result.error = root.message();
  } else if (ArrayPtr array = root->array()) {
    result.chain = array;
  } else if (root->isDictionary()) {
    result.chain = Array::make({*root});
  } else {
    result.error = result.file + ": the property list holds neither an action dictionary nor a chain of them";
  }
  return result;
}

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

  // As the batch dialog's OK starts a run: flag cleared, log restarted, chain logged.
  setShowLog(false);
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
  if (getShowLog()) std::fprintf(stderr, "korvex: the log reports problems: %s\n", logPath.c_str());
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
