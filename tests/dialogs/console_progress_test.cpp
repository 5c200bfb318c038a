#include "dialogs/console_progress.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "dialogs/run_loop.h"

namespace korvex {
namespace {

std::string readAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char buffer[256];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, n);
  return text;
}

TEST(ConsoleProgress, LinesWhenNotATerminalAndAModalSessionMeanwhile) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  {
    ConsoleProgress progress(out);
    progress.begin(2);
    EXPECT_TRUE(RunLoop::main().isModal()) << "timers wait while the run is up";
    progress.setLabel(0, "a.indd");
    progress.setLabel(1, "b.indd");
    progress.end();
    EXPECT_FALSE(RunLoop::main().isModal());
  }
  EXPECT_EQ(readAll(out), "[1/2] a.indd\n[2/2] b.indd\n");
  std::fclose(out);
}

TEST(ConsoleProgress, InterruptCancelsInsteadOfEndingTheProcess) {
  InterruptCancels::reset();
  ConsoleProgress progress(nullptr);
  {
    InterruptCancels guard;
    EXPECT_TRUE(progress.runModalSession());
    std::raise(SIGINT);
    EXPECT_TRUE(InterruptCancels::cancelled());
    EXPECT_FALSE(progress.runModalSession());
  }
  InterruptCancels::reset();
  EXPECT_TRUE(progress.runModalSession());
}

}  // namespace
}  // namespace korvex
