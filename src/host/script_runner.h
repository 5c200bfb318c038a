#pragma once

// The host's script utilities: runners for script files, installed in the
// session's service registry. The host picks the runner by the file's type.

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

#include "host/host_types.h"
#include "host/session.h"

namespace korvex {

// What a script run ended with, beside success.
inline constexpr ErrorCode kScriptError = 40;         // the script threw or does not compile
inline constexpr ErrorCode kScriptTimeoutError = 41;  // stopped: it ran longer than its time limit
inline constexpr ErrorCode kScriptMemoryError = 42;   // stopped: it wanted more than its memory limit

struct RunScriptParams {
  // Whether the script may show dialogs of its own; batch runs never let it.
  bool allowUserInteraction = false;
  // Limits of this run; none: the runner's own.
  std::optional<double> timeLimitSeconds;
  std::optional<std::size_t> memoryLimitBytes;
  // Where the script's own output goes besides the log (a console), if anywhere.
  std::function<void(std::string_view)> output;
};

class IScriptRunner : public Service {
 public:
  virtual bool CanHandleFile(const IDFile& file) const = 0;
  // Runs the file; 0 when the script finished without error.
  virtual ErrorCode RunFile(const IDFile& file, const RunScriptParams& params) = 0;
};

// The first installed runner that handles the file, or null.
IScriptRunner* scriptRunnerForFile(Session& session, const IDFile& file);

}  // namespace korvex
