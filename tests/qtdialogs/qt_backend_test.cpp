#include <gtest/gtest.h>

#include <QtCore/QTimer>
#include <QtGui/QClipboard>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/interface_file.h"
#include "dialogs/localize.h"
#include "dialogs/message_box.h"
#include "dialogs/modal_windows.h"
#include "dialogs/progress_dialog.h"
#include "dialogs/run_loop.h"
#include "dialogs/scripted_backend.h"
#include "foundation/bundle.h"
#include "qt_app.h"
#include "qtdialogs/qt_dialog_backend.h"
#include "strings/string_table.h"
#include "support/plugin_test.h"
#include "support/run_process.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

using test::qtApp;

enum class Backend { Scripted, Qt };

void PrintTo(Backend backend, std::ostream* out) {
  *out << (backend == Backend::Qt ? "Qt" : "Scripted");
}

// The same scenarios on the scripted backend and on the Qt backend, which
// plays the script into real widgets.
class DialogScenario : public test::PluginTest, public ::testing::WithParamInterface<Backend> {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    qtApp();
    setBundleResourcesPath(KORVEX_SOURCE_DIR "/resources");
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
    if (GetParam() == Backend::Scripted)
      setDialogBackend(std::make_unique<ScriptedDialogBackend>(std::move(*script), dumps_));
    else
      setDialogBackend(std::make_unique<QtDialogBackend>(std::move(*script), dumps_));
  }
  std::string dumps() const {
    std::fflush(dumps_);
    std::rewind(dumps_);
    std::string text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, dumps_)) text.append(buffer, n);
    return text;
  }
  Window batch(int language) {
    setupStrings(language, KORVEX_SOURCE_DIR "/resources");
    Window window;
    EXPECT_TRUE(loadNib("Batch", window));
    localizeWindow(window);
    return window;
  }

  std::FILE* dumps_ = nullptr;
};

TEST_P(DialogScenario, BatchWindowLocalisedPopupsAndControlsByTag) {
  const std::string document = (home.scratch() / "a.indd").string();
  test::writeFile(document, "x");
  for (const auto& [language, title, links] : {std::tuple{kLanguageGerman, "Stapelverarbeitung", "Nur"},
                                               std::tuple{kLanguageEnglish, "Batch Processing", "Only"}}) {
    SCOPED_TRACE(title);
    Window window = batch(language);
    setupPopupWithPath(*controlNamed(window, "_pdfFolderBtn"), "/Volumes/Data/Out");
    setupPopupWithArray(*controlNamed(window, "_pdfStylesBtn"), {"Print", "Screen", "Press"}, "Screen");
    play(R"([
      {"event": "tab", "tab": "1"},
      {"event": "set", "control": "_pdfFolderBtn", "value": "Data"},
      {"event": "set", "control": "_pdfStylesBtn", "value": "Press"},
      {"event": "set", "control": "_pdfLayersBtn", "value": 3},
      {"event": "set", "control": "_pdfShowBtn", "value": true},
      {"event": "set", "control": 13, "value": 4},
      {"event": "press", "control": 14},
      {"event": "add", "paths": [")" +
         document + R"("]},
      {"event": "dump"},
      {"event": "press", "control": "_okBtn"}])");
    WindowController controller;
    EXPECT_EQ(runModalForWindow(window, controller), kRunStoppedResponse);
    EXPECT_FALSE(takeDialogFailure());
    EXPECT_EQ(window.title, title);
    EXPECT_EQ(pathWithPopup(*controlNamed(window, "_pdfFolderBtn")), "/Volumes/Data");
    EXPECT_EQ(selectedItem(*controlNamed(window, "_pdfStylesBtn"))->title, "Press");
    EXPECT_EQ(selectedItem(*controlNamed(window, "_pdfLayersBtn"))->title, links);
    EXPECT_EQ(controlNamed(window, "_pdfShowBtn")->state, 1);
    EXPECT_EQ(getControlValue(window.content, 13), 4);
    EXPECT_EQ(getControlValue(window.content, 14), 1) << "a pressed check box toggles";
    EXPECT_EQ(getControlValue(window.content, 77), -1);
    EXPECT_EQ(controlNamed(window, "_pathList")->rows, std::vector<std::string>{document});
  }
  // One dump line per language, in the same words on both backends.
  const std::string lines = dumps();
  EXPECT_NE(lines.find(R"({"window":"Batch","title":"Stapelverarbeitung",)"), std::string::npos) << lines;
  EXPECT_NE(
      lines.find(
          R"({"kind":"popup","name":"_pdfFolderBtn","items":["Out","Data","Volumes"],"selected":"Data"})"),
      std::string::npos)
      << lines;
  EXPECT_NE(lines.find(R"("items":[{"title":"Ignorieren","tag":1},)"), std::string::npos) << lines;
}

TEST_P(DialogScenario, WrongEventsAndCancel) {
  Window window = batch(kLanguageEnglish);
  WindowController controller;
  play(
      R"([{"event": "set", "control": "_collectFolderField", "value": "/x"}, {"event": "press", "control": "_pdfStylesBtn"}])");
  EXPECT_EQ(runModalForWindow(window, controller), kRunAbortedResponse);
  std::optional<Failure> failure = takeDialogFailure();
  ASSERT_TRUE(failure);
  EXPECT_NE(
      failure->message.find("events.json: event 1 (\"press\"): the popup \"_pdfStylesBtn\" can't be pressed"),
      std::string::npos)
      << failure->message;

  play(R"([{"event": "press", "control": "_cancelBtn"}])");
  EXPECT_EQ(runModalForWindow(window, controller), kRunAbortedResponse);
  EXPECT_FALSE(takeDialogFailure());
  EXPECT_EQ(controlNamed(window, "_collectFolderField")->text, "/x") << "values set before stay in the model";
}

TEST_P(DialogScenario, ChooserAnsweredAndCancelled) {
  const fs::path folder = home.scratch() / "Out";
  fs::create_directories(folder);
  test::writeFile(home.scratch() / "a.indd", "x");
  play(R"([
    {"event": "choose", "paths": [")" +
       folder.string() + R"("]},
    {"event": "choose", "cancel": true},
    {"event": "choose", "paths": [")" +
       (home.scratch() / "a.indd").string() + R"("]}])");
  EXPECT_EQ(chooseFolder("Ziel", home.scratch().string()), folder.string());
  EXPECT_EQ(chooseFolder("Ziel"), std::nullopt);
  std::optional<std::vector<std::string>> files = chooseFiles("Dokumente", {"indd", "sld"}, false);
  ASSERT_TRUE(files);
  EXPECT_EQ(*files, std::vector<std::string>{(home.scratch() / "a.indd").string()});
  EXPECT_FALSE(takeDialogFailure());
}

bool record(const ArrayPtr& items, std::size_t index, ProgressWindow&, void* userData) {
  static_cast<std::vector<std::string>*>(userData)->push_back(*items->at(index).string());
  EXPECT_EQ(RunLoop::main().runDueTimers(), 0u) << "timers wait while the progress window is up";
  return true;
}

TEST_P(DialogScenario, ProgressCancelledAfterTheFirstItemWithTimersHeld) {
  int fired = 0;
  runTimerProc([](void* data) { ++*static_cast<int*>(data); }, 0, &fired);
  const ArrayPtr items = Array::make({"one", "two", "three"});
  std::vector<std::string> seen;
  play(R"([{"event": "progress", "answer": "continue"}, {"event": "progress", "answer": "cancel"}])");
  EXPECT_EQ(doProgressDialog(items, record, "Checkebenen erstellen", "a.indd", &seen), 1u);
  EXPECT_EQ(seen, std::vector<std::string>{"one"});
  EXPECT_EQ(workspace().beeps(), 0);
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(RunLoop::main().runDueTimers(), 1u);
  EXPECT_EQ(fired, 1);

  seen.clear();
  play(R"([{"event": "progress", "answer": "continue"}, {"event": "progress", "answer": "continue"},
           {"event": "progress", "answer": "escape"}])");
  EXPECT_EQ(doProgressDialog(items, record, std::nullopt, std::nullopt, &seen), 2u);
  EXPECT_EQ(workspace().beeps(), 1) << "Escape beeps";
}

INSTANTIATE_TEST_SUITE_P(Backends, DialogScenario, ::testing::Values(Backend::Scripted, Backend::Qt),
                         [](const auto& param) { return param.param == Backend::Qt ? "Qt" : "Scripted"; });

class QtOnly : public test::PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    qtApp();
    setBundleResourcesPath(KORVEX_SOURCE_DIR "/resources");
  }
  void TearDown() override {
    setDialogBackend(nullptr);
    PluginTest::TearDown();
  }
};

TEST_F(QtOnly, AlertTitledKorvexWithTheIconAndItsButtons) {
  setDialogBackend(std::make_unique<QtDialogBackend>());
  QString title;
  QString informative;
  bool hasIcon = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    informative = box->informativeText();
    hasIcon = !box->iconPixmap().isNull();
    box->buttons()[0]->click();
  });
  setMsg2(std::optional<std::string>("second line"));
  msgBox(std::string("Hello"));
  EXPECT_EQ(title, "Korvex");
  EXPECT_EQ(informative, "second line");
  EXPECT_TRUE(hasIcon) << "the bundle's Tamr.png";
  EXPECT_EQ(workspace().beeps(), 1);

  // A scripted answer presses the second button of a real box.
  test::writeFile(home.scratch() / "alert.json", R"([{"event": "alert", "button": 2}])");
  Result<UiScript> script = readUiScript((home.scratch() / "alert.json").string());
  ASSERT_TRUE(script);
  setDialogBackend(std::make_unique<QtDialogBackend>(std::move(*script)));
  EXPECT_FALSE(msgBoxYesNo("yes?")) << "\"no\"";
}

TEST_F(QtOnly, BundleInterfaceFilesCompileWithQtsOwnUic) {
  std::string uic;
  for (const char* candidate : {"/usr/lib/qt6/libexec/uic", "/usr/lib/qt6/bin/uic", "/usr/bin/uic"})
    if (fs::exists(candidate)) uic = candidate;
  ASSERT_FALSE(uic.empty()) << "Qt's uic (qt6-base-dev-tools) is needed";
  for (const char* name : {"Batch", "Progress"}) {
    SCOPED_TRACE(name);
    test::ProcessResult compiled =
        test::runProcess(uic, {KORVEX_SOURCE_DIR "/resources/" + std::string(name) + ".ui"});
    EXPECT_EQ(compiled.exitCode, 0) << compiled.err;
    EXPECT_NE(compiled.out.find("setProperty(\"tag\""), std::string::npos)
        << "the tags are dynamic properties";
  }
}

TEST_F(QtOnly, TextShortcutsInTextFields) {
  QDialog window;
  auto* layout = new QVBoxLayout(&window);
  auto* from = new QLineEdit("Korvex", &window);
  auto* to = new QLineEdit(&window);
  layout->addWidget(from);
  layout->addWidget(to);
  window.show();
  from->setFocus();
  QApplication::processEvents();
  ASSERT_EQ(window.focusWidget(), from);
  auto key = [&](int code, Qt::KeyboardModifiers modifiers, const QString& text = {}) {
    return handleTextShortcuts(QKeyEvent(QEvent::KeyPress, code, modifiers, text), window);
  };
  EXPECT_TRUE(key(Qt::Key_A, Qt::ControlModifier));
  EXPECT_EQ(from->selectedText(), "Korvex");
  EXPECT_TRUE(key(Qt::Key_X, Qt::ControlModifier));
  EXPECT_EQ(from->text(), "");
  EXPECT_EQ(QApplication::clipboard()->text(), "Korvex");
  to->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(key(Qt::Key_V, Qt::ControlModifier));
  EXPECT_TRUE(key(Qt::Key_V, Qt::ControlModifier));
  EXPECT_EQ(to->text(), "KorvexKorvex");
  EXPECT_TRUE(key(Qt::Key_Exclam, Qt::ShiftModifier, "!")) << "Shift alone goes to the field";
  EXPECT_EQ(to->text(), "KorvexKorvex!");
  EXPECT_FALSE(key(Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier));
  EXPECT_FALSE(key(Qt::Key_B, Qt::ControlModifier)) << "other Ctrl keys are not the fields'";
}

}  // namespace
}  // namespace korvex
