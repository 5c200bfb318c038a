#include "foundation/workspace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "foundation/log.h"
#include "platform/recording_workspace.h"
#include "platform/xdg_workspace.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

// Installs a recording workspace for one test and removes it afterwards.
class WorkspaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto owned = std::make_unique<RecordingWorkspace>();
    recorder_ = owned.get();
    previous_ = setWorkspace(std::move(owned));
  }
  void TearDown() override { setWorkspace(std::move(previous_)); }

  test::TempHome home_;
  RecordingWorkspace* recorder_ = nullptr;
  std::unique_ptr<Workspace> previous_;
};

TEST_F(WorkspaceTest, OpenDocWithPathTakesTheDefaultApplicationOfTheExtension) {
  recorder_->setDefaultApplication("pdf", "org.gnome.Evince.desktop");
  recorder_->setDefaultApplication("txt", "org.gnome.TextEditor.desktop");
  EXPECT_TRUE(openDocWithPath("/x/a.pdf"));
  EXPECT_TRUE(openDocWithPath("/x/Korvex.log"));
  using R = RecordingWorkspace::Request;
  EXPECT_EQ(recorder_->requests(), (std::vector<R>{{"/x/a.pdf", "org.gnome.Evince.desktop"},
                                                   {"/x/Korvex.log", "org.gnome.TextEditor.desktop"}}));
}

TEST_F(WorkspaceTest, FallbackApplicationIsTextEdit) {
  EXPECT_EQ(appNameForFileExtension("indd", "txt", "TextEdit"), "TextEdit");
  EXPECT_TRUE(openDocWithPath("/x/a.unknown"));
  ASSERT_EQ(recorder_->requests().size(), 1u);
  EXPECT_EQ(recorder_->requests()[0].application, "TextEdit");
}

TEST_F(WorkspaceTest, OpenDocWithAppUsesTheNamedApplication) {
  EXPECT_TRUE(openDocWithApp("/x/a.indd", std::string("korvex-gui"), true));
  EXPECT_EQ(recorder_->requests().back().application, "korvex-gui");
}

TEST_F(WorkspaceTest, BeepGoesThroughTheWorkspace) {
  beep();
  beep();
  EXPECT_EQ(recorder_->beeps(), 2);
}

TEST(NoWorkspace, NothingIsLaunchedAndTheRequestIsLogged) {
  test::TempHome home;
  setupLog(true, "Tamrisk");
  auto previous = setWorkspace(nullptr);
  EXPECT_FALSE(openDocWithPath("/x/a.pdf"));
  EXPECT_EQ(appNameForFileExtension("pdf", "txt", "TextEdit"), "TextEdit");
  beep();  // no terminal in tests: nothing to see, nothing to crash
  EXPECT_NE(test::readFile(*getLogPath()).find("no workspace to open /x/a.pdf"), std::string::npos);
  setWorkspace(std::move(previous));
}

TEST(XdgWorkspace, MimeTypesComeFromTheGlobsFiles) {
  test::TempHome home;
  test::writeFile(home.dataHome() / "mime/globs2",
                  "# comment\n50:application/x-korvex-doc:*.kxd\n60:application/x-korvex-other:*.kxd\n"
                  "50:text/x-exact:*.KXE:cs\n");
  EXPECT_EQ(XdgWorkspace::mimeTypeForExtension("kxd"), "application/x-korvex-other");
  EXPECT_EQ(XdgWorkspace::mimeTypeForExtension("KXD"), "application/x-korvex-other");
  EXPECT_EQ(XdgWorkspace::mimeTypeForExtension("KXE"), "text/x-exact");
  EXPECT_EQ(XdgWorkspace::mimeTypeForExtension("pdf"), "application/pdf");
  EXPECT_EQ(XdgWorkspace::mimeTypeForExtension(""), std::nullopt);
}

// Runs with PATH pointing at a folder of our own, so no desktop program can start.
class XdgSpawnTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* path = std::getenv("PATH");
    savedPath_ = path ? path : "";
    bin_ = (home_.scratch() / "bin").string();
    std::filesystem::create_directories(bin_);
    setenv("PATH", bin_.c_str(), 1);
    setupLog(true, "Tamrisk");
  }
  void TearDown() override { setenv("PATH", savedPath_.c_str(), 1); }
  void addProgram(const std::string& name, const std::string& script) {
    auto file = std::filesystem::path(bin_) / name;
    test::writeFile(file, "#!/bin/sh\n" + script + "\n");
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);
  }

  test::TempHome home_;
  std::string savedPath_;
  std::string bin_;
};

TEST_F(XdgSpawnTest, MissingToolsAnswerFalseAndLog) {
  XdgWorkspace workspace;
  EXPECT_FALSE(workspace.openPath("/x/a.pdf", std::nullopt));
  EXPECT_FALSE(workspace.openPath("/x/a.pdf", std::string("no-such-program")));
  EXPECT_EQ(workspace.defaultApplicationForExtension("pdf"), std::nullopt);
  EXPECT_NE(test::readFile(*getLogPath()).find("cannot open /x/a.pdf"), std::string::npos);
}

TEST_F(XdgSpawnTest, StartsTheNamedProgramWithThePath) {
  auto marker = home_.scratch() / "opened";
  // Written aside and renamed, so the test never reads a half-written marker.
  addProgram("fake-viewer", "echo \"$1\" > '" + marker.string() + ".part' && /bin/mv '" + marker.string() +
                                ".part' '" + marker.string() + "'");
  {
    XdgWorkspace workspace;
    EXPECT_TRUE(workspace.openPath("/x/a b.pdf", std::string("fake-viewer")));
    for (int i = 0; i < 1000 && !std::filesystem::exists(marker); ++i) usleep(10000);
  }
  EXPECT_EQ(test::readFile(marker), "/x/a b.pdf\n");
}

TEST_F(XdgSpawnTest, DefaultApplicationFromXdgMime) {
  addProgram("xdg-mime",
             "[ \"$1 $2 $3\" = 'query default application/pdf' ] && echo org.example.Viewer.desktop");
  XdgWorkspace workspace;
  EXPECT_EQ(workspace.defaultApplicationForExtension("pdf"), "org.example.Viewer.desktop");
  EXPECT_EQ(workspace.defaultApplicationForExtension("txt"), std::nullopt);
}

}  // namespace
}  // namespace korvex
