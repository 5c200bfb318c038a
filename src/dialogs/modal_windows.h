#pragma once

// The plug-in's modal windows and choosers, each inside a MyModalDialogState
// guard: the host stops tracking the cursor and the run loop's timers wait
// until the window is gone.

#include <optional>
#include <string>
#include <vector>

#include "dialogs/dialog_backend.h"

namespace korvex {

// The chosen paths, none for Cancel.
std::optional<std::vector<std::string>> runOpenPanel(const OpenPanelRequest& request);
// One folder, none for Cancel.
std::optional<std::string> chooseFolder(const std::string& title, const std::string& startFolder = "");
// Files of the given types (any with none), none for Cancel.
std::optional<std::vector<std::string>> chooseFiles(const std::string& title,
                                                    const std::vector<std::string>& extensions, bool multiple);

// Runs the window modally through the backend; kRunStoppedResponse (OK) or
// kRunAbortedResponse (Cancel, or the window can't be shown: the failure is
// reported for the command line).
int runModalForWindow(Window& window, WindowController& controller);

}  // namespace korvex
