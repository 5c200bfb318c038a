#pragma once

// The host's menu manager: places entries as (action identifier, menu path,
// position). A path ending in ":" creates a submenu, one ending in ":-" places
// a separator. The stand-in host keeps the layout as plain data so that the
// command line and tests can show and check it.

#include <memory>
#include <string>
#include <vector>

#include "shell/action_ids.h"

namespace korvex {

struct MenuEntry {
  ActionID action = kInvalidActionID;
  std::string path;
  double position = 0;
};

class MenuManager {
 public:
  // Announces a menu path on its own; the layout does not depend on it.
  void AddMenu(const std::string& path) { _menus.push_back(path); }
  void AddMenuItem(ActionID action, const std::string& path, double position);

  // The entries in the order in which they were placed.
  const std::vector<MenuEntry>& entries() const { return _entries; }
  // The entries ordered by position (stable for equal positions), as the
  // host shows them.
  std::vector<MenuEntry> entriesByPosition() const;
  const std::vector<std::string>& announcedMenus() const { return _menus; }
  bool empty() const { return _entries.empty(); }

 private:
  std::vector<MenuEntry> _entries;
  std::vector<std::string> _menus;
};

// The application's menu manager, null when the host has none. The host
// installs it; the plug-in only borrows it.
MenuManager* menuManager();
// Installs a menu manager (none to remove it) and answers the former one.
std::unique_ptr<MenuManager> setMenuManager(std::unique_ptr<MenuManager> manager);

// Places the plug-in's menu "MM" with the menu manager; nothing without one.
void setupMenuItems();

}  // namespace korvex
