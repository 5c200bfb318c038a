#include "actions/script_and_save.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "docmodel/documents.h"
#include "foundation/log.h"
#include "host/script_runner.h"
#include "host/session.h"
#include "run/run_values.h"
#include "support/plugin_test.h"

namespace korvex {
namespace {

// Runs ".sh" files and answers the error code it was given.
class FakeRunner : public IScriptRunner {
 public:
  explicit FakeRunner(ErrorCode result, std::vector<std::string>* ran) : result_(result), ran_(ran) {}
  std::string name() const override { return "fake"; }
  bool CanHandleFile(const IDFile& file) const override { return file.path().ends_with(".sh"); }
  ErrorCode RunFile(const IDFile& file, const RunScriptParams&) override {
    ran_->push_back(file.path());
    return result_;
  }

 private:
  ErrorCode result_;
  std::vector<std::string>* ran_;
};

class ScriptAndSave : public test::PluginTest {
 protected:
  static DictPtr jsx(const std::optional<std::string>& path) {
    auto action = Dictionary::make();
    action->set("Action", "JSX");
    if (path) action->set("Path", *path);
    return action;
  }
};

TEST_F(ScriptAndSave, ScriptNeedsAFileAndARunner) {
  std::vector<std::string> ran;
  std::string script = (home.scratch() / "fix.sh").string();
  std::string other = (home.scratch() / "fix.py").string();
  test::writeFile(script, "exit 0");
  test::writeFile(other, "pass");

  EXPECT_FALSE(doJavaScript(jsx(std::nullopt)));
  EXPECT_FALSE(doJavaScript(jsx(script)));  // no runner installed at all
  EXPECT_EQ(logText(), "");                 // both fail without a word

  GetExecutionContextSession()->services().add(ServiceKind::ScriptRunner,
                                               std::make_unique<FakeRunner>(0, &ran));
  EXPECT_FALSE(doJavaScript(jsx(other)));  // no runner for this type
  EXPECT_FALSE(doJavaScript(jsx((home.scratch() / "missing.sh").string())));
  EXPECT_TRUE(doJavaScript(jsx(script)));
  EXPECT_EQ(ran, std::vector<std::string>{script});
  EXPECT_NE(logText().find("Korvex::RunScript: " + script + "\n"), std::string::npos);
}

TEST_F(ScriptAndSave, FailingScriptLogsItsError) {
  std::vector<std::string> ran;
  std::string script = (home.scratch() / "broken.sh").string();
  test::writeFile(script, "exit 3");
  GetExecutionContextSession()->services().add(ServiceKind::ScriptRunner,
                                               std::make_unique<FakeRunner>(7, &ran));
  EXPECT_FALSE(doJavaScript(jsx(script)));
  EXPECT_NE(logText().find("Korvex::\t####\terr = 7\n"), std::string::npos);
}

TEST_F(ScriptAndSave, SaveNeverFailsButAFailedSaveIsFlagged) {
  Application* app = GetExecutionContextSession()->application();
  IDocument* untitled = app->newDocument(DocumentSetup{}, true);
  ASSERT_NE(untitled, nullptr);
  MyDoc neverSaved(untitled);
  EXPECT_TRUE(saveDoc(neverSaved, Dictionary::make()));
  EXPECT_NE(logText().find("\t####\tsave failed"), std::string::npos);
  EXPECT_TRUE(getShowLog());

  std::string path = (home.scratch() / "Saved.indd").string();
  ASSERT_EQ(app->saveDocumentAs(untitled, path), 0);
  std::filesystem::remove(path);
  clearLog(0);
  MyDoc saved(untitled);
  EXPECT_TRUE(saveDoc(saved, Dictionary::make()));
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(logText(), "");
  EXPECT_FALSE(getShowLog());
}

}  // namespace
}  // namespace korvex
