#include "foundation/trash.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "foundation/log.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

// The Trash is the one file managers restore from: the file and its
// .trashinfo with the original path, under the home's data folder.
TEST(Trash, ReplacedFileGoesToTheHomeTrashAndTheLogSaysSo) {
  test::TempHome home;
  setupLog(true, "Tamrisk");
  const fs::path older = home.scratch() / "Out" / "Job.indd";
  test::writeFile(older, "the only copy");

  ASSERT_TRUE(moveAsideToTrash(older.string()));
  EXPECT_FALSE(fs::exists(older));
  const fs::path trash = home.dataHome() / "Trash";
  EXPECT_EQ(test::readFile(trash / "files" / "Job.indd"), "the only copy");
  EXPECT_NE(test::readFile(trash / "info" / "Job.indd.trashinfo").find("Path=" + older.string()),
            std::string::npos);
  EXPECT_NE(test::readFile(*getLogPath()).find("Korvex::\tmoved to the Trash: " + older.string() + "\n"),
            std::string::npos);

  // Nothing there, or the newcomer itself: nothing to do.
  EXPECT_TRUE(moveAsideToTrash(older.string()));
  test::writeFile(older, "new");
  EXPECT_TRUE(moveAsideToTrash(older.string(), older.string()));
  EXPECT_EQ(test::readFile(older), "new");
  setLogging(false, false);
}

}  // namespace
}  // namespace korvex
