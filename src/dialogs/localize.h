#pragma once

// Translating a loaded window through the string table: every title and
// label is replaced by its entry (localizeString keeps a trailing ":" or
// "…"); a text without an entry stays as the interface file has it.

#include <vector>

#include "dialogs/window_model.h"

namespace korvex {

// Every item title.
void localizeMenu(std::vector<MenuItem>& items);
// Every control inside the view, by kind: a label's or text field's text, a
// pop-up's items, a button's title, a tab's label and its page, a table's
// column headers, a box's title and its content. A text view's text stays.
void localizeView(Control& view);
// The window's title, then its content.
void localizeWindow(Window& window);

}  // namespace korvex
