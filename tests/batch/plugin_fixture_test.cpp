#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "batch_test_support.h"
#include "config/settings_store.h"
#include "dialogs/dialog_backend.h"
#include "dialogs/message_box.h"
#include "dialogs/run_loop.h"
#include "foundation/bundle.h"
#include "foundation/log.h"
#include "host/output/composer_layout.h"
#include "run/run_values.h"
#include "strings/string_table.h"

namespace korvex {
namespace {

using PluginFixture = test::BatchTest;

class SilentBackend : public DialogBackend {
 public:
  int runAlert(const AlertRequest&) override { return kAlertSecondButton; }
  void beep() override {}
};

TEST_F(PluginFixture, NothingATestChangesReachesTheNextTest) {
  const auto mine = [](const DictPtr&) { return true; };
  setShowLog(true);
  setSaveProject(true);
  setDstFolder("/elsewhere");
  newDoc(1);
  ErrorUtils::PMSetGlobalErrorCode(1);
  prefs()->options()->set("modifiedLinks", 2);
  MyLog("%@", "written");
  workspace().beep();
  setSilent(true);
  setMsg2("second line");
  setDialogBackend(std::make_unique<SilentBackend>());
  test::writeFile(home.scratch() / "table.xml", "<strings><yes>Ja</yes></strings>");
  ASSERT_TRUE(loadStringTable((home.scratch() / "table.xml").string()));
  setStringsAlertHandler([](const std::string&) {});
  setBundleResourcesPath("/elsewhere");
  installComposerLayout();
  RunLoop::main().addTimer(std::chrono::hours(1), [] {});
  setActionHandler("PDF", DictionaryHandler(mine));
  InterruptCancels::cancel();

  TearDown();
  SetUp();

  EXPECT_FALSE(getShowLog());
  EXPECT_FALSE(getSaveProject());
  EXPECT_EQ(getDstFolder(), std::nullopt);
  EXPECT_EQ(app().GetDocumentCount(), 0);
  EXPECT_EQ(ErrorUtils::PMGetGlobalErrorCode(), kSuccess);
  EXPECT_FALSE(prefs()->options()->contains("modifiedLinks"));
  EXPECT_EQ(logText(), "");
  EXPECT_EQ(workspace().beeps(), 0);
  EXPECT_FALSE(setSilent(false));
  EXPECT_EQ(msg2(), std::nullopt);
  EXPECT_NE(dynamic_cast<ConsoleDialogBackend*>(&dialogBackend()), nullptr);
  EXPECT_FALSE(hasStringTable());
  EXPECT_FALSE(setStringsAlertHandler(nullptr));
  EXPECT_NE(bundleResourcesPath(), "/elsewhere");
  EXPECT_EQ(textLayout(), nullptr);
  EXPECT_EQ(RunLoop::main().pendingTimers(), 0u);
  for (const ActionTableRow& row : actionTable()) {
    const auto* handler = std::get_if<DictionaryHandler>(&row.handler);
    EXPECT_FALSE(handler && handler->target<decltype(mine)>()) << row.name;
  }
  EXPECT_FALSE(InterruptCancels::cancelled());
}

}  // namespace
}  // namespace korvex
