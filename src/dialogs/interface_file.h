#pragma once

// Interface files: Qt Designer ".ui" files in the bundle's resources, read
// into the toolkit-neutral window model. Every backend shows windows from the
// same file; the non-Qt backends see it only through this reader.
//
// What the reader takes from a file: the top widget (the window: its object
// name and "windowTitle"), every widget below it through layouts, by class
// (QLabel, QLineEdit, QPlainTextEdit/QTextEdit, QCheckBox, QPushButton/
// QToolButton, QComboBox, QTabWidget and its pages, QTableWidget/QTreeWidget,
// QListWidget, QProgressBar, QGroupBox, QScrollArea; anything else is a plain
// container), and the dynamic properties "tag" (number), "action" (string),
// "identifier" (a tab page's; its position from 1 otherwise) and "itemTags"
// (a pop-up's item tags, comma separated).

#include <string>

#include "dialogs/window_model.h"
#include "foundation/result.h"

namespace korvex {

// The window the file describes; a failure names the file and the problem.
Result<Window> readInterfaceFile(const std::string& path);

// Loads the interface file NAME.ui from the bundle into the window. When it
// is missing or can't be read, shows the alert "Error loading nib: NAME"
// (the reason as its second line) and answers false; the window is
// unchanged.
bool loadNib(const std::string& name, Window& window);
// The same from the given resources folder.
bool loadNib(const std::string& resourcesFolder, const std::string& name, Window& window);

}  // namespace korvex
