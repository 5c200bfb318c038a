#include "batch/abort_processing.h"

#include "docmodel/documents.h"

namespace korvex {

// Every action runs. The checks of modified picture links and of the
// preflight profile join here; a skip will then flag the log.
bool abortProcessing(const UIDRef&) {
  return false;
}

bool abortProcessing(IDocument* document) {
  return abortProcessing(refForDocument(document));
}

}  // namespace korvex
