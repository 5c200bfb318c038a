#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "foundation/log.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { setLogging(false, false); }
  void TearDown() override { setLogging(false, false); }
  std::string logText() const { return test::readFile(*getLogPath()); }
  test::TempHome home;
};

const std::regex kHeader(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d: Korvex 3\.02, CS6\n)");
const std::regex kMessage(R"(\d\d:\d\d:\d\d:\d{3}: Korvex::(.*)\n)");

TEST_F(LogTest, SetupCreatesFolderAndWritesOnlyTheHeader) {
  MyLog("before setup");  // nothing is written before the log exists
  setupLog(true, "Tamrisk");
  auto path = home.documents() / "Tamrisk" / "Korvex.txt";
  EXPECT_EQ(*getLogPath(), path.string());
  EXPECT_TRUE(std::regex_match(logText(), kHeader)) << logText();

  MyLog("action: %@", Value("PDF"));
  dprintf("%s %d", "n", 3);
  const char* missing = nullptr;
  MyLog(missing);
  logError(0);
  logError(-1);
  std::string text = logText();
  auto firstBreak = text.find('\n');
  std::string rest = text.substr(firstBreak + 1);
  std::smatch m;
  std::vector<std::string> messages;
  for (auto it = rest.cbegin(); std::regex_search(it, rest.cend(), m, kMessage,
                                                  std::regex_constants::match_continuous);
       it = m.suffix().first)
    messages.push_back(m[1]);
  EXPECT_EQ(messages, (std::vector<std::string>{"action: PDF", "n 3", "err: -1"}));
}

TEST_F(LogTest, KeepingOldContentAddsSeparatorUnlessTooLarge) {
  auto path = home.documents() / "Tamrisk" / "Korvex.txt";
  test::writeFile(path, std::string(10000, 'a'));
  setupLog(false, "Tamrisk");
  std::string text = logText();
  ASSERT_GT(text.size(), 10000u + 74u);
  EXPECT_EQ(text.substr(10000, 74), std::string(73, '-') + "\n");
  EXPECT_TRUE(std::regex_match(text.substr(10074), kHeader));

  test::writeFile(path, std::string(10001, 'a'));
  setupLog(false, "Tamrisk");
  EXPECT_TRUE(std::regex_match(logText(), kHeader));
  EXPECT_FALSE(clearLog(1000));
  EXPECT_TRUE(clearLog(0));
  EXPECT_EQ(logText(), "");
}

TEST_F(LogTest, RectanglesInPointsAndMillimetres) {
  setupLog(true, "Tamrisk");
  clearLog(0);
  logRect(72, 144, 36, 0, true);
  logRect(1.25f, 2, 3, 4, false);
  logRect(10.0, 20.0, 110.0, 70.0, "frame");
  auto rects = Array::make({Value(Array::make({72, 0, 0, 72})), Value(Array::make()),
                            Value("{{72, 72}, {144, 36}}")});
  logRects(Value(rects), true);
  log(1234, "uid");
  std::string text = logText();
  std::vector<std::string> messages;
  std::smatch m;
  for (auto it = text.cbegin(); std::regex_search(it, text.cend(), m, kMessage); it = m.suffix().first)
    messages.push_back(m[1]);
  EXPECT_EQ(messages, (std::vector<std::string>{"25.4 50.8 12.7 0.0", "1.2 2.0 3.0 4.0", "frame: 10.0 20.0 100.0 50.0",
                                                "25.4 0.0 0.0 25.4", "0.0 0.0 0.0 0.0", "25.4 25.4 50.8 12.7",
                                                "uid: 1234"}));
}

TEST_F(LogTest, ConsoleSwitchAndLostFolder) {
  setupLog(true, "Tamrisk");
  EXPECT_FALSE(setConsole(false));
  testing::internal::CaptureStdout();
  MyLog1("to both %d", 1);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(std::regex_match(out, kMessage)) << out;
  EXPECT_FALSE(setConsole(false));  // restored

  // A removed folder drops lines silently; nothing is recreated behind the user's back.
  std::filesystem::remove_all(home.documents() / "Tamrisk");
  MyLog("lost");
  EXPECT_FALSE(std::filesystem::exists(*getLogPath()));
}

}  // namespace
}  // namespace korvex
