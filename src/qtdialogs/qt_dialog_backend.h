#pragma once

// Dialogs as Qt 6 Widgets: real windows from the same interface files
// (QUiLoader), QFileDialog choosers, QMessageBox alerts titled "Korvex" with
// the bundle's alert icon, and a modal progress dialog. This is the only
// library that links Qt.
//
// Given an event script, the backend plays it into the real widgets (values
// set on them, buttons clicked, choosers and alerts answered, Cancel and
// Escape sent to the progress dialog), so a script runs the same on every
// backend.

#include <QtCore/QMimeData>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QDialog>
#include <QtWidgets/QWidget>
#include <memory>
#include <optional>

#include "dialogs/dialog_backend.h"
#include "dialogs/scripted_backend.h"

namespace korvex {

class QtDialogBackend : public DialogBackend {
 public:
  // A QApplication must exist while the backend is used.
  QtDialogBackend() = default;
  // Plays the script into the widgets; dumps go to out.
  explicit QtDialogBackend(UiScript script, std::FILE* out = stdout);

  int runAlert(const AlertRequest& request) override;
  void beep() override;
  std::optional<std::vector<std::string>> runOpenPanel(const OpenPanelRequest& request) override;
  int runModalWindow(Window& window, WindowController& controller) override;
  std::unique_ptr<ProgressWindow> makeProgressWindow(const Window* panel) override;

  // The events of the script not taken yet (0 without a script).
  std::size_t unusedEvents() const { return player_ ? player_->unusedEvents() : 0; }

 private:
  std::unique_ptr<ScriptedDialogBackend> player_;
};

// The class of the plug-in's windows (an interface file's top-level dialog is
// loaded as one): the editing keys of its text fields reach them before the
// host's menu shortcuts can take them.
class KorvexPanel : public QDialog {
 public:
  explicit KorvexPanel(QWidget* parent = nullptr) : QDialog(parent) {}
  // A key with a shortcut modifier: the panel's own handling first
  // (accepted), else the text fields' editing keys (handleTextShortcuts).
  bool performKeyEquivalent(QKeyEvent& event);

 protected:
  bool event(QEvent* event) override;
};

// The local files and folders of a drag (Qt's "text/uri-list"), as paths;
// anything else in it is passed over.
std::vector<std::string> droppedPaths(const QMimeData& data);

// The widgets of an interface file as a window: loaded with QUiLoader; none,
// with the failure reported, when it can't be.
std::unique_ptr<QWidget> loadQtWindow(const Window& window);
// The model's texts, values, items and rows into the widgets of the same
// object names, and back.
void applyWindowModel(const Window& window, QWidget& root);
void readWindowModel(Window& window, const QWidget& root);

// The editing keys of a plug-in panel: with Ctrl alone, A, C, V and X select
// all, copy, paste and cut in the focused text field; a key with Shift alone
// or without Ctrl goes to the focused widget as it is. True when handled.
bool handleTextShortcuts(const QKeyEvent& event, QWidget& window);

}  // namespace korvex
