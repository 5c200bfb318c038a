#pragma once

// Where the platform's standard folders are on Linux.

#include <string>

namespace korvex {

// $XDG_DOCUMENTS_DIR, else ~/Documents ("~" expanded).
std::string userDocumentsDirectory();
// $XDG_DATA_HOME, else ~/.local/share.
std::string applicationSupportDirectory();
// $TMPDIR, else /tmp.
std::string temporaryDirectory();
// $HOME, else the password database's home of the user.
std::string homeDirectory();

}  // namespace korvex
