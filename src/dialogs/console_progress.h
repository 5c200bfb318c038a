#pragma once

// The console's progress window on standard error: a live bar when standard
// error is a terminal, else one "[i/n] name" line per item. Ctrl-C is the
// Escape key and Cancel at once: the run stops before the next item.

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "dialogs/progress_window.h"
#include "dialogs/run_loop.h"

namespace korvex {

// While it lives, SIGINT sets the cancel flag instead of ending the process;
// the former disposition comes back afterwards.
class InterruptCancels {
 public:
  InterruptCancels();
  ~InterruptCancels();
  InterruptCancels(const InterruptCancels&) = delete;
  InterruptCancels& operator=(const InterruptCancels&) = delete;

  static bool cancelled();
  // For tests and for a new run in the same process.
  static void reset();
  static void cancel();

 private:
  struct sigaction former_ {};
};

class ConsoleProgress : public ProgressWindow {
 public:
  // Writes to out; a live bar when out is a terminal.
  explicit ConsoleProgress(std::FILE* out = stderr);
  ~ConsoleProgress() override;

  void setTitle(std::string_view title) override { _title = title; }
  void begin(std::size_t count) override;
  void setLabel(std::size_t index, std::string_view name) override;
  bool escapePressed() override;
  bool runModalSession() override;
  void end() override;

 private:
  std::FILE* _out;
  bool _live;
  std::size_t _count = 0;
  bool _lineOpen = false;
  std::string _title;
  std::unique_ptr<ModalSession> _session;
  // Ctrl-C cancels instead of ending the process while the window is up.
  std::optional<InterruptCancels> _interrupts;
};

}  // namespace korvex
