#include "foundation/files.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <iterator>

#include "foundation/log.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setupLog(true, "Tamrisk");
    dir_ = home_.scratch().string();
  }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  std::string logText() const { return test::readFile(*getLogPath()); }
  static void setModTime(const std::string& p, time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
  }

  test::TempHome home_;
  std::string dir_;
};

TEST_F(FilesTest, ExistenceSizeAndDate) {
  test::writeFile(path("a.txt"), "12345");
  EXPECT_TRUE(pathExists(path("a.txt")));
  EXPECT_TRUE(pathIsFile(path("a.txt")));
  EXPECT_FALSE(pathIsFolder(path("a.txt")));
  EXPECT_TRUE(pathIsFolder(dir_));
  EXPECT_FALSE(pathIsFile(dir_));
  EXPECT_FALSE(pathExists(path("missing")));
  EXPECT_FALSE(pathIsFile(path("missing")));
  EXPECT_EQ(fileSizeForPath(path("a.txt")), 5u);
  EXPECT_EQ(fileSizeForPath(path("missing")), 0u);
  setModTime(path("a.txt"), 1700000000);
  EXPECT_EQ(modDateForPath(path("a.txt")), Date{1700000000});
  EXPECT_EQ(modDateForPath(path("missing")), std::nullopt);
}

TEST_F(FilesTest, ResolvePathFollowsLinksAndKeepsBrokenOnes) {
  test::writeFile(path("target.indd"), "x");
  fs::create_symlink("target.indd", path("alias"));
  fs::create_symlink(path("alias"), path("alias2"));
  fs::create_symlink("nowhere", path("broken"));
  EXPECT_EQ(resolvePath(path("alias")), path("target.indd"));
  EXPECT_EQ(resolvePath(path("alias2")), path("target.indd"));
  EXPECT_EQ(resolvePath(path("broken")), path("broken"));
  EXPECT_EQ(resolvePath(path("target.indd")), path("target.indd"));
  EXPECT_EQ(resolvePath(path("missing")), path("missing"));
  EXPECT_EQ(resolvePath(std::nullopt), std::nullopt);
}

TEST_F(FilesTest, CreateDir) {
  EXPECT_TRUE(createDir(path("x/y/z")));
  EXPECT_TRUE(pathIsFolder(path("x/y/z")));
  test::writeFile(path("file"), "");
  EXPECT_TRUE(createDir(path("file")));  // something exists there
  EXPECT_FALSE(createDir(path("file/sub")));
  EXPECT_NE(logText().find(path("file/sub") + ": "), std::string::npos);
  EXPECT_EQ(createDir(dir_, "Out"), path("Out"));
  EXPECT_TRUE(pathIsFolder(path("Out")));
  EXPECT_EQ(createDir(dir_, ""), dir_);
}

TEST_F(FilesTest, CopyFileSkipsTargetsWithTheSameModificationDate) {
  test::writeFile(path("src.txt"), "new");
  setModTime(path("src.txt"), 1700000000);
  EXPECT_TRUE(copyFile(path("src.txt"), path("dst.txt")));
  EXPECT_EQ(test::readFile(path("dst.txt")), "new");
  EXPECT_EQ(modDateForPath(path("dst.txt")), modDateForPath(path("src.txt")));
  // Second run: same date, nothing copied, false.
  test::writeFile(path("dst.txt"), "edited");
  setModTime(path("dst.txt"), 1700000000);
  EXPECT_FALSE(copyFile(path("src.txt"), path("dst.txt")));
  EXPECT_EQ(test::readFile(path("dst.txt")), "edited");
  // Another date: replaced.
  setModTime(path("dst.txt"), 1600000000);
  EXPECT_TRUE(copyFile(path("src.txt"), path("dst.txt")));
  EXPECT_EQ(test::readFile(path("dst.txt")), "new");
}

TEST_F(FilesTest, CopyFileIntoAFolder) {
  test::writeFile(path("src.txt"), "x");
  createDir(path("folder"));
  EXPECT_TRUE(copyFile(path("src.txt"), path("folder")));
  EXPECT_EQ(test::readFile(path("folder/src.txt")), "x");
  EXPECT_FALSE(copyFile(path("src.txt"), path("folder")));  // up to date now
}

TEST_F(FilesTest, CopyFileFailureIsLoggedAndLeavesTheTarget) {
  test::writeFile(path("dst.txt"), "keep");
  EXPECT_FALSE(copyFile(path("missing.txt"), path("dst.txt")));
  EXPECT_EQ(test::readFile(path("dst.txt")), "keep");
  EXPECT_NE(logText().find("::\t\t#### "), std::string::npos);
  // A folder at the target is left alone.
  test::writeFile(path("src.txt"), "x");
  test::writeFile(path("f/src.txt/inner"), "i");
  EXPECT_FALSE(copyFile(path("src.txt"), path("f")));
  EXPECT_EQ(test::readFile(path("f/src.txt/inner")), "i");
}

TEST_F(FilesTest, RemoveFile) {
  EXPECT_TRUE(removeFile(path("missing")));
  createDir(path("folder"));
  EXPECT_TRUE(removeFile(path("folder")));
  EXPECT_TRUE(pathIsFolder(path("folder")));
  test::writeFile(path("a"), "");
  EXPECT_TRUE(removeFile(path("a")));
  EXPECT_FALSE(pathExists(path("a")));
  if (::geteuid() != 0) {
    test::writeFile(path("locked/b"), "");
    ::chmod(path("locked").c_str(), 0500);
    EXPECT_FALSE(removeFile(path("locked/b")));
    EXPECT_NE(logText().find(path("locked/b") + ": "), std::string::npos);
    ::chmod(path("locked").c_str(), 0700);
  }
}

TEST_F(FilesTest, RemoveItemAtPath) {
  EXPECT_EQ(removeItemAtPath(path("missing")), std::nullopt);
  test::writeFile(path("tree/a/b"), "x");
  EXPECT_EQ(removeItemAtPath(path("tree")), std::nullopt);
  EXPECT_FALSE(pathExists(path("tree")));
  if (::geteuid() != 0) {
    test::writeFile(path("locked/b"), "");
    ::chmod(path("locked").c_str(), 0500);
    auto error = removeItemAtPath(path("locked/b"));
    ASSERT_TRUE(error);
    EXPECT_NE(logText().find(*error), std::string::npos);
    ::chmod(path("locked").c_str(), 0700);
  }
}

TEST_F(FilesTest, MoveAndCopyReplaceTheDestination) {
  test::writeFile(path("a.txt"), "A");
  test::writeFile(path("b.txt"), "B");
  EXPECT_TRUE(copyItemToPath(path("a.txt"), path("b.txt")));
  EXPECT_EQ(test::readFile(path("b.txt")), "A");
  EXPECT_EQ(test::readFile(path("a.txt")), "A");

  test::writeFile(path("c.txt"), "C");
  EXPECT_TRUE(moveItemToPath(path("c.txt"), path("b.txt")));
  EXPECT_EQ(test::readFile(path("b.txt")), "C");
  EXPECT_FALSE(pathExists(path("c.txt")));

  // A folder replaces a file and a file a full folder.
  test::writeFile(path("dir/x"), "x");
  EXPECT_TRUE(copyItemToPath(path("dir"), path("b.txt")));
  EXPECT_EQ(test::readFile(path("b.txt/x")), "x");
  test::writeFile(path("full/y"), "y");
  EXPECT_TRUE(moveItemToPath(path("a.txt"), path("full")));
  EXPECT_EQ(test::readFile(path("full")), "A");
  EXPECT_FALSE(pathExists(path("a.txt")));
}

TEST_F(FilesTest, FailedMoveOrCopyLeavesTheDestinationIntact) {
  test::writeFile(path("dst.txt"), "precious");
  EXPECT_FALSE(copyItemToPath(path("missing.txt"), path("dst.txt")));
  EXPECT_EQ(test::readFile(path("dst.txt")), "precious");
  EXPECT_FALSE(moveItemToPath(path("missing.txt"), path("dst.txt")));
  EXPECT_EQ(test::readFile(path("dst.txt")), "precious");
  if (::geteuid() != 0) {
    test::writeFile(path("secret.txt"), "s");
    ::chmod(path("secret.txt").c_str(), 0000);
    EXPECT_FALSE(copyItemToPath(path("secret.txt"), path("dst.txt")));
    EXPECT_EQ(test::readFile(path("dst.txt")), "precious");
    ::chmod(path("secret.txt").c_str(), 0600);
    // A folder whose content can't be read.
    test::writeFile(path("box/inner"), "i");
    ::chmod(path("box/inner").c_str(), 0000);
    EXPECT_FALSE(copyItemToPath(path("box"), path("dst.txt")));
    EXPECT_EQ(test::readFile(path("dst.txt")), "precious");
    ::chmod(path("box/inner").c_str(), 0600);
  }
  // Fails half-way, even for root: a folder holding a named pipe can't be copied.
  test::writeFile(path("pipebox/a"), "a");
  ASSERT_EQ(::mkfifo(path("pipebox/z-pipe").c_str(), 0600), 0);
  EXPECT_FALSE(copyItemToPath(path("pipebox"), path("dst.txt")));
  EXPECT_EQ(test::readFile(path("dst.txt")), "precious");
  EXPECT_TRUE(pathExists(path("pipebox/a")));
  // A move that the system refuses (a folder into itself) changes nothing.
  test::writeFile(path("self/sub/x"), "x");
  EXPECT_FALSE(moveItemToPath(path("self"), path("self/sub/x")));
  EXPECT_EQ(test::readFile(path("self/sub/x")), "x");
  // No staging leftovers beside the destination.
  for (const auto& entry : fs::directory_iterator(dir_))
    EXPECT_EQ(entry.path().filename().string().find(".korvex-"), std::string::npos) << entry.path();
  // The failures are logged.
  EXPECT_NE(logText().find("missing.txt"), std::string::npos);
}

TEST_F(FilesTest, FileObjectsGoIntoAFolderThatIsCreated) {
  test::writeFile(path("doc.indd"), "D");
  EXPECT_EQ(copyFileObject(path("doc.indd"), path("Out/Sub")), path("Out/Sub/doc.indd"));
  EXPECT_EQ(test::readFile(path("Out/Sub/doc.indd")), "D");
  test::writeFile(path("doc.indd"), "E");
  EXPECT_EQ(moveFileObject(path("doc.indd"), path("Out/Sub")), path("Out/Sub/doc.indd"));
  EXPECT_EQ(test::readFile(path("Out/Sub/doc.indd")), "E");
  EXPECT_FALSE(pathExists(path("doc.indd")));
  // The new path even after a failure.
  EXPECT_EQ(moveFileObject(path("doc.indd"), path("Out")), path("Out/doc.indd"));
  EXPECT_FALSE(pathExists(path("Out/doc.indd")));
}

TEST_F(FilesTest, CopiesKeepModificationTimesOfFoldersAndFiles) {
  test::writeFile(path("tree/sub/f"), "f");
  setModTime(path("tree/sub/f"), 1500000000);
  setModTime(path("tree/sub"), 1500000100);
  EXPECT_TRUE(copyItemToPath(path("tree"), path("copy")));
  EXPECT_EQ(modDateForPath(path("copy/sub/f")), Date{1500000000});
  EXPECT_EQ(modDateForPath(path("copy/sub")), Date{1500000100});
}

TEST_F(FilesTest, MoveThatKeepsTheOlderItemInTheTrash) {
  test::writeFile(path("a/Job.indd"), "first");
  test::writeFile(path("b/Job.indd"), "second");
  EXPECT_EQ(moveFileObject(path("a/Job.indd"), path("Out"), Replaced::ToTrash), path("Out/Job.indd"));
  EXPECT_EQ(moveFileObject(path("b/Job.indd"), path("Out"), Replaced::ToTrash), path("Out/Job.indd"));
  EXPECT_EQ(test::readFile(path("Out/Job.indd")), "second");
  EXPECT_EQ(test::readFile(home_.dataHome() / "Trash/files/Job.indd"), "first");
  EXPECT_NE(logText().find("::\tmoved to the Trash: " + path("Out/Job.indd") + "\n"), std::string::npos);
  // Onto itself: nothing goes to the Trash.
  EXPECT_TRUE(moveItemToPath(path("Out/Job.indd"), path("Out/Job.indd"), Replaced::ToTrash));
  EXPECT_EQ(test::readFile(path("Out/Job.indd")), "second");
  // A missing source trashes nothing.
  EXPECT_FALSE(moveItemToPath(path("gone.indd"), path("Out/Job.indd"), Replaced::ToTrash));
  EXPECT_EQ(test::readFile(path("Out/Job.indd")), "second");
}

// /dev/shm is a memory file system on Linux: a move from there crosses file systems.
TEST_F(FilesTest, MoveAcrossFileSystems) {
  struct stat shm {}, here {};
  if (::stat("/dev/shm", &shm) != 0 || ::stat(dir_.c_str(), &here) != 0 || shm.st_dev == here.st_dev ||
      ::access("/dev/shm", W_OK) != 0)
    GTEST_SKIP() << "no writable /dev/shm on another file system";
  const fs::path source = fs::path("/dev/shm") / ("korvex-files-test-" + std::to_string(::getpid()));
  test::writeFile(source / "Job.indd", "moved");
  test::writeFile(source / "Links/x.png", "x");
  test::writeFile(path("Out/Job.indd"), "older");
  std::string longName(250, 'L');
  test::writeFile(source / longName, "long");
  EXPECT_TRUE(moveItemToPath((source / "Job.indd").string(), path("Out/Job.indd"), Replaced::ToTrash));
  EXPECT_TRUE(moveItemToPath((source / "Links").string(), path("Out/Links")));
  EXPECT_TRUE(moveItemToPath((source / longName).string(), path(longName)));
  EXPECT_EQ(test::readFile(path("Out/Job.indd")), "moved");
  EXPECT_EQ(test::readFile(path("Out/Links/x.png")), "x");
  EXPECT_EQ(test::readFile(path(longName)), "long");
  EXPECT_EQ(test::readFile(home_.dataHome() / "Trash/files/Job.indd"), "older");
  EXPECT_TRUE(fs::is_empty(source));
  fs::remove_all(source);
  for (const auto& entry : fs::recursive_directory_iterator(dir_))
    EXPECT_EQ(entry.path().filename().string().find(".korvex-"), std::string::npos) << entry.path();
}

TEST_F(FilesTest, CopyKilledHalfWayLeavesNothingBesideTheDestination) {
  test::writeFile(path("big.indd"), std::string(1 << 20, 'b'));
  test::writeFile(path("Out/big.indd"), "older");
  pid_t pid = ::fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_DFL);
    const struct rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(copyItemToPath(path("big.indd"), path("Out/big.indd")) ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
  EXPECT_EQ(test::readFile(path("Out/big.indd")), "older");
  EXPECT_EQ(std::distance(fs::directory_iterator(path("Out")), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace korvex
