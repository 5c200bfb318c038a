#pragma once

// The batch run: a chain of actions over a list of document paths, one
// document at a time, with the progress window's cancel between documents.

#include <string>
#include <vector>

#include "dialogs/progress_window.h"
#include "foundation/value.h"

namespace korvex {

enum class RunOutcome {
  Completed,  // every path was taken
  Failed,     // a document's chain failed; the paths after it were not taken
  Cancelled,  // the user cancelled between documents
};

// What became of one path.
enum class PathResult {
  Processed,      // opened, its chain ran to the end, closed and filed
  ChainFailed,    // its chain failed; the run stops
  NotFound,       // no file there
  NotOpened,      // the host could not open it
  ProcessedOpen,  // already open: processed in place and left open
};

class KorvexController {
 public:
  explicit KorvexController(ProgressWindow& progress) : _progress(progress) {}

  const std::vector<std::string>& paths() const { return _paths; }
  void setPaths(std::vector<std::string> paths) { _paths = std::move(paths); }
  const ArrayPtr& actions() const { return _actions; }
  void setActions(ArrayPtr actions) { _actions = std::move(actions); }

  // One path: found open and processed in place, or opened, processed,
  // closed (saved when asked) and moved. False stops the run.
  bool doProgress(const std::string& path);
  // The run over the paths, in list order.
  RunOutcome doProgressDialog();
  // How many paths the last run took (the one that failed included).
  std::size_t takenCount() const { return _taken; }
  // What became of the last path taken.
  PathResult lastResult() const { return _lastResult; }

 private:
  ProgressWindow& _progress;
  std::vector<std::string> _paths;
  ArrayPtr _actions;
  std::size_t _taken = 0;
  PathResult _lastResult = PathResult::Processed;
};

}  // namespace korvex
