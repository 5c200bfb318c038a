#include "shell/my_action.h"

#include <algorithm>
#include <charconv>

#include "actions/marked_links.h"
#include "actions/picture_links.h"
#include "batch/korvex_dialog.h"
#include "config/settings_store.h"
#include "dialogs/message_box.h"
#include "foundation/pool.h"
#include "foundation/product.h"
#include "workflows/checkstr.h"
#include "workflows/import_labels.h"
#include "workflows/pn_trennung.h"
#include "workflows/schnappi.h"
#include "workflows/zaro.h"

namespace korvex {

namespace {

const MenuCommand kMenuCommands[] = {
    {0, "about", "About", showAboutBox},
    {1, "batch", "Korvex", doKorvex},
    {3, "settings", "Settings", openSettingsCommand},
    {5, "checkstr", "Checkstr", checkstrCommand},
    {6, "pn-trennung", "PN_Trennung", pnTrennungCommand},
    {7, "schnappi", "Schnappi", schnappiCommand},
    {8, "bildaktualisierung", "Bildaktualisierung", updatePicturesCommand},
    {9, "about", "About", showAboutBox},
    {11, "zaro1", "Zaro 1", zaro1Command},
    {12, "zaro2", "Zaro 2", zaro2Command},
    {13, "import-labels", "Import labels", importLabelsCommand},
    {14, "addlinks", "AddLinks", addLinksCommand},
    {15, "collect-marked-links", "Collect marked links", collectMarkedLinksCommand},
};

// The command-line name as typed: any case, blanks for hyphens ("collect marked links").
bool sameCommandName(std::string_view name, std::string_view typed) {
  auto fold = [](char c) {
    return c == ' ' ? '-' : (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  };
  return name.size() == typed.size() && std::equal(name.begin(), name.end(), typed.begin(),
                                                   [&](char a, char b) { return fold(a) == fold(b); });
}

}  // namespace

std::span<const MenuCommand> menuCommands() {
  return kMenuCommands;
}

const MenuCommand* menuCommandForOffset(int offset) {
  auto it = std::find_if(std::begin(kMenuCommands), std::end(kMenuCommands),
                         [offset](const MenuCommand& command) { return command.offset == offset; });
  return it == std::end(kMenuCommands) ? nullptr : &*it;
}

const MenuCommand* menuCommandNamed(std::string_view nameOrOffset) {
  int offset = 0;
  const char* end = nameOrOffset.data() + nameOrOffset.size();
  auto [ptr, ec] = std::from_chars(nameOrOffset.data(), end, offset);
  if (!nameOrOffset.empty() && ec == std::errc() && ptr == end) return menuCommandForOffset(offset);
  for (const auto& command : kMenuCommands) {
    if (command.name == nameOrOffset) return &command;
  }
  for (const auto& command : kMenuCommands) {
    if (sameCommandName(command.name, nameOrOffset)) return &command;
  }
  return nullptr;
}

ActionResult MyAction::DoAction(const ActiveContext& context, ActionID actionID) {
  [[maybe_unused]] MyPool pool;
  IDocument* document = context.GetContextDocument();
  ActionID offset = actionID - kKorvexActionBase;
  if (offset < 0 || offset >= kKorvexActionCount) return ActionResult::NoCommand;
  const MenuCommand* command = menuCommandForOffset(static_cast<int>(offset));
  if (!command) return ActionResult::NoCommand;
  if (!command->function) return ActionResult::NotAvailable;
  command->function(document);
  return ActionResult::Ran;
}

void showAboutBox(IDocument*) {
  msgBox("about", kProductName, kProductVersion);
}

void openSettingsCommand(IDocument*) {
  openPrefs();
}

void updatePicturesCommand(IDocument* document) {
  doUpdatePictures(document, nullptr);
}

void collectMarkedLinksCommand(IDocument* document) {
  collectMarkedLinks(document);
}

void checkstrCommand(IDocument* document) {
  doCheckStr(document, nullptr);
}

void zaro1Command(IDocument* document) {
  doZaro1(document, nullptr);
}

void zaro2Command(IDocument* document) {
  doZaro2(document, nullptr);
}

void pnTrennungCommand(IDocument* document) {
  doPNTrennung(document, nullptr);
}

void schnappiCommand(IDocument* document) {
  doSchnappi(document, nullptr);
}

void importLabelsCommand(IDocument* document) {
  doImportLabels(document, nullptr);
}

void addLinksCommand(IDocument* document) {
  addLinks(document, nullptr);
  // A menu command is a run of its own: the next one reads the table afresh.
  cleanupAddLinks();
}

}  // namespace korvex
