#include "dialogs/window_model.h"

#include <charconv>

#include "foundation/folder_enum.h"
#include "foundation/paths.h"

namespace korvex {

std::string_view controlKindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::View: return "view";
    case ControlKind::Label: return "label";
    case ControlKind::TextField: return "textfield";
    case ControlKind::TextView: return "textview";
    case ControlKind::CheckBox: return "checkbox";
    case ControlKind::Button: return "button";
    case ControlKind::PopUp: return "popup";
    case ControlKind::TabView: return "tabview";
    case ControlKind::Tab: return "tab";
    case ControlKind::Table: return "table";
    case ControlKind::List: return "list";
    case ControlKind::ProgressBar: return "progressbar";
    case ControlKind::Box: return "box";
    case ControlKind::ScrollView: return "scrollview";
  }
  return "view";
}

Control* viewWithTag(Control& view, int tag) {
  if (tag == 0) return nullptr;
  if (view.tag == tag) return &view;
  for (Control& child : view.children)
    if (Control* found = viewWithTag(child, tag)) return found;
  return nullptr;
}

Control* getControl(Window& window, int tag) {
  return viewWithTag(window.content, tag);
}

Control* controlNamed(Control& view, std::string_view name) {
  if (name.empty()) return nullptr;
  if (view.name == name) return &view;
  for (Control& child : view.children)
    if (Control* found = controlNamed(child, name)) return found;
  return nullptr;
}

Control* controlNamed(Window& window, std::string_view name) {
  return controlNamed(window.content, name);
}

namespace {

bool isButton(const Control& control) {
  return control.kind == ControlKind::Button || control.kind == ControlKind::CheckBox;
}

// The platform's intValue: leading digits with an optional sign, else 0.
int intValue(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace

int getControlValue(Control& view, int tag) {
  Control* control = viewWithTag(view, tag);
  if (!control) return -1;
  if (control->kind == ControlKind::PopUp) {
    const MenuItem* item = selectedItem(*control);
    return item ? item->tag : -1;
  }
  if (isButton(*control)) return control->state;
  if (control->kind == ControlKind::TabView) {
    const Control* tab = selectedTab(*control);
    return tab ? intValue(tab->identifier) : -1;
  }
  return -1;
}

void setControlValue(Control& view, int tag, int value) {
  Control* control = viewWithTag(view, tag);
  if (!control) return;
  if (control->kind == ControlKind::PopUp) {
    for (std::size_t i = 0; i < control->items.size(); ++i) {
      if (!control->items[i].separator && control->items[i].tag == value) {
        control->selected = static_cast<int>(i);
        return;
      }
    }
  } else if (isButton(*control)) {
    control->state = value;
  } else if (control->kind == ControlKind::TabView) {
    selectTabWithIdentifier(*control, std::to_string(value));
  }
}

void setControlText(Control* control, const std::optional<std::string>& text) {
  if (!control || !text) return;
  switch (control->kind) {
    case ControlKind::Label:
    case ControlKind::TextField: control->text = *text; break;
    case ControlKind::PopUp:
      if (text->empty()) break;
      for (std::size_t i = 0; i < control->items.size(); ++i) {
        if (!control->items[i].separator && control->items[i].title == *text) {
          control->selected = static_cast<int>(i);
          break;
        }
      }
      break;
    case ControlKind::Button:
    case ControlKind::CheckBox: control->text = *text; break;
    default: break;
  }
}

void setupPopupWithPath(Control& popUp, std::string_view path) {
  popUp.items.clear();
  popUp.selected = -1;
  // Only non-empty components: "/" is no folder at all, and "/A/B/" is "/A/B".
  std::vector<std::string> components;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) components.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  for (auto it = components.rbegin(); it != components.rend(); ++it)
    popUp.items.push_back(menuItemTitled(*it));
  if (!popUp.items.empty()) popUp.selected = 0;
}

std::string pathWithPopup(const Control& popUp) {
  if (popUp.selected < 0 || popUp.selected >= static_cast<int>(popUp.items.size())) return "";
  std::string path;
  for (int i = static_cast<int>(popUp.items.size()) - 1; i >= popUp.selected; --i)
    path += "/" + popUp.items[static_cast<std::size_t>(i)].title;
  return path;
}

void selectPopup(Control& popUp, std::string_view title) {
  popUp.selected = popUp.items.empty() ? -1 : 0;
  for (std::size_t i = 0; i < popUp.items.size(); ++i) {
    if (!popUp.items[i].separator && popUp.items[i].title == title) {
      popUp.selected = static_cast<int>(i);
      return;
    }
  }
}

void setupPopupWithArray(Control& popUp, const std::vector<std::string>& titles, std::string_view selected) {
  popUp.items.clear();
  popUp.selected = -1;
  if (titles.empty()) return;
  for (const std::string& title : titles) popUp.items.push_back(menuItemTitled(title));
  selectPopup(popUp, selected);
}

void setupPopupWithDirectory(Control& popUp, const std::string& folder, std::string_view extension,
                             bool clear) {
  if (clear) {
    popUp.items.clear();
    popUp.selected = -1;
  }
  EnumFolderFlat(folder, [&](const std::string& path) {
    if (pathExtension(path) == extension)
      popUp.items.push_back(menuItemTitled(lastPathComponent(path, false)));
    return true;
  });
  if (!popUp.items.empty()) popUp.selected = 0;
}

const MenuItem* selectedItem(const Control& popUp) {
  if (popUp.selected < 0 || popUp.selected >= static_cast<int>(popUp.items.size())) return nullptr;
  return &popUp.items[static_cast<std::size_t>(popUp.selected)];
}

std::string_view actionOf(const Control& control) {
  if (control.kind == ControlKind::PopUp)
    if (const MenuItem* item = selectedItem(control); item && !item->action.empty()) return item->action;
  return control.action;
}

bool selectTabWithIdentifier(Control& tabView, std::string_view identifier) {
  for (std::size_t i = 0; i < tabView.children.size(); ++i) {
    if (tabView.children[i].identifier == identifier) {
      tabView.selected = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

const Control* selectedTab(const Control& tabView) {
  if (tabView.selected < 0 || tabView.selected >= static_cast<int>(tabView.children.size())) return nullptr;
  return &tabView.children[static_cast<std::size_t>(tabView.selected)];
}

}  // namespace korvex
