#include "host/output/composed_overset.h"

#include "host/document.h"
#include "host/output/composer.h"

namespace korvex {

int composedOverset(const IDocument& document, UID story) {
  if (!document.story(story)) return -1;
  Composer composer(document);
  const ComposedStory& composed = composer.story(story);
  return composed.overset ? composed.oversetStart : -1;
}

}  // namespace korvex
