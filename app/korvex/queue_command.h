#pragma once

#include <optional>
#include <span>
#include <string>

#include "foundation/result.h"
#include "queue/redis_connection.h"

namespace korvex::cli {

// korvex queue submit --chain CHAIN DOC... [--redis URL] | status [--redis URL]
int runQueueCommand(std::span<const std::string> args);
// korvex worker [--redis URL] [--name NAME] [--lease SECONDS] [--tries N] [--until-empty]
int runWorkerCommand(std::span<const std::string> args);

// The queue's address: the URL given, else $KORVEX_REDIS_URL, else the local server.
Result<RedisAddress> queueAddress(const std::optional<std::string>& url);

}  // namespace korvex::cli
