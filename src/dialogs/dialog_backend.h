#pragma once

// Where dialogs are shown: the console now, a desktop toolkit or a scripted
// test backend later. The message boxes decide what to show; the backend
// only shows it and answers.

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvex {

// Answers of an alert, by button: the first (default) button, the second
// (alternate) and the third (other).
inline constexpr int kAlertFirstButton = 1;
inline constexpr int kAlertSecondButton = 0;
inline constexpr int kAlertThirdButton = -1;

struct AlertRequest {
  std::string title;
  std::string message;
  // Shown verbatim below the message; empty for none.
  std::string informativeText;
  // Button titles in order; empty for the platform's single OK button.
  std::vector<std::string> buttons;
  // The alert icon, when the bundle has one.
  std::optional<std::string> iconPath;
};

class DialogBackend {
 public:
  virtual ~DialogBackend() = default;
  // Shows the alert modally and answers the button pressed.
  virtual int runAlert(const AlertRequest& request) = 0;
  virtual void beep() = 0;
  // The host stops tracking the cursor while a plug-in window is modal.
  virtual void suspendCursorTracking() {}
  virtual void resumeCursorTracking() {}
};

// Prints each alert's message and informative text to standard error and
// answers the default button at once: a command-line run never waits.
class ConsoleDialogBackend : public DialogBackend {
 public:
  int runAlert(const AlertRequest& request) override;
  void beep() override;
};

// Installs a backend (none: back to the console) and answers the former one.
std::unique_ptr<DialogBackend> setDialogBackend(std::unique_ptr<DialogBackend> backend);
DialogBackend& dialogBackend();

}  // namespace korvex
