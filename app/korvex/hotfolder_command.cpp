#include "hotfolder_command.h"

#include <chrono>
#include <csignal>
#include <cstdio>

#include "batch/hot_folder.h"
#include "command.h"
#include "config/settings_store.h"
#include "dialogs/run_loop.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "plugin_session.h"
#include "run/run_values.h"

namespace korvex::cli {

namespace {

volatile std::sig_atomic_t gStop = 0;

extern "C" void requestStop(int) {
  gStop = 1;
}

bool stopRequested() {
  return gStop != 0;
}

// Restores the former signal handlers when the watch ends.
class StopSignals {
 public:
  StopSignals() {
    gStop = 0;
    _int = std::signal(SIGINT, requestStop);
    _term = std::signal(SIGTERM, requestStop);
  }
  ~StopSignals() {
    std::signal(SIGINT, _int);
    std::signal(SIGTERM, _term);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  void (*_int)(int);
  void (*_term)(int);
};

// A document that could not be opened or filed is in the log only; the
// person at the terminal should know to look there.
void reportFlaggedLog() {
  if (getShowLog())
    std::fprintf(stderr, "korvex: the log reports problems: %s\n", getLogPath().value_or("").c_str());
}

}  // namespace

int runHotfolderCommand(std::span<const std::string> args) {
  bool once = args.size() == 1 && args[0] == "--once";
  if (args.size() > 1 || (args.size() == 1 && !once)) return usageError("usage: korvex hotfolder [--once]");

  PluginSession session;
  session.installMenu();
  KorvexSettings* settings = prefs();
  std::optional<std::string> folder = settings->hotFolder();
  if (!folder || folder->empty() || !pathIsFolder(*folder)) {
    // The scan would pass over it silently; a user at the command line
    // deserves to know why nothing happens.
    std::fprintf(stderr, "korvex: no hot folder: \"Hotfolder\" in %s names no folder\n",
                 settings->path().c_str());
    return kExitFailed;
  }
  if (once) {
    scanHotfolderSettled();
    reportFlaggedLog();
    return kExitOk;
  }

  StopSignals signals;
  setHotfolderStopCheck(stopRequested);
  std::printf("watching %s every %g s (Ctrl-C stops)\n", folder->c_str(),
              static_cast<double>(kHotfolderInterval));
  std::fflush(stdout);
  // Short rounds, so a signal is noticed promptly between scans.
  while (!stopRequested()) {
    RunLoop::main().runUntil(RunLoop::Clock::now() + std::chrono::milliseconds(200));
    reportFlaggedLog();
  }
  setHotfolderStopCheck(nullptr);
  std::printf("stopped\n");
  return kExitOk;
}

}  // namespace korvex::cli
