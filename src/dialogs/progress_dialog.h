#pragma once

// The generic progress window: walks an array of items, calling a procedure
// for each, with the window's label (control tag 4), Cancel and Escape
// between items. Its layout is the interface file "Progress".

#include <cstddef>
#include <optional>
#include <string>

#include "dialogs/progress_window.h"
#include "dialogs/window_model.h"
#include "foundation/value.h"

namespace korvex {

// Called once per item; true to go on.
using ProgressProc = bool (*)(const ArrayPtr& items, std::size_t index, ProgressWindow& panel, void* userData);

// The tag of the progress window's label.
inline constexpr int kProgressLabelTag = 4;

class KorvexDlgController {
 public:
  KorvexDlgController() : _props(Dictionary::make()) {}

  const std::optional<Window>& panel() const { return _panel; }
  void setPanel(Window panel) { _panel = std::move(panel); }
  const std::string& title() const { return _title; }
  void setTitle(std::string title) { _title = std::move(title); }
  const std::string& labelStr() const { return _labelStr; }
  void setLabelStr(std::string label) { _labelStr = std::move(label); }
  // How many items the last run started.
  std::size_t pos() const { return _pos; }

  // Loads and shows the panel, then calls proc for each item until the end,
  // Cancel, Escape (with a beep) or proc's false. Each item is shown with the
  // label, unless proc has already shown it with a label of its own. False when the panel could
  // not be loaded (nothing ran).
  bool runModal(const ArrayPtr& items, ProgressProc proc, void* userData);

 private:
  std::optional<Window> _panel;
  std::string _title;
  DictPtr _props;
  std::string _labelStr;
  ArrayPtr _items;
  ProgressProc _progressProc = nullptr;
  std::size_t _pos = 0;
  void* _userData = nullptr;
};

// A controller with the title and label when given, run over the items.
// Answers how many items were started.
std::size_t doProgressDialog(const ArrayPtr& items, ProgressProc proc, const std::optional<std::string>& title,
                             const std::optional<std::string>& label, void* userData);

}  // namespace korvex
