#pragma once

// A window's state as JSON, as the scripted backend's "dump" event writes it:
// {"window", "title", "controls": [...]}, each control with its kind, name,
// tag and what its kind holds (text, state, items and selection, tabs, rows).
// Plain containers are left out; their controls stand in their place.

#include "dialogs/window_model.h"
#include "foundation/json_node.h"

namespace korvex {

OrderedJson dumpWindow(const Window& window);

}  // namespace korvex
