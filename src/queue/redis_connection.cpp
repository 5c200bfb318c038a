#include "queue/redis_connection.h"

#include <hiredis/hiredis.h>

#include <charconv>
#include <utility>

namespace korvex {

namespace {

bool parseNumber(std::string_view text, int& value, int lo, int hi) {
  int parsed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (error != std::errc() || end != text.data() + text.size() || parsed < lo || parsed > hi) return false;
  value = parsed;
  return true;
}

// %XX escapes, as a password with special characters is written in a URL.
std::string percentDecoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    int value = 0;
    if (text[i] == '%' && i + 2 < text.size() &&
        std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16).ptr == text.data() + i + 3) {
      out += static_cast<char>(value);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

RedisReply copyReply(const redisReply& reply) {
  RedisReply copy;
  switch (reply.type) {
    case REDIS_REPLY_STATUS:
      copy.kind = RedisReply::Kind::SimpleString;
      copy.text.assign(reply.str, reply.len);
      break;
    case REDIS_REPLY_STRING:
      copy.kind = RedisReply::Kind::String;
      copy.text.assign(reply.str, reply.len);
      break;
    case REDIS_REPLY_INTEGER:
      copy.kind = RedisReply::Kind::Integer;
      copy.integer = reply.integer;
      break;
    case REDIS_REPLY_ARRAY:
      copy.kind = RedisReply::Kind::Array;
      copy.elements.reserve(reply.elements);
      for (std::size_t i = 0; i < reply.elements; ++i) copy.elements.push_back(copyReply(*reply.element[i]));
      break;
    default:
      break;
  }
  return copy;
}

timeval toTimeval(std::chrono::milliseconds time) {
  return timeval{static_cast<time_t>(time.count() / 1000), static_cast<suseconds_t>(time.count() % 1000 * 1000)};
}

}  // namespace

Result<RedisAddress> parseRedisUrl(std::string_view url) {
  RedisAddress address;
  address.url = std::string(url);
  const auto bad = [&](const std::string& problem) { return fail(std::string(url) + ": " + problem); };
  if (url.starts_with("unix://")) {
    std::string_view rest = url.substr(7);
    if (const auto query = rest.find('?'); query != std::string_view::npos) {
      const std::string_view parameters = rest.substr(query + 1);
      rest = rest.substr(0, query);
      if (!parameters.starts_with("db=") || !parseNumber(parameters.substr(3), address.database, 0, 1 << 20))
        return bad("the only parameter is db=NUMBER");
    }
    if (!rest.starts_with('/')) return bad("a socket's path must be absolute (unix:///PATH)");
    address.socketPath = percentDecoded(rest);
    return address;
  }
  if (!url.starts_with("redis://")) return bad("not a Redis address (redis://HOST:PORT or unix:///PATH)");
  std::string_view rest = url.substr(8);
  if (const auto slash = rest.find('/'); slash != std::string_view::npos) {
    const std::string_view db = rest.substr(slash + 1);
    if (!db.empty() && !parseNumber(db, address.database, 0, 1 << 20)) return bad("the database is not a number");
    rest = rest.substr(0, slash);
  }
  if (const auto at = rest.rfind('@'); at != std::string_view::npos) {
    std::string_view credentials = rest.substr(0, at);
    // "user:password" or ":password"; only the password is used.
    if (const auto colon = credentials.find(':'); colon != std::string_view::npos)
      credentials = credentials.substr(colon + 1);
    address.password = percentDecoded(credentials);
    rest = rest.substr(at + 1);
  }
  std::string_view port;
  if (rest.starts_with('[')) {  // [IPv6]:PORT
    const auto close = rest.find(']');
    if (close == std::string_view::npos) return bad("an unclosed [ in the host");
    const std::string_view after = rest.substr(close + 1);
    if (!after.empty() && !after.starts_with(':')) return bad("unexpected text after the host");
    if (!after.empty()) port = after.substr(1);
    rest = rest.substr(1, close - 1);
  } else if (const auto colon = rest.rfind(':'); colon != std::string_view::npos) {
    port = rest.substr(colon + 1);
    rest = rest.substr(0, colon);
  }
  if (!port.empty() && !parseNumber(port, address.port, 1, 65535)) return bad("the port is not a number 1-65535");
  if (rest.empty()) return bad("no host");
  address.host = std::string(rest);
  return address;
}

const RedisReply& RedisReply::operator[](std::size_t index) const {
  static const RedisReply kNil;
  return index < elements.size() ? elements[index] : kNil;
}

struct RedisConnection::Context {
  explicit Context(redisContext* c) : context(c) {}
  ~Context() {
    if (context) redisFree(context);
  }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
  redisContext* context;
  bool broken = false;
};

RedisConnection::RedisConnection(RedisAddress address, std::unique_ptr<Context> context)
    : address_(std::move(address)), context_(std::move(context)) {}
RedisConnection::RedisConnection(RedisConnection&&) noexcept = default;
RedisConnection& RedisConnection::operator=(RedisConnection&&) noexcept = default;
RedisConnection::~RedisConnection() = default;

Result<RedisConnection> RedisConnection::connect(const RedisAddress& address, std::chrono::milliseconds timeout) {
  const timeval limit = toTimeval(timeout);
  auto context = std::make_unique<Context>(
      address.socketPath.empty() ? redisConnectWithTimeout(address.host.c_str(), address.port, limit)
                                 : redisConnectUnixWithTimeout(address.socketPath.c_str(), limit));
  if (!context->context) return fail(address.url + ": cannot connect (out of memory)", kRedisConnectionLost);
  if (context->context->err)
    return fail(address.url + ": cannot connect: " + context->context->errstr, kRedisConnectionLost);
  redisSetTimeout(context->context, limit);
  RedisConnection connection(address, std::move(context));
  if (!address.password.empty()) {
    Result<RedisReply> auth = connection.command({"AUTH", address.password});
    if (!auth) return auth.failure();
  }
  if (address.database != 0) {
    Result<RedisReply> select = connection.command({"SELECT", std::to_string(address.database)});
    if (!select) return select.failure();
  }
  return connection;
}

Result<RedisReply> RedisConnection::command(const std::vector<std::string>& arguments) {
  if (!usable()) return fail(address_.url + ": the connection was lost", kRedisConnectionLost);
  std::vector<const char*> argv;
  std::vector<std::size_t> lengths;
  for (const std::string& argument : arguments) {
    argv.push_back(argument.data());
    lengths.push_back(argument.size());
  }
  auto* reply = static_cast<redisReply*>(
      redisCommandArgv(context_->context, static_cast<int>(argv.size()), argv.data(), lengths.data()));
  if (!reply) {
    context_->broken = true;
    return fail(address_.url + ": " + (context_->context->err ? context_->context->errstr : "no reply"),
                kRedisConnectionLost);
  }
  std::unique_ptr<redisReply, void (*)(void*)> owned(reply, freeReplyObject);
  if (reply->type == REDIS_REPLY_ERROR)
    return fail(address_.url + ": " + arguments.front() + ": " + std::string(reply->str, reply->len),
                kRedisErrorReply);
  return copyReply(*reply);
}

Result<RedisReply> RedisConnection::eval(std::string_view script, const std::vector<std::string>& keys,
                                         const std::vector<std::string>& arguments) {
  std::vector<std::string> command{"EVAL", std::string(script), std::to_string(keys.size())};
  command.insert(command.end(), keys.begin(), keys.end());
  command.insert(command.end(), arguments.begin(), arguments.end());
  return this->command(command);
}

bool RedisConnection::usable() const {
  return context_ && context_->context && !context_->broken && context_->context->err == 0;
}

}  // namespace korvex
