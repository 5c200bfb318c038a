#include "host/vips_support.h"

#include <mutex>
#include <string_view>

namespace korvex {

namespace {

// libvips' last warning on this thread: some loaders (PNG) say why a file
// failed only there, not in the error buffer.
thread_local std::string lastWarning;

// libvips and GLib warn through g_log; on a user's terminal that is noise
// next to the project's own lines. Failures reach us through vips_error_buffer
// and the last warning.
void quietLog(const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
  lastWarning = message ? message : "";
}

bool startVips() {
  g_log_set_default_handler(quietLog, nullptr);
  for (const char* domain : {"VIPS", "GLib", "GLib-GObject", "GLib-GIO"})
    g_log_set_handler(domain,
                      static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
                      quietLog, nullptr);
  if (VIPS_INIT("korvex") != 0) return false;
  // The operation cache would hand back a file's old pixels after it changed on disk.
  vips_cache_set_max(0);
  vips_cache_set_max_files(0);
  return true;
}

}  // namespace

bool ensureVips() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] { started = startVips(); });
  return started;
}

void clearVipsMessages() {
  // The error buffer's lock exists only once libvips has started.
  if (!ensureVips()) return;
  vips_error_clear();
  lastWarning.clear();
}

std::string takeVipsError(const std::string& fallback) {
  if (!ensureVips()) return fallback;
  std::string text = vips_error_buffer();
  if (text.empty()) text = lastWarning;
  clearVipsMessages();
  if (const auto end = text.find('\n'); end != std::string::npos) text.resize(end);
  // "VipsForeignLoad: ", "jpegload: " or "magick2vips: " name libvips' internals, not the file's problem.
  if (const auto colon = text.find(": "); colon != std::string::npos && text.find(' ') > colon) {
    const std::string_view prefix(text.data(), colon);
    if (prefix.starts_with("Vips") || prefix.starts_with("vips") || prefix.ends_with("load") ||
        prefix.ends_with("2vips"))
      text = text.substr(colon + 2);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '.')) text.pop_back();
  return text.empty() ? fallback : text;
}

}  // namespace korvex
