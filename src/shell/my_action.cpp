#include "shell/my_action.h"

#include <algorithm>
#include <charconv>

#include "actions/picture_links.h"
#include "batch/korvex_dialog.h"
#include "config/settings_store.h"
#include "dialogs/message_box.h"
#include "foundation/pool.h"
#include "foundation/product.h"

namespace korvex {

namespace {

const MenuCommand kMenuCommands[] = {
    {0, "about", "About", showAboutBox},
    {1, "batch", "Korvex", doKorvex},
    {3, "settings", "Settings", openSettingsCommand},
    {5, "checkstr", "Checkstr", nullptr},
    {6, "pn-trennung", "PN_Trennung", nullptr},
    {7, "schnappi", "Schnappi", nullptr},
    {8, "bildaktualisierung", "Bildaktualisierung", updatePicturesCommand},
    {9, "about", "About", showAboutBox},
    {11, "zaro1", "Zaro 1", nullptr},
    {12, "zaro2", "Zaro 2", nullptr},
    {13, "import-labels", "Import labels", nullptr},
    {14, "addlinks", "AddLinks", addLinksCommand},
    {15, "collect-marked-links", "Collect marked links", nullptr},
};

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

void addLinksCommand(IDocument* document) {
  addLinks(document, nullptr);
  // A menu command is a run of its own: the next one reads the table afresh.
  cleanupAddLinks();
}

}  // namespace korvex
