#include "dialogs/message_box.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "dialogs/dialog_backend.h"
#include "dialogs/modal_dialog_state.h"
#include "foundation/log.h"
#include "strings/string_table.h"
#include "strings/strings_alert.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

// Records every request and answers with a scripted button.
class RecordingBackend : public DialogBackend {
 public:
  struct Record {
    std::vector<AlertRequest> alerts;
    int beeps = 0;
    int cursorSuspended = 0;
    int answer = kAlertFirstButton;
  };
  explicit RecordingBackend(Record& record) : record_(record) {}
  int runAlert(const AlertRequest& request) override {
    record_.alerts.push_back(request);
    return record_.answer;
  }
  void beep() override { ++record_.beeps; }
  void suspendCursorTracking() override { ++record_.cursorSuspended; }
  void resumeCursorTracking() override { --record_.cursorSuspended; }

 private:
  Record& record_;
};

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    releaseStrings();
    setMsg2(std::nullopt);
    setSilent(false);
    setDialogBackend(std::make_unique<RecordingBackend>(record_));
  }
  void TearDown() override {
    setDialogBackend(nullptr);
    setStringsAlertHandler(nullptr);
    setSilent(false);
    releaseStrings();
  }
  void loadTable(const std::string& xml) {
    std::filesystem::path table = home_.scratch() / "table.xml";
    test::writeFile(table, xml);
    ASSERT_TRUE(loadStringTable(table.string()));
  }

  test::TempHome home_;
  RecordingBackend::Record record_;
};

TEST_F(MessageBoxTest, KeysAreLookedUpAndUsedAsFormats) {
  loadTable("<strings><about>%@ Version %@</about><yes>Ja</yes><no>Nein</no></strings>");
  EXPECT_EQ(msgBox("about", "Korvex", "3.02"), kAlertFirstButton);
  // A key without entry is the format itself; a std::string is never looked up.
  msgBox("missing %d", 7);
  msgBox(std::string("about"));
  ASSERT_EQ(record_.alerts.size(), 3u);
  EXPECT_EQ(record_.alerts[0].message, "Korvex Version 3.02");
  EXPECT_EQ(record_.alerts[0].title, "Korvex");
  EXPECT_TRUE(record_.alerts[0].buttons.empty());
  EXPECT_EQ(record_.alerts[1].message, "missing 7");
  EXPECT_EQ(record_.alerts[2].message, "about");
  EXPECT_EQ(record_.beeps, 3);

  record_.answer = kAlertFirstButton;
  EXPECT_TRUE(msgBoxYesNo("about", "a", "b"));
  EXPECT_EQ(record_.alerts.back().buttons, (std::vector<std::string>{"Ja", "Nein"}));
  record_.answer = kAlertSecondButton;
  EXPECT_FALSE(msgBoxYesNo("about", "a", "b"));
  // Untranslated button titles are their keys.
  EXPECT_FALSE(msgBoxOkCancel("about", "a", "b"));
  EXPECT_EQ(record_.alerts.back().buttons, (std::vector<std::string>{"ok", "cancel"}));
  record_.answer = kAlertThirdButton;
  EXPECT_EQ(msgBoxYesNoCancel("about", "a", "b"), kAlertThirdButton);
  EXPECT_EQ(record_.alerts.back().buttons.size(), 3u);
}

TEST_F(MessageBoxTest, SecondLineBelongsToExactlyOneAlert) {
  loadTable("<strings><invalidPathErr>Ungültiger Pfad</invalidPathErr><detail>Pfad: %@</detail></strings>");
  EXPECT_EQ(setMsg2("detail", "/x/y"), "Pfad: /x/y");
  msgBox("invalidPathErr");
  msgBox("invalidPathErr");
  ASSERT_EQ(record_.alerts.size(), 2u);
  EXPECT_EQ(record_.alerts[0].informativeText, "Pfad: /x/y");
  EXPECT_EQ(record_.alerts[1].informativeText, "");

  // The plain form keeps the text as it is, "%" included.
  setMsg2(std::string("100% /a"));
  msgBoxWithError(std::string("disk 50% full"));
  EXPECT_EQ(record_.alerts[2].message, "disk 50% full");
  EXPECT_EQ(record_.alerts[2].informativeText, "100% /a");
  msgBoxWithError(std::make_error_code(std::errc::permission_denied));
  EXPECT_EQ(record_.alerts[3].message, std::make_error_code(std::errc::permission_denied).message());
  msgBoxWithError(std::error_code());
  EXPECT_EQ(record_.alerts.size(), 4u);
}

TEST_F(MessageBoxTest, SilentModeLogsInsteadOfShowing) {
  setupLog(true, "Tamrisk");
  EXPECT_FALSE(setSilent(true));
  setMsg2(std::string("second"));
  EXPECT_TRUE(msgBoxYesNo("Really %@?", "delete"));
  msgBox(std::string("plain"));
  EXPECT_TRUE(setSilent(false));
  EXPECT_TRUE(record_.alerts.empty());
  EXPECT_EQ(record_.beeps, 0);
  std::string log = test::readFile(*getLogPath());
  EXPECT_NE(log.find("Really delete? (second)"), std::string::npos) << log;
  // The second line was used up by the first logged alert.
  EXPECT_NE(log.find("plain ((null))"), std::string::npos) << log;
  EXPECT_FALSE(msg2());
}

TEST_F(MessageBoxTest, MissingStringTableIsShownThroughTheAlerts) {
  installStringTableAlerts();
  setupStrings(kLanguageGerman, (home_.scratch() / "no-bundle").string());
  ASSERT_EQ(record_.alerts.size(), 1u);
  EXPECT_EQ(record_.alerts[0].message, "\tKorvex: gStrings = NULL!");
}

TEST_F(MessageBoxTest, ModalGuardSuspendsCursorTrackingAndReleasesItsObject) {
  auto object = std::make_shared<int>(1);
  std::weak_ptr<int> watch = object;
  {
    MyModalDialogState guard;
    guard.setObject(std::move(object));
    EXPECT_EQ(record_.cursorSuspended, 1);
    EXPECT_TRUE(RunLoop::main().isModal());
    EXPECT_FALSE(watch.expired());
  }
  EXPECT_EQ(record_.cursorSuspended, 0);
  EXPECT_FALSE(RunLoop::main().isModal());
  EXPECT_TRUE(watch.expired());
}

TEST(ConsoleBackend, PrintsMessageAndSecondLineAndAnswersTheDefaultButton) {
  setDialogBackend(nullptr);
  setSilent(false);
  setMsg2(std::string("/path/to/file"));
  testing::internal::CaptureStderr();
  int answer = msgBoxYesNoCancel("Replace %@?", "file");
  std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_EQ(answer, kAlertFirstButton);
  EXPECT_EQ(printed, "Replace file?\n/path/to/file\n");
}

}  // namespace
}  // namespace korvex
