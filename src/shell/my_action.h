#pragma once

// The plug-in's action component: the host hands it a chosen menu entry with
// the document of the active context, and it runs that entry's command.

#include <optional>
#include <span>
#include <string_view>

#include "shell/action_ids.h"

namespace korvex {

class IDocument;

// What the host knows when a menu entry is chosen.
struct ActiveContext {
  IDocument* document = nullptr;  // the front document, none when none is open
  IDocument* GetContextDocument() const { return document; }
};

// A command's function; the document may be none.
using CommandFunction = void (*)(IDocument* document);

struct MenuCommand {
  int offset;
  std::string_view name;   // the command-line name
  std::string_view title;  // key of the string table
  // Null while the command's function is not part of this build.
  CommandFunction function;
};

// The command table, ordered by offset; offsets without a row run nothing.
std::span<const MenuCommand> menuCommands();
const MenuCommand* menuCommandForOffset(int offset);
// By command-line name (also in any case with blanks for hyphens), or by
// offset written in decimal.
const MenuCommand* menuCommandNamed(std::string_view nameOrOffset);

enum class ActionResult {
  Ran,           // the command's function ran
  NoCommand,     // not one of ours, or an offset without a command
  NotAvailable,  // a known command whose function this build lacks
};

class MyAction {
 public:
  ActionResult DoAction(const ActiveContext& context, ActionID actionID);
};

// The About box: product name and version in an alert.
void showAboutBox(IDocument* document);
// Opens the settings file in its viewer application.
void openSettingsCommand(IDocument* document);
// "Bildaktualisierung" and "AddLinks" from the menu: parameters from their action files.
void updatePicturesCommand(IDocument* document);
void addLinksCommand(IDocument* document);
// "collect marked links" on the front document (actions/marked_links.h).
void collectMarkedLinksCommand(IDocument* document);
// Checkstr (parameters from its action file) and the two Zaro workflows: on
// the front document, or without one over a folder the user chooses.
void checkstrCommand(IDocument* document);
void zaro1Command(IDocument* document);
void zaro2Command(IDocument* document);
// "PN_Trennung" from the menu: its parameters from its action file.
void pnTrennungCommand(IDocument* document);
// "Schnappi" from the menu: its GREP list from its action file.
void schnappiCommand(IDocument* document);
// "Import labels": labels of a chosen document's text frames onto the given one's.
void importLabelsCommand(IDocument* document);

}  // namespace korvex
