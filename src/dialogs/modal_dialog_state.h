#pragma once

// The guard around every plug-in modal window: the host stops tracking the
// cursor and the main run loop's timers wait until the window is gone.

#include <memory>

#include "dialogs/run_loop.h"

namespace korvex {

void suspendCursorTracking();
void resumeCursorTracking();

class MyModalDialogState {
 public:
  MyModalDialogState();
  ~MyModalDialogState();
  MyModalDialogState(const MyModalDialogState&) = delete;
  MyModalDialogState& operator=(const MyModalDialogState&) = delete;

  // An object kept alive for the guard's lifetime and released with it.
  void setObject(std::shared_ptr<void> object) { _object = std::move(object); }

 private:
  ModalSession _session;
  std::shared_ptr<void> _object;
};

}  // namespace korvex
