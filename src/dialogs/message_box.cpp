#include "dialogs/message_box.h"

#include <utility>

#include "dialogs/dialog_backend.h"
#include "foundation/bundle.h"
#include "foundation/log.h"
#include "foundation/product.h"
#include "strings/strings_alert.h"

namespace korvex {

namespace {

struct AlertState {
  std::optional<std::string> secondLine;
  bool silent = false;
};

AlertState& alertState() {
  static AlertState state;
  return state;
}

}  // namespace

int showAlert(const std::string& message, const std::vector<std::string>& buttons) {
  // The second line belongs to exactly one alert, shown or logged.
  std::optional<std::string> secondLine = std::exchange(alertState().secondLine, std::nullopt);
  if (alertState().silent) {
    MyLog("%@ (%@)", message, secondLine);
    return kAlertFirstButton;
  }
  DialogBackend& backend = dialogBackend();
  backend.beep();
  AlertRequest request;
  request.title = kProductName;
  request.message = message;
  request.informativeText = secondLine.value_or("");
  request.buttons = buttons;
  request.iconPath = pathForResource("Tamr", "png");
  return backend.runAlert(request);
}

void setMsg2(std::optional<std::string> line) {
  alertState().secondLine = std::move(line);
}

std::optional<std::string> msg2() {
  return alertState().secondLine;
}

bool setSilent(bool silent) {
  return std::exchange(alertState().silent, silent);
}

void msgBoxWithError(const std::error_code& error) {
  if (error) showAlert(error.message());
}

void msgBoxWithError(const std::string& description) {
  showAlert(description);
}

void installStringTableAlerts() {
  setStringsAlertHandler([](const std::string& message) { showAlert(message); });
}

}  // namespace korvex
