#pragma once

// A session with documents built through the host's API, the log in a
// temporary home and the recording workspace installed.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/workspace.h"
#include "host/document.h"
#include "host/host_test_support.h"
#include "host/session.h"
#include "platform/recording_workspace.h"
#include "support/temp_home.h"

namespace korvex::test {

class AdapterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetExecutionContextSession();
    former = setWorkspace(std::make_unique<RecordingWorkspace>());
    setupLog(true, "Tamrisk");
    std::filesystem::create_directories(home.scratch());
  }
  void TearDown() override {
    resetExecutionContextSession();
    setWorkspace(std::move(former));
  }

  static Application& app() { return *GetExecutionContextSession()->application(); }
  static IDocument* newDoc(int pages, std::vector<std::string> layers = {"Layer 1"}, bool facing = false) {
    DocumentSetup setup;
    setup.pages = pages;
    setup.layers = std::move(layers);
    setup.facingPages = facing;
    return app().newDocument(setup, false);
  }
  static UID rect(IDocument& doc, UID parent, PMRect bounds) {
    SplineItem* item = doc.createRectangle(parent, bounds);
    EXPECT_NE(item, nullptr);
    return item ? item->GetUID() : kInvalidUID;
  }
  std::string logText() const { return readFile(home.documents() / "Tamrisk" / "Korvex.txt"); }
  RecordingWorkspace& workspace() { return static_cast<RecordingWorkspace&>(*korvex::workspace()); }

  TempHome home;
  std::unique_ptr<Workspace> former;
};

// A fixture with one open document whose first content layer takes the items.
class LayoutTest : public AdapterTest {
 protected:
  void openDocument(int pages) {
    doc = newDoc(pages);
    db = doc->GetDocDataBase();
    layer = spreadLayer(*doc);
  }
  UIDRef item(PMRect bounds) { return {db, rect(*doc, layer, bounds)}; }

  IDocument* doc = nullptr;
  IDataBase* db = nullptr;
  UID layer = kInvalidUID;
};

// Collects the UIDs a walk visits; stops at stopAt when it is set.
struct Visits {
  std::vector<UID> uids;
  static constexpr UID kNever = 0xFFFFFFFEu;  // never handed out: the database keeps the top UID free
  UID stopAt = kNever;

  static bool collect(const UIDRef& item, void* data) {
    auto* visits = static_cast<Visits*>(data);
    visits->uids.push_back(item.GetUID());
    return item.GetUID() != visits->stopAt;
  }
};

}  // namespace korvex::test
