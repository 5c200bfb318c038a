#pragma once

// Where dialogs are shown: the console (the default), a script of interface
// events, or a desktop toolkit. The dialog logic decides what to show; the
// backend only shows it and answers.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/progress_window.h"
#include "dialogs/window_model.h"
#include "foundation/result.h"

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

// Answers of a modal window: OK (stopModal) and Cancel (abortModal).
inline constexpr int kRunStoppedResponse = -1000;
inline constexpr int kRunAbortedResponse = -1001;

// A file or folder chooser.
struct OpenPanelRequest {
  std::string title;
  std::string buttonTitle;  // empty: the platform's
  // Files with these extensions only (compared without case); empty: any.
  std::vector<std::string> allowedExtensions;
  bool chooseFolders = false;  // folders instead of files
  bool multiple = false;
  bool canCreateFolders = false;
  std::string startFolder;  // empty: the platform's choice
};

// The dialog logic behind a window: what its buttons and lists do. The
// default knows the two actions every window has.
class WindowController {
 public:
  virtual ~WindowController() = default;
  // A control sent its action: none keeps the window up, else the modal
  // answer. "doOkBtn:" answers kRunStoppedResponse, "doCancelBtn:"
  // kRunAbortedResponse.
  virtual std::optional<int> performAction(Window& window, Control& sender);
  // Paths added to a table or list (its add button answered), and paths
  // dropped onto it. Both append each path the rows do not have yet.
  virtual void addPaths(Window& window, Control& list, const std::vector<std::string>& paths);
  virtual void dropPaths(Window& window, Control& list, const std::vector<std::string>& paths);
  // Whether the list takes a drop of these paths at all (asked while they
  // are dragged over it); a refused drop is never handed to dropPaths.
  virtual bool validateDrop(Window& window, Control& list, const std::vector<std::string>& paths);
  // The rows selected in a table or list changed (selectedRows).
  virtual void selectionChanged(Window& window, Control& list);
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
  // The chosen paths; none for Cancel. A backend that can't ask answers
  // Cancel.
  virtual std::optional<std::vector<std::string>> runOpenPanel(const OpenPanelRequest& request);
  // Runs the window modally until its controller ends it; the answer. A
  // backend that can't show it reports why (reportDialogFailure) and answers
  // kRunAbortedResponse.
  virtual int runModalWindow(Window& window, WindowController& controller);
  // A progress window for the panel (none: the backend's own layout); the
  // console's when the backend has none of its own.
  virtual std::unique_ptr<ProgressWindow> makeProgressWindow(const Window* panel);
};

// Alerts, choosers and progress on the console: alerts are printed to
// standard error and answered with the default button at once; choosers take
// the answers given in advance (--choose), in order, and answer Cancel when
// none is left; a whole window can't be shown.
class ConsoleDialogBackend : public DialogBackend {
 public:
  ConsoleDialogBackend() = default;
  explicit ConsoleDialogBackend(std::vector<std::string> chooserAnswers);

  int runAlert(const AlertRequest& request) override;
  void beep() override;
  std::optional<std::vector<std::string>> runOpenPanel(const OpenPanelRequest& request) override;
  int runModalWindow(Window& window, WindowController& controller) override;
  std::unique_ptr<ProgressWindow> makeProgressWindow(const Window* panel) override;

  // The answers no chooser has taken yet.
  std::size_t unusedAnswers() const { return answers_.size() - next_; }

 private:
  std::vector<std::string> answers_;
  std::size_t next_ = 0;
};

// Checks a chosen path against the request: it exists, is a folder or a file
// as asked, and has an allowed extension. The failure names the path.
Status checkChosenPath(const OpenPanelRequest& request, const std::string& path);

// The first failure of a dialog since the last take: a window a backend
// could not show, or a script event that does not fit. The command line turns
// it into its message and exit status.
void reportDialogFailure(Failure failure);
std::optional<Failure> takeDialogFailure();

// Installs a backend (none: back to the console) and answers the former one.
std::unique_ptr<DialogBackend> setDialogBackend(std::unique_ptr<DialogBackend> backend);
DialogBackend& dialogBackend();

}  // namespace korvex
