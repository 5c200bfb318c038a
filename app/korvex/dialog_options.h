#pragma once

// The options of the commands that may show dialogs: "--choose PATH"
// (repeatable: the answers of the console's choosers, in order) and
// "--ui-script FILE.json" (every dialog driven by the file's events). While
// the object lives, the chosen backend is installed; the former one comes
// back afterwards.

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "dialogs/dialog_backend.h"

namespace korvex {
class ConsoleDialogBackend;
class ScriptedDialogBackend;
}  // namespace korvex

namespace korvex::cli {

class DialogOptions {
 public:
  DialogOptions() = default;
  ~DialogOptions();
  DialogOptions(const DialogOptions&) = delete;
  DialogOptions& operator=(const DialogOptions&) = delete;

  // When args[i] is one of the options, takes it (and its value, advancing
  // i) and answers true; a missing value or both kinds of option set error.
  bool take(std::span<const std::string> args, std::size_t& i, std::string& error);

  // Installs the backend; a script that can't be read is printed, and the
  // exit status answered.
  std::optional<int> install();

  // After the command: a dialog's failure is printed and decides the exit
  // status (a window the console can't show: 2, a script event that does not
  // fit: 1); answers and events left over are noted on standard error.
  int finish(int exitCode);

 private:
  std::vector<std::string> choose_;
  std::optional<std::string> uiScript_;
  std::unique_ptr<DialogBackend> former_;
  bool installed_ = false;
  ConsoleDialogBackend* console_ = nullptr;
  ScriptedDialogBackend* scripted_ = nullptr;
};

}  // namespace korvex::cli
