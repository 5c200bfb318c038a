#include "dialog_command.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "dialog_options.h"
#include "dialogs/interface_file.h"
#include "dialogs/localize.h"
#include "dialogs/modal_windows.h"
#include "dialogs/progress_dialog.h"
#include "plugin_session.h"

namespace korvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: korvex dialog show NAME | choose file|folder [--title T] [--button T] [--extension EXT]... "
    "[--multiple] | progress [--title T] [--label L] ITEM... (each with [--choose PATH]... [--ui-script FILE.json])";

int showWindow(const std::string& name) {
  Window window;
  if (!loadNib(name, window)) return kExitFailed;
  localizeWindow(window);
  WindowController controller;
  return runModalForWindow(window, controller) == kRunStoppedResponse ? kExitOk : kExitFailed;
}

int choose(const OpenPanelRequest& request) {
  std::optional<std::vector<std::string>> chosen = runOpenPanel(request);
  if (!chosen) return kExitFailed;
  for (const std::string& path : *chosen) std::printf("%s\n", path.c_str());
  return kExitOk;
}

bool printItem(const ArrayPtr& items, std::size_t index, ProgressWindow&, void*) {
  std::printf("%s\n", items->at(index).stringValue().value_or("").c_str());
  std::fflush(stdout);
  return true;
}

}  // namespace

int runDialogCommand(std::span<const std::string> args) {
  if (args.empty()) return usageError(kUsage);
  const std::string& mode = args[0];
  DialogOptions dialogs;
  OpenPanelRequest request;
  std::optional<std::string> title;
  std::optional<std::string> label;
  std::vector<std::string> operands;
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::string error;
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (dialogs.take(args, i, error)) {
      if (!error.empty()) return usageError(error + " (" + kUsage + ")");
    } else if (arg == "--multiple" && mode == "choose") {
      request.multiple = true;
    } else if (arg == "--title" && hasValue && mode != "show") {
      title = args[++i];
    } else if (arg == "--label" && hasValue && mode == "progress") {
      label = args[++i];
    } else if (arg == "--button" && hasValue && mode == "choose") {
      request.buttonTitle = args[++i];
    } else if (arg == "--extension" && hasValue && mode == "choose") {
      request.allowedExtensions.push_back(args[++i]);
    } else if (arg.starts_with("--")) {
      return usageError("unknown option '" + arg + "' (" + kUsage + ")");
    } else {
      operands.push_back(arg);
    }
  }

  int status = kExitOk;
  if (mode == "show") {
    if (operands.size() != 1) return usageError(kUsage);
    if (std::optional<int> failed = dialogs.install()) return *failed;
    PluginSession plugIn;
    status = showWindow(operands[0]);
  } else if (mode == "choose") {
    if (operands.size() != 1 || (operands[0] != "file" && operands[0] != "folder")) return usageError(kUsage);
    if (std::optional<int> failed = dialogs.install()) return *failed;
    PluginSession plugIn;
    request.chooseFolders = operands[0] == "folder";
    request.canCreateFolders = request.chooseFolders;
    request.title = title.value_or(request.chooseFolders ? "Choose a folder" : "Choose a file");
    status = choose(request);
  } else if (mode == "progress") {
    if (operands.empty()) return usageError(kUsage);
    if (std::optional<int> failed = dialogs.install()) return *failed;
    PluginSession plugIn;
    ArrayPtr items = Array::make();
    for (const std::string& operand : operands) items->append(operand);
    const std::size_t started = doProgressDialog(items, printItem, title, label, nullptr);
    status = started == items->size() ? kExitOk : kExitFailed;
  } else {
    return usageError(kUsage);
  }
  return dialogs.finish(status);
}

}  // namespace korvex::cli
