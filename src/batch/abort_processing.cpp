#include "batch/abort_processing.h"

#include "actions/preflight_action.h"
#include "config/settings_store.h"
#include "docmodel/documents.h"
#include "docmodel/frame_content.h"
#include "docmodel/traversal.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/log.h"
#include "run/run_values.h"

namespace korvex {

namespace {

// Read afresh before every action: the hot folder may change them per document.
DictPtr options() {
  KorvexSettings* settings = prefs();
  return settings ? settings->options() : nullptr;
}

bool hasModifiedLink(const UIDRef& document) {
  bool found = false;
  EnumLinks(
      document,
      [](const UIDRef& link, void* data) {
        if (!isModifiedLink(link)) return true;
        *static_cast<bool*>(data) = true;
        return false;
      },
      &found);
  return found;
}

void updateModifiedLinks(const UIDRef& document) {
  EnumLinks(
      document,
      [](const UIDRef& link, void*) {
        if (isModifiedLink(link)) updateLink(link);
        return true;
      },
      nullptr);
}

}  // namespace

bool abortProcessing(const UIDRef& document) {
  const DictPtr settings = options();
  const int modifiedLinks = integerForKey(settings, "modifiedLinks", 1);
  if (modifiedLinks == 2) {
    if (hasModifiedLink(document)) {
      MyLog("%@", "\t\t####\tmodified pictures");
      setShowLog(true);
      return true;
    }
  } else if (modifiedLinks != 1) {
    updateModifiedLinks(document);
    if (modifiedLinks == 4) saveDoc(document);
  }
  IDocument* doc = documentForRef(document);
  if (!doc) return false;
  const std::string profile = stringForKey(settings, "preflight", "").value_or("");
  if (countPreflightErrors(doc, profile)) {
    MyLog("%@", "\t\t####\tpreflight");
    setShowLog(true);
    return true;
  }
  return false;
}

bool abortProcessing(IDocument* document) {
  return abortProcessing(refForDocument(document));
}

}  // namespace korvex
