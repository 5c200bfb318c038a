#pragma once

// The desktop host's main window: a File menu, the plug-in's menu as its
// startup placed it with the host's menu manager, the open documents with
// the front one marked, and a preview of the front document's current
// spread. Documents and folders dropped on the window are opened.
//
// The window drives the plug-in's run loop from Qt's event loop, so the
// plug-in's one-shot timers (the menu after one second, the hot folder's
// scans) fire here as they do inside the host; they wait while a modal
// window is up.

#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtWidgets/QMainWindow>
#include <string>
#include <vector>

class QLabel;
class QMimeData;
class QListWidget;
class QMenu;
class QSpinBox;

namespace korvex {

class IDocument;

namespace gui {

class MainWindow : public QMainWindow {
 public:
  MainWindow();
  ~MainWindow() override;

  // Opens the documents, and the documents inside folders (any depth);
  // answers how many are open afterwards of those asked for. A document
  // that can't be opened is reported in an alert naming it.
  int openPaths(const std::vector<std::string>& paths);
  // What a drop on the window does: the local files and folders of the data
  // ("text/uri-list") opened; false when it holds none.
  bool dropMimeData(const QMimeData& mime);
  // Closes the front document (asking first when it has unsaved changes).
  void closeFrontDocument();

  // The plug-in's menu, null until its startup placed it.
  QMenu* pluginMenu() const { return pluginMenu_; }
  // Shows the documents and the preview again (after commands changed them).
  void refresh();
  // The spread shown for the front document (from 0).
  int currentSpread() const;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void chooseAndOpen();
  // The plug-in's run loop, and the menu once it is placed.
  void tick();
  void buildPluginMenu();
  void runCommand(int actionID);
  void showPreview();

  QListWidget* documents_ = nullptr;
  QLabel* preview_ = nullptr;
  QSpinBox* spread_ = nullptr;
  QMenu* pluginMenu_ = nullptr;
  QTimer runLoopTimer_;
  QTemporaryDir previews_;
  std::size_t placedEntries_ = 0;
  // What the list and preview show, to redo them only when it changed.
  std::vector<IDocument*> shownDocuments_;
  IDocument* shownFront_ = nullptr;
};

}  // namespace gui
}  // namespace korvex
