#include "shell/startup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/settings_store.h"
#include "dialogs/dialog_backend.h"
#include "dialogs/run_loop.h"
#include "foundation/bundle.h"
#include "foundation/workspace.h"
#include "shell/menu_manager.h"
#include "shell/my_action.h"
#include "strings/string_table.h"
#include "support/scoped_env.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using test::TempHome;

std::string resources() {
  return (fs::path(KORVEX_SOURCE_DIR) / "resources").string();
}

// Records what would have been opened; launches nothing.
class RecordingWorkspace : public Workspace {
 public:
  bool openPath(const std::string& path, const std::optional<std::string>&) override {
    _opened.push_back(path);
    return true;
  }
  std::optional<std::string> defaultApplicationForExtension(const std::string&) override { return "viewer"; }
  const std::vector<std::string>& opened() const { return _opened; }

 private:
  std::vector<std::string> _opened;
};

class RecordingDialogs : public DialogBackend {
 public:
  explicit RecordingDialogs(std::vector<std::string>* messages) : _messages(messages) {}
  int runAlert(const AlertRequest& request) override {
    _messages->push_back(request.message);
    return kAlertFirstButton;
  }
  void beep() override {}

 private:
  std::vector<std::string>* _messages;
};

// The host side of a plug-in start: a menu manager, the bundle, and a run
// loop left clean afterwards.
class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setBundleResourcesPath(resources());
    setMenuManager(std::make_unique<MenuManager>());
    formerWorkspace_ = setWorkspace(std::make_unique<RecordingWorkspace>());
    RunLoop::main().removeAllTimers();
  }
  void TearDown() override {
    RunLoop::main().removeAllTimers();
    releaseStrings();
    setMenuManager(nullptr);
    setWorkspace(std::move(formerWorkspace_));
    setBundleResourcesPath("");
  }

  std::unique_ptr<Workspace> formerWorkspace_;
};

TEST_F(StartupTest, StartsInOrderAndPlacesTheMenuFromItsTimer) {
  TempHome home;
  test::writeFile(home.documents() / "Tamrisk" / "Korvex.txt", "a line of the former run\n");
  test::writeFile(home.dataHome() / "Korvex" / "Collect.plist", "user edit");
  test::writeFile(home.dataHome() / "Tamrisk" / "Korvex.plist",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                  "<key>Hotfolder</key><string>/nowhere</string></dict></plist>\n");

  MyStartupShutdown service;
  service.Startup();

  ASSERT_NE(prefs(), nullptr);
  EXPECT_EQ(prefs()->hotFolder(), "/nowhere");
  std::string log = test::readFile(home.documents() / "Tamrisk" / "Korvex.txt");
  EXPECT_EQ(log.find("former run"), std::string::npos);
  EXPECT_NE(log.find(": Korvex 3.02, CS6\n"), std::string::npos);
  for (const char* name :
       {"AddLinks.plist", "Bildaktualisierung.plist", "PNTrennung.plist", "Schnappi.plist", "PDF.plist"}) {
    EXPECT_TRUE(fs::exists(home.dataHome() / "Korvex" / name)) << name;
  }
  EXPECT_EQ(test::readFile(home.dataHome() / "Korvex" / "Collect.plist"), "user edit");

  // The menu timer (1 s) and the hot folder's first scan (5 s).
  EXPECT_EQ(RunLoop::main().pendingTimers(), 2u);
  EXPECT_TRUE(menuSetupPending());
  EXPECT_TRUE(menuManager()->empty());
  auto due = *RunLoop::main().nextFireDate() - RunLoop::Clock::now();
  EXPECT_GT(due, std::chrono::milliseconds(500));
  EXPECT_LE(due, std::chrono::milliseconds(1000));

  RunLoop::main().runUntil(RunLoop::Clock::now() + std::chrono::milliseconds(1500));
  EXPECT_EQ(menuManager()->entries().size(), 16u);
  EXPECT_FALSE(menuSetupPending());
  EXPECT_FALSE(installPendingMenu());
  EXPECT_EQ(menuManager()->entries().size(), 16u);
  service.Shutdown();
}

TEST_F(StartupTest, MenuPlacedEarlyIsNotPlacedAgainByItsTimer) {
  TempHome home;
  MyStartupShutdown service;
  service.Startup();
  EXPECT_TRUE(installPendingMenu());
  EXPECT_EQ(menuManager()->entries().size(), 16u);
  RunLoop::main().runUntil(RunLoop::Clock::now() + std::chrono::milliseconds(1200));
  EXPECT_EQ(menuManager()->entries().size(), 16u);
  service.Shutdown();
  // After shutdown a pending menu is never placed.
  service.Startup();
  service.Shutdown();
  EXPECT_FALSE(installPendingMenu());
}

TEST_F(StartupTest, InterfaceLanguageChoosesTheStringTable) {
  EXPECT_EQ(languageCodeForLocale(3), kLanguageGerman);
  EXPECT_EQ(languageCodeForLocale(0), kLanguageEnglish);
  EXPECT_EQ(languageCodeForLocale(1), kLanguageEnglish);
  EXPECT_EQ(languageCodeForLocale(4), kLanguageEnglish);

  TempHome home;
  {
    test::ScopedEnv language("LANGUAGE", "de_DE");
    MyStartupShutdown().Startup();
    EXPECT_EQ(stringForKey("About"), "Über Korvex");
  }
  {
    test::ScopedEnv language("LANGUAGE", "fr_FR");
    MyStartupShutdown().Startup();
    EXPECT_EQ(stringForKey("About"), "About Korvex");
  }
  releaseStrings();
}

struct Placed {
  ActionID action;
  const char* path;
  double position;
};

TEST_F(StartupTest, MenuLayoutIsPlacedInOrder) {
  setupMenuItems();
  const Placed expected[] = {
      {kInvalidActionID, "Main:MM:", 119},
      {673681, "Main:MM", 1},
      {0, "Main:MM:-", 11},
      {673685, "Main:MM", 12},
      {673686, "Main:MM", 13},
      {673687, "Main:MM", 14},
      {673688, "Main:MM", 15},
      {673693, "Main:MM", 16},
      {kInvalidActionID, "Main:MM:Zaro:", 21},
      {673691, "Main:MM:Zaro", 22},
      {673692, "Main:MM:Zaro", 23},
      {673694, "Main:MM", 24},
      {673695, "Main:MM", 25},
      {0, "Main:MM:-", 31},
      {673683, "Main:MM", 32},
      {673689, "Main:MM", 34},
  };
  const auto& entries = menuManager()->entries();
  ASSERT_EQ(entries.size(), std::size(expected));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].action, expected[i].action) << i;
    EXPECT_EQ(entries[i].path, expected[i].path) << i;
    EXPECT_EQ(entries[i].position, expected[i].position) << i;
  }
  auto sorted = menuManager()->entriesByPosition();
  EXPECT_EQ(sorted.front().action, korvexActionID(1));
  EXPECT_EQ(sorted[sorted.size() - 2].action, korvexActionID(9));
  EXPECT_EQ(sorted.back().path, "Main:MM:");

  // A host without a menu manager gets no menu, and no failure.
  setMenuManager(nullptr);
  setupMenuItems();
  EXPECT_EQ(menuManager(), nullptr);
}

TEST_F(StartupTest, DoActionRunsOnlyTheCommandsOfTheBlock) {
  TempHome home;
  MyStartupShutdown().Startup();
  std::vector<std::string> alerts;
  auto former = setDialogBackend(std::make_unique<RecordingDialogs>(&alerts));
  auto* recorder = static_cast<RecordingWorkspace*>(workspace());

  MyAction action;
  for (ActionID id : {kKorvexActionBase - 1, kKorvexActionBase + 2, kKorvexActionBase + 4,
                      kKorvexActionBase + 10, kKorvexActionBase + 16, ActionID{0}}) {
    EXPECT_EQ(action.DoAction({}, id), ActionResult::NoCommand) << id;
  }
  EXPECT_TRUE(alerts.empty());
  EXPECT_TRUE(recorder->opened().empty());

  // Without a document a workflow's command opens its action file for editing.
  EXPECT_EQ(action.DoAction({}, korvexActionID(6)), ActionResult::Ran);
  EXPECT_TRUE(alerts.empty());
  ASSERT_EQ(recorder->opened().size(), 1u);
  EXPECT_EQ(fs::path(recorder->opened()[0]).filename(), "PNTrennung.plist");

  EXPECT_EQ(action.DoAction({}, korvexActionID(0)), ActionResult::Ran);
  EXPECT_EQ(action.DoAction({}, korvexActionID(9)), ActionResult::Ran);
  ASSERT_EQ(alerts.size(), 2u);
  EXPECT_EQ(alerts[0].rfind("Korvex 3.02", 0), 0u) << alerts[0];

  EXPECT_EQ(action.DoAction({}, korvexActionID(3)), ActionResult::Ran);
  ASSERT_EQ(recorder->opened().size(), 2u);
  EXPECT_EQ(recorder->opened()[1], prefs()->path());

  EXPECT_EQ(menuCommandNamed("zaro2"), menuCommandForOffset(12));
  EXPECT_EQ(menuCommandNamed("12"), menuCommandForOffset(12));
  EXPECT_EQ(menuCommandNamed("2"), nullptr);
  EXPECT_EQ(menuCommandNamed(""), nullptr);
  EXPECT_EQ(menuCommandNamed("12x"), nullptr);
  setDialogBackend(std::move(former));
  releaseStrings();
}

}  // namespace
}  // namespace korvex
