#pragma once

// Find/change pairs over the whole text of one document: a dictionary whose
// keys are what to find and whose values are the replacements, applied in
// the dictionary's order, each pair on the result of the ones before.

#include "foundation/value.h"
#include "host/document.h"

namespace korvex {

// Literal, case-sensitive pairs; the number of replacements made. A pair the
// host refuses (an empty key, a value that is no text) counts 0.
int replaceText(IDocument* document, const DictPtr& pairs);
// GREP pairs ($0 … $9 in the replacement); logs
// "replaceText: %s --> %s, %d" for every pair, 0 for one that was refused
// (such as an invalid pattern). The number of replacements made.
int replaceTextWithGrep(IDocument* document, const DictPtr& pairs);

}  // namespace korvex
