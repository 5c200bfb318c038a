#include "workflows/text_replacement.h"

#include "docmodel/documents.h"
#include "foundation/log.h"
#include "host/find_change.h"

namespace korvex {

namespace {

// One change-all; 0 when a setting was refused.
int runPair(IDocument& document, FindChangeMode mode, const std::string& find, const Value& change) {
  const std::string* changeText = change.string();
  if (!changeText) return 0;
  FindChangeQuery query;
  // Each setting is a command of its own; the first refusal skips the pair.
  if (query.setSearchMode(static_cast<int>(mode)) != kSuccess || query.setFindText(find) != kSuccess ||
      query.setChangeText(*changeText) != kSuccess || query.setScope(kFindChangeScopeDocument) != kSuccess ||
      query.setIncludeMasterPages(mode == FindChangeMode::Grep) != kSuccess)
    return 0;
  int changed = 0;
  if (query.changeAll(document, &changed) != kSuccess) return 0;
  return changed;
}

int replaceAll(IDocument* document, const DictPtr& pairs, FindChangeMode mode) {
  if (!pairs || !document || !documentIsOpen(document)) return 0;
  int total = 0;
  for (const auto& [find, change] : *pairs) {
    const int changed = runPair(*document, mode, find, change);
    if (mode == FindChangeMode::Grep) {
      const std::string* text = change.string();
      MyLog("replaceText: %s --> %s, %d", find, text ? *text : change.description(), changed);
    }
    total += changed;
  }
  return total;
}

}  // namespace

int replaceText(IDocument* document, const DictPtr& pairs) {
  return replaceAll(document, pairs, FindChangeMode::Text);
}

int replaceTextWithGrep(IDocument* document, const DictPtr& pairs) {
  return replaceAll(document, pairs, FindChangeMode::Grep);
}

}  // namespace korvex
