#include "batch/korvex_dialog.h"

#include <algorithm>
#include <memory>

#include "config/settings_store.h"
#include "dialogs/interface_file.h"
#include "dialogs/localize.h"
#include "dialogs/message_box.h"
#include "dialogs/modal_dialog_state.h"
#include "dialogs/modal_windows.h"
#include "docmodel/documents.h"
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

const char* const kLogFolder = "Tamrisk";

}  // namespace

bool isAcceptedDocument(std::string_view path) {
  std::string extension = pathExtension(path);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == "indd" || extension == "sld";
}

KorvexDialog::KorvexDialog(KorvexSettings& settings) : _settings(settings), _prefs(settings.dict()) {}

DictPtr KorvexDialog::section(std::string_view key) {
  return dictForKey(_prefs, key, true);
}

std::optional<RunOutcome> KorvexDialog::runModal() {
  MyLog("runModal");
  _prefs = _settings.dict();
  _paths.clear();
  if (runModal2() != kRunStoppedResponse) return std::nullopt;
  saveOptions();
  if (_paths.empty()) return std::nullopt;
  setupLog(true, kLogFolder);
  MyLog("%@", Value(_actions));

  // The progress window of the run: the bundle's "Progress", else the
  // backend's own.
  Window panel;
  std::unique_ptr<ProgressWindow> progress;
  if (loadNib("Progress", panel)) {
    localizeWindow(panel);
    progress = dialogBackend().makeProgressWindow(&panel);
    progress->setTitle(panel.title);
  } else {
    progress = dialogBackend().makeProgressWindow(nullptr);
  }
  MyModalDialogState guard;
  KorvexController run(*progress);
  run.setPaths(_paths);
  run.setActions(_actions);
  return run.doProgressDialog();
}

int KorvexDialog::runModal2() {
  MyModalDialogState guard;
  _window = Window{};
  if (!loadNib("Batch", _window)) return kRunAbortedResponse;
  localizeWindow(_window);
  if (!awakeFromNib()) return kRunAbortedResponse;
  return runModalForWindow(_window, *this);
}

bool KorvexDialog::bindOutlets() {
  std::vector<std::string> missing;
  auto bind = [&](Control*& outlet, const char* name) {
    outlet = controlNamed(_window, name);
    if (!outlet) missing.emplace_back(name);
  };
  bind(_o.tabView, "_tabView");
  bind(_o.pathList, "_pathList");
  bind(_o.rmvBtn, "_rmvBtn");
  bind(_o.rmvAllBtn, "_rmvAllBtn");
  bind(_o.pdfStylesBtn, "_pdfStylesBtn");
  bind(_o.pdfFolderBtn, "_pdfFolderBtn");
  bind(_o.pdfShowBtn, "_pdfShowBtn");
  bind(_o.pdfLayersBtn, "_pdfLayersBtn");
  bind(_o.pdfLayersLabel, "_pdfLayersLabel");
  bind(_o.pdfLayersText, "_pdfLayersText");
  bind(_o.collectFolderField, "_collectFolderField");
  bind(_o.collectDocsBtn, "_collectDocsBtn");
  bind(_o.collectFontsBtn, "_collectFontsBtn");
  bind(_o.collectPictsBtn, "_collectPictsBtn");
  bind(_o.collectSubDirsBtn, "_collectSubDirsBtn");
  bind(_o.actionsBtn, "_actionsBtn");
  bind(_o.deleteImageLayerBtn, "_deleteImageLayerBtn");
  if (missing.empty()) return true;
  std::string names;
  for (const std::string& name : missing) names += (names.empty() ? "" : ", ") + name;
  reportDialogFailure(fail(_window.sourcePath + ": the window lacks the control(s) " + names));
  return false;
}

bool KorvexDialog::awakeFromNib() {
  // The print tab goes before the controls are found: removing a page moves
  // the pages after it.
  setupPrintPanel();
  if (!bindOutlets()) return false;
  setupPanels();
  if (IDocument* front = frontDoc()) {
    if (std::optional<std::string> path = pathForDoc(front); path && !path->empty()) addPath(*path);
  }
  reloadData();
  return true;
}

void KorvexDialog::setupPanels() {
  setupOptions();
  setupPDFPanel();
  setupCollectPanel();
  setupActionsPanel();
  setupLayerSeparationPanel();
  selectTabWithIdentifier(*_o.tabView, stringForKey(_prefs, "Tab", "1").value_or("1"));
}

void KorvexDialog::removePanel(std::string_view identifier) {
  Control* tabView = controlNamed(_window, "_tabView");
  if (!tabView) return;
  auto& tabs = tabView->children;
  const auto found = std::find_if(tabs.begin(), tabs.end(),
                                  [&](const Control& tab) { return tab.identifier == identifier; });
  if (found == tabs.end()) return;
  const int index = static_cast<int>(found - tabs.begin());
  tabs.erase(found);
  if (tabView->selected == index)
    tabView->selected = tabs.empty() ? -1 : 0;
  else if (tabView->selected > index)
    --tabView->selected;
}

void KorvexDialog::setupPrintPanel() {
  // Printing runs through action files; the dialog has no print tab.
  removePanel("4");
}

// ---- the list ---------------------------------------------------------------------------

void KorvexDialog::addPath(const std::string& path) {
  if (!pathIsFile(path)) return;
  if (std::find(_paths.begin(), _paths.end(), path) != _paths.end()) return;
  _paths.push_back(path);
}

void KorvexDialog::sort() {
  std::sort(_paths.begin(), _paths.end());
  reloadData();
}

void KorvexDialog::reloadData() {
  _o.pathList->rows = _paths;
  // Rows that are gone are no longer selected.
  std::erase_if(_o.pathList->selectedRows,
                [&](int row) { return row < 0 || row >= static_cast<int>(_paths.size()); });
  updateRmvBtns();
}

void KorvexDialog::updateRmvBtns() {
  _o.rmvBtn->enabled = !_o.pathList->selectedRows.empty();
  _o.rmvAllBtn->enabled = !_paths.empty();
}

void KorvexDialog::selectionChanged(Window&, Control& list) {
  if (&list == _o.pathList) updateRmvBtns();
}

void KorvexDialog::addPaths(Window&, Control& list, const std::vector<std::string>& paths) {
  if (&list != _o.pathList) return;
  for (const std::string& path : paths) addPath(path);
  sort();
}

bool KorvexDialog::validateDrop(Window&, Control& list, const std::vector<std::string>& paths) {
  if (&list != _o.pathList) return false;
  return std::any_of(paths.begin(), paths.end(), [](const std::string& dropped) {
    const std::string path = resolvePath(dropped).value_or(dropped);
    return pathIsFolder(path) || (pathIsFile(path) && isAcceptedDocument(path));
  });
}

void KorvexDialog::dropPaths(Window&, Control& list, const std::vector<std::string>& paths) {
  if (&list != _o.pathList) return;
  for (const std::string& dropped : paths) {
    const std::string path = resolvePath(dropped).value_or(dropped);
    if (pathIsFolder(path)) {
      // Everything a folder holds is listed, even what is listed already: a
      // dropped folder means all of its documents.
      EnumFolder(path, [&](const std::string& entry) {
        if (!pathIsFolder(entry) && isAcceptedDocument(entry)) _paths.push_back(entry);
        return true;
      });
    } else if (isAcceptedDocument(path)) {
      addPath(path);
    }
  }
  _o.pathList->selectedRows.clear();
  sort();
}

void KorvexDialog::doAddBtn() {
  if (std::optional<std::vector<std::string>> chosen =
          chooseFiles(stringForKey("Add"), {"indd", "sld"}, true))
    for (const std::string& path : *chosen) addPath(path);
  sort();
}

void KorvexDialog::doRmvBtn(const Control& sender) {
  if (&sender == _o.rmvAllBtn) {
    _paths.clear();
  } else {
    std::vector<int> rows = _o.pathList->selectedRows;
    std::sort(rows.rbegin(), rows.rend());
    for (int row : rows)
      if (row >= 0 && row < static_cast<int>(_paths.size())) _paths.erase(_paths.begin() + row);
  }
  _o.pathList->selectedRows.clear();
  reloadData();
}

// ---- OK and the actions -----------------------------------------------------------------

std::optional<int> KorvexDialog::doOkBtn() {
  const Control* tab = selectedTab(*_o.tabView);
  const std::string identifier = tab ? tab->identifier : "";
  _prefs->set("Tab", identifier);
  switch (std::atoi(identifier.c_str())) {
    case 1: doPDFPanel(); break;
    case 2: doCollectPanel(); break;
    case 3: doActionPanel(); break;
    case 5: doLayerSeparationPanel(); break;
    default: break;
  }
  if (!_actions) return std::nullopt;
  return kRunStoppedResponse;
}

std::optional<int> KorvexDialog::performAction(Window& window, Control& sender) {
  const std::string action(actionOf(sender));
  if (action == "doOkBtn:") return doOkBtn();
  if (action == "doCancelBtn:") return kRunAbortedResponse;
  if (action == "doAddBtn:")
    doAddBtn();
  else if (action == "doRmvBtn:")
    doRmvBtn(sender);
  else if (action == "doPDFChooseBtn:")
    doPDFChooseBtn();
  else if (action == "doPDFResetBtn:")
    doPDFResetBtn();
  else if (action == "doPDFFolderBtn:")
    doPDFFolderBtn();
  else if (action == "doPDFLayersBtn:")
    doPDFLayersBtn();
  else if (action == "doCollectChooseBtn:")
    doCollectChooseBtn();
  else if (action == "doCollectFolderBtn:")
    doCollectFolderBtn();
  else if (action == "doActionEditBtn:")
    doActionEditBtn();
  else if (action == "doActionShowFolderBtn:")
    doActionShowFolderBtn();
  else if (action == "doActionUpdate:")
    doActionUpdate();
  // "doPDFStyleBtn:" and anything else: nothing to do.
  (void)window;
  return std::nullopt;
}

void doKorvex(IDocument*) {
  setShowLog(false);
  KorvexDialog dialog(prefs() ? *prefs() : loadPrefs());
  dialog.runModal();
  if (getShowLog()) {
    beep();
    showLogFile();
  }
}

}  // namespace korvex
