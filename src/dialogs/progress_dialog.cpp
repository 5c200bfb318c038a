#include "dialogs/progress_dialog.h"

#include "dialogs/dialog_backend.h"
#include "dialogs/interface_file.h"
#include "dialogs/localize.h"
#include "dialogs/message_box.h"
#include "dialogs/modal_dialog_state.h"

namespace korvex {

bool KorvexDlgController::runModal(const ArrayPtr& items, ProgressProc proc, void* userData) {
  Window panel;
  if (!loadNib("Progress", panel)) return false;
  MyModalDialogState guard;
  localizeWindow(panel);
  _items = items ? items : Array::make();
  _progressProc = proc;
  _userData = userData;
  _pos = 0;
  panel.title = _title;
  setControlText(getControl(panel, kProgressLabelTag), _labelStr);
  for (Control* bar = controlNamed(panel, "_progressBar"); bar; bar = nullptr) {
    bar->minimum = 0;
    bar->maximum = static_cast<double>(_items->size());
  }
  _panel = std::move(panel);

  DialogBackend& backend = dialogBackend();
  std::unique_ptr<ProgressWindow> window = backend.makeProgressWindow(&*_panel);
  window->setTitle(_title);
  window->begin(_items->size());
  while (_pos < _items->size()) {
    if (window->escapePressed()) {
      backend.beep();
      break;
    }
    window->setLabel(_pos, _labelStr);
    if (!window->runModalSession()) break;
    const std::size_t index = _pos++;
    if (!_progressProc || !_progressProc(_items, index, *window, _userData)) break;
  }
  window->end();
  return true;
}

std::size_t doProgressDialog(const ArrayPtr& items, ProgressProc proc, const std::optional<std::string>& title,
                             const std::optional<std::string>& label, void* userData) {
  KorvexDlgController controller;
  if (title) controller.setTitle(*title);
  if (label) controller.setLabelStr(*label);
  controller.runModal(items, proc, userData);
  return controller.pos();
}

}  // namespace korvex
