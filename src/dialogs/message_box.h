#pragma once

// Message boxes: every box beeps, shows the plug-in's alert and answers the
// button pressed. A C-string first argument is a key of the string table
// (the key itself when it has no entry), used as the format; a std::string
// is the format itself.

#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "foundation/format.h"
#include "strings/string_table.h"

namespace korvex {

// The common alert: the message, the second line set by setMsg2 (which it
// consumes) and the button titles. In silent mode it logs "%@ (%@)" instead
// and answers 1.
int showAlert(const std::string& message, const std::vector<std::string>& buttons = {});

// Sets the second line of the next alert, unchanged; none clears it.
void setMsg2(std::optional<std::string> line);
// The second line as it stands (none when not set).
std::optional<std::string> msg2();
// Switches alerts to log lines; answers the former setting.
bool setSilent(bool silent);

template <typename... Args>
int msgBox(const std::string& format, const Args&... args) {
  return showAlert(stringWithFormat(format, args...));
}
template <typename... Args>
int msgBox(const char* key, const Args&... args) {
  return showAlert(stringWithFormat(stringForKey(key), args...));
}
// The error's description is the message, verbatim.
void msgBoxWithError(const std::error_code& error);
void msgBoxWithError(const std::string& description);

// True for "yes".
template <typename... Args>
bool msgBoxYesNo(const char* key, const Args&... args) {
  return showAlert(stringWithFormat(stringForKey(key), args...), {stringForKey("yes"), stringForKey("no")}) ==
         1;
}
// True for "ok".
template <typename... Args>
bool msgBoxOkCancel(const char* key, const Args&... args) {
  return showAlert(stringWithFormat(stringForKey(key), args...),
                   {stringForKey("ok"), stringForKey("cancel")}) == 1;
}
// 1 "yes", 0 "no", -1 "cancel".
template <typename... Args>
int msgBoxYesNoCancel(const char* key, const Args&... args) {
  return showAlert(stringWithFormat(stringForKey(key), args...),
                   {stringForKey("yes"), stringForKey("no"), stringForKey("cancel")});
}

// Sets the second line of the next alert from a key of the string table used
// as the format; answers the new line.
template <typename... Args>
std::string setMsg2(const char* key, const Args&... args) {
  std::string line = stringWithFormat(stringForKey(key), args...);
  setMsg2(std::optional<std::string>(line));
  return line;
}

// Lets the string tables show their alerts through the message boxes.
void installStringTableAlerts();

}  // namespace korvex
