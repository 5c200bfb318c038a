#pragma once

// The fixture of the plug-in's tests. Each test gets a temporary home with
// the log in it (empty, under "Tamrisk"), a fresh host session, the recording
// workspace (opening files is only recorded) and fresh settings; every other
// process-wide value starts at its default: the run-wide values, the dialog
// backend (console), the alerts' silent mode and second line, the string
// table (none) and its alert handler, a dialog's failure and the interrupt's cancel flag, the bundle's folder, the text layout
// (none) and the run loop's timers. TearDown resets them again and puts back what SetUp
// replaced, so nothing a test changes reaches the next one.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/dialog_backend.h"
#include "foundation/workspace.h"
#include "host/document.h"
#include "host/session.h"
#include "host/text_layout.h"
#include "platform/recording_workspace.h"
#include "strings/strings_alert.h"
#include "support/temp_home.h"

namespace korvex::test {

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  static Application& app() { return *GetExecutionContextSession()->application(); }
  // A new document in the session (no window).
  static IDocument* newDoc(int pages, std::vector<std::string> layers = {"Layer 1"}, bool facing = false);
  // A blank document saved at scratch/name, not opened; its path.
  std::string makeDoc(const std::string& name, std::vector<std::string> layers = {"Layer 1"});

  // The folder of the documents a test opens with open().
  std::filesystem::path jobs() const { return home.scratch() / "Jobs"; }
  // Opens a document of the jobs folder; null (and a failed expectation) when it can't.
  IDocument* open(const std::string& name);

  std::string logText() const;
  // True when the log has the message line (without its time prefix).
  bool logHas(const std::string& line) const;
  RecordingWorkspace& workspace();

  TempHome home;

 private:
  std::unique_ptr<Workspace> formerWorkspace_;
  std::unique_ptr<DialogBackend> formerBackend_;
  bool formerSilent_ = false;
  StringsAlertHandler formerStringsAlert_;
  std::unique_ptr<TextLayout> formerLayout_;
};

}  // namespace korvex::test
