#pragma once

// Opening a configuration file in the user's viewer for its type. Private to
// the configuration layer until the platform's workspace takes this over.

#include <string>

namespace korvex {

// Runs "xdg-open" on the path and waits for it to hand the file over; true
// when it reported success. No shell is involved, so any path is safe.
bool openDocumentWithDefaultApplication(const std::string& path);

}  // namespace korvex
