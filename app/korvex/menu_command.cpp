#include "menu_command.h"

#include <cstdio>
#include <string>

#include "command.h"
#include "plugin_session.h"
#include "shell/menu_manager.h"
#include "shell/my_action.h"

namespace korvex::cli {

namespace {

std::string entryName(const MenuEntry& entry) {
  if (entry.action == kInvalidActionID) return "(submenu)";
  if (entry.action == kSeparatorActionID) return "(separator)";
  const MenuCommand* command = menuCommandForOffset(static_cast<int>(entry.action - kKorvexActionBase));
  return command ? std::string(command->name) : "(action " + std::to_string(entry.action) + ")";
}

}  // namespace

int runMenuCommand(std::span<const std::string> args) {
  if (!args.empty()) return usageError("usage: korvex menu");
  PluginSession session;
  session.installMenu();
  MenuManager* manager = menuManager();
  for (const auto& entry : manager->entriesByPosition()) {
    std::printf("%6g  %-14s %s\n", entry.position, entry.path.c_str(), entryName(entry).c_str());
  }
  return kExitOk;
}

}  // namespace korvex::cli
