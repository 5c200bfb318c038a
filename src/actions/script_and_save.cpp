#include "actions/script_and_save.h"

#include "foundation/dictionary_accessors.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "host/host_strings.h"
#include "host/script_runner.h"
#include "run/run_values.h"

namespace korvex {

bool doJavaScript(const DictPtr& action) {
  auto path = stringForKey(action, "Path");
  if (!path || !pathIsFile(*path)) return false;
  IDFile file = IDFileWithPath(*path);
  Session* session = GetExecutionContextSession();
  IScriptRunner* runner = session ? scriptRunnerForFile(*session, file) : nullptr;
  if (!runner) return false;
  MyLog("RunScript: %@", *path);
  ErrorCode err = runner->RunFile(file, RunScriptParams{});
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
