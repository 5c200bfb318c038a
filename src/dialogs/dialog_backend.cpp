#include "dialogs/dialog_backend.h"

#include <cstdio>
#include <utility>

#include "foundation/workspace.h"

namespace korvex {

namespace {
std::unique_ptr<DialogBackend>& installedBackend() {
  static std::unique_ptr<DialogBackend> backend = std::make_unique<ConsoleDialogBackend>();
  return backend;
}
}  // namespace

int ConsoleDialogBackend::runAlert(const AlertRequest& request) {
  std::fprintf(stderr, "%s\n", request.message.c_str());
  if (!request.informativeText.empty()) std::fprintf(stderr, "%s\n", request.informativeText.c_str());
  std::fflush(stderr);
  return kAlertFirstButton;
}

void ConsoleDialogBackend::beep() {
  korvex::beep();
}

std::unique_ptr<DialogBackend> setDialogBackend(std::unique_ptr<DialogBackend> backend) {
  if (!backend) backend = std::make_unique<ConsoleDialogBackend>();
  return std::exchange(installedBackend(), std::move(backend));
}

DialogBackend& dialogBackend() {
  return *installedBackend();
}

}  // namespace korvex
