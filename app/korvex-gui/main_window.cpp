#include "main_window.h"

#include <QtCore/QMimeData>
#include <QtGui/QAction>
#include <QtGui/QDragEnterEvent>
#include <QtGui/QDropEvent>
#include <QtGui/QPixmap>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QStatusBar>
#include <QtWidgets/QVBoxLayout>
#include <algorithm>
#include <map>

#include "batch/korvex_dialog.h"
#include "dialogs/run_loop.h"
#include "docmodel/documents.h"
#include "foundation/files.h"
#include "foundation/folder_enum.h"
#include "host/database.h"
#include "host/document.h"
#include "host/output/preview.h"
#include "host/session.h"
#include "qtdialogs/qt_dialog_backend.h"
#include "shell/menu_manager.h"
#include "shell/my_action.h"
#include "strings/string_table.h"

namespace korvex::gui {

namespace {

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

Application& application() {
  return *GetExecutionContextSession()->application();
}

std::vector<IDocument*> openDocuments() {
  std::vector<IDocument*> documents;
  for (int i = 0; i < application().GetDocumentCount(); ++i)
    documents.push_back(application().GetNthDocument(i));
  return documents;
}

// An entry's title: the command's text from the string table; a command that
// opens a dialog says so with "…".
QString commandTitle(ActionID action) {
  const MenuCommand* command = menuCommandForOffset(static_cast<int>(action - kKorvexActionBase));
  if (!command) return QString::number(action);
  const std::string key(command->title);
  QString title = qs(lookupString(key).value_or(key));
  if (command->offset == 1) title += QStringLiteral("…");
  return title;
}

}  // namespace

MainWindow::MainWindow() {
  setObjectName("KorvexMain");
  setWindowTitle(QStringLiteral("Korvex"));
  setAcceptDrops(true);
  resize(900, 620);

  QMenu* file = menuBar()->addMenu(tr("&File"));
  file->setObjectName("fileMenu");
  QAction* open = file->addAction(tr("&Open…"), this, &MainWindow::chooseAndOpen);
  open->setShortcut(QKeySequence::Open);
  QAction* close = file->addAction(tr("&Close"), this, &MainWindow::closeFrontDocument);
  close->setShortcut(QKeySequence::Close);
  file->addSeparator();
  QAction* quit = file->addAction(tr("&Quit"), this, &QWidget::close);
  quit->setShortcut(QKeySequence::Quit);

  auto* splitter = new QSplitter(this);
  documents_ = new QListWidget(splitter);
  documents_->setObjectName("documents");
  documents_->setMinimumWidth(240);
  // Choosing a document brings it to the front.
  connect(documents_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    const int row = documents_->row(item);
    if (row >= 0 && row < static_cast<int>(shownDocuments_.size())) makeDocActive(shownDocuments_[row]);
    refresh();
  });
  auto* right = new QWidget(splitter);
  auto* layout = new QVBoxLayout(right);
  auto* spreadRow = new QHBoxLayout;
  spreadRow->addWidget(new QLabel(tr("Spread:"), right));
  spread_ = new QSpinBox(right);
  spread_->setObjectName("spread");
  spread_->setMinimum(1);
  spreadRow->addWidget(spread_);
  spreadRow->addStretch();
  layout->addLayout(spreadRow);
  preview_ = new QLabel(right);
  preview_->setObjectName("preview");
  preview_->setAlignment(Qt::AlignCenter);
  preview_->setMinimumSize(320, 320);
  layout->addWidget(preview_, 1);
  connect(spread_, &QSpinBox::valueChanged, this, [this] { showPreview(); });
  splitter->setStretchFactor(1, 1);
  setCentralWidget(splitter);
  statusBar()->showMessage(tr("Drop documents or folders here to open them."));

  // The plug-in's timers run between the window's events.
  connect(&runLoopTimer_, &QTimer::timeout, this, &MainWindow::tick);
  runLoopTimer_.start(100);
  refresh();
}

MainWindow::~MainWindow() = default;

void MainWindow::tick() {
  if (!RunLoop::main().isModal()) RunLoop::main().runDueTimers();
  if (MenuManager* manager = menuManager(); manager && manager->entries().size() != placedEntries_)
    buildPluginMenu();
  // Documents a timer opened or closed (the hot folder) show up.
  if (openDocuments() != shownDocuments_ || application().frontDocument() != shownFront_) refresh();
}

void MainWindow::buildPluginMenu() {
  MenuManager* manager = menuManager();
  if (!manager) return;
  const std::vector<MenuEntry> entries = manager->entriesByPosition();
  placedEntries_ = manager->entries().size();
  std::map<std::string, QMenu*> menus;
  // The menus first, then everything placed in position order: a submenu's
  // position orders it among its parent's entries.
  if (pluginMenu_) {
    menuBar()->removeAction(pluginMenu_->menuAction());
    pluginMenu_->deleteLater();
    pluginMenu_ = nullptr;
  }
  for (const MenuEntry& entry : entries) {
    if (!entry.path.ends_with(':')) continue;
    const std::string path = entry.path.substr(0, entry.path.size() - 1);
    const std::string name = path.substr(path.rfind(':') == std::string::npos ? 0 : path.rfind(':') + 1);
    if (menus.contains(path)) continue;
    auto* menu = new QMenu(qs(lookupString(name).value_or(name)), this);
    menu->setObjectName(qs(name));
    menus[path] = menu;
  }
  for (const MenuEntry& entry : entries) {
    if (entry.path.ends_with(':')) {
      const std::string path = entry.path.substr(0, entry.path.size() - 1);
      const std::size_t colon = path.rfind(':');
      const std::string parent = colon == std::string::npos ? "" : path.substr(0, colon);
      QMenu* menu = menus[path];
      if (parent == "Main") {
        menuBar()->addMenu(menu);
        if (!pluginMenu_) pluginMenu_ = menu;
      } else if (auto found = menus.find(parent); found != menus.end()) {
        menu->setParent(found->second, menu->windowFlags());
        found->second->addMenu(menu);
      }
      continue;
    }
    if (entry.path.ends_with(":-")) {
      if (auto found = menus.find(entry.path.substr(0, entry.path.size() - 2)); found != menus.end())
        found->second->addSeparator();
      continue;
    }
    auto found = menus.find(entry.path);
    if (found == menus.end()) continue;
    const ActionID action = entry.action;
    QAction* item =
        found->second->addAction(commandTitle(action), this, [this, action] { runCommand(action); });
    item->setObjectName(QStringLiteral("action%1").arg(action - kKorvexActionBase));
  }
}

void MainWindow::runCommand(int actionID) {
  MyAction().DoAction(ActiveContext{frontDoc()}, actionID);
  if (std::optional<Failure> failure = takeDialogFailure())
    QMessageBox::warning(this, QStringLiteral("Korvex"), qs(failure->message));
  refresh();
}

int MainWindow::openPaths(const std::vector<std::string>& paths) {
  std::vector<std::string> documents;
  for (const std::string& dropped : paths) {
    const std::string path = resolvePath(dropped).value_or(dropped);
    if (pathIsFolder(path)) {
      EnumFolder(path, [&](const std::string& entry) {
        if (!pathIsFolder(entry) && isAcceptedDocument(entry)) documents.push_back(entry);
        return true;
      });
    } else {
      documents.push_back(path);
    }
  }
  int opened = 0;
  QStringList failed;
  for (const std::string& path : documents) {
    if (openDoc2(path, true).isValid()) {
      ++opened;
    } else {
      const std::string& reason = application().errorMessage();
      failed << qs(path + (reason.empty() ? "" : ": " + reason));
    }
  }
  refresh();
  if (!failed.isEmpty())
    QMessageBox::warning(this, QStringLiteral("Korvex"),
                         tr("Could not be opened:") + "\n" + failed.join('\n'));
  return opened;
}

void MainWindow::chooseAndOpen() {
  const QStringList chosen = QFileDialog::getOpenFileNames(
      this, tr("Open"), QString(), tr("Documents (*.indd *.INDD *.sld *.SLD *.idml *.IDML);;All files (*)"));
  std::vector<std::string> paths;
  for (const QString& path : chosen) paths.push_back(path.toStdString());
  if (!paths.empty()) openPaths(paths);
}

void MainWindow::closeFrontDocument() {
  IDocument* front = application().frontDocument();
  if (!front) return;
  if (front->GetDocDataBase()->IsModified()) {
    const auto answer = QMessageBox::question(this, QStringLiteral("Korvex"),
                                              tr("Save the changes of \"%1\"?").arg(qs(front->GetName())),
                                              QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) return;
    if (answer == QMessageBox::Save && application().saveDocument(front) != kSuccess) {
      QMessageBox::warning(this, QStringLiteral("Korvex"), qs(application().errorMessage()));
      return;
    }
  }
  closeDoc(front);
  refresh();
}

void MainWindow::refresh() {
  shownDocuments_ = openDocuments();
  const bool frontChanged = application().frontDocument() != shownFront_;
  shownFront_ = application().frontDocument();
  documents_->clear();
  for (IDocument* document : shownDocuments_) {
    const bool front = document == shownFront_;
    auto* item = new QListWidgetItem(
        (front ? QStringLiteral("▶ ") : QStringLiteral("   ")) + qs(document->GetName()), documents_);
    item->setToolTip(qs(pathForDoc(document).value_or("")));
    QFont font = item->font();
    font.setBold(front);
    item->setFont(font);
  }
  const QSignalBlocker quiet(spread_);
  const int spreads = shownFront_ ? std::max(1, shownFront_->GetSpreadCount()) : 1;
  spread_->setMaximum(spreads);
  // Another document in front is shown from its first spread.
  if (frontChanged) spread_->setValue(1);
  spread_->setEnabled(shownFront_ != nullptr);
  showPreview();
}

int MainWindow::currentSpread() const {
  return spread_->value() - 1;
}

void MainWindow::showPreview() {
  IDocument* front = application().frontDocument();
  if (!front || front->GetSpreadCount() == 0 || !previews_.isValid()) {
    preview_->setPixmap(QPixmap());
    preview_->setText(front ? tr("No spread") : tr("No document open"));
    return;
  }
  const std::string file = previews_.filePath("front.jpg").toStdString();
  const PreviewResult result = writeSpreadPreview(*front, currentSpread(), kMinPreviewResolution, 85, file);
  QPixmap picture;
  if (result.error != kSuccess || !picture.load(qs(file))) {
    preview_->setPixmap(QPixmap());
    preview_->setText(tr("No preview: %1").arg(qs(result.message)));
    return;
  }
  preview_->setPixmap(picture.scaled(preview_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!droppedPaths(*event->mimeData()).empty())
    event->acceptProposedAction();
  else
    event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event) {
  if (dropMimeData(*event->mimeData()))
    event->acceptProposedAction();
  else
    event->ignore();
}

bool MainWindow::dropMimeData(const QMimeData& mime) {
  const std::vector<std::string> paths = droppedPaths(mime);
  if (paths.empty()) return false;
  openPaths(paths);
  return true;
}

}  // namespace korvex::gui
