#pragma once

// Action files: property lists in the user's actions folder that hold one
// action dictionary or a chain (an array) of them. The batch dialog offers
// them as chains, the hot folder maps its subfolders to them by name, and
// several actions read their parameters from the file of their own name.

#include <array>
#include <string>
#include <string_view>

#include "foundation/value.h"

namespace korvex {

// Installed into a fresh actions folder, in this order.
inline constexpr std::array<std::string_view, 6> kDefaultActionFiles = {
    "AddLinks.plist", "Bildaktualisierung.plist", "PNTrennung.plist", "Schnappi.plist", "Collect.plist",
    "PDF.plist"};

// "<application support>/Korvex", created when missing.
std::string actionsPath();
// The file of an action name: actions folder / name + ".plist"; the folder
// itself for an empty name.
std::string actionFilePath(std::string_view name);

// Copies each default file that the actions folder lacks from the bundle's
// "actions" resources. Files already there are never replaced, so the user's
// edits survive; a default missing from the bundle is passed over.
void setupActionsDir();
void setupActionsDir(const std::string& defaultsFolder);

// The chain of a file of the actions folder, by file name with extension:
// a ".plist" (any case) whose root is an array, or a ".jsx" script as a chain
// of one "JSX" action. Null for anything else, a single dictionary included.
ArrayPtr actionsArray(std::string_view fileName);
// The chain of an action name: a dictionary file as a chain of one, an array
// file with all its elements; otherwise an empty chain. Never null.
ArrayPtr actionsForName(std::string_view name);
// The parameters of an action name: a dictionary file, or the first element
// of an array file when that is a dictionary; otherwise the defaults.
DictPtr dictForAction(std::string_view name, DictPtr defaults);
// Opens the name's file in its viewer application.
bool openAction(std::string_view name);

}  // namespace korvex
