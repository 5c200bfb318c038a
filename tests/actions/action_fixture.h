#pragma once

// A session whose documents are copies of the example documents (with their
// pictures) in a temporary home; the log is there too, and opening files is
// only recorded.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "run/run_values.h"
#include "foundation/log.h"
#include "foundation/workspace.h"
#include "host/document.h"
#include "host/session.h"
#include "platform/recording_workspace.h"
#include "support/temp_home.h"

namespace korvex::test {

class ActionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetExecutionContextSession();
    former = setWorkspace(std::make_unique<RecordingWorkspace>());
    setupLog(true, "Tamrisk");
    clearLog(0);
    getShowLog();
    setDstFolder(std::nullopt);
    namespace fs = std::filesystem;
    const fs::path examples = fs::path(KORVEX_SOURCE_DIR) / "examples";
    fs::create_directories(jobs());
    fs::copy(examples / "Links", jobs() / "Links", fs::copy_options::recursive);
    for (const char* name : {"Flyer Sommerfest.indd", "Katalog Seite 12.indd"})
      fs::copy_file(examples / name, jobs() / name);
  }
  void TearDown() override {
    resetExecutionContextSession();
    setWorkspace(std::move(former));
    setDstFolder(std::nullopt);
    getShowLog();
    setLogging(false, false);
  }

  std::filesystem::path jobs() const { return home.scratch() / "Jobs"; }
  // Opens a document of the jobs folder; null (and a failed expectation) when it can't.
  IDocument* open(const std::string& name) {
    IDocument* document = nullptr;
    ErrorCode err =
        GetExecutionContextSession()->application()->openDocument((jobs() / name).string(), false, &document);
    EXPECT_EQ(err, kSuccess) << name;
    return document;
  }
  std::string logText() const { return readFile(home.documents() / "Tamrisk" / "Korvex.txt"); }
  bool logHas(const std::string& line) const {
    return logText().find("Korvex::" + line + "\n") != std::string::npos;
  }
  RecordingWorkspace& workspace() { return static_cast<RecordingWorkspace&>(*korvex::workspace()); }

  TempHome home;
  std::unique_ptr<Workspace> former;
};

}  // namespace korvex::test
