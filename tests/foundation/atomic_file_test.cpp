#include "foundation/atomic_file.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>

#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Runs work in a child process whose files may not grow beyond limit bytes:
// a write past it kills the child (SIGXFSZ), as a kill mid-write would.
int statusOfChild(rlim_t limit, const std::function<bool()>& work) {
  pid_t pid = ::fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_DFL);
    const struct rlimit rl{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &rl);
    ::_exit(work() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

TEST(AtomicFile, LinksAreWrittenThroughAndOnlyRegularFilesReplaced) {
  test::TempHome home;
  const fs::path jobs = home.scratch() / "jobs", desk = home.scratch() / "desk";
  test::writeFile(jobs / "Job.indd", "old");
  ::chmod((jobs / "Job.indd").c_str(), 0640);
  fs::create_directories(desk);
  fs::create_symlink("../jobs/Job.indd", desk / "link.indd");
  fs::create_symlink(desk / "link.indd", desk / "link2.indd");

  ASSERT_FALSE(writeFileAtomically((desk / "link2.indd").string(), "new"));
  EXPECT_TRUE(fs::is_symlink(desk / "link.indd"));
  EXPECT_TRUE(fs::is_symlink(desk / "link2.indd"));
  EXPECT_EQ(test::readFile(jobs / "Job.indd"), "new");
  EXPECT_EQ(fs::status(jobs / "Job.indd").permissions(), fs::perms(0640));

  // A folder or a fifo at the end of the chain is not replaced by a file.
  fs::create_directories(jobs / "folder");
  ASSERT_EQ(::mkfifo((jobs / "fifo").c_str(), 0600), 0);
  fs::create_symlink("../jobs/fifo", desk / "fifo-link");
  EXPECT_EQ(writeFileAtomically((jobs / "folder").string(), "x"), notARegularFileError());
  EXPECT_EQ(writeFileAtomically((desk / "fifo-link").string(), "x"), notARegularFileError());
  EXPECT_TRUE(fs::is_fifo(jobs / "fifo"));
  EXPECT_EQ(entries(jobs), (std::vector<std::string>{"Job.indd", "fifo", "folder"}));
}

TEST(AtomicFile, LongNamesAndKilledWritersLeaveNoTemporariesBehind) {
  test::TempHome home;
  const fs::path folder = home.scratch() / "docs";
  const std::string longName = std::string(246, 'x') + ".indd";  // 251 bytes, under NAME_MAX
  const std::string big(1 << 20, 'b');
  for (auto write : {&writeFileAtomically, &detail::writeFileThroughTemporaryName}) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    ASSERT_FALSE(write((folder / longName).string(), "first")) << "creating a long name";
    ASSERT_FALSE(write((folder / longName).string(), "second")) << "replacing a long name";
    EXPECT_EQ(test::readFile(folder / longName), "second");
  }

  // The unnamed-file way leaves nothing when killed half-way.
  fs::remove_all(folder);
  test::writeFile(folder / "Job.indd", "old");
  int status = statusOfChild(4096, [&] { return !writeFileAtomically((folder / "Job.indd").string(), big); });
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
  EXPECT_EQ(entries(folder), std::vector<std::string>{"Job.indd"});
  EXPECT_EQ(test::readFile(folder / "Job.indd"), "old");

  // The named way leaves its temporary, which the next writer in that folder
  // removes; a temporary whose process still runs (pid 1) is left alone.
  status = statusOfChild(4096, [&] {
    return !detail::writeFileThroughTemporaryName((folder / "Job.indd").string(), big);
  });
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
  ASSERT_EQ(entries(folder).size(), 2u);
  EXPECT_EQ(entries(folder)[0].rfind(".korvex-tmp-", 0), 0u);
  test::writeFile(folder / ".korvex-tmp-1-0000abcd", "busy");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the next writer starts later
  status = statusOfChild(RLIM_INFINITY, [&] {
    return !detail::writeFileThroughTemporaryName((folder / "Other.indd").string(), "other");
  });
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(entries(folder), (std::vector<std::string>{".korvex-tmp-1-0000abcd", "Job.indd", "Other.indd"}));
  EXPECT_EQ(test::readFile(folder / "Job.indd"), "old");
}

}  // namespace
}  // namespace korvex
