#include "workflows/schnappi.h"

#include "config/action_files.h"
#include "foundation/dictionary_accessors.h"
#include "run/run_values.h"
#include "workflows/text_replacement.h"

namespace korvex {

namespace {

constexpr const char* kActionName = "Schnappi";

}  // namespace

bool doSchnappi(IDocument* document, const DictPtr& action) {
  if (!document) {
    openAction(kActionName);
    return true;
  }
  const DictPtr parameters = action ? action : dictForAction(kActionName, Dictionary::make());
  if (replaceTextWithGrep(document, dictForKey(parameters, "Grep", false)) > 0) setSaveProject(true);
  return true;
}

}  // namespace korvex
