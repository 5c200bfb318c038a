// The desktop host as a person uses it, headless: the plug-in started as in
// korvex, its menu placed by its one-second timer, the example documents
// opened by a drop, "Korvex…" chosen and its PDF tab run with the progress
// window, the window's picture saved for the documentation.

#include "main_window.h"

#include <gtest/gtest.h>

#include <QtCore/QElapsedTimer>
#include <QtCore/QMimeData>
#include <QtCore/QUrl>
#include <QtGui/QAction>
#include <QtGui/QDropEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMenu>
#include <filesystem>
#include <functional>

#include "dialogs/scripted_backend.h"
#include "docmodel/documents.h"
#include "foundation/bundle.h"
#include "plugin_session.h"
#include "qt_app.h"
#include "qtdialogs/qt_dialog_backend.h"
#include "shell/menu_manager.h"
#include "support/plugin_test.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

// Lets Qt's event loop (and with it the plug-in's timers) run until the
// condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > milliseconds) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

QAction* actionTitled(QMenu& menu, const QString& title) {
  for (QAction* action : menu.actions())
    if (action->text() == title) return action;
  return nullptr;
}

class DesktopHost : public test::PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    test::qtApp();
    setBundleResourcesPath(KORVEX_SOURCE_DIR "/resources");
    const fs::path examples = fs::path(KORVEX_SOURCE_DIR) / "examples";
    fs::create_directories(jobs());
    fs::copy(examples / "Links", jobs() / "Links", fs::copy_options::recursive);
    for (const char* name : {"Flyer Sommerfest.indd", "Katalog Seite 12.indd"})
      fs::copy_file(examples / name, jobs() / name);
    test::writeFile(jobs() / "notes.txt", "not a document");
  }
  void TearDown() override {
    setDialogBackend(nullptr);
    PluginTest::TearDown();
  }
};

TEST_F(DesktopHost, MenuAfterItsTimerDroppedDocumentsAndAPdfRunFromTheDialog) {
  app::PluginSession plugIn;
  gui::MainWindow window;
  window.show();
  // The startup placed no menu yet: its timer comes after a second.
  EXPECT_EQ(window.pluginMenu(), nullptr);
  ASSERT_TRUE(waitFor([&] { return window.pluginMenu() != nullptr; }, 3000)) << "the menu timer never fired";
  QMenu& menu = *window.pluginMenu();
  EXPECT_EQ(menu.title(), "MM");
  QAction* korvex = actionTitled(menu, QStringLiteral("Korvex…"));
  ASSERT_NE(korvex, nullptr);
  EXPECT_EQ(menu.actions().front(), korvex) << "the batch dialog is the first entry (position 1)";
  EXPECT_NE(menu.findChild<QMenu*>("Zaro"), nullptr);

  // The jobs folder dropped on the window: its documents open, the text file not.
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(jobs().string()))});
  EXPECT_TRUE(data.hasFormat("text/uri-list"));
  EXPECT_TRUE(window.dropMimeData(data));
  EXPECT_FALSE(window.dropMimeData(QMimeData())) << "no files: refused";
  auto* documents = window.findChild<QListWidget*>("documents");
  ASSERT_EQ(documents->count(), 2);
  // The front one (the last opened) is marked; the preview shows its spread.
  int marked = 0;
  for (int i = 0; i < documents->count(); ++i) marked += documents->item(i)->text().startsWith("▶") ? 1 : 0;
  EXPECT_EQ(marked, 1);
  EXPECT_TRUE(documents->item(1)->text().startsWith("▶")) << documents->item(1)->text().toStdString();
  auto* preview = window.findChild<QLabel*>("preview");
  EXPECT_FALSE(preview->pixmap().isNull()) << preview->text().toStdString();

  // "Korvex…": the dialog lists the front document; the other is added, the
  // PDF tab run into a folder, the progress window goes through both.
  const fs::path out = home.scratch() / "PDF";
  fs::create_directories(out);
  const std::string flyer = (jobs() / "Flyer Sommerfest.indd").string();
  test::writeFile(home.scratch() / "events.json", R"([
    {"event": "add", "paths": [")" + flyer + R"("]},
    {"event": "tab", "tab": "PDF"},
    {"event": "press", "control": "_pdfChooseBtn"},
    {"event": "choose", "paths": [")" + out.string() + R"("]},
    {"event": "press", "control": "_okBtn"},
    {"event": "progress", "answer": "continue"},
    {"event": "progress", "answer": "continue"}])");
  Result<UiScript> script = readUiScript((home.scratch() / "events.json").string());
  ASSERT_TRUE(script) << script.message();
  auto backend = std::make_unique<QtDialogBackend>(std::move(*script));
  QtDialogBackend* qt = backend.get();
  setDialogBackend(std::move(backend));
  korvex->trigger();
  EXPECT_EQ(qt->unusedEvents(), 0u);
  EXPECT_EQ(test::readFile(out / "Flyer Sommerfest.pdf").rfind("%PDF", 0), 0u) << logText();
  EXPECT_NE(logText().find("Katalog Seite 12.indd\n"), std::string::npos) << logText();
  // The open documents were processed in place and stay open.
  EXPECT_EQ(documents->count(), 2);

  // The picture in the documentation.
  const fs::path picture = fs::path(KORVEX_BINARY_DIR) / "screenshots" / "main-window.png";
  fs::create_directories(picture.parent_path());
  EXPECT_TRUE(window.grab().save(QString::fromStdString(picture.string()), "PNG"));

  window.closeFrontDocument();
  EXPECT_EQ(documents->count(), 1);
}

}  // namespace
}  // namespace korvex
