#pragma once

// SIGINT and SIGTERM ask a long-running command to stop at its next safe
// point (between documents) instead of ending it mid-document.

namespace korvex::cli {

// True once a stop was asked for while a StopSignals lived.
bool stopRequested();

// Installs the handlers; the former ones come back when it goes.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  void (*_int)(int);
  void (*_term)(int);
};

}  // namespace korvex::cli
