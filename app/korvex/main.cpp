#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "command.h"
#include "command_command.h"
#include "dialog_command.h"
#include "doc_commands.h"
#include "export_command.h"
#include "gridprefs_command.h"
#include "hotfolder_command.h"
#include "log_command.h"
#include "menu_command.h"
#include "preflight_command.h"
#include "preview_command.h"
#include "print_command.h"
#include "queue_command.h"
#include "run_command.h"
#include "script_command.h"
#include "settings_command.h"
#include "styles_command.h"
#include "table_command.h"

#include "foundation/product.h"
#include "foundation/workspace.h"
#include "platform/xdg_workspace.h"

namespace korvex::cli {

namespace {

int printVersion(std::span<const std::string>);
int printHelp(std::span<const std::string>);

// The main job first, then the plug-in's other entries, then the host's document tools.
const Command kCommands[] = {
    {"run", "--chain CHAIN DOC...", "run an action chain over documents", runRunCommand},
    {"hotfolder", "[--once]", "watch the hot folder (or scan it once)", runHotfolderCommand},
    {"queue", "submit --chain CHAIN DOC... | status [--redis URL]", "queue documents for workers, or list the jobs",
     runQueueCommand},
    {"worker", "[--redis URL] [--name NAME] [--until-empty]", "run queued jobs until stopped", runWorkerCommand},
    {"command", "NAME [DOC] [--no-save]", "run a menu command, on DOC when given", runMenuCommandCommand},
    {"menu", "", "print the plug-in's menu in position order", runMenuCommand},
    {"dialog", "show NAME | choose file|folder | progress ITEM...",
     "show a window of the bundle, a chooser or the progress window", runDialogCommand},
    {"settings", "[--path | --open]", "print the settings, their file's path, or open it", runSettingsCommand},
    {"log", "path|check|show", "print the log's path, check that it can be written, or open it", runLogCommand},
    {"doc", "new|info|check|convert DOC", "make, describe, check or convert a document (native or IDML)",
     runDocCommand},
    {"export", "DOC OUT.pdf [--style NAME] [--pages FIRST-LAST] [--spreads]", "export a document as PDF",
     runExportCommand},
    {"print", "DOC [--style NAME] [--to FILE.ps]", "print a document or write its PostScript", runPrintCommand},
    {"preview", "DOC OUT.jpg [--spread N] [--resolution PPI] [--quality Q]", "render a spread as JPEG",
     runPreviewCommand},
    {"gridprefs", "DOC [DOC] [--save]",
     "compare two documents' grid preferences, or delete one document's XML content", runGridPrefsCommand},
    {"preflight", "DOC [--profile NAME]", "check a document against a preflight profile", runPreflightCommand},
    {"script", "FILE.jsx [DOC...] [--time-limit S] [--memory-limit MB]",
     "run a script on documents, its $.writeln output on standard output", runScriptCommand},
    {"styles", "list [--pdf | --print] | show NAME | add NAME FILE", "list, show or add output styles",
     runStylesCommand},
    {"table", "FILE [--sheet NAME] [--kv]", "print a data table (text, XML, JSON, workbook) as JSON",
     runTableCommand},
    {"--version", "", "print the version", printVersion},
    {"--help", "", "list the commands", printHelp},
};

int printVersion(std::span<const std::string>) {
  std::printf("%s %s\n", kProductName, kProductVersion);
  return kExitOk;
}

int printHelp(std::span<const std::string>) {
  std::printf("%s %s - production automation for documents\n\nusage: korvex COMMAND [ARGS]\n\n", kProductName,
              kProductVersion);
  for (const auto& command : kCommands) {
    std::string line = std::string(command.name) + " " + std::string(command.usage);
    const int summaryLength = static_cast<int>(command.summary.size());
    // A long usage gets its summary on the next line, so the summaries stay in one column.
    if (line.size() > 36)
      std::printf("  %s\n  %-36s %.*s\n", line.c_str(), "", summaryLength, command.summary.data());
    else
      std::printf("  %-36s %.*s\n", line.c_str(), summaryLength, command.summary.data());
  }
  return kExitOk;
}

}  // namespace

int usageError(std::string_view message) {
  std::fprintf(stderr, "korvex: %.*s\n", static_cast<int>(message.size()), message.data());
  return kExitUsage;
}

}  // namespace korvex::cli

int main(int argc, char** argv) {
  using namespace korvex::cli;
  std::vector<std::string> args(argv + 1, argv + argc);
  korvex::setWorkspace(std::make_unique<korvex::XdgWorkspace>());
  if (args.empty()) {
    printHelp({});
    return kExitUsage;
  }
  if (args[0] == "-h" || args[0] == "help") args[0] = "--help";
  if (args[0] == "-V" || args[0] == "version") args[0] = "--version";
  for (const auto& command : kCommands) {
    if (args[0] == command.name) return command.run(std::span<const std::string>(args).subspan(1));
  }
  return usageError("unknown command '" + args[0] + "' (korvex --help lists the commands)");
}
