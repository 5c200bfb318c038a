#include "actions/script_and_save.h"

#include "config/settings_store.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "host/host_strings.h"
#include "host/script_runner.h"
#include "run/run_values.h"

namespace korvex {

namespace {

// The limits a script runs under, from the settings' "Options" (values of 0
// or less, or none: the runner's own).
RunScriptParams scriptParams() {
  RunScriptParams params;
  KorvexSettings* settings = prefs();
  const DictPtr options = settings ? settings->options() : nullptr;
  if (const float seconds = floatForKey(options, "scriptTimeLimit", 0); seconds > 0) params.timeLimitSeconds = seconds;
  if (const int megabytes = integerForKey(options, "scriptMemoryLimit", 0); megabytes > 0)
    params.memoryLimitBytes = static_cast<std::size_t>(megabytes) << 20;
  return params;
}

}  // namespace

bool doJavaScript(const DictPtr& action) {
  auto path = stringForKey(action, "Path");
  if (!path || !pathIsFile(*path)) return false;
  IDFile file = IDFileWithPath(*path);
  Session* session = GetExecutionContextSession();
  IScriptRunner* runner = session ? scriptRunnerForFile(*session, file) : nullptr;
  if (!runner) return false;
  MyLog("RunScript: %@", *path);
  ErrorCode err = runner->RunFile(file, scriptParams());
  if (err != 0) MyLog("\t####\terr = %d", err);
  return err == 0;
}

bool saveDoc(MyDoc& document, const DictPtr&) {
  ErrorCode err = document.save();
  // The chain goes on either way, but a save that did not happen must not
  // pass unnoticed at the end of a night's run.
  if (err != 0) {
    setError(stringWithFormat("\t####\tsave failed (err: %d): %@", err, document.getPath()));
  }
  return true;
}

}  // namespace korvex
