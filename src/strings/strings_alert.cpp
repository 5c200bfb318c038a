#include "strings/strings_alert.h"

#include <utility>

#include "foundation/log.h"

namespace korvex {

namespace {
StringsAlertHandler& installedHandler() {
  static StringsAlertHandler handler;
  return handler;
}
}  // namespace

StringsAlertHandler setStringsAlertHandler(StringsAlertHandler handler) {
  return std::exchange(installedHandler(), std::move(handler));
}

void stringsAlert(const std::string& message) {
  if (installedHandler()) {
    installedHandler()(message);
    return;
  }
  MyLog("%@", message);
}

}  // namespace korvex
