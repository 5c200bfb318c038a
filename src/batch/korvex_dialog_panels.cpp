// The batch dialog's tabs and options: each set-up fills its controls from
// the settings section, each collector writes the controls back into the
// live section and makes it the chain.

#include <algorithm>

#include "actions/pdf_action.h"
#include "actions/preflight_action.h"
#include "batch/korvex_dialog.h"
#include "config/action_files.h"
#include "config/settings_store.h"
#include "dialogs/message_box.h"
#include "dialogs/modal_windows.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/files.h"
#include "foundation/folder_enum.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/workspace.h"
#include "run/run_values.h"
#include "strings/string_table.h"

namespace korvex {

namespace {

// A folder in the desktop's file manager.
void revealFolder(const std::string& folder) {
  if (Workspace* desktop = workspace())
    desktop->openPath(folder, std::nullopt);
  else
    MyLog("no workspace to open %@", folder);
}

ArrayPtr chainOf(const DictPtr& action) {
  return Array::make({Value(action)});
}

}  // namespace

// ---- options ----------------------------------------------------------------------------

void KorvexDialog::setupOptions() {
  const DictPtr options = _settings.options();
  setControlValue(_window.content, kModifiedLinksTag, integerForKey(options, "modifiedLinks", 1));
  setControlValue(_window.content, kShowLogTag, integerForKey(options, "showLog", 0));
  setupPreflightPopup();
}

void KorvexDialog::setupPreflightPopup() {
  Control* popUp = getControl(_window, kPreflightPopupTag);
  if (!popUp) return;
  const std::vector<std::pair<std::string, std::string>> profiles = preflightNames();
  if (profiles.empty()) return;
  const std::string chosen = stringForKey(_settings.options(), "preflight", "").value_or("");
  MenuItem separator;
  separator.separator = true;
  popUp->items.push_back(separator);
  for (const auto& [name, shown] : profiles) {
    MenuItem item = menuItemTitled(shown);
    item.representedObject = name;
    popUp->items.push_back(item);
    if (name == chosen && !chosen.empty()) popUp->selected = static_cast<int>(popUp->items.size()) - 1;
  }
}

void KorvexDialog::saveOptions() {
  const DictPtr options = _settings.options();
  if (options) {
    const Control* popUp = getControl(_window, kPreflightPopupTag);
    const MenuItem* item = popUp ? selectedItem(*popUp) : nullptr;
    // The interface file's own items stand for the document's own profile.
    if (item && !item->representedObject.empty())
      options->set("preflight", item->representedObject);
    else
      options->remove("preflight");
    options->set("modifiedLinks", getControlValue(_window.content, kModifiedLinksTag));
    options->set("showLog", getControlValue(_window.content, kShowLogTag) == 1 ? 1 : 0);
  }
  setShowLog(getControlValue(_window.content, kShowLogTag) == 1);
  savePrefs();
}

// ---- PDF ----------------------------------------------------------------------------------

void KorvexDialog::setupPDFPanel() {
  // A "PDF" key that holds something else leaves the controls empty.
  const DictPtr pdf = _settings.pdf();
  setupPopupWithArray(*_o.pdfStylesBtn, pdfStyles(), stringForKey(pdf, "Style", "").value_or(""));
  setupPopupWithPath(*_o.pdfFolderBtn, stringForKey(pdf, "Folder", "").value_or(""));
  _o.pdfShowBtn->state = integerForKey(pdf, "Show", 0);
  doPDFLayersBtn();
}

void KorvexDialog::doPDFPanel() {
  // A "PDF" key that holds something else stays as it is: the run gets an
  // action of its own.
  DictPtr pdf = _settings.pdf();
  if (!pdf) pdf = Dictionary::make();
  pdf->set("Action", "PDF");
  const MenuItem* style = selectedItem(*_o.pdfStylesBtn);
  pdf->set("Style", style ? style->title : "");
  pdf->set("Folder", pathWithPopup(*_o.pdfFolderBtn));
  pdf->set("Show", _o.pdfShowBtn->state ? 1 : 0);
  setActions(chainOf(pdf));
}

void KorvexDialog::doPDFChooseBtn() {
  if (std::optional<std::string> folder =
          chooseFolder(stringForKey("Folder"), pathWithPopup(*_o.pdfFolderBtn)))
    setupPopupWithPath(*_o.pdfFolderBtn, *folder);
}

void KorvexDialog::doPDFResetBtn() {
  _o.pdfFolderBtn->items.clear();
  _o.pdfFolderBtn->selected = -1;
}

void KorvexDialog::doPDFFolderBtn() {
  // The pop-up shows where the PDF files go; choosing a folder of it shows
  // that folder, and the pop-up again shows the whole path.
  const std::string folder = pathWithPopup(*_o.pdfFolderBtn);
  if (!folder.empty()) revealFolder(folder);
  if (!_o.pdfFolderBtn->items.empty()) _o.pdfFolderBtn->selected = 0;
}

void KorvexDialog::doPDFLayersBtn() {
  const MenuItem* item = selectedItem(*_o.pdfLayersBtn);
  switch (item ? item->tag : 0) {
    case 1:
      _o.pdfLayersLabel->text.clear();
      _o.pdfLayersText->enabled = false;
      break;
    case 2:
      _o.pdfLayersLabel->text = "-";
      _o.pdfLayersText->enabled = true;
      break;
    case 3:
      _o.pdfLayersLabel->text = "+";
      _o.pdfLayersText->enabled = true;
      break;
    default: break;
  }
}

// ---- Collect ------------------------------------------------------------------------------

void KorvexDialog::setupCollectPanel() {
  const DictPtr collect = section("Collect");
  _o.collectFolderField->text = stringForKey(collect, "Folder", "").value_or("");
  _o.collectDocsBtn->state = integerForKey(collect, "Docs", 0);
  _o.collectPictsBtn->state = integerForKey(collect, "Picts", 0);
  _o.collectFontsBtn->state = integerForKey(collect, "Fonts", 0);
  _o.collectSubDirsBtn->state = integerForKey(collect, "SubFolders", 0);
}

void KorvexDialog::doCollectPanel() {
  const std::string folder = _o.collectFolderField->text;
  if (!pathIsFolder(folder)) {
    setMsg2(folder);
    msgBox("invalidPathErr");
    return;
  }
  DictPtr collect = section("Collect");
  if (!collect) collect = Dictionary::make();
  collect->set("Action", "Collect");
  collect->set("Folder", folder);
  collect->set("Docs", _o.collectDocsBtn->state ? 1 : 0);
  collect->set("Picts", _o.collectPictsBtn->state ? 1 : 0);
  collect->set("Fonts", _o.collectFontsBtn->state ? 1 : 0);
  collect->set("SubFolders", _o.collectSubDirsBtn->state ? 1 : 0);
  setActions(chainOf(collect));
}

void KorvexDialog::doCollectChooseBtn() {
  if (std::optional<std::string> folder = chooseFolder(stringForKey("Folder"), _o.collectFolderField->text))
    _o.collectFolderField->text = *folder;
}

void KorvexDialog::doCollectFolderBtn() {
  if (!_o.collectFolderField->text.empty()) revealFolder(_o.collectFolderField->text);
}

// ---- action files ---------------------------------------------------------------------------

void KorvexDialog::setupActionsPanel() {
  Control& popUp = *_o.actionsBtn;
  popUp.items.clear();
  popUp.selected = -1;
  // Exactly these extensions: a script written "X.JSX" is not offered.
  EnumFolderFlat(actionsPath(), [&](const std::string& path) {
    const std::string extension = pathExtension(path);
    if ((extension == "plist" || extension == "jsx") && pathIsFile(path))
      popUp.items.push_back(menuItemTitled(lastPathComponent(path)));
    return true;
  });
  const std::string chosen = stringForKey(section("Actions"), "Action", "").value_or("");
  for (std::size_t i = 0; i < popUp.items.size(); ++i)
    if (popUp.items[i].title == chosen) popUp.selected = static_cast<int>(i);
  if (popUp.selected < 0 && !popUp.items.empty()) popUp.selected = 0;
  MenuItem separator;
  separator.separator = true;
  popUp.items.push_back(separator);
  MenuItem update = menuItemTitled(stringForKey("update"));
  update.action = "doActionUpdate:";
  popUp.items.push_back(update);
}

void KorvexDialog::doActionUpdate() {
  setupActionsPanel();
}

void KorvexDialog::doActionPanel() {
  const MenuItem* item = selectedItem(*_o.actionsBtn);
  if (!item || item->separator || !item->action.empty()) return;
  if (DictPtr actions = section("Actions")) actions->set("Action", item->title);
  ArrayPtr chain = actionsArray(item->title);
  if (chain) setActions(std::move(chain));
}

void KorvexDialog::doActionEditBtn() {
  const MenuItem* item = selectedItem(*_o.actionsBtn);
  if (item && !item->separator && item->action.empty())
    openDocWithPath(stringByAppendingPathComponent(actionsPath(), item->title));
  else
    revealFolder(actionsPath());
}

void KorvexDialog::doActionShowFolderBtn() {
  revealFolder(actionsPath());
}

// ---- layer separation ---------------------------------------------------------------------

void KorvexDialog::setupLayerSeparationPanel() {
  _o.deleteImageLayerBtn->state = integerForKey(_settings.layerSeparation(), "deleteImageLayer", 0);
}

void KorvexDialog::doLayerSeparationPanel() {
  DictPtr separation = _settings.layerSeparation();
  if (!separation) separation = Dictionary::make();
  separation->set("Action", "LayerSeparation");
  separation->set("deleteImageLayer", _o.deleteImageLayerBtn->state ? 1 : 0);
  setActions(chainOf(separation));
}

}  // namespace korvex
