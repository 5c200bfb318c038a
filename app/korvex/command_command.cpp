#include "command_command.h"

#include <cstdio>
#include <optional>
#include <string>

#include "command.h"
#include "dialog_options.h"
#include "docmodel/documents.h"
#include "host/database.h"
#include "host/session.h"
#include "plugin_session.h"
#include "shell/my_action.h"

namespace korvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: korvex command NAME [DOC] [--no-save] [--choose PATH]... [--ui-script FILE.json]";

std::string commandNames() {
  std::string names;
  for (const auto& command : menuCommands()) {
    if (names.find(std::string(command.name) + ",") != std::string::npos) continue;
    names += std::string(command.name) + ", ";
  }
  return names.substr(0, names.size() - 2);
}

}  // namespace

int runMenuCommandCommand(std::span<const std::string> args) {
  std::optional<std::string> name;
  std::optional<std::string> docPath;
  bool save = true;
  DialogOptions dialogs;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string error;
    if (dialogs.take(args, i, error)) {
      if (!error.empty()) return usageError(error + " (" + kUsage + ")");
    } else if (arg == "--no-save") {
      save = false;
    } else if (!arg.empty() && arg[0] == '-' && arg.size() > 1) {
      return usageError(std::string(kUsage));
    } else if (!name) {
      name = arg;
    } else if (!docPath) {
      docPath = arg;
    } else {
      return usageError(std::string(kUsage));
    }
  }
  if (!name) return usageError(std::string(kUsage));
  const MenuCommand* command = menuCommandNamed(*name);
  if (!command) return usageError("unknown menu command '" + *name + "' (one of: " + commandNames() + ")");
  if (!command->function) {
    return usageError("menu command '" + std::string(command->name) + "' is not available yet");
  }

  if (std::optional<int> failed = dialogs.install()) return *failed;
  PluginSession session;
  session.installMenu();
  UIDRef document;
  IDocument* opened = nullptr;
  if (docPath) {
    document = openDoc2(*docPath, true);
    if (!document.isValid()) {
      std::string reason = GetExecutionContextSession()->application()->errorMessage();
      std::fprintf(stderr, "korvex: %s: could not be opened%s%s\n", docPath->c_str(),
                   reason.empty() ? "" : ": ", reason.c_str());
      return kExitFailed;
    }
    opened = documentForRef(document);
    makeDocActive(document);
  }

  ActionResult result = MyAction().DoAction(ActiveContext{frontDoc()}, korvexActionID(command->offset));
  int exitCode = result == ActionResult::Ran ? kExitOk : kExitFailed;
  if (opened) {
    // The command may have closed the document itself.
    if (GetExecutionContextSession()->application()->isOpen(opened)) {
      IDataBase* database = document.GetDataBase();
      if (save && database->IsModified()) {
        ErrorCode error = saveDoc(document);
        if (error != 0) {
          std::fprintf(stderr, "korvex: %s: could not be saved (error %d)\n", docPath->c_str(), error);
          exitCode = kExitFailed;
        }
      }
      closeDoc(document);
    }
  }
  return dialogs.finish(exitCode);
}

}  // namespace korvex::cli
