#pragma once

// Host menu actions, host classes of objects and text wrap.

#include "host/host_object.h"
#include "host/uid_ref.h"

namespace korvex {

// Runs the host action in the active context without a mouse position;
// nothing without an active context or for an unknown action.
void performAction(int actionID);

// What getBoss answers for a reference that names no object.
inline constexpr ClassID kInvalidClass = static_cast<ClassID>(0);
// The host class of the object at the reference.
ClassID getBoss(const UIDRef& reference);

// Sets the frame's text wrap to the host's mode 4 (jump to the next column),
// side and contour options 0, keeping its offsets and remaining flags. The
// host's result; -1 when the reference names no page item.
ErrorCode setFrameWrap(const UIDRef& frame);

}  // namespace korvex
