#pragma once

// The batch dialog: the document list, a tab that says what to do with the
// documents (PDF, Collect, an action file, layer separation) and the options
// of the run. OK turns the chosen tab into a chain, stores the options and
// runs the chain over the list with its progress window. The window is the
// interface file "Batch"; every dialog backend shows the same logic.

#include <optional>
#include <string>
#include <vector>

#include "batch/korvex_controller.h"
#include "dialogs/dialog_backend.h"
#include "foundation/value.h"

namespace korvex {

class IDocument;
class KorvexSettings;

// Tags of the Options controls in the window.
inline constexpr int kPreflightPopupTag = 12;
inline constexpr int kModifiedLinksTag = 13;
inline constexpr int kShowLogTag = 14;

// Documents the list takes: "indd" and "sld", in any case.
bool isAcceptedDocument(std::string_view path);

class KorvexDialog : public WindowController {
 public:
  explicit KorvexDialog(KorvexSettings& settings);

  // The dialog, and on OK the run: options stored and written, the log
  // restarted with the chain, the documents processed. None when the dialog
  // was cancelled (or could not be shown) or the list was empty.
  std::optional<RunOutcome> runModal();
  // Loads, shows and closes the window; its modal answer.
  int runModal2();

  // The window's logic (WindowController).
  std::optional<int> performAction(Window& window, Control& sender) override;
  void addPaths(Window& window, Control& list, const std::vector<std::string>& paths) override;
  void dropPaths(Window& window, Control& list, const std::vector<std::string>& paths) override;
  bool validateDrop(Window& window, Control& list, const std::vector<std::string>& paths) override;
  void selectionChanged(Window& window, Control& list) override;

  // The document list, in list order.
  const std::vector<std::string>& paths() const { return _paths; }
  // The chain OK built; null before.
  const ArrayPtr& actions() const { return _actions; }
  void setActions(ArrayPtr actions) { _actions = std::move(actions); }

  // ---- the list -------------------------------------------------------------------
  // Appended when it is an existing file not listed yet.
  void addPath(const std::string& path);
  void sort();
  void updateRmvBtns();

 private:
  // Controls of the window, found once it is loaded (the print tab is gone
  // by then, so they stay put).
  struct Outlets {
    Control* tabView = nullptr;
    Control* pathList = nullptr;
    Control* rmvBtn = nullptr;
    Control* rmvAllBtn = nullptr;
    Control* pdfStylesBtn = nullptr;
    Control* pdfFolderBtn = nullptr;
    Control* pdfShowBtn = nullptr;
    Control* pdfLayersBtn = nullptr;
    Control* pdfLayersLabel = nullptr;
    Control* pdfLayersText = nullptr;
    Control* collectFolderField = nullptr;
    Control* collectDocsBtn = nullptr;
    Control* collectFontsBtn = nullptr;
    Control* collectPictsBtn = nullptr;
    Control* collectSubDirsBtn = nullptr;
    Control* actionsBtn = nullptr;
    Control* deleteImageLayerBtn = nullptr;
  };

  // Set-up once the window is loaded; false when a control is missing.
  bool awakeFromNib();
  bool bindOutlets();
  void reloadData();

  void setupPanels();
  void removePanel(std::string_view identifier);
  void setupOptions();
  void saveOptions();
  void setupPreflightPopup();
  void setupPDFPanel();
  void setupCollectPanel();
  void setupActionsPanel();
  void setupPrintPanel();
  void setupLayerSeparationPanel();
  // The collectors: set _actions from the tab (left unset when the tab's
  // controls give no chain).
  void doPDFPanel();
  void doCollectPanel();
  void doActionPanel();
  void doLayerSeparationPanel();

  // Button and pop-up actions.
  std::optional<int> doOkBtn();
  void doAddBtn();
  void doRmvBtn(const Control& sender);
  void doPDFChooseBtn();
  void doPDFResetBtn();
  void doPDFFolderBtn();
  void doPDFLayersBtn();
  void doCollectChooseBtn();
  void doCollectFolderBtn();
  void doActionEditBtn();
  void doActionShowFolderBtn();
  void doActionUpdate();

  // A section of the settings, created when missing; null when the key
  // holds something else.
  DictPtr section(std::string_view key);

  KorvexSettings& _settings;
  DictPtr _prefs;
  Window _window;
  Outlets _o;
  std::vector<std::string> _paths;
  ArrayPtr _actions;
};

// The batch command of the menu: the show-log flag cleared, the dialog and
// its run, then the beep and the log opened when the run flagged it or the
// options ask for it.
void doKorvex(IDocument* document);

}  // namespace korvex
