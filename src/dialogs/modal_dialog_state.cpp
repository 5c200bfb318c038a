#include "dialogs/modal_dialog_state.h"

#include "dialogs/dialog_backend.h"

namespace korvex {

void suspendCursorTracking() {
  dialogBackend().suspendCursorTracking();
}

void resumeCursorTracking() {
  dialogBackend().resumeCursorTracking();
}

MyModalDialogState::MyModalDialogState() {
  suspendCursorTracking();
}

MyModalDialogState::~MyModalDialogState() {
  resumeCursorTracking();
  _object.reset();
}

}  // namespace korvex
