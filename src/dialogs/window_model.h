#pragma once

// The toolkit-neutral window: what an interface file describes (controls,
// their kinds, tags, names, texts, items and values) and what every backend
// shows. Dialog logic reads and changes this model only; a backend mirrors
// it into real widgets and back.
//
// A window owns its controls; a Control* handed out stays valid while the
// window lives (the tree's shape never changes after loading, only values,
// items and rows do).

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvex {

enum class ControlKind {
  View,       // a plain container
  Label,      // static text
  TextField,  // one line of editable text
  TextView,   // several lines of text
  CheckBox,
  Button,
  PopUp,
  TabView,
  Tab,    // one page of a tab view
  Table,  // rows with column headers
  List,   // rows without headers
  ProgressBar,
  Box,  // a titled group
  ScrollView,
};

// The kind's name in dumps and messages ("checkbox", "popup", ...).
std::string_view controlKindName(ControlKind kind);

struct MenuItem {
  std::string title;
  int tag = 0;
  bool separator = false;
  // What the item stands for when its title is for people (a profile's name).
  std::string representedObject;
  // The item's own action, sent instead of the pop-up's when it is chosen
  // ("doActionUpdate:").
  std::string action;
};

inline MenuItem menuItemTitled(std::string title) {
  MenuItem item;
  item.title = std::move(title);
  return item;
}

struct Control {
  ControlKind kind = ControlKind::View;
  std::string name;  // the object name: how outlets are found
  int tag = 0;       // 0: no tag, as the platform's default
  // The visible string: a button's or box's title, a label's or field's text,
  // a tab's label.
  std::string text;
  // The action a button or pop-up sends, by name ("doOkBtn:").
  std::string action;
  bool enabled = true;
  int state = 0;                     // check boxes and buttons
  std::string identifier;            // tabs
  std::vector<MenuItem> items;       // pop-ups
  int selected = -1;                 // pop-ups: item index; tab views: page index
  std::vector<std::string> columns;  // table headers
  std::vector<std::string> rows;     // tables and lists: the first column
  std::vector<int> selectedRows;     // tables and lists, ascending
  double minimum = 0;                // progress bars
  double maximum = 100;
  double value = 0;
  std::vector<Control> children;  // for a tab view: its tabs
};

struct Window {
  std::string name;  // the interface file's name ("Batch")
  std::string title;
  std::string sourcePath;  // the file it was read from
  Control content;
};

// ---- finding controls -------------------------------------------------------------

// The first control with that tag inside the view (depth first, the view
// itself and every tab page included), or null. Tag 0 finds nothing.
Control* viewWithTag(Control& view, int tag);
// The control with that tag in the window's content view, or null.
Control* getControl(Window& window, int tag);
// The first control with that object name, or null.
Control* controlNamed(Control& view, std::string_view name);
Control* controlNamed(Window& window, std::string_view name);

// ---- values by tag ----------------------------------------------------------------

// Pop-up: the selected item's tag (-1 without selection); button or check
// box: its state; tab view: the selected tab's identifier as a number;
// anything else, and a tag no control carries: -1.
int getControlValue(Control& view, int tag);
// Pop-up: selects the item with that tag (unchanged when none has it);
// button: its state; tab view: the tab whose identifier is the number.
void setControlValue(Control& view, int tag, int value);

// A text field or label takes the text; a pop-up selects the item of that title when
// the text is not empty and the item exists; a button takes it as its title.
// Other controls, a null control or no text change nothing.
void setControlText(Control* control, const std::optional<std::string>& text);

// ---- pop-ups ------------------------------------------------------------------------

// The path's non-empty components, deepest first, the first one selected:
// "/Volumes/Data/Out" gives Out, Data, Volumes; "/" gives an empty pop-up.
void setupPopupWithPath(Control& popUp, std::string_view path);
// "/" and the titles from the last item down to the selected one, joined by
// "/"; the empty path for an empty pop-up or no selection.
std::string pathWithPopup(const Control& popUp);
// The titles, then the item titled selected (else the first) selected.
void setupPopupWithArray(Control& popUp, const std::vector<std::string>& titles, std::string_view selected);
// Selects the item with that title, else the first item.
void selectPopup(Control& popUp, std::string_view title);
// One item per entry of the folder whose extension is exactly the given one,
// titled without it; the first item selected when there is one.
void setupPopupWithDirectory(Control& popUp, const std::string& folder, std::string_view extension,
                             bool clear);
// The selected item, or null.
const MenuItem* selectedItem(const Control& popUp);
// The action a pop-up's choice sends: the chosen item's own, else the pop-up's.
std::string_view actionOf(const Control& control);

// ---- tabs -----------------------------------------------------------------------------

// Selects the tab with that identifier; false when there is none.
bool selectTabWithIdentifier(Control& tabView, std::string_view identifier);
// The selected tab page, or null.
const Control* selectedTab(const Control& tabView);

}  // namespace korvex
