#pragma once

// A progress window: a bar over a list of items, a label, and a modal session
// polled once per item, so the user interface answers between items only.
// Each dialog backend makes its own (dialogBackend().makeProgressWindow).

#include <cstddef>
#include <string_view>

namespace korvex {

class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  // The window's title; before begin().
  virtual void setTitle(std::string_view) {}
  // Shows the window for count items and begins its modal session.
  virtual void begin(std::size_t count) = 0;
  // The item about to be processed (index counts from 0).
  virtual void setLabel(std::size_t index, std::string_view name) = 0;
  // Whether the Escape key was pressed; checked before each poll.
  virtual bool escapePressed() { return false; }
  // Polls the modal session; false once the user cancelled.
  virtual bool runModalSession() = 0;
  // Ends the session and hides the window.
  virtual void end() = 0;
};

}  // namespace korvex
