#include "queue/job_queue.h"

#include <ctime>
#include <utility>

#include "foundation/format.h"
#include "foundation/property_list.h"

namespace korvex {

namespace {

const std::string kStream = "korvex:jobs";
const std::string kGroup = "korvex-workers";
const std::string kJobPrefix = "korvex:job:";
const std::string kJobIds = "korvex:job-ids";
const std::string kDeadLetters = "korvex:dead";
const std::string kCounter = "korvex:next-job";

// Local time, as people at the machines read it.
std::string now() {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  char text[32];
  return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local));
}

// One transaction: the record, its place in the list, the stream entry.
constexpr const char* kSubmit = R"(
local id = redis.call('INCR', KEYS[1])
local job = KEYS[2] .. id
redis.call('HSET', job, 'document', ARGV[1], 'chainName', ARGV[3], 'state', 'waiting', 'attempts', 0,
           'submitted', ARGV[4])
redis.call('RPUSH', KEYS[3], id)
local entry = redis.call('XADD', KEYS[4], '*', 'job', id, 'document', ARGV[1], 'chain', ARGV[2],
                         'chainName', ARGV[3])
redis.call('HSET', job, 'entry', entry)
return tostring(id))";

// Only the worker that holds an entry may renew or finish it.
constexpr const char* kRenew = R"(
local p = redis.call('XPENDING', KEYS[1], ARGV[1], ARGV[2], ARGV[2], 1)
if #p == 0 or p[1][2] ~= ARGV[3] then return 0 end
redis.call('XCLAIM', KEYS[1], ARGV[1], ARGV[3], 0, ARGV[2], 'JUSTID')
return 1)";

constexpr const char* kFinish = R"(
local p = redis.call('XPENDING', KEYS[1], ARGV[1], ARGV[2], ARGV[2], 1)
if #p == 0 or p[1][2] ~= ARGV[3] then return 'not-ours' end
local entries = redis.call('XRANGE', KEYS[1], ARGV[2], ARGV[2])
redis.call('XACK', KEYS[1], ARGV[1], ARGV[2])
redis.call('XDEL', KEYS[1], ARGV[2])
if ARGV[4] == 'done' then
  redis.call('HSET', KEYS[2], 'state', 'done', 'problems', ARGV[5], 'finished', ARGV[6])
  return 'done'
end
local attempts = tonumber(redis.call('HGET', KEYS[2], 'attempts') or '0')
if attempts < tonumber(ARGV[7]) and #entries > 0 then
  local entry = redis.call('XADD', KEYS[1], '*', unpack(entries[1][2]))
  redis.call('HSET', KEYS[2], 'state', 'waiting', 'problems', ARGV[5], 'entry', entry)
  return 'retried'
end
redis.call('HSET', KEYS[2], 'state', 'failed', 'problems', ARGV[5], 'finished', ARGV[6])
redis.call('RPUSH', KEYS[3], ARGV[8])
return 'dead')";

constexpr const char* kRecords = R"(
local ids = redis.call('LRANGE', KEYS[1], 0, -1)
local out = {}
for _, id in ipairs(ids) do
  out[#out + 1] = id
  out[#out + 1] = redis.call('HGETALL', KEYS[2] .. id)
end
return out)";

std::string field(const RedisReply& pairs, std::string_view name) {
  for (std::size_t i = 0; i + 1 < pairs.elements.size(); i += 2)
    if (pairs.elements[i].text == name) return pairs.elements[i + 1].text;
  return {};
}

int number(const std::string& text) {
  try {
    return std::stoi(text);
  } catch (...) {
    return 0;
  }
}

// An entry [id, [field, value, ...]] as a job; none when it was deleted
// or does not hold a job this program wrote.
std::optional<QueueJob> jobFromEntry(const RedisReply& entry) {
  const RedisReply& fields = entry[1];
  if (entry[0].text.empty() || fields.kind != RedisReply::Kind::Array) return std::nullopt;
  QueueJob job;
  job.entry = entry[0].text;
  job.id = field(fields, "job");
  job.document = field(fields, "document");
  job.chainName = field(fields, "chainName");
  if (std::optional<Value> chain = readPropertyList(field(fields, "chain"))) job.chain = chain->array();
  if (job.id.empty()) return std::nullopt;
  return job;
}

}  // namespace

Result<JobQueue> JobQueue::open(const RedisAddress& address) {
  Result<RedisConnection> connection = RedisConnection::connect(address);
  if (!connection) return connection.failure();
  Result<RedisReply> group = connection->command({"XGROUP", "CREATE", kStream, kGroup, "0", "MKSTREAM"});
  if (!group && group.message().find("BUSYGROUP") == std::string::npos) return group.failure();
  return JobQueue(std::move(*connection));
}

Result<std::string> JobQueue::submit(const std::string& document, const ArrayPtr& chain,
                                     const std::string& chainName) {
  const std::optional<std::string> chainText = propertyListXML(Value(chain));
  if (!chainText) return fail(chainName + ": the chain cannot be written as a property list");
  Result<RedisReply> id =
      connection_.eval(kSubmit, {kCounter, kJobPrefix, kJobIds, kStream}, {document, *chainText, chainName, now()});
  if (!id) return id.failure();
  return id->text;
}

Result<std::optional<QueueJob>> JobQueue::take(const std::string& worker, std::chrono::milliseconds lease,
                                               std::chrono::milliseconds wait, int maxTries) {
  std::optional<QueueJob> job;
  // A lapsed lease first: its document has waited longest.
  for (std::string cursor = "0-0"; !job;) {
    Result<RedisReply> claimed = connection_.command(
        {"XAUTOCLAIM", kStream, kGroup, worker, std::to_string(lease.count()), cursor, "COUNT", "1"});
    if (!claimed) return claimed.failure();
    for (const RedisReply& entry : (*claimed)[1].elements)
      if (!job) job = jobFromEntry(entry);
    cursor = (*claimed)[0].text;
    if (cursor.empty() || cursor == "0-0") break;
  }
  if (!job) {
    Result<RedisReply> read = connection_.command({"XREADGROUP", "GROUP", kGroup, worker, "COUNT", "1", "BLOCK",
                                                   std::to_string(wait.count()), "STREAMS", kStream, ">"});
    if (!read) return read.failure();
    if (!read->isNil()) job = jobFromEntry((*read)[0][1][0]);
    if (!job) return std::optional<QueueJob>();
  }
  const std::string key = kJobPrefix + job->id;
  Result<RedisReply> attempts = connection_.command({"HINCRBY", key, "attempts", "1"});
  if (!attempts) return attempts.failure();
  job->attempt = static_cast<int>(attempts->integer);
  Result<RedisReply> running = connection_.command(
      {"HSET", key, "state", "running", "worker", worker, "started", now(), "entry", job->entry});
  if (!running) return running.failure();
  if (!job->chain || job->attempt > maxTries) {
    // A job no worker lived through maxTries times would stop every worker in turn.
    const std::string problem =
        job->chain ? stringWithFormat("\t####\ttaken %d times; no worker finished it", job->attempt - 1)
                   : std::string("\t####\tthe job's chain is not a readable property list");
    Result<Recorded> dead = finish(*job, worker, JobOutcome{false, problem}, 0);
    if (!dead) return dead.failure();
    return take(worker, lease, wait, maxTries);
  }
  return job;
}

Result<bool> JobQueue::renew(const QueueJob& job, const std::string& worker) {
  Result<RedisReply> renewed = connection_.eval(kRenew, {kStream}, {kGroup, job.entry, worker});
  if (!renewed) return renewed.failure();
  return renewed->integer == 1;
}

Result<Recorded> JobQueue::finish(const QueueJob& job, const std::string& worker, const JobOutcome& outcome,
                                  int maxTries) {
  Result<RedisReply> recorded =
      connection_.eval(kFinish, {kStream, kJobPrefix + job.id, kDeadLetters},
                       {kGroup, job.entry, worker, outcome.succeeded ? "done" : "failed", outcome.problems, now(),
                        std::to_string(maxTries), job.id});
  if (!recorded) return recorded.failure();
  if (recorded->text == "done") return Recorded::Done;
  if (recorded->text == "retried") return Recorded::Retried;
  if (recorded->text == "dead") return Recorded::DeadLettered;
  return Recorded::NotOurs;
}

Result<std::vector<JobRecord>> JobQueue::records() {
  Result<RedisReply> reply = connection_.eval(kRecords, {kJobIds, kJobPrefix}, {});
  if (!reply) return reply.failure();
  std::vector<JobRecord> records;
  for (std::size_t i = 0; i + 1 < reply->elements.size(); i += 2) {
    const RedisReply& fields = reply->elements[i + 1];
    JobRecord record;
    record.id = reply->elements[i].text;
    record.state = field(fields, "state");
    record.document = field(fields, "document");
    record.chainName = field(fields, "chainName");
    record.worker = field(fields, "worker");
    record.problems = field(fields, "problems");
    record.attempts = number(field(fields, "attempts"));
    records.push_back(std::move(record));
  }
  return records;
}

Result<std::vector<std::string>> JobQueue::deadLetters() {
  Result<RedisReply> reply = connection_.command({"LRANGE", kDeadLetters, "0", "-1"});
  if (!reply) return reply.failure();
  std::vector<std::string> ids;
  for (const RedisReply& id : reply->elements) ids.push_back(id.text);
  return ids;
}

Result<long long> JobQueue::unfinished() {
  Result<RedisReply> length = connection_.command({"XLEN", kStream});
  if (!length) return length.failure();
  return length->integer;
}

}  // namespace korvex
