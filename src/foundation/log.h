#pragma once

// The plain-text log every part of the system writes to: one file per user,
// emptied at every start and every batch run. Each line is opened, appended,
// flushed to disk and closed on its own, so a crash loses nothing written.

#include <optional>
#include <string>
#include <string_view>
#include <span>
#include <system_error>

#include "foundation/format.h"

namespace korvex {

using UIDNumber = long;

// Opens (creates) the log under the Documents folder, or under the named
// folder inside it; clear empties it, otherwise a file above 10000 bytes is
// emptied and a smaller one gets a separator line. Writes the header line.
void setupLog(bool clear, const std::optional<std::string>& folder);
// Appends the text unchanged (and prints it when the console switch is on).
void writeLog(std::string_view text);
// Empties the log when it is larger than maxBytes; true when it did.
bool clearLog(long maxBytes);

// The common worker: one message line from a format and its arguments.
void MyLog2(std::string_view format, std::span<const FormatArg> args);

template <typename... Args>
void MyLog(std::string_view format, const Args&... args) {
  const FormatArg list[] = {FormatArg(args)..., FormatArg(static_cast<const char*>(nullptr))};
  MyLog2(format, std::span<const FormatArg>(list, sizeof...(Args)));
}
// A missing format writes nothing.
template <typename... Args>
void MyLog(const char* format, const Args&... args) {
  if (!format) return;
  MyLog(std::string_view(format), args...);
}
// As MyLog, and the line is printed to standard output too.
template <typename... Args>
void MyLog1(const char* format, const Args&... args);
template <typename... Args>
void dprintf(const char* format, const Args&... args) {
  MyLog(format, args...);
}

// "err: %d" when the code is not 0.
void logError(int code);
// "%@: %@" (context, description) or the description alone; nothing when no error.
void logError(const std::error_code& error, const std::optional<std::string>& context = std::nullopt);
void logError(const std::optional<std::string>& errorDescription,
              const std::optional<std::string>& context = std::nullopt);

// "%.1f %.1f %.1f %.1f" of x, y, width, height; in millimetres when asked.
void logRect(float x, float y, float width, float height, bool inMillimetres);
// logRect for each element (an array of four numbers, or a "{{x, y}, {w, h}}"
// text); an empty element counts as the zero rectangle.
void logRects(const Value& rects, bool inMillimetres);
// "%@: %.1f %.1f %.1f %.1f" with the label, left, top, width and height.
void logRect(double left, double top, double right, double bottom, std::string_view label);
inline void logRect(double left, double top, double right, double bottom, const char* label) {
  logRect(left, top, right, bottom, std::string_view(label ? label : "(null)"));
}
// "%@: %d" with the label and the UID's number.
void log(UIDNumber uid, std::string_view label);
// "%@" with the object.
void log(const Value& object);

// Opens the log in the default application for its extension.
void showLogFile();
std::optional<std::string> getLogPath();
void setLogging(bool logging, bool console);
// Sets the console switch and answers its former value.
bool setConsole(bool console);

// The user's Documents folder, or the named folder inside it, created when missing.
std::string documentsFolder(const std::optional<std::string>& name = std::nullopt);

template <typename... Args>
void MyLog1(const char* format, const Args&... args) {
  bool old = setConsole(true);
  MyLog(format, args...);
  setConsole(old);
}

}  // namespace korvex
