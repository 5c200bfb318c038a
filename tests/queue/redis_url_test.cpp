#include <gtest/gtest.h>

#include "queue/redis_connection.h"

namespace korvex {
namespace {

TEST(RedisUrl, EveryFormAndEveryMistake) {
  struct Case {
    const char* url;
    const char* host;
    int port;
    const char* socket;
    const char* password;
    int database;
  };
  const Case good[] = {
      {"redis://queue.local", "queue.local", 6379, "", "", 0},
      {"redis://10.0.0.5:6380/2", "10.0.0.5", 6380, "", "", 2},
      {"redis://:s%40cret@host:7000", "host", 7000, "", "s@cret", 0},
      {"redis://user:pw@host/", "host", 6379, "", "pw", 0},
      {"redis://[::1]:6390", "::1", 6390, "", "", 0},
      {"unix:///run/redis/redis.sock?db=3", "", 6379, "/run/redis/redis.sock", "", 3},
  };
  for (const Case& c : good) {
    Result<RedisAddress> address = parseRedisUrl(c.url);
    ASSERT_TRUE(address) << c.url << ": " << address.message();
    EXPECT_EQ(address->host, c.host) << c.url;
    EXPECT_EQ(address->port, c.port) << c.url;
    EXPECT_EQ(address->socketPath, c.socket) << c.url;
    EXPECT_EQ(address->password, c.password) << c.url;
    EXPECT_EQ(address->database, c.database) << c.url;
  }
  for (const char* bad : {"http://host", "redis://", "redis://host:0", "redis://host:99999", "redis://host:x",
                          "redis://host/db", "redis://[::1", "unix://relative.sock", "unix:///s?database=1"}) {
    Result<RedisAddress> address = parseRedisUrl(bad);
    EXPECT_FALSE(address) << bad;
    EXPECT_EQ(address.message().rfind(bad, 0), 0u) << "names the URL: " << address.message();
  }
}

}  // namespace
}  // namespace korvex
