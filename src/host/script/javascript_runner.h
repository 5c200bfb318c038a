#pragma once

// The host's runner for JavaScript files (".jsx", ".js"): Duktape, an
// ECMAScript 5.1 engine, with the host's object model (app, documents and
// their objects), $.write/$.writeln into the log, alert, File and Folder, and
// #include of scripts beside the running one. Every run gets a fresh engine
// with a time and a memory limit; a run never outlives its limits.

#include <cstddef>
#include <functional>
#include <string>

#include "host/script_runner.h"

namespace korvex {

struct ScriptLimits {
  double seconds = 60;
  std::size_t memoryBytes = std::size_t{256} << 20;
};

class JavaScriptRunner : public IScriptRunner {
 public:
  static constexpr const char* kName = "JavaScript";
  std::string name() const override { return kName; }
  bool CanHandleFile(const IDFile& file) const override;
  // Logs the script's error (message, file and line) or why it was stopped.
  ErrorCode RunFile(const IDFile& file, const RunScriptParams& params) override;

  const ScriptLimits& limits() const { return limits_; }
  void setLimits(const ScriptLimits& limits) { limits_ = limits; }
  // The last run's error line ("FILE:LINE: MESSAGE"), empty after success.
  const std::string& lastError() const { return lastError_; }

 private:
  ScriptLimits limits_;
  std::string lastError_;
};

// The session's JavaScript runner, installed when missing.
JavaScriptRunner& javaScriptRunner(Session& session);

// Shows a script's alert text; the dialog toolkit installs one. Answers the
// former handler. Without one, alerts go to standard error.
using ScriptAlertHandler = std::function<void(const std::string&)>;
ScriptAlertHandler setScriptAlertHandler(ScriptAlertHandler handler);

}  // namespace korvex
