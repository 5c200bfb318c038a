#pragma once

// Dialogs driven by a list of interface events read from a JSON file
// (--ui-script): for tests and for people automating the dialogs. The events
// are taken in order by whatever is up: a window takes "add", "drop", "tab",
// "set", "press" and "dump" until a press closes it; a chooser takes the next
// "choose"; a progress window takes "progress" answers between items; an
// alert takes an "alert" answer when one is next (else its default button).
// A "set" on a table or list selects one row, by its text or its index (-1:
// none); a "drop" the list refuses (validateDrop) changes nothing. Choosing a
// pop-up's item sends the item's action, else the pop-up's.
// An event that does not fit (an unknown control, a control of the wrong
// kind, a "choose" without a chooser) stops the window and is reported with
// its index.
//
//   [{"event": "tab", "tab": "2"},
//    {"event": "set", "control": "_collectDocsBtn", "value": true},
//    {"event": "set", "control": 14, "value": 1},
//    {"event": "press", "control": "_addBtn"},
//    {"event": "choose", "paths": ["/jobs/a.indd"]},
//    {"event": "dump"},
//    {"event": "press", "control": "_okBtn"},
//    {"event": "progress", "answer": "continue"},
//    {"event": "progress", "answer": "cancel"}]

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/dialog_backend.h"

namespace korvex {

struct UiEvent {
  enum class Kind { Add, Drop, Tab, Set, Press, Choose, Progress, Alert, Dump };
  enum class Answer { Continue, Cancel, Escape };

  Kind kind = Kind::Dump;
  // A control by object name, or by tag when the name is empty.
  std::string controlName;
  std::optional<int> controlTag;
  std::vector<std::string> paths;  // add, drop, choose
  std::string tab;                 // tab: identifier or label
  // set: one of them.
  std::optional<std::string> text;
  std::optional<long long> number;
  std::optional<bool> flag;
  bool cancel = false;               // choose
  Answer answer = Answer::Continue;  // progress
  int button = 1;                    // alert: 1, 2 or 3
};

struct UiScript {
  std::string path;
  std::vector<UiEvent> events;
};

// The events of the file; relative paths are taken from the current folder.
// A failure names the file and the event's JSON path.
Result<UiScript> readUiScript(const std::string& path);

class ScriptedDialogBackend : public DialogBackend {
 public:
  // Dumps go to out.
  explicit ScriptedDialogBackend(UiScript script, std::FILE* out = stdout);

  int runAlert(const AlertRequest& request) override;
  void beep() override;
  std::optional<std::vector<std::string>> runOpenPanel(const OpenPanelRequest& request) override;
  int runModalWindow(Window& window, WindowController& controller) override;
  std::unique_ptr<ProgressWindow> makeProgressWindow(const Window* panel) override;

  // The events not taken yet.
  std::size_t unusedEvents() const { return script_.events.size() - next_; }
  const std::string& scriptPath() const { return script_.path; }

  // The pieces a toolkit backend plays the same script with.
  // The next event, or null; taking it answers its index.
  const UiEvent* peek() const { return next_ < script_.events.size() ? &script_.events[next_] : nullptr; }
  std::size_t take() { return next_++; }
  // For the progress window: takes the next event when it is a progress
  // answer of the given kind.
  bool takeProgressAnswer(UiEvent::Answer answer);
  // For an alert with that many buttons: the answer of a next "alert" event
  // (taken), else the first button.
  int takeAlertAnswer(std::size_t buttons);
  // "FILE: event N (\"KIND\"): PROBLEM", reported once.
  void reportEventFailure(std::size_t index, const std::string& problem);
  // Applies one window event to the model; a problem when it does not fit.
  // A press sends the control's action through the controller; its answer,
  // when it closes the window, comes back in answer.
  std::optional<std::string> apply(const UiEvent& event, Window& window, WindowController& controller,
                                   std::optional<int>& answer);
  // The control an event names, or a problem (unknown or disabled).
  std::optional<std::string> findControl(const UiEvent& event, Window& window, Control*& control) const;

 private:
  UiScript script_;
  std::size_t next_ = 0;
  std::FILE* out_;
};

}  // namespace korvex
