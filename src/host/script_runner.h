#pragma once

// The host's script utilities: runners for script files, installed in the
// session's service registry. The host picks the runner by the file's type.

#include "host/host_types.h"
#include "host/session.h"

namespace korvex {

struct RunScriptParams {
  // Whether the script may show dialogs of its own; batch runs never let it.
  bool allowUserInteraction = false;
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
