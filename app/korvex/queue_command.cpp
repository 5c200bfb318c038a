#include "queue_command.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "chain_argument.h"
#include "command.h"
#include "dialogs/dialog_backend.h"
#include "plugin_session.h"
#include "queue/job_queue.h"
#include "queue/worker.h"
#include "stop_signals.h"

namespace korvex::cli {

namespace {

constexpr std::string_view kQueueUsage =
    "usage: korvex queue submit --chain CHAIN DOC... [--redis URL] | korvex queue status [--redis URL]";
constexpr std::string_view kWorkerUsage =
    "usage: korvex worker [--redis URL] [--name NAME] [--lease SECONDS] [--tries N] [--until-empty]";

int failed(const std::string& message) {
  std::fprintf(stderr, "korvex: %s\n", message.c_str());
  return kExitFailed;
}

std::optional<long> positive(const std::string& text) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1) return std::nullopt;
  return value;
}

std::string defaultWorkerName() {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0 || !host[0]) std::snprintf(host, sizeof host, "worker");
  return std::string(host) + "-" + std::to_string(getpid());
}

int submit(const std::string& chainArgument, const std::vector<std::string>& documents,
           const std::optional<std::string>& url) {
  Result<RedisAddress> address = queueAddress(url);
  if (!address) return usageError(address.message());
  PluginSession plugIn;  // the actions folder a chain name is looked up in
  ChainOrError chain = readChain(chainArgument);
  if (!chain.chain) return usageError(chain.error);
  Result<JobQueue> queue = JobQueue::open(*address);
  if (!queue) return failed(queue.message());
  const std::string chainName = std::filesystem::path(chain.file).stem().string();
  for (const std::string& document : documents) {
    Result<std::string> id = queue->submit(document, chain.chain, chainName);
    if (!id) return failed(id.message());
    std::printf("%s\t%s\n", id->c_str(), document.c_str());
  }
  return kExitOk;
}

int status(const std::optional<std::string>& url) {
  Result<RedisAddress> address = queueAddress(url);
  if (!address) return usageError(address.message());
  Result<JobQueue> queue = JobQueue::open(*address);
  if (!queue) return failed(queue.message());
  Result<std::vector<JobRecord>> records = queue->records();
  if (!records) return failed(records.message());
  Result<std::vector<std::string>> dead = queue->deadLetters();
  if (!dead) return failed(dead.message());
  std::map<std::string, int> counts;
  for (const JobRecord& record : *records) ++counts[record.state];
  std::printf("waiting %d, running %d, done %d, failed %d (dead letters: %zu)\n", counts["waiting"],
              counts["running"], counts["done"], counts["failed"], dead->size());
  for (const JobRecord& record : *records) {
    std::printf("%s\t%s\t%s\t%s\t%s\ttries %d\n", record.id.c_str(), record.state.c_str(), record.chainName.c_str(),
                record.document.c_str(), record.worker.empty() ? "-" : record.worker.c_str(), record.attempts);
    // The problems of the last try, indented under their job.
    if (record.state != "done")
      for (std::size_t start = 0; start < record.problems.size();) {
        std::size_t end = record.problems.find('\n', start);
        if (end == std::string::npos) end = record.problems.size();
        std::printf("\t%s\n", record.problems.substr(start, end - start).c_str());
        start = end + 1;
      }
  }
  return kExitOk;
}

}  // namespace

Result<RedisAddress> queueAddress(const std::optional<std::string>& url) {
  if (url) return parseRedisUrl(*url);
  if (const char* environment = std::getenv("KORVEX_REDIS_URL"); environment && *environment)
    return parseRedisUrl(environment);
  return parseRedisUrl(kDefaultRedisUrl);
}

int runQueueCommand(std::span<const std::string> args) {
  if (args.empty()) return usageError(kQueueUsage);
  std::optional<std::string> url, chain;
  std::vector<std::string> documents;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--redis" && i + 1 < args.size() && !url) {
      url = args[++i];
    } else if (args[i] == "--chain" && i + 1 < args.size() && !chain && args[0] == "submit") {
      chain = args[++i];
    } else if (args[i].starts_with("--")) {
      return usageError("unknown option '" + args[i] + "' (" + std::string(kQueueUsage) + ")");
    } else if (args[0] == "submit") {
      documents.push_back(std::filesystem::absolute(args[i]).lexically_normal().string());
    } else {
      return usageError(kQueueUsage);
    }
  }
  if (args[0] == "submit") {
    if (!chain || chain->empty() || documents.empty()) return usageError(kQueueUsage);
    return submit(*chain, documents, url);
  }
  if (args[0] == "status") return status(url);
  return usageError(kQueueUsage);
}

int runWorkerCommand(std::span<const std::string> args) {
  std::optional<std::string> url;
  WorkerOptions options;
  options.name = defaultWorkerName();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "--redis" && hasValue) {
      url = args[++i];
    } else if (args[i] == "--name" && hasValue && !args[i + 1].empty()) {
      options.name = args[++i];
    } else if (args[i] == "--lease" && hasValue) {
      const std::optional<long> seconds = positive(args[++i]);
      if (!seconds) return usageError("--lease takes a whole number of seconds, 1 or more");
      options.lease = std::chrono::seconds(*seconds);
    } else if (args[i] == "--tries" && hasValue) {
      const std::optional<long> tries = positive(args[++i]);
      if (!tries || *tries > 1000) return usageError("--tries takes a number from 1 to 1000");
      options.maxTries = static_cast<int>(*tries);
    } else if (args[i] == "--until-empty") {
      options.untilEmpty = true;
    } else {
      return usageError("unknown argument '" + args[i] + "' (" + std::string(kWorkerUsage) + ")");
    }
  }
  Result<RedisAddress> address = queueAddress(url);
  if (!address) return usageError(address.message());
  options.address = *address;

  PluginSession plugIn;
  StopSignals signals;
  std::unique_ptr<ProgressWindow> progress = dialogBackend().makeProgressWindow(nullptr);
  const Status worked = runWorker(options, stopRequested, *progress);
  if (!worked) return failed(worked.message());
  std::printf("worker %s: stopped\n", options.name.c_str());
  return kExitOk;
}

}  // namespace korvex::cli
