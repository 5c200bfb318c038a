#pragma once

#include <span>
#include <string>

namespace korvex::cli {

// korvex dialog show NAME | choose file|folder | progress ITEM...: shows one
// of the bundle's windows, a chooser or the progress window through the
// dialog backend, for people who automate the dialogs and for trying them.
int runDialogCommand(std::span<const std::string> args);

}  // namespace korvex::cli
