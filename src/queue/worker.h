#pragma once

// A worker: takes jobs from the shared queue one at a time and runs each
// job's chain on its document exactly as a run does (same log lines, in the
// worker's own log), then records the outcome. A lost connection to Redis is
// waited out: the job in hand is recorded once the server is back.

#include <chrono>
#include <string>

#include "dialogs/progress_window.h"
#include "foundation/result.h"
#include "queue/job_queue.h"
#include "queue/redis_connection.h"

namespace korvex {

struct WorkerOptions {
  RedisAddress address;
  std::string name;
  std::chrono::milliseconds lease = kDefaultLease;
  int maxTries = kDefaultMaxTries;
  // Stop once the queue holds no job, waiting or in hand.
  bool untilEmpty = false;
};

// Asked between documents, never during one.
using WorkerStopCheck = bool (*)();

// The log folder of a worker, inside the user's Documents folder.
std::string workerLogFolder(const std::string& name);

// Works until stop answers true (or the queue is empty, when asked). Fails
// only when the queue can't be reached at the start.
Status runWorker(const WorkerOptions& options, WorkerStopCheck stop, ProgressWindow& progress);

}  // namespace korvex
