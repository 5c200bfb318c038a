#pragma once

// The check made before every action of a chain: true skips the action.

#include "host/document.h"
#include "host/uid_ref.h"

namespace korvex {

bool abortProcessing(const UIDRef& document);
bool abortProcessing(IDocument* document);

}  // namespace korvex
