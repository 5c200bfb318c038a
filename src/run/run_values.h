#pragma once

// The values through which actions talk back to the batch run. They belong
// to the process and outlive every run.

#include <optional>
#include <string>
#include <string_view>

namespace korvex {

// Logs the message ("%@"), flags the log to be shown; answers true.
bool setError(std::string_view message);
void setShowLog(bool show);
// True once after the log was flagged: reading clears the flag.
bool getShowLog();

// Once an action asks for saving, every later document with changes is saved.
void setSaveProject(bool save);
bool getSaveProject();

// The folder the document file is moved into after it is closed; none: stays.
void setDstFolder(std::optional<std::string> folder);
std::optional<std::string> getDstFolder();

}  // namespace korvex
