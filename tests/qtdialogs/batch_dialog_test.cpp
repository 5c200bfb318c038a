// The batch dialog end to end, each scenario once on the scripted backend and
// once on the Qt backend (which plays the same events into real widgets):
// the dialog set up from the settings, its tabs turned into chains, the run
// with its progress window, the settings written and the log opened.

#include <gtest/gtest.h>

#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QTableWidget>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "batch/korvex_dialog.h"
#include "config/action_files.h"
#include "config/settings_store.h"
#include "dialogs/scripted_backend.h"
#include "docmodel/documents.h"
#include "foundation/bundle.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/log.h"
#include "foundation/property_list.h"
#include "qt_app.h"
#include "qtdialogs/qt_dialog_backend.h"
#include "run/run_values.h"
#include "strings/string_table.h"
#include "support/plugin_test.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

enum class Backend { Scripted, Qt };

void PrintTo(Backend backend, std::ostream* out) {
  *out << (backend == Backend::Qt ? "Qt" : "Scripted");
}

// Saves a picture of the first visible top-level window of that object name
// once ready() says it shows what it should; polled from the event loop the
// Qt backend's modal window runs.
class GrabWhenShown : public QObject {
 public:
  GrabWhenShown(QString name, fs::path file, std::function<bool(QWidget&)> ready)
      : name_(std::move(name)), file_(std::move(file)), ready_(std::move(ready)) {
    poll();
  }
  bool saved() const { return saved_; }

 private:
  void poll() {
    QTimer::singleShot(10, this, [this] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!saved_ && widget->isVisible() && widget->objectName() == name_ && ready_(*widget)) {
          fs::create_directories(file_.parent_path());
          saved_ = widget->grab().save(QString::fromStdString(file_.string()), "PNG");
        }
      }
      if (!saved_) poll();
    });
  }
  QString name_;
  fs::path file_;
  std::function<bool(QWidget&)> ready_;
  bool saved_ = false;
};

class BatchDialogScenario : public test::PluginTest, public ::testing::WithParamInterface<Backend> {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    test::qtApp();
    setBundleResourcesPath(KORVEX_SOURCE_DIR "/resources");
    setupStrings(kLanguageEnglish, KORVEX_SOURCE_DIR "/resources");
    setupActionsDir();
    dumps_ = std::tmpfile();
    ASSERT_NE(dumps_, nullptr);
  }
  void TearDown() override {
    setDialogBackend(nullptr);
    std::fclose(dumps_);
    PluginTest::TearDown();
  }
  // Installs the backend under test with the events.
  void play(const std::string& events) {
    test::writeFile(home.scratch() / "events.json", events);
    Result<UiScript> script = readUiScript((home.scratch() / "events.json").string());
    ASSERT_TRUE(script) << script.message();
    if (GetParam() == Backend::Scripted) {
      auto backend = std::make_unique<ScriptedDialogBackend>(std::move(*script), dumps_);
      scripted_ = backend.get();
      qt_ = nullptr;
      setDialogBackend(std::move(backend));
    } else {
      auto backend = std::make_unique<QtDialogBackend>(std::move(*script), dumps_);
      qt_ = backend.get();
      scripted_ = nullptr;
      setDialogBackend(std::move(backend));
    }
  }
  std::size_t unusedEvents() const { return scripted_ ? scripted_->unusedEvents() : qt_->unusedEvents(); }
  // Every event taken and no failure: the script ran as written.
  void expectScriptPlayed() {
    std::optional<Failure> failure = takeDialogFailure();
    EXPECT_FALSE(failure) << failure->message;
    EXPECT_EQ(unusedEvents(), 0u);
  }
  // The last dump, as the dialog showed itself at that moment.
  std::string lastDump() const {
    std::fflush(dumps_);
    std::rewind(dumps_);
    std::string text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, dumps_)) text.append(buffer, n);
    const std::size_t last = text.rfind("{\"window\"");
    return last == std::string::npos ? "" : text.substr(last);
  }
  // The settings as the file on disk holds them; null when there is none.
  static DictPtr settingsOnDisk() {
    std::optional<Value> value = readPropertyListFile(settingsFilePath());
    return value ? value->dictionary() : nullptr;
  }
  std::string doc(const std::string& name) { return makeDoc(name); }
  static std::string quoted(const std::string& path) { return "\"" + path + "\""; }
  std::size_t logCount(const std::string& text) const {
    const std::string log = logText();
    std::size_t count = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++count;
    return count;
  }

  std::FILE* dumps_ = nullptr;
  ScriptedDialogBackend* scripted_ = nullptr;
  QtDialogBackend* qt_ = nullptr;
};

TEST_P(BatchDialogScenario, PdfTabRunsTheListWritesTheSettingsAndShowLogOpensTheLog) {
  const std::string front = doc("Front.indd");
  const std::string second = doc("Second.indd");
  const std::string dropped = doc("Dropped.indd");
  const fs::path out = home.scratch() / "PDF out";
  fs::create_directories(out);
  // A saved document in front is listed when the dialog opens.
  const UIDRef opened = openDoc2(front, true);
  ASSERT_TRUE(opened.isValid());

  play(R"([
    {"event": "add", "paths": [)" +
       quoted(second) + ", " + quoted(second) + ", " + quoted(dropped) + R"(]},
    {"event": "set", "control": "_pathList", "value": )" +
       quoted(dropped) + R"(},
    {"event": "press", "control": "_rmvBtn"},
    {"event": "tab", "tab": "1"},
    {"event": "press", "control": "_pdfChooseBtn"},
    {"event": "choose", "paths": [)" +
       quoted(out.string()) + R"(]},
    {"event": "set", "control": "_pdfStylesBtn", "value": "[Smallest File Size]"},
    {"event": "set", "control": 14, "value": true},
    {"event": "dump"},
    {"event": "press", "control": "_okBtn"},
    {"event": "progress", "answer": "continue"},
    {"event": "progress", "answer": "continue"}])");
  std::unique_ptr<GrabWhenShown> grab;
  if (GetParam() == Backend::Qt) {
    // The picture in the documentation: the dialog with its list filled.
    grab = std::make_unique<GrabWhenShown>(
        "Batch", fs::path(KORVEX_BINARY_DIR) / "screenshots" / "batch-dialog.png", [](QWidget& window) {
          auto* list = window.findChild<QTableWidget*>("_pathList");
          return list && list->rowCount() == 2;
        });
  }
  doKorvex(nullptr);
  expectScriptPlayed();
  if (grab) {
    EXPECT_TRUE(grab->saved());
  }

  // The list as shown: the front document, the added one once, the removed one gone.
  const std::string dump = lastDump();
  EXPECT_NE(dump.find(R"("rows":[")" + front + R"(",")" + second + R"("])"), std::string::npos) << dump;
  EXPECT_NE(dump.find(R"("items":["PDF out",)"), std::string::npos) << dump;
  // Both documents exported; the one that was open stays open.
  EXPECT_EQ(test::readFile(out / "Front.pdf").rfind("%PDF", 0), 0u) << logText();
  EXPECT_EQ(test::readFile(out / "Second.pdf").rfind("%PDF", 0), 0u) << logText();
  EXPECT_FALSE(fs::exists(out / "Dropped.pdf"));
  EXPECT_TRUE(docForPath(front));
  // The chain heads the log, keys in byte order; nothing was flagged.
  EXPECT_NE(logText().find("Korvex::(\n    {\n        Action = PDF;\n        Folder = \"" + out.string() +
                           "\";\n        Show = 0;\n        Style = \"[Smallest File Size]\";\n    }\n)\n"),
            std::string::npos)
      << logText();
  EXPECT_EQ(logText().find("####"), std::string::npos) << logText();
  // The options ask for the log: it is opened through the workspace, with a beep.
  ASSERT_EQ(workspace().requests().size(), 1u);
  EXPECT_EQ(workspace().requests()[0].path, *getLogPath());
  EXPECT_EQ(workspace().beeps(), 1);

  // The settings file holds what OK stored.
  DictPtr saved = settingsOnDisk();
  ASSERT_TRUE(saved);
  EXPECT_EQ(stringForKey(saved, "Tab"), "1");
  const DictPtr pdf = dictForKey(saved, "PDF", false);
  EXPECT_EQ(stringForKey(pdf, "Action"), "PDF");
  EXPECT_EQ(stringForKey(pdf, "Style"), "[Smallest File Size]");
  EXPECT_EQ(stringForKey(pdf, "Folder"), out.string());
  EXPECT_EQ(integerForKey(dictForKey(saved, "Options", false), "showLog", -1), 1);
  EXPECT_EQ(integerForKey(dictForKey(saved, "Options", false), "modifiedLinks", -1), 1);
  closeDoc(opened);

  // The next dialog shows the stored options and tab; with the log option
  // off, a run that flags nothing leaves the log closed.
  workspace().clear();
  fs::remove(out / "Second.pdf");
  play(R"([
    {"event": "add", "paths": [)" +
       quoted(second) + R"(]},
    {"event": "dump"},
    {"event": "set", "control": 14, "value": false},
    {"event": "press", "control": "_okBtn"}])");
  doKorvex(nullptr);
  expectScriptPlayed();
  EXPECT_NE(lastDump().find(R"("name":"_showLogBtn","tag":14,"text":"Always show the log","state":1)"),
            std::string::npos)
      << lastDump();
  EXPECT_NE(lastDump().find(R"("selected":"[Smallest File Size]")"), std::string::npos) << lastDump();
  EXPECT_EQ(test::readFile(out / "Second.pdf").rfind("%PDF", 0), 0u) << logText();
  EXPECT_EQ(logText().find("####"), std::string::npos) << logText();
  EXPECT_TRUE(workspace().requests().empty());
  EXPECT_EQ(workspace().beeps(), 0);

  // OK with an empty list stores the tab's action and the options, and runs nothing.
  play(R"([
    {"event": "add", "paths": [)" +
       quoted(second) + R"(]},
    {"event": "press", "control": "_rmvAllBtn"},
    {"event": "tab", "tab": "5"},
    {"event": "set", "control": "_deleteImageLayerBtn", "value": true},
    {"event": "press", "control": "_okBtn"}])");
  doKorvex(nullptr);
  expectScriptPlayed();
  EXPECT_EQ(logText().find("LayerSeparation"), std::string::npos) << logText();
  saved = settingsOnDisk();
  EXPECT_EQ(stringForKey(saved, "Tab"), "5");
  const DictPtr separation = dictForKey(saved, "LayerSeparation", false);
  EXPECT_EQ(stringForKey(separation, "Action"), "LayerSeparation");
  EXPECT_EQ(integerForKey(separation, "deleteImageLayer", -1), 1);
  EXPECT_EQ(integerForKey(dictForKey(saved, "Options", false), "showLog", -1), 0);
  EXPECT_EQ(stringForKey(dictForKey(saved, "PDF", false), "Style"), "[Smallest File Size]")
      << "the PDF tab's action stays";
}

TEST_P(BatchDialogScenario, InvalidCollectFolderAlertsAndKeepsTheDialogOpen) {
  const std::string document = doc("Job.indd");
  const fs::path delivery = home.scratch() / "Delivery";
  fs::create_directories(delivery);
  // OK with a folder that is not there: the alert, the dialog stays up, and
  // Cancel leaves the settings as they were (no file at all).
  play(R"([
    {"event": "add", "paths": [)" +
       quoted(document) + R"(]},
    {"event": "tab", "tab": "2"},
    {"event": "set", "control": "_collectFolderField", "value": "/no/such/folder"},
    {"event": "press", "control": "_okBtn"},
    {"event": "alert", "button": 1},
    {"event": "dump"},
    {"event": "press", "control": "_cancelBtn"}])");
  doKorvex(nullptr);
  expectScriptPlayed();
  EXPECT_NE(lastDump().find(R"("text":"/no/such/folder")"), std::string::npos) << lastDump();
  EXPECT_FALSE(fs::exists(settingsFilePath()));
  EXPECT_EQ(logCount("Korvex::"), 1u) << "only \"runModal\": " << logText();
  EXPECT_TRUE(logHas("runModal"));

  // Chosen through its button, the folder is taken and the document delivered.
  play(R"([
    {"event": "add", "paths": [)" +
       quoted(document) + R"(]},
    {"event": "tab", "tab": "Collect"},
    {"event": "set", "control": "_collectFolderField", "value": "/no/such/folder"},
    {"event": "press", "control": "_okBtn"},
    {"event": "press", "control": "_collectChooseBtn"},
    {"event": "choose", "paths": [)" +
       quoted(delivery.string()) + R"(]},
    {"event": "set", "control": "_collectDocsBtn", "value": true},
    {"event": "press", "control": "_okBtn"},
    {"event": "progress", "answer": "continue"}])");
  doKorvex(nullptr);
  expectScriptPlayed();
  EXPECT_TRUE(fs::exists(delivery / "Job.indd")) << logText();
  const DictPtr collect = dictForKey(settingsOnDisk(), "Collect", false);
  EXPECT_EQ(stringForKey(collect, "Action"), "Collect");
  EXPECT_EQ(stringForKey(collect, "Folder"), delivery.string());
  EXPECT_EQ(integerForKey(collect, "Docs", -1), 1);
  EXPECT_EQ(integerForKey(collect, "Fonts", -1), 0);
  EXPECT_EQ(stringForKey(settingsOnDisk(), "Tab"), "2");
}

// The dialog with a hand in the actions folder: the edit button stands in
// for the user who saves a new action file while the dialog is up.
class EditingDialog : public KorvexDialog {
 public:
  using KorvexDialog::KorvexDialog;
  std::optional<int> performAction(Window& window, Control& sender) override {
    if (sender.action == "doActionEditBtn:")
      test::writeFile(fs::path(actionsPath()) / "Later.plist",
                      "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>");
    return KorvexDialog::performAction(window, sender);
  }
};

TEST_P(BatchDialogScenario, DropsTheActionsPopupAndACancelledRun) {
  const fs::path folder = home.scratch() / "Dropped";
  fs::create_directories(folder / "sub");
  fs::create_directories(home.scratch() / "Elsewhere");
  const std::string a = doc("Dropped/a.indd");
  const std::string upper = doc("Dropped/sub/B.INDD");
  const std::string sld = doc("Dropped/sub/c.sld");
  test::writeFile(folder / "notes.pdf", "%PDF-1.4");
  test::writeFile(folder / ".hidden" / "d.indd", "x");
  const std::string target = doc("Elsewhere/target.indd");
  fs::create_symlink(target, home.scratch() / "alias.indd");
  const fs::path actions = actionsPath();
  test::writeFile(actions / "Mine.jsx", "// nothing\n");
  test::writeFile(actions / "Shout.JSX", "// nothing\n");
  test::writeFile(actions / "readme.txt", "x");
  test::writeFile(
      actions / "Single.plist",
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Action</key><string>PDF</string></dict>"
      "</plist>");

  play(R"([
    {"event": "add", "paths": [)" +
       quoted(a) + ", " + quoted(a) + R"(]},
    {"event": "drop", "paths": [)" +
       quoted((folder / "notes.pdf").string()) + R"(]},
    {"event": "drop", "paths": [)" +
       quoted(folder.string()) + ", " + quoted((home.scratch() / "alias.indd").string()) + R"(]},
    {"event": "tab", "tab": "3"},
    {"event": "dump"},
    {"event": "press", "control": "_actionEditBtn"},
    {"event": "set", "control": "_actionsBtn", "value": "Update"},
    {"event": "set", "control": "_actionsBtn", "value": "Single.plist"},
    {"event": "press", "control": "_okBtn"},
    {"event": "set", "control": "_actionsBtn", "value": "Later.plist"},
    {"event": "dump"},
    {"event": "press", "control": "_okBtn"},
    {"event": "progress", "answer": "continue"},
    {"event": "progress", "answer": "continue"},
    {"event": "progress", "answer": "cancel"}])");
  setShowLog(false);
  EditingDialog dialog(*prefs());
  const std::optional<RunOutcome> outcome = dialog.runModal();
  expectScriptPlayed();
  ASSERT_TRUE(outcome);
  EXPECT_EQ(*outcome, RunOutcome::Cancelled);

  // Added twice, listed once; dropped with its folder, listed again; the
  // alias as its target; capitals and "sld" taken, the PDF and hidden folders not.
  const std::vector<std::string> expected = {sld, upper, a, a, target};
  std::vector<std::string> sorted = expected;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(dialog.paths(), sorted);

  // The pop-up offers "plist" and "jsx" files only, and the update item;
  // after the update the file saved meanwhile is there.
  std::fflush(dumps_);
  std::rewind(dumps_);
  std::string all;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, dumps_)) all.append(buffer, n);
  const std::string first = all.substr(0, all.find('\n'));
  EXPECT_NE(
      first.find(
          R"("name":"_actionsBtn","items":["AddLinks.plist","Bildaktualisierung.plist","Collect.plist",)"
          R"("Mine.jsx","PDF.plist","PNTrennung.plist","Schnappi.plist","Single.plist","-","Update"])"),
      std::string::npos)
      << first;
  EXPECT_NE(lastDump().find(R"("Later.plist","Mine.jsx")"), std::string::npos) << lastDump();
  // A file whose root is no array gave no chain: OK left the dialog up.
  // The empty chain of the later file ran on two documents, then Cancel.
  EXPECT_EQ(logCount("Korvex::" + std::string(62, '-')), 2u) << logText();
  EXPECT_NE(logText().find("Korvex::(\n)\n"), std::string::npos) << logText();
  EXPECT_EQ(stringForKey(dictForKey(settingsOnDisk(), "Actions", false), "Action"), "Later.plist");
  EXPECT_EQ(stringForKey(settingsOnDisk(), "Tab"), "3");
}

INSTANTIATE_TEST_SUITE_P(Backends, BatchDialogScenario, ::testing::Values(Backend::Scripted, Backend::Qt),
                         [](const auto& param) { return param.param == Backend::Qt ? "Qt" : "Scripted"; });

}  // namespace
}  // namespace korvex
