#include "hotfolder_command.h"

#include <chrono>
#include <cstdio>

#include "batch/hot_folder.h"
#include "command.h"
#include "config/settings_store.h"
#include "dialogs/run_loop.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "plugin_session.h"
#include "queue/job_queue.h"
#include "queue_command.h"
#include "stop_signals.h"
#include "run/run_values.h"

namespace korvex::cli {

namespace {

// A document that could not be opened or filed is in the log only; the
// person at the terminal should know to look there.
void reportFlaggedLog() {
  if (getShowLog())
    std::fprintf(stderr, "korvex: the log reports problems: %s\n", getLogPath().value_or("").c_str());
}

// Submits each document to the queue while it lives; the connection is made
// at the first document and again after a failure.
class HotfolderHandOffScope {
 public:
  explicit HotfolderHandOffScope(RedisAddress address) : address_(std::move(address)) {
    former_ = setHotfolderHandOff([this](const std::string& document, const ArrayPtr& chain,
                                         const std::string& chainName) { return submit(document, chain, chainName); });
  }
  ~HotfolderHandOffScope() { setHotfolderHandOff(std::move(former_)); }
  HotfolderHandOffScope(const HotfolderHandOffScope&) = delete;
  HotfolderHandOffScope& operator=(const HotfolderHandOffScope&) = delete;

 private:
  Status submit(const std::string& document, const ArrayPtr& chain, const std::string& chainName) {
    if (!queue_ || !queue_->connection().usable()) {
      Result<JobQueue> opened = JobQueue::open(address_);
      if (!opened) return opened.failure();
      queue_.emplace(std::move(*opened));
    }
    Result<std::string> id = queue_->submit(document, chain, chainName);
    if (!id) return id.failure();
    return {};
  }

  RedisAddress address_;
  std::optional<JobQueue> queue_;
  HotfolderHandOff former_;
};

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
  // With a queue the hot folder only submits; workers run the chains.
  std::optional<HotfolderHandOffScope> handOff;
  if (std::optional<std::string> url = settings->hotFolderQueue()) {
    Result<RedisAddress> address = queueAddress(*url);
    if (!address) {
      std::fprintf(stderr, "korvex: \"HotfolderQueue\" in %s: %s\n", settings->path().c_str(),
                   address.message().c_str());
      return kExitFailed;
    }
    handOff.emplace(*address);
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
