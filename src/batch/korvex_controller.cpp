#include "batch/korvex_controller.h"

#include <string>

#include "actions/picture_links.h"
#include "batch/action_dispatch.h"
#include "docmodel/documents.h"
#include "foundation/files.h"
#include "foundation/format.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "host/session.h"
#include "run/run_values.h"

namespace korvex {

namespace {

// Writes "...done" however the procedure for a path ends.
class DoneLine {
 public:
  DoneLine() = default;
  DoneLine(const DoneLine&) = delete;
  DoneLine& operator=(const DoneLine&) = delete;
  ~DoneLine() { MyLog("...done"); }
};

void closeOpenedDocument(const UIDRef& document, const std::string& path) {
  // A handler may have closed the document itself.
  if (!documentForRef(document)) return;
  closeDocWindows(document);
  if (getSaveProject() && document.GetDataBase()->IsModified()) {
    // Closing discards the changes; a failed save must not go unnoticed.
    const ErrorCode error = saveDocAs(document, path);
    if (error != kSuccess) {
      // The host's reason names the file and says why.
      const std::string& reason = GetExecutionContextSession()->application()->errorMessage();
      setError(stringWithFormat("\t####\tsave failed (err: %d): %@", error, reason.empty() ? path : reason));
    }
  }
  closeDoc(document);
}

void moveToDestination(const std::string& path) {
  const std::optional<std::string> folder = getDstFolder();
  if (!folder) return;
  if (!pathIsFolder(*folder)) {
    setError(stringWithFormat("\t####\tUngültiger Zielordner (%@)", *folder));
    return;
  }
  MyLog("\t%@ --> %@", path, *folder);
  // A document of the same name filed earlier may be its owner's only copy.
  if (!moveItemToPath(path, stringByAppendingPathComponent(*folder, lastPathComponent(path)),
                      Replaced::ToTrash))
    setError(stringWithFormat("\t####\tnot moved: %@", path));
}

}  // namespace

bool KorvexController::doProgress(const std::string& path) {
  MyLog("%@", std::string(62, '-'));
  MyLog("%@", path);
  DoneLine done;
  // Where the previous document was to go says nothing about this one.
  setDstFolder(std::nullopt);

  if (IDocument* open = docForPath(path)) {
    // Someone else's document: processed in place, left open, and its
    // result never stops the run.
    runActionChain(open, _actions);
    _lastResult = PathResult::ProcessedOpen;
    return true;
  }
  if (!pathIsFile(path)) {
    setError("\t####\tpath not found!");
    _lastResult = PathResult::NotFound;
    return true;
  }
  const UIDRef document = openDoc2(path, true);
  if (!document.isValid()) {
    // Passed over, but not in silence.
    const std::string& reason = GetExecutionContextSession()->application()->errorMessage();
    setError(stringWithFormat("\t####\tcould not open: %@", reason.empty() ? path : reason));
    _lastResult = PathResult::NotOpened;
    return true;
  }
  const bool result = processDocWithActions(document, _actions);
  closeOpenedDocument(document, path);
  moveToDestination(path);
  _lastResult = result ? PathResult::Processed : PathResult::ChainFailed;
  return result;
}

RunOutcome KorvexController::doProgressDialog() {
  const std::size_t n = _paths.size();
  _progress.begin(n);
  RunOutcome outcome = RunOutcome::Completed;
  _taken = 0;
  for (std::size_t i = 0; i < n; ++i) {
    _progress.setLabel(i, lastPathComponent(_paths[i]));
    // Escape in the progress window cancels as its button does.
    if (_progress.escapePressed() || !_progress.runModalSession()) {
      outcome = RunOutcome::Cancelled;
      break;
    }
    ++_taken;
    if (!doProgress(_paths[i])) {
      outcome = RunOutcome::Failed;
      break;
    }
  }
  _progress.end();
  cleanupAddLinks();
  return outcome;
}

}  // namespace korvex
