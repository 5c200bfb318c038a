#include "dialogs/progress_dialog.h"

#include "dialogs/dialog_backend.h"
#include "dialogs/interface_file.h"
#include "dialogs/localize.h"
#include "dialogs/message_box.h"
#include "dialogs/modal_dialog_state.h"

namespace korvex {

namespace {

// The window as the procedure sees it: a label the procedure shows for the
// next item stays there instead of giving way to the controller's own.
class LabelKeepingWindow final : public ProgressWindow {
 public:
  explicit LabelKeepingWindow(ProgressWindow& window) : window_(window) {}
  void setTitle(std::string_view title) override { window_.setTitle(title); }
  void begin(std::size_t count) override { window_.begin(count); }
  void setLabel(std::size_t index, std::string_view name) override {
    labelled_ = index;
    window_.setLabel(index, name);
  }
  bool escapePressed() override { return window_.escapePressed(); }
  bool runModalSession() override { return window_.runModalSession(); }
  void end() override { window_.end(); }
  bool labelled(std::size_t index) const { return labelled_ == index; }

 private:
  ProgressWindow& window_;
  std::optional<std::size_t> labelled_;
};

}  // namespace

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
  LabelKeepingWindow procWindow(*window);
  while (_pos < _items->size()) {
    if (window->escapePressed()) {
      backend.beep();
      break;
    }
    if (!procWindow.labelled(_pos)) window->setLabel(_pos, _labelStr);
    if (!window->runModalSession()) break;
    const std::size_t index = _pos++;
    if (!_progressProc || !_progressProc(_items, index, procWindow, _userData)) break;
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
