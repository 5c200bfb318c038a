#include "dialogs/run_loop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace korvex {
namespace {

using namespace std::chrono_literals;

class RunLoopTest : public ::testing::Test {
 protected:
  void SetUp() override { RunLoop::main().removeAllTimers(); }
  void TearDown() override { RunLoop::main().removeAllTimers(); }
};

void appendA(void* trace) {
  *static_cast<std::string*>(trace) += "a";
}
void appendB(void* trace) {
  *static_cast<std::string*>(trace) += "b";
}

TEST_F(RunLoopTest, TimersFireOnceInTheOrderTheyFallDue) {
  std::string trace;
  runTimerProc(appendB, 0.03f, &trace);
  runTimerProc(appendA, 0.01f, &trace);
  runTimerProc(appendA, 0.01f, &trace);
  EXPECT_EQ(RunLoop::main().runDueTimers(), 0u);
  EXPECT_EQ(RunLoop::main().pendingTimers(), 3u);
  RunLoop::main().run();
  EXPECT_EQ(trace, "aab");
  EXPECT_EQ(RunLoop::main().pendingTimers(), 0u);
}

TEST_F(RunLoopTest, TimersWaitWhileAModalSessionIsUp) {
  std::string trace;
  runTimerProc(appendA, 0.0f, &trace);
  {
    ModalSession modal;
    RunLoop::main().run();
    EXPECT_EQ(RunLoop::main().runDueTimers(), 0u);
    EXPECT_EQ(trace, "");
  }
  RunLoop::main().run();
  EXPECT_EQ(trace, "a");
}

TEST_F(RunLoopTest, ReArmingTimersRunRoundByRoundUntilStoppedOrTheDeadline) {
  int scans = 0;
  std::function<void()> scan = [&] {
    ++scans;
    if (scans == 3) RunLoop::main().stop();
    RunLoop::main().addTimer(0ms, scan);
  };
  RunLoop::main().addTimer(0ms, scan);
  EXPECT_EQ(RunLoop::main().runDueTimers(), 1u);
  EXPECT_EQ(scans, 1);
  RunLoop::main().run();
  EXPECT_EQ(scans, 3);
  EXPECT_EQ(RunLoop::main().pendingTimers(), 1u);

  auto start = RunLoop::Clock::now();
  RunLoop::main().removeAllTimers();
  std::string trace;
  runTimerProc(appendA, 10.0f, &trace);
  RunLoop::main().runUntil(start + 20ms);
  EXPECT_EQ(trace, "");
  EXPECT_GE(RunLoop::Clock::now() - start, 20ms);
}

TEST_F(RunLoopTest, OddDelaysFireAtTheNextRun) {
  std::string trace;
  runTimerProc(appendA, -5.0f, &trace);
  runTimerProc(appendB, std::nanf(""), &trace);
  runTimerProc(nullptr, 0.0f, &trace);
  EXPECT_EQ(RunLoop::main().pendingTimers(), 2u);
  EXPECT_EQ(RunLoop::main().runDueTimers(), 2u);
  EXPECT_EQ(trace, "ab");
  runTimerProc(appendA, 1e30f, &trace);
  ASSERT_TRUE(RunLoop::main().nextFireDate());
  EXPECT_GT(*RunLoop::main().nextFireDate(), RunLoop::Clock::now() + 24h);
}

}  // namespace
}  // namespace korvex
