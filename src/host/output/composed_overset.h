#pragma once

// Overset text as the composer sets it, for the preflight's overset rule.

#include "host/host_types.h"

namespace korvex {

class IDocument;

// The first character of the story that does not fit its frames, or -1.
int composedOverset(const IDocument& document, UID story);

}  // namespace korvex
