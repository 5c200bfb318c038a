#include "support/plugin_test.h"

#include "config/settings_store.h"
#include "dialogs/console_progress.h"
#include "dialogs/dialog_backend.h"
#include "dialogs/message_box.h"
#include "dialogs/run_loop.h"
#include "foundation/bundle.h"
#include "foundation/log.h"
#include "host/document_file.h"
#include "run/run_values.h"
#include "strings/string_table.h"

namespace korvex::test {

namespace {

// The process-wide values that have a default to go back to.
void resetToDefaults() {
  setShowLog(false);
  setSaveProject(false);
  setDstFolder(std::nullopt);
  setMsg2(std::nullopt);
  releaseStrings();
  setBundleResourcesPath("");
  RunLoop::main().removeAllTimers();
  (void)takeDialogFailure();
  InterruptCancels::reset();
  resetExecutionContextSession();
}

}  // namespace

void PluginTest::SetUp() {
  resetToDefaults();
  formerWorkspace_ = setWorkspace(std::make_unique<RecordingWorkspace>());
  formerBackend_ = setDialogBackend(nullptr);
  formerSilent_ = setSilent(false);
  formerStringsAlert_ = setStringsAlertHandler(nullptr);
  formerLayout_ = setTextLayout(nullptr);
  loadPrefs();  // from the temporary home: empty
  setupLog(true, "Tamrisk");
  clearLog(0);
}

void PluginTest::TearDown() {
  setLogging(false, false);
  resetToDefaults();
  setTextLayout(std::move(formerLayout_));
  setStringsAlertHandler(std::move(formerStringsAlert_));
  setSilent(formerSilent_);
  setDialogBackend(std::move(formerBackend_));
  setWorkspace(std::move(formerWorkspace_));
}

IDocument* PluginTest::newDoc(int pages, std::vector<std::string> layers, bool facing) {
  DocumentSetup setup;
  setup.pages = pages;
  setup.layers = std::move(layers);
  setup.facingPages = facing;
  return app().newDocument(setup, false);
}

std::string PluginTest::makeDoc(const std::string& name, std::vector<std::string> layers) {
  DocumentSetup setup;
  setup.layers = std::move(layers);
  const std::string path = (home.scratch() / name).string();
  EXPECT_EQ(saveDocumentFile(*IDocument::createNew(setup), path), kSuccess);
  return path;
}

IDocument* PluginTest::open(const std::string& name) {
  IDocument* document = nullptr;
  EXPECT_EQ(app().openDocument((jobs() / name).string(), false, &document), kSuccess) << name;
  return document;
}

std::string PluginTest::logText() const {
  return readFile(home.documents() / "Tamrisk" / "Korvex.txt");
}

bool PluginTest::logHas(const std::string& line) const {
  return logText().find("Korvex::" + line + "\n") != std::string::npos;
}

RecordingWorkspace& PluginTest::workspace() {
  return static_cast<RecordingWorkspace&>(*korvex::workspace());
}

}  // namespace korvex::test
