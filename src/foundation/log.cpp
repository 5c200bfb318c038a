#include "foundation/log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <utility>

#include "foundation/folders.h"
#include "foundation/product.h"
#include "foundation/workspace.h"

namespace korvex {

namespace {

struct LogState {
  std::optional<std::string> path;
  bool logging = false;
  bool console = false;
};

LogState& state() {
  static LogState s;
  return s;
}

// Only called with the two literal formats below.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
std::string localTime(const char* format, bool withMilliseconds) {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[64];
  std::size_t n = std::strftime(buf, sizeof buf, format, &tm);
  std::string text(buf, n);
  if (withMilliseconds) {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    char millis[8];
    std::snprintf(millis, sizeof millis, ":%03d", static_cast<int>(ms));
    text += millis;
  }
  return text;
}
#pragma GCC diagnostic pop

void writeAllTo(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace

void setupLog(bool clear, const std::optional<std::string>& folder) {
  auto& s = state();
  s.logging = true;
  s.console = false;
  s.path = documentsFolder(folder) + "/" + kProductName + ".txt";
  if (::access(s.path->c_str(), F_OK) != 0) {
    int fd = ::open(s.path->c_str(), O_WRONLY | O_CREAT, 0644);
    if (fd >= 0) ::close(fd);
  }
  if (clear) {
    clearLog(0);
  } else if (!clearLog(10000)) {
    writeLog(std::string(73, '-') + "\n");
  }
  writeLog(stringWithFormat("%@: %s %s%@\n", localTime("%d.%m.%Y %H:%M:%S", false), kProductName,
                            kProductVersion, stringWithFormat(", %s", kHostTag)));
}

void writeLog(std::string_view text) {
  auto& s = state();
  if (!s.logging || !s.path) return;
  if (s.console) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
  int fd = ::open(s.path->c_str(), O_WRONLY);
  if (fd < 0) return;  // the log never reports its own failures
  if (::lseek(fd, 0, SEEK_END) >= 0) {
    writeAllTo(fd, text);
    ::fsync(fd);
  }
  ::close(fd);
}

bool clearLog(long maxBytes) {
  auto& s = state();
  if (!s.path) return false;
  struct stat st{};
  long size = ::stat(s.path->c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
  if (size <= maxBytes) return false;
  int fd = ::open(s.path->c_str(), O_WRONLY | O_TRUNC);
  if (fd < 0) return false;
  ::fsync(fd);
  ::close(fd);
  return true;
}

void MyLog2(std::string_view format, std::span<const FormatArg> args) {
  if (!state().logging) return;
  std::string message = formatv(format, args);
  writeLog(stringWithFormat("%@: %s::%@\n", localTime("%H:%M:%S", true), kProductName, message));
}

void logError(int code) {
  if (code != 0) MyLog("err: %d", code);
}

void logError(const std::error_code& error, const std::optional<std::string>& context) {
  if (!error) return;
  logError(std::optional<std::string>(error.message()), context);
}

void logError(const std::optional<std::string>& errorDescription, const std::optional<std::string>& context) {
  if (!errorDescription) return;
  if (context)
    MyLog("%@: %@", *context, *errorDescription);
  else
    MyLog("%@", *errorDescription);
}

void logRect(float x, float y, float width, float height, bool inMillimetres) {
  if (inMillimetres) {
    // Multiply first, then divide, so round values stay round.
    auto mm = [](float v) { return v * 25.4f / 72.0f; };
    x = mm(x), y = mm(y), width = mm(width), height = mm(height);
  }
  MyLog("%.1f %.1f %.1f %.1f", x, y, width, height);
}

void logRects(const Value& rects, bool inMillimetres) {
  auto list = rects.array();
  if (!list) return;
  for (const auto& item : *list) {
    float r[4] = {0, 0, 0, 0};
    if (auto numbers = item.array()) {
      for (std::size_t i = 0; i < 4 && i < numbers->size(); ++i) r[i] = numbers->at(i).floatValue();
    } else if (auto text = item.string()) {
      // The platform's rectangle text "{{x, y}, {w, h}}".
      std::sscanf(text->c_str(), " {{%f , %f } , {%f , %f }}", &r[0], &r[1], &r[2], &r[3]);
    }
    logRect(r[0], r[1], r[2], r[3], inMillimetres);
  }
}

void logRect(double left, double top, double right, double bottom, std::string_view label) {
  MyLog("%@: %.1f %.1f %.1f %.1f", label, left, top, right - left, bottom - top);
}

void log(UIDNumber uid, std::string_view label) { MyLog("%@: %d", label, uid); }

void log(const Value& object) { MyLog("%@", object); }

void showLogFile() {
  if (auto path = state().path) openDocWithPath(*path);
}

std::optional<std::string> getLogPath() { return state().path; }

void setLogging(bool logging, bool console) {
  state().logging = logging;
  state().console = console;
}

bool setConsole(bool console) { return std::exchange(state().console, console); }

std::string documentsFolder(const std::optional<std::string>& name) {
  std::string path = userDocumentsDirectory();
  if (name && !name->empty()) path += "/" + *name;
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return path;
}

}  // namespace korvex
