#pragma once

// A fresh host session, log and run-wide values for each batch test, with
// documents saved into the temporary home.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "run/run_values.h"
#include "foundation/log.h"
#include "foundation/value.h"
#include "foundation/workspace.h"
#include "host/document_file.h"
#include "host/session.h"
#include "platform/recording_workspace.h"
#include "support/temp_home.h"

namespace korvex::test {

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetExecutionContextSession();
    auto recording = std::make_unique<RecordingWorkspace>();
    workspace = recording.get();
    formerWorkspace = setWorkspace(std::move(recording));
    setSaveProject(false);
    setDstFolder(std::nullopt);
    getShowLog();
    setupLog(true, "Tamrisk");
  }
  void TearDown() override {
    setSaveProject(false);
    setDstFolder(std::nullopt);
    getShowLog();
    resetExecutionContextSession();
    setWorkspace(std::move(formerWorkspace));
  }

  // A blank document saved at scratch/name; its path.
  std::string makeDoc(const std::string& name, std::vector<std::string> layers = {"Layer 1"}) {
    DocumentSetup setup;
    setup.layers = std::move(layers);
    auto doc = IDocument::createNew(setup);
    std::filesystem::create_directories(home.scratch());
    const std::string path = (home.scratch() / name).string();
    EXPECT_EQ(saveDocumentFile(*doc, path), kSuccess);
    return path;
  }

  // The log's message lines without their time prefix; the header dropped.
  std::vector<std::string> logLines() const {
    std::vector<std::string> lines;
    std::string text = readFile(home.documents() / "Tamrisk" / "Korvex.txt");
    const std::string marker = ": Korvex::";
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (auto at = line.find(marker); at != std::string::npos)
        lines.push_back(line.substr(at + marker.size()));
      start = end + 1;
    }
    return lines;
  }

  static ArrayPtr chainOf(std::initializer_list<const char*> names) {
    ArrayPtr chain = Array::make();
    for (const char* name : names) {
      DictPtr action = Dictionary::make();
      action->set("Action", name);
      chain->append(action);
    }
    return chain;
  }

  static Application& app() { return *GetExecutionContextSession()->application(); }

  TempHome home;
  RecordingWorkspace* workspace = nullptr;
  std::unique_ptr<Workspace> formerWorkspace;
};

}  // namespace korvex::test
