#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/console_progress.h"
#include "dialogs/interface_file.h"
#include "dialogs/localize.h"
#include "dialogs/modal_windows.h"
#include "dialogs/progress_dialog.h"
#include "dialogs/run_loop.h"
#include "dialogs/message_box.h"
#include "dialogs/scripted_backend.h"
#include "foundation/bundle.h"
#include "strings/string_table.h"
#include "support/plugin_test.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

class WindowToolkit : public test::PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    setBundleResourcesPath(KORVEX_SOURCE_DIR "/resources");
  }
  ScriptedDialogBackend& script(const std::string& events) {
    test::writeFile(home.scratch() / "events.json", events);
    Result<UiScript> read = readUiScript((home.scratch() / "events.json").string());
    EXPECT_TRUE(read) << read.message();
    auto backend = std::make_unique<ScriptedDialogBackend>(read ? std::move(*read) : UiScript{}, nullptr);
    ScriptedDialogBackend& installed = *backend;
    setDialogBackend(std::move(backend));
    return installed;
  }
};

TEST_F(WindowToolkit, BatchWindowByTagAndNameLocalisedInGermanAndEnglish) {
  Window window;
  ASSERT_TRUE(loadNib("Batch", window));
  EXPECT_EQ(window.title, "Batch");
  Control* links = getControl(window, 13);
  ASSERT_NE(links, nullptr);
  EXPECT_EQ(links->name, "_modifiedLinksBtn");
  EXPECT_EQ(links, controlNamed(window, "_modifiedLinksBtn"));
  EXPECT_EQ(getControlValue(window.content, 13), 1) << "the first item's tag";
  setControlValue(window.content, 13, 4);
  EXPECT_EQ(getControlValue(window.content, 13), 4);
  setControlValue(window.content, 13, 9);
  EXPECT_EQ(getControlValue(window.content, 13), 4) << "no item has tag 9: the selection stays";
  setControlValue(window.content, 14, 1);
  EXPECT_EQ(getControlValue(window.content, 14), 1);
  EXPECT_EQ(getControlValue(window.content, 99), -1);
  EXPECT_EQ(getControlValue(window.content, 0), -1);

  Control* tabs = controlNamed(window, "_tabView");
  ASSERT_NE(tabs, nullptr);
  tabs->tag = 20;
  EXPECT_EQ(getControlValue(window.content, 20), 1);
  setControlValue(window.content, 20, 5);
  EXPECT_EQ(selectedTab(*tabs)->name, "tabLayerSeparation");

  // setControlText by kind.
  Control* field = controlNamed(window, "_collectFolderField");
  setControlText(field, "/jobs");
  EXPECT_EQ(field->text, "/jobs");
  setControlText(links, "UpdateLinks");
  EXPECT_EQ(getControlValue(window.content, 13), 3);
  setControlText(links, "");
  setControlText(links, "Nope");
  EXPECT_EQ(getControlValue(window.content, 13), 3);
  Control* ok = controlNamed(window, "_okBtn");
  setControlText(ok, "Go");
  EXPECT_EQ(ok->text, "Go");
  setControlText(ok, std::nullopt);
  EXPECT_EQ(ok->text, "Go");
  Control* list = controlNamed(window, "_pathList");
  setControlText(list, "x");
  EXPECT_TRUE(list->rows.empty());

  const std::string resources = KORVEX_SOURCE_DIR "/resources";
  for (const auto& [language, title, add, collect, docs, ignore] :
       {std::tuple{kLanguageGerman, "Stapelverarbeitung", "Hinzufügen…", "Sammeln", "Dokumente", "Ignorieren"},
        std::tuple{kLanguageEnglish, "Batch Processing", "Add…", "Collect", "Documents", "Ignore"}}) {
    setupStrings(language, resources);
    Window localized;
    ASSERT_TRUE(loadNib("Batch", localized));
    localizeWindow(localized);
    EXPECT_EQ(localized.title, title);
    EXPECT_EQ(controlNamed(localized, "_addBtn")->text, add) << "the ellipsis is kept";
    EXPECT_EQ(controlNamed(localized, "documentsLabel")->text, std::string(docs) + ":") << "the colon is kept";
    EXPECT_EQ(controlNamed(localized, "tabCollect")->text, collect);
    EXPECT_EQ(controlNamed(localized, "_pathList")->columns, std::vector<std::string>{docs});
    EXPECT_EQ(getControl(localized, 13)->items.front().title, ignore);
    EXPECT_EQ(getControl(localized, 13)->items.front().tag, 1) << "tags survive translation";
  }
}

TEST_F(WindowToolkit, PopupsFromPathsArraysAndFolders) {
  Control popUp;
  popUp.kind = ControlKind::PopUp;
  setupPopupWithPath(popUp, "/");
  EXPECT_TRUE(popUp.items.empty());
  EXPECT_EQ(pathWithPopup(popUp), "");

  setupPopupWithPath(popUp, "/Volumes/Data/Out");
  ASSERT_EQ(popUp.items.size(), 3u);
  EXPECT_EQ(popUp.items[0].title, "Out");
  EXPECT_EQ(popUp.items[2].title, "Volumes");
  EXPECT_EQ(pathWithPopup(popUp), "/Volumes/Data/Out");
  popUp.selected = 1;
  EXPECT_EQ(pathWithPopup(popUp), "/Volumes/Data");

  setupPopupWithPath(popUp, "/A/B/");
  EXPECT_EQ(pathWithPopup(popUp), "/A/B");
  setupPopupWithPath(popUp, "/A//B");
  EXPECT_EQ(pathWithPopup(popUp), "/A/B");

  setupPopupWithArray(popUp, {"Print", "Screen", "Press"}, "Press");
  EXPECT_EQ(selectedItem(popUp)->title, "Press");
  setupPopupWithArray(popUp, {"Print", "Screen"}, "Gone");
  EXPECT_EQ(selectedItem(popUp)->title, "Print") << "a missing title selects the first";
  setupPopupWithArray(popUp, {}, "Print");
  EXPECT_EQ(selectedItem(popUp), nullptr);
  EXPECT_EQ(pathWithPopup(popUp), "");

  const fs::path folder = home.scratch() / "actions";
  for (const char* name : {"b.plist", "a.plist", "c.PLIST", "d.jsx", ".hidden.plist"}) test::writeFile(folder / name, "x");
  setupPopupWithArray(popUp, {"keep"}, "");
  setupPopupWithDirectory(popUp, folder.string(), "plist", false);
  ASSERT_EQ(popUp.items.size(), 3u);
  EXPECT_EQ(popUp.items[1].title, "a");
  EXPECT_EQ(popUp.items[2].title, "b");
  setupPopupWithDirectory(popUp, folder.string(), "plist", true);
  EXPECT_EQ(popUp.items.size(), 2u);
  EXPECT_EQ(selectedItem(popUp)->title, "a");
}

TEST_F(WindowToolkit, InterfaceFilesThatCanNotBeLoaded) {
  setSilent(true);  // alerts go to the log with their second line
  Window window;
  window.name = "untouched";
  EXPECT_FALSE(loadNib("Nope", window));
  EXPECT_EQ(window.name, "untouched");
  EXPECT_NE(logText().find("Error loading nib: Nope ("), std::string::npos) << logText();

  const fs::path resources = home.scratch() / "bundle";
  test::writeFile(resources / "Broken.ui", "<ui version=\"4.0\">\n<widget class=\"QDialog\" name=\"Broken\">\n</ui>\n");
  test::writeFile(resources / "BadTag.ui",
                  R"(<ui version="4.0"><widget class="QDialog" name="BadTag"><widget class="QCheckBox" name="box">)"
                  R"(<property name="tag" stdset="0"><string>four</string></property></widget></widget></ui>)");
  test::writeFile(resources / "Empty.ui", R"(<ui version="4.0"><class>Empty</class></ui>)");
  EXPECT_FALSE(loadNib(resources.string(), "Broken", window));
  EXPECT_NE(logText().find("Error loading nib: Broken (" + (resources / "Broken.ui").string() + ":4: "),
            std::string::npos)
      << logText();
  EXPECT_FALSE(loadNib(resources.string(), "BadTag", window));
  EXPECT_NE(logText().find("BadTag.ui: widget \"box\": tag \"four\" is not a whole number)"), std::string::npos)
      << logText();
  EXPECT_FALSE(loadNib(resources.string(), "Empty", window));
  EXPECT_NE(logText().find("Empty.ui: the interface file has no window"), std::string::npos) << logText();
  // libxml2 says this one in two lines; the reason stays one.
  test::writeFile(resources / "Latin1.ui", "<ui version=\"4.0\"><widget class=\"QDialog\" name=\"L\">\xE4</widget></ui>");
  const Result<Window> latin1 = readInterfaceFile((resources / "Latin1.ui").string());
  ASSERT_FALSE(latin1);
  EXPECT_EQ(latin1.message().find('\n'), std::string::npos) << latin1.message();
  EXPECT_NE(latin1.message().find("UTF-8"), std::string::npos) << latin1.message();
}

bool record(const ArrayPtr& items, std::size_t index, ProgressWindow&, void* userData) {
  auto& seen = *static_cast<std::vector<std::string>*>(userData);
  seen.push_back(*items->at(index).string());
  // Timers wait while the progress window is up.
  EXPECT_EQ(RunLoop::main().runDueTimers(), 0u);
  return true;
}

TEST_F(WindowToolkit, ProgressCancelAndEscapeBetweenItemsWithTimersHeld) {
  int fired = 0;
  RunLoop::main().addTimer(std::chrono::seconds(0), [&] { ++fired; });
  const ArrayPtr items = Array::make({"one", "two", "three"});
  std::vector<std::string> seen;

  script(R"([{"event": "progress", "answer": "continue"}, {"event": "progress", "answer": "cancel"}])");
  EXPECT_EQ(doProgressDialog(items, record, "Checkebenen erstellen", "a.indd", &seen), 1u);
  EXPECT_EQ(seen, std::vector<std::string>{"one"});
  EXPECT_TRUE(workspace().beeps() == 0) << "Cancel does not beep";
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(RunLoop::main().runDueTimers(), 1u) << "the timer fires once the window is gone";

  seen.clear();
  script(R"([{"event": "progress", "answer": "continue"}, {"event": "progress", "answer": "escape"}])");
  EXPECT_EQ(doProgressDialog(items, record, std::nullopt, std::nullopt, &seen), 1u);
  EXPECT_EQ(workspace().beeps(), 1) << "Escape beeps";

  // On the console Ctrl-C is Escape.
  seen.clear();
  setDialogBackend(nullptr);
  InterruptCancels::cancel();
  EXPECT_EQ(doProgressDialog(items, record, std::nullopt, std::nullopt, &seen), 0u);
  EXPECT_EQ(workspace().beeps(), 2);
  InterruptCancels::reset();
  EXPECT_EQ(doProgressDialog(items, record, std::nullopt, std::nullopt, &seen), 3u);

  // No "Progress" interface file: nothing runs.
  setSilent(true);
  setBundleResourcesPath(home.scratch().string());
  seen.clear();
  EXPECT_EQ(doProgressDialog(items, record, std::nullopt, std::nullopt, &seen), 0u);
  EXPECT_TRUE(seen.empty());
  EXPECT_TRUE(logHas("Error loading nib: Progress (" + (home.scratch() / "Progress.ui").string() +
                     ": no such file)"))
      << logText();
}

TEST_F(WindowToolkit, ChoosersAnsweredCancelledAndRefused) {
  const fs::path folder = home.scratch() / "Out";
  fs::create_directories(folder);
  test::writeFile(home.scratch() / "a.indd", "x");
  test::writeFile(home.scratch() / "b.sld", "x");

  ScriptedDialogBackend& backend = script(R"([
    {"event": "choose", "paths": [")" + folder.string() + R"("]},
    {"event": "choose", "cancel": true},
    {"event": "choose", "paths": [")" + (home.scratch() / "a.indd").string() + R"(", ")" +
                                          (home.scratch() / "b.sld").string() + R"("]},
    {"event": "choose", "paths": [")" + (home.scratch() / "a.indd").string() + R"("]}])");
  EXPECT_EQ(chooseFolder("Ziel"), folder.string());
  EXPECT_EQ(chooseFolder("Ziel"), std::nullopt);
  EXPECT_EQ(chooseFiles("Dokumente", {"indd", "sld"}, true)->size(), 2u);
  EXPECT_EQ(chooseFolder("Ziel"), std::nullopt) << "a file does not answer a folder chooser";
  std::optional<Failure> failure = takeDialogFailure();
  ASSERT_TRUE(failure);
  EXPECT_NE(failure->message.find("events.json: event 3 (\"choose\"): "), std::string::npos) << failure->message;
  EXPECT_NE(failure->message.find("a.indd: not a folder"), std::string::npos) << failure->message;
  EXPECT_EQ(backend.unusedEvents(), 0u);
  EXPECT_EQ(chooseFolder("Ziel"), std::nullopt) << "no event left: Cancel";
  EXPECT_FALSE(takeDialogFailure());
}

}  // namespace
}  // namespace korvex
