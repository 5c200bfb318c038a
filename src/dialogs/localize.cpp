#include "dialogs/localize.h"

#include "strings/string_table.h"

namespace korvex {

void localizeMenu(std::vector<MenuItem>& items) {
  for (MenuItem& item : items)
    if (!item.separator) item.title = localizeString(item.title);
}

void localizeView(Control& view) {
  for (Control& child : view.children) {
    switch (child.kind) {
      case ControlKind::Label:
      case ControlKind::TextField:
      case ControlKind::Button:
      case ControlKind::CheckBox: child.text = localizeString(child.text); break;
      case ControlKind::PopUp: localizeMenu(child.items); break;
      case ControlKind::TabView:
        for (Control& tab : child.children) tab.text = localizeString(tab.text);
        for (Control& tab : child.children) localizeView(tab);
        break;
      case ControlKind::Table:
        for (std::string& column : child.columns) column = localizeString(column);
        break;
      case ControlKind::Box:
        child.text = localizeString(child.text);
        localizeView(child);
        break;
      case ControlKind::TextView: break;
      default: localizeView(child); break;
    }
  }
}

void localizeWindow(Window& window) {
  window.title = localizeString(window.title);
  localizeView(window.content);
}

}  // namespace korvex
