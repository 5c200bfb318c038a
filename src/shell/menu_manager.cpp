#include "shell/menu_manager.h"

#include <algorithm>
#include <utility>

namespace korvex {

namespace {

std::unique_ptr<MenuManager>& installedManager() {
  static std::unique_ptr<MenuManager> manager;
  return manager;
}

struct LayoutEntry {
  int offset;  // -1: submenu, -2: separator
  const char* path;
  double position;
};

constexpr int kSubmenu = -1;
constexpr int kSeparator = -2;

constexpr LayoutEntry kLayout[] = {
    {kSubmenu, "Main:MM:", 119},
    {1, "Main:MM", 1},
    {kSeparator, "Main:MM:-", 11},
    {5, "Main:MM", 12},
    {6, "Main:MM", 13},
    {7, "Main:MM", 14},
    {8, "Main:MM", 15},
    {13, "Main:MM", 16},
    {kSubmenu, "Main:MM:Zaro:", 21},
    {11, "Main:MM:Zaro", 22},
    {12, "Main:MM:Zaro", 23},
    {14, "Main:MM", 24},
    {15, "Main:MM", 25},
    {kSeparator, "Main:MM:-", 31},
    {3, "Main:MM", 32},
    {9, "Main:MM", 34},
};

}  // namespace

void MenuManager::AddMenuItem(ActionID action, const std::string& path, double position) {
  _entries.push_back({action, path, position});
}

std::vector<MenuEntry> MenuManager::entriesByPosition() const {
  std::vector<MenuEntry> sorted = _entries;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const MenuEntry& a, const MenuEntry& b) { return a.position < b.position; });
  return sorted;
}

MenuManager* menuManager() {
  return installedManager().get();
}

std::unique_ptr<MenuManager> setMenuManager(std::unique_ptr<MenuManager> manager) {
  return std::exchange(installedManager(), std::move(manager));
}

void setupMenuItems() {
  MenuManager* manager = menuManager();
  if (!manager) return;
  manager->AddMenu("Main:&File:Korvex:");
  manager->AddMenu("Main:MM:");
  for (const auto& entry : kLayout) {
    ActionID action = entry.offset == kSubmenu     ? kInvalidActionID
                      : entry.offset == kSeparator ? kSeparatorActionID
                                                   : korvexActionID(entry.offset);
    manager->AddMenuItem(action, entry.path, entry.position);
  }
}

}  // namespace korvex
