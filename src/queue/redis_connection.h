#pragma once

// One connection to a Redis server, closed with its owner. Commands go as
// argument lists, so no document name or chain is ever read as part of a
// command. A reply is copied out of the client library into plain values.

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/result.h"

namespace korvex {

// Where the server is: "redis://[:PASSWORD@]HOST[:PORT][/DB]" or
// "unix:///PATH/TO/SOCKET[?db=N]".
struct RedisAddress {
  std::string url;  // as given, for messages
  std::string host;
  int port = 6379;
  std::string socketPath;  // set for unix: addresses
  std::string password;
  int database = 0;
};

inline constexpr const char* kDefaultRedisUrl = "redis://127.0.0.1:6379";

// The address a URL names; a failure names the URL and what is wrong.
Result<RedisAddress> parseRedisUrl(std::string_view url);

struct RedisReply {
  enum class Kind { Nil, SimpleString, Integer, String, Array };
  Kind kind = Kind::Nil;
  std::string text;  // SimpleString and String
  long long integer = 0;
  std::vector<RedisReply> elements;

  bool isNil() const { return kind == Kind::Nil; }
  // An array's element, or a nil reply when there is none.
  const RedisReply& operator[](std::size_t index) const;
};

// Failure codes of RedisConnection::command.
inline constexpr int kRedisConnectionLost = 1;  // the connection is broken: connect again
inline constexpr int kRedisErrorReply = 2;      // the server refused the command

class RedisConnection {
 public:
  // Connects, authenticates and selects the database; commands then time
  // out after timeout (a blocking read asks for less than that).
  static Result<RedisConnection> connect(const RedisAddress& address,
                                         std::chrono::milliseconds timeout = std::chrono::seconds(10));

  RedisConnection(RedisConnection&&) noexcept;
  RedisConnection& operator=(RedisConnection&&) noexcept;
  ~RedisConnection();

  Result<RedisReply> command(const std::vector<std::string>& arguments);
  // A Lua script run on the server as one step.
  Result<RedisReply> eval(std::string_view script, const std::vector<std::string>& keys,
                          const std::vector<std::string>& arguments);
  // False once a command found the connection broken.
  bool usable() const;
  const RedisAddress& address() const { return address_; }

 private:
  struct Context;
  RedisConnection(RedisAddress address, std::unique_ptr<Context> context);
  RedisAddress address_;
  std::unique_ptr<Context> context_;
};

}  // namespace korvex
