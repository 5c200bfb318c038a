#pragma once

// The shared queue of documents to run, on a Redis stream read through a
// consumer group: each job goes to one worker and stays pending until that
// worker records its outcome. A worker renews its lease while it works; a job
// whose lease lapsed (its worker died) is taken over by another worker. A job
// that failed, or whose workers died, maxTries times goes to the dead letters.
// Finished jobs leave the stream; their records stay for `queue status`.
//
// One Redis server, not a cluster: a job's keys are made inside scripts.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "foundation/result.h"
#include "foundation/value.h"
#include "queue/redis_connection.h"

namespace korvex {

struct QueueJob {
  std::string id;     // the job's number, as submit printed it
  std::string entry;  // the stream entry that carries it on this try
  std::string document;
  std::string chainName;
  ArrayPtr chain;
  int attempt = 0;  // 1 on the first try
};

struct JobRecord {
  std::string id;
  std::string state;  // "waiting", "running", "done" or "failed"
  std::string document;
  std::string chainName;
  std::string worker;    // the last worker that took it
  std::string problems;  // the log's problem lines of the last try, one a line
  int attempts = 0;
};

struct JobOutcome {
  bool succeeded = false;
  std::string problems;
};

enum class Recorded {
  Done,
  Retried,       // back in the queue for another try
  DeadLettered,  // failed for good
  NotOurs,       // another worker holds the job now; nothing recorded
};

inline constexpr int kDefaultMaxTries = 3;
inline constexpr std::chrono::minutes kDefaultLease{10};

class JobQueue {
 public:
  // Connects and makes the stream and its consumer group when missing.
  static Result<JobQueue> open(const RedisAddress& address);

  // Adds a job carrying the chain itself; answers the job's id.
  Result<std::string> submit(const std::string& document, const ArrayPtr& chain, const std::string& chainName);

  // The next job for worker: one whose lease lapsed first, else a new one,
  // waiting up to wait for it. None when there was nothing to take.
  Result<std::optional<QueueJob>> take(const std::string& worker, std::chrono::milliseconds lease,
                                       std::chrono::milliseconds wait, int maxTries);
  // Restarts the job's lease; false when another worker has taken it over.
  Result<bool> renew(const QueueJob& job, const std::string& worker);
  Result<Recorded> finish(const QueueJob& job, const std::string& worker, const JobOutcome& outcome, int maxTries);

  // Every job ever submitted, in submit order.
  Result<std::vector<JobRecord>> records();
  // The ids in the dead letters, oldest first.
  Result<std::vector<std::string>> deadLetters();
  // Jobs waiting or in hand.
  Result<long long> unfinished();

  RedisConnection& connection() { return connection_; }

 private:
  explicit JobQueue(RedisConnection connection) : connection_(std::move(connection)) {}
  RedisConnection connection_;
};

}  // namespace korvex
