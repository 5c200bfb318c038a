#include "queue/worker.h"

#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "batch/korvex_controller.h"
#include "foundation/log.h"
#include "run/run_values.h"

namespace korvex {

namespace {

// A long-lived worker's log is restarted when it grows past this.
constexpr long kLogLimit = 50L * 1024 * 1024;
constexpr std::chrono::seconds kRetryPause{1};

// Renews the job's lease from a thread of its own while the chain runs, so
// only a dead worker's job is taken over, however long a document takes.
class LeaseKeeper {
 public:
  LeaseKeeper(const WorkerOptions& options, const QueueJob& job)
      : thread_([this, options, job](std::stop_token stop) { keep(stop, options, job); }) {}
  // The thread sees the stop at once (the wait watches the stop token).
  ~LeaseKeeper() = default;
  LeaseKeeper(const LeaseKeeper&) = delete;
  LeaseKeeper& operator=(const LeaseKeeper&) = delete;

 private:
  void keep(std::stop_token stop, const WorkerOptions& options, const QueueJob& job) {
    const auto beat = std::max(std::chrono::milliseconds(100), options.lease / 3);
    std::optional<JobQueue> queue;
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait_for(lock, stop, beat, [] { return false; });
      if (stop.stop_requested()) return;
      if (!queue) {
        Result<JobQueue> opened = JobQueue::open(options.address);
        if (!opened) continue;  // the next beat tries again
        queue.emplace(std::move(*opened));
      }
      Result<bool> renewed = queue->renew(job, options.name);
      if (!renewed) queue.reset();
      // Taken over: nothing to renew; finishing will say so.
      if (renewed && !*renewed) return;
    }
  }

  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::jthread thread_;  // last: joined before the others go
};

std::string logProblems(const std::string& logPath, std::uintmax_t from) {
  std::ifstream log(logPath, std::ios::binary);
  log.seekg(static_cast<std::streamoff>(from));
  std::string problems, line;
  while (std::getline(log, line))
    if (line.find("####") != std::string::npos) problems += line + "\n";
  return problems;
}

std::uintmax_t logSize(const std::string& logPath) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(logPath, ec);
  return ec ? 0 : size;
}

JobOutcome runJob(const QueueJob& job, ProgressWindow& progress) {
  clearLog(kLogLimit);
  const std::string logPath = getLogPath().value_or("");
  const std::uintmax_t start = logSize(logPath);
  setShowLog(false);
  MyLog("%@", Value(job.chain));
  KorvexController controller(progress);
  controller.setPaths({job.document});
  controller.setActions(job.chain);
  const RunOutcome outcome = controller.doProgressDialog();
  const PathResult result = controller.lastResult();
  JobOutcome done;
  done.succeeded = outcome == RunOutcome::Completed &&
                   (result == PathResult::Processed || result == PathResult::ProcessedOpen);
  done.problems = logProblems(logPath, start);
  return done;
}

const char* describe(Recorded recorded) {
  switch (recorded) {
    case Recorded::Done: return "done";
    case Recorded::Retried: return "failed, queued again";
    case Recorded::DeadLettered: return "failed for good (dead letters)";
    case Recorded::NotOurs: return "taken over by another worker; not recorded";
  }
  return "";
}

class Worker {
 public:
  Worker(const WorkerOptions& options, WorkerStopCheck stop, ProgressWindow& progress)
      : options_(options), stop_(stop), progress_(progress) {}

  Status run() {
    Result<JobQueue> queue = JobQueue::open(options_.address);
    if (!queue) return queue.failure();
    queue_.emplace(std::move(*queue));
    std::printf("worker %s: taking jobs from %s\n", options_.name.c_str(), options_.address.url.c_str());
    std::fflush(stdout);
    while (!stopped()) {
      Result<std::optional<QueueJob>> job =
          queue_->take(options_.name, options_.lease, std::chrono::seconds(1), options_.maxTries);
      if (!job) {
        waitForServer(job.message());
        continue;
      }
      if (!*job) {
        if (options_.untilEmpty) {
          Result<long long> left = queue_->unfinished();
          if (left && *left == 0) break;
        }
        continue;
      }
      work(**job);
    }
    return {};
  }

 private:
  bool stopped() const { return stop_ && stop_(); }

  void work(const QueueJob& job) {
    JobOutcome outcome;
    {
      LeaseKeeper lease(options_, job);
      outcome = runJob(job, progress_);
    }
    // Recorded however long the server is away: the document is done.
    for (int tries = 0;; ++tries) {
      Result<Recorded> recorded = queue_->finish(job, options_.name, outcome, options_.maxTries);
      if (recorded) {
        std::printf("job %s: %s: %s\n", job.id.c_str(), job.document.c_str(), describe(*recorded));
        std::fflush(stdout);
        return;
      }
      // A stop asked for while the server stays away leaves the job to the lease.
      if (stopped() && tries >= 30) return;
      waitForServer(recorded.message());
    }
  }

  void waitForServer(const std::string& problem) {
    if (problem != lastProblem_) std::fprintf(stderr, "korvex: worker %s: %s; trying again\n",
                                              options_.name.c_str(), problem.c_str());
    lastProblem_ = problem;
    std::this_thread::sleep_for(kRetryPause);
    if (!queue_->connection().usable() || problem.find("NOGROUP") != std::string::npos) {
      Result<JobQueue> reopened = JobQueue::open(options_.address);
      if (reopened) {
        queue_.emplace(std::move(*reopened));
        lastProblem_.clear();
      }
    }
  }

  const WorkerOptions& options_;
  WorkerStopCheck stop_;
  ProgressWindow& progress_;
  std::optional<JobQueue> queue_;
  std::string lastProblem_;
};

}  // namespace

std::string workerLogFolder(const std::string& name) {
  std::string safe = name;
  for (char& c : safe)
    if (c == '/' || c == '\0') c = '_';
  if (safe.empty() || safe == "." || safe == "..") safe = "worker";
  return "Tamrisk/Workers/" + safe;
}

Status runWorker(const WorkerOptions& options, WorkerStopCheck stop, ProgressWindow& progress) {
  setupLog(true, workerLogFolder(options.name));
  return Worker(options, stop, progress).run();
}

}  // namespace korvex
