#include "qtdialogs/qt_dialog_backend.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QItemSelectionModel>
#include <QtCore/QMimeData>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtGui/QDropEvent>
#include <QtGui/QPixmap>
#include <QtUiTools/QUiLoader>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QTableWidget>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QVBoxLayout>
#include <algorithm>
#include <functional>

#include "dialogs/run_loop.h"
#include "foundation/workspace.h"

namespace korvex {

namespace {

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

std::string ss(const QString& text) {
  return text.toStdString();
}

QWidget* widgetFor(const QWidget& root, const Control& control) {
  if (control.name.empty()) return nullptr;
  if (root.objectName() == qs(control.name)) return const_cast<QWidget*>(&root);
  return root.findChild<QWidget*>(qs(control.name));
}

// Quietly: the logic that set the rows must not hear of it again.
void selectRows(QAbstractItemView& view, const std::vector<int>& rows) {
  QItemSelectionModel* selection = view.selectionModel();
  if (!selection) return;
  {
    const QSignalBlocker quiet(selection);
    selection->clearSelection();
    for (int row : rows)
      if (row >= 0 && row < view.model()->rowCount())
        selection->select(view.model()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  view.viewport()->update();
}

void applyControl(const Control& control, QWidget& root) {
  if (QWidget* widget = widgetFor(root, control)) {
    if (&root != widget) widget->setEnabled(control.enabled);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      label->setText(qs(control.text));
    } else if (auto* field = qobject_cast<QLineEdit*>(widget)) {
      if (field->text() != qs(control.text)) field->setText(qs(control.text));
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
      if (plain->toPlainText() != qs(control.text)) plain->setPlainText(qs(control.text));
    } else if (auto* text = qobject_cast<QTextEdit*>(widget)) {
      if (text->toPlainText() != qs(control.text)) text->setPlainText(qs(control.text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      button->setText(qs(control.text));
      if (button->isCheckable()) button->setChecked(control.state != 0);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
      const QSignalBlocker quiet(combo);
      combo->clear();
      for (const MenuItem& item : control.items) {
        if (item.separator)
          combo->insertSeparator(combo->count());
        else
          combo->addItem(qs(item.title), item.tag);
      }
      combo->setCurrentIndex(control.selected);
    } else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
      // Pages the window's logic removed from the model go from the widget too.
      const QSignalBlocker quiet(tabs);
      for (int i = tabs->count() - 1; i >= 0; --i) {
        const std::string page = ss(tabs->widget(i)->objectName());
        if (std::none_of(control.children.begin(), control.children.end(),
                         [&](const Control& tab) { return tab.name == page; }))
          tabs->removeTab(i);
      }
      for (int i = 0; i < tabs->count() && i < static_cast<int>(control.children.size()); ++i)
        tabs->setTabText(i, qs(control.children[static_cast<std::size_t>(i)].text));
      if (control.selected >= 0) tabs->setCurrentIndex(control.selected);
    } else if (auto* table = qobject_cast<QTableWidget*>(widget)) {
      if (!control.columns.empty()) {
        table->setColumnCount(static_cast<int>(control.columns.size()));
        QStringList headers;
        for (const std::string& column : control.columns) headers << qs(column);
        table->setHorizontalHeaderLabels(headers);
      }
      const QSignalBlocker quiet(table);
      table->setRowCount(static_cast<int>(control.rows.size()));
      for (int row = 0; row < table->rowCount(); ++row) {
        const QString path = qs(control.rows[static_cast<std::size_t>(row)]);
        if (!table->item(row, 0) || table->item(row, 0)->text() != path)
          table->setItem(row, 0, new QTableWidgetItem(path));
        table->item(row, 0)->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
      }
      selectRows(*table, control.selectedRows);
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
      const QSignalBlocker quiet(list);
      list->clear();
      for (const std::string& row : control.rows) list->addItem(qs(row));
      selectRows(*list, control.selectedRows);
    } else if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
      bar->setRange(static_cast<int>(control.minimum), static_cast<int>(control.maximum));
      bar->setValue(static_cast<int>(control.value));
    } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
      box->setTitle(qs(control.text));
    }
  }
  for (const Control& child : control.children) applyControl(child, root);
}

void readControl(Control& control, const QWidget& root) {
  if (QWidget* widget = widgetFor(root, control)) {
    if (auto* field = qobject_cast<QLineEdit*>(widget)) {
      control.text = ss(field->text());
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
      control.text = ss(plain->toPlainText());
    } else if (auto* text = qobject_cast<QTextEdit*>(widget)) {
      control.text = ss(text->toPlainText());
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      if (button->isCheckable()) control.state = button->isChecked() ? 1 : 0;
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
      control.selected = combo->currentIndex();
    } else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
      control.selected = tabs->currentIndex();
    } else if (auto* view = qobject_cast<QAbstractItemView*>(widget); view && view->selectionModel()) {
      control.selectedRows.clear();
      for (const QModelIndex& index : view->selectionModel()->selectedRows())
        control.selectedRows.push_back(index.row());
      std::sort(control.selectedRows.begin(), control.selectedRows.end());
    }
  }
  for (Control& child : control.children) readControl(child, root);
}

// Paths dropped onto a table or list go to the window's logic.
class DropFilter : public QObject {
 public:
  using Paths = std::vector<std::string>;
  DropFilter(std::function<bool(const Paths&)> validate, std::function<void(const Paths&)> dropped,
             QObject* parent)
      : QObject(parent), validate_(std::move(validate)), dropped_(std::move(dropped)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
      auto* drag = static_cast<QDropEvent*>(event);
      const Paths paths = droppedPaths(*drag->mimeData());
      if (!paths.empty() && validate_(paths))
        drag->acceptProposedAction();
      else
        drag->ignore();
      return true;
    }
    if (event->type() == QEvent::Drop) {
      auto* drop = static_cast<QDropEvent*>(event);
      const Paths paths = droppedPaths(*drop->mimeData());
      if (paths.empty() || !validate_(paths)) {
        drop->ignore();
        return true;
      }
      dropped_(paths);
      drop->acceptProposedAction();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<bool(const Paths&)> validate_;
  std::function<void(const Paths&)> dropped_;
};

// Interface files' top-level dialogs become plug-in panels.
class PanelLoader : public QUiLoader {
 public:
  QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
    if (!parent && className == QLatin1String("QDialog")) {
      auto* panel = new KorvexPanel;
      panel->setObjectName(name);
      return panel;
    }
    return QUiLoader::createWidget(className, parent, name);
  }
};

// The progress dialog: Cancel and Escape are noted and read between items.
class QtProgressWindow : public ProgressWindow, public QObject {
 public:
  QtProgressWindow(const Window* panel, ScriptedDialogBackend* player) : player_(player) {
    if (panel) {
      model_ = *panel;
      widget_ = loadQtWindow(model_);
    }
    if (!widget_) {
      // Without a panel of its own, a bare bar with Cancel.
      widget_ = std::make_unique<QDialog>();
      auto* layout = new QVBoxLayout(widget_.get());
      auto* label = new QLabel(widget_.get());
      label->setObjectName("_progressLabel");
      auto* bar = new QProgressBar(widget_.get());
      bar->setObjectName("_progressBar");
      auto* cancel = new QPushButton(QStringLiteral("Cancel"), widget_.get());
      cancel->setObjectName("_cancelBtn");
      layout->addWidget(label);
      layout->addWidget(bar);
      layout->addWidget(cancel);
      model_ = Window{};
    } else {
      applyWindowModel(model_, *widget_);
    }
    bar_ = widget_->findChild<QProgressBar*>("_progressBar");
    const Control* labelControl = getControl(model_, kLabelTag);
    label_ =
        widget_->findChild<QLabel*>(labelControl ? qs(labelControl->name) : QStringLiteral("_progressLabel"));
    for (QAbstractButton* button : widget_->findChildren<QAbstractButton*>()) {
      const Control* control = controlNamed(model_, ss(button->objectName()));
      if ((control && control->action == "doCancelBtn:") || button->objectName() == "_cancelBtn") {
        cancel_ = button;
        QObject::connect(button, &QAbstractButton::clicked, this, [this] { cancelled_ = true; });
      }
    }
    widget_->installEventFilter(this);
  }

  void setTitle(std::string_view title) override { widget_->setWindowTitle(qs(std::string(title))); }

  void begin(std::size_t count) override {
    count_ = count;
    if (bar_) bar_->setRange(0, static_cast<int>(count));
    session_ = std::make_unique<ModalSession>();
    widget_->setWindowModality(Qt::ApplicationModal);
    widget_->show();
    QCoreApplication::processEvents();
  }

  void setLabel(std::size_t index, std::string_view name) override {
    if (bar_) bar_->setValue(static_cast<int>(index));
    if (label_ && !name.empty()) label_->setText(qs(std::string(name)));
  }

  // The events waiting are handled here, once per item, before the poll.
  bool escapePressed() override {
    if (player_) {
      if (player_->takeProgressAnswer(UiEvent::Answer::Escape)) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(widget_.get(), &escape);
      } else if (!player_->takeProgressAnswer(UiEvent::Answer::Continue) &&
                 player_->takeProgressAnswer(UiEvent::Answer::Cancel) && cancel_) {
        cancel_->click();
      }
    }
    QCoreApplication::processEvents();
    return escaped_;
  }

  bool runModalSession() override { return !cancelled_; }

  void end() override {
    if (bar_) bar_->setValue(static_cast<int>(count_));
    widget_->hide();
    session_.reset();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == widget_.get() && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      escaped_ = true;
      return true;  // the panel stays up until the item in hand is done
    }
    if (watched == widget_.get() && event->type() == QEvent::Close) {
      cancelled_ = true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  static constexpr int kLabelTag = 4;
  ScriptedDialogBackend* player_;
  Window model_;
  std::unique_ptr<QWidget> widget_;
  QProgressBar* bar_ = nullptr;
  QLabel* label_ = nullptr;
  QAbstractButton* cancel_ = nullptr;
  std::size_t count_ = 0;
  bool cancelled_ = false;
  bool escaped_ = false;
  std::unique_ptr<ModalSession> session_;
};

// Calls f once the event loop of the dialog about to be run is going; never
// once the dialog is gone.
template <typename F>
void whenShown(QObject* dialog, F f) {
  QTimer::singleShot(0, dialog, std::move(f));
}

// Plays a script into a window, one event per turn of its event loop, for as
// long as the window is up. Owned by the window.
class ScriptStepper : public QObject {
 public:
  // stepOnce answers whether to go on.
  ScriptStepper(QWidget& window, std::function<bool()> stepOnce)
      : QObject(&window), window_(window), stepOnce_(std::move(stepOnce)) {}
  void schedule() {
    whenShown(this, [this] {
      if (window_.isVisible() && stepOnce_()) schedule();
    });
  }

 private:
  QWidget& window_;
  std::function<bool()> stepOnce_;
};

}  // namespace

std::unique_ptr<QWidget> loadQtWindow(const Window& window) {
  QFile file(qs(window.sourcePath));
  if (!file.open(QIODevice::ReadOnly)) {
    reportDialogFailure(fail(window.sourcePath + ": " + ss(file.errorString())));
    return nullptr;
  }
  PanelLoader loader;
  std::unique_ptr<QWidget> widget(loader.load(&file));
  if (!widget) reportDialogFailure(fail(window.sourcePath + ": " + ss(loader.errorString())));
  return widget;
}

void applyWindowModel(const Window& window, QWidget& root) {
  root.setWindowTitle(qs(window.title));
  applyControl(window.content, root);
}

void readWindowModel(Window& window, const QWidget& root) {
  readControl(window.content, root);
}

bool KorvexPanel::performKeyEquivalent(QKeyEvent& event) {
  event.ignore();
  QDialog::event(&event);
  if (event.isAccepted()) return true;
  return handleTextShortcuts(event, *this);
}

bool KorvexPanel::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier &&
        (key->key() == Qt::Key_A || key->key() == Qt::Key_C || key->key() == Qt::Key_V ||
         key->key() == Qt::Key_X) &&
        performKeyEquivalent(*key)) {
      event->accept();
      return true;
    }
  }
  return QDialog::event(event);
}

std::vector<std::string> droppedPaths(const QMimeData& data) {
  std::vector<std::string> paths;
  for (const QUrl& url : data.urls())
    if (url.isLocalFile()) paths.push_back(ss(url.toLocalFile()));
  return paths;
}

bool handleTextShortcuts(const QKeyEvent& event, QWidget& window) {
  QWidget* focus = window.focusWidget();
  if (!focus) return false;
  const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
  if (modifiers == Qt::ControlModifier) {
    auto run = [&](auto* editor) {
      switch (event.key()) {
        case Qt::Key_A: editor->selectAll(); return true;
        case Qt::Key_C: editor->copy(); return true;
        case Qt::Key_V: editor->paste(); return true;
        case Qt::Key_X: editor->cut(); return true;
        default: return false;
      }
    };
    if (auto* field = qobject_cast<QLineEdit*>(focus)) return run(field);
    if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) return run(plain);
    if (auto* text = qobject_cast<QTextEdit*>(focus)) return run(text);
    return false;
  }
  if (modifiers == Qt::ShiftModifier || !(modifiers & (Qt::ControlModifier | Qt::MetaModifier))) {
    QKeyEvent copy(event.type(), event.key(), event.modifiers(), event.text(), event.isAutoRepeat(),
                   static_cast<ushort>(event.count()));
    QCoreApplication::sendEvent(focus, &copy);
    return true;
  }
  return false;
}

QtDialogBackend::QtDialogBackend(UiScript script, std::FILE* out)
    : player_(std::make_unique<ScriptedDialogBackend>(std::move(script), out)) {}

int QtDialogBackend::runAlert(const AlertRequest& request) {
  QMessageBox box;
  box.setWindowTitle(qs(request.title));
  box.setText(qs(request.message));
  if (!request.informativeText.empty()) box.setInformativeText(qs(request.informativeText));
  if (request.iconPath) box.setIconPixmap(QPixmap(qs(*request.iconPath)));
  std::vector<QPushButton*> buttons;
  if (request.buttons.empty()) {
    buttons.push_back(box.addButton(QMessageBox::Ok));
  } else {
    for (std::size_t i = 0; i < request.buttons.size() && i < 3; ++i)
      buttons.push_back(box.addButton(qs(request.buttons[i]), i == 0   ? QMessageBox::AcceptRole
                                                              : i == 1 ? QMessageBox::RejectRole
                                                                       : QMessageBox::DestructiveRole));
  }
  box.setDefaultButton(buttons.front());
  if (player_) {
    const int answer = player_->takeAlertAnswer(request.buttons.size());
    QPushButton* press = buttons[answer == kAlertFirstButton ? 0 : answer == kAlertSecondButton ? 1 : 2];
    whenShown(&box, [press] { press->click(); });
  }
  box.exec();
  const auto pressed = std::find(buttons.begin(), buttons.end(), box.clickedButton());
  const std::ptrdiff_t index = pressed == buttons.end() ? 0 : pressed - buttons.begin();
  return index == 0 ? kAlertFirstButton : index == 1 ? kAlertSecondButton : kAlertThirdButton;
}

void QtDialogBackend::beep() {
  korvex::beep();
}

std::optional<std::vector<std::string>> QtDialogBackend::runOpenPanel(const OpenPanelRequest& request) {
  QFileDialog dialog(nullptr, qs(request.title), qs(request.startFolder));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (request.chooseFolders) {
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setOption(QFileDialog::ReadOnly, !request.canCreateFolders);
  } else {
    dialog.setFileMode(request.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (!request.allowedExtensions.empty()) {
      QStringList patterns;
      for (const std::string& extension : request.allowedExtensions)
        patterns << "*." + qs(extension).toLower() << "*." + qs(extension).toUpper();
      dialog.setNameFilter(qs(request.title) + " (" + patterns.join(' ') + ")");
    }
  }
  if (!request.buttonTitle.empty()) dialog.setLabelText(QFileDialog::Accept, qs(request.buttonTitle));
  std::optional<std::vector<std::string>> scripted;
  if (player_) {
    const bool hadEvent = player_->peek() != nullptr;
    scripted = player_->runOpenPanel(request);
    whenShown(&dialog, [&dialog, &scripted, hadEvent] {
      if (!hadEvent || !scripted) {
        dialog.reject();
        return;
      }
      // The answer goes in through the dialog's own file name field.
      QStringList quoted;
      for (const std::string& path : *scripted) quoted << "\"" + qs(path) + "\"";
      if (scripted->size() == 1) {
        dialog.selectFile(qs(scripted->front()));
      } else {
        dialog.setDirectory(qs(scripted->front()).section('/', 0, -2));
        dialog.selectFile(quoted.join(' '));
      }
      // QFileDialog checks the name as a click on its button does.
      static_cast<QDialog&>(dialog).accept();
    });
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  std::vector<std::string> chosen;
  for (const QString& path : dialog.selectedFiles()) chosen.push_back(ss(path));
  return chosen;
}

int QtDialogBackend::runModalWindow(Window& window, WindowController& controller) {
  std::unique_ptr<QWidget> widget = loadQtWindow(window);
  if (!widget) return kRunAbortedResponse;
  auto* dialog = qobject_cast<QDialog*>(widget.get());
  std::unique_ptr<QDialog> frame;
  if (!dialog) {
    // A window that is no dialog is shown inside a panel.
    frame = std::make_unique<KorvexPanel>();
    auto* layout = new QVBoxLayout(frame.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(widget.release());
    dialog = frame.get();
  }
  QWidget& root = *dialog;
  applyWindowModel(window, root);

  // A control's action: the widgets' values into the model, the window's
  // logic, the model back into the widgets; an answer ends the window.
  auto send = [&](Control& control) {
    readWindowModel(window, root);
    std::optional<int> answer = controller.performAction(window, control);
    applyWindowModel(window, root);
    if (answer) dialog->done(*answer);
  };
  std::function<void(Control&)> connectAll = [&](Control& control) {
    QWidget* w = widgetFor(root, control);
    if (auto* button = qobject_cast<QAbstractButton*>(w); button && !control.action.empty()) {
      QObject::connect(button, &QAbstractButton::clicked, dialog, [&send, &control] { send(control); });
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
      // A pop-up's items may carry actions of their own ("update").
      QObject::connect(combo, &QComboBox::activated, dialog, [&, c = &control] {
        readWindowModel(window, root);
        if (!actionOf(*c).empty()) send(*c);
      });
    }
    if (w && (control.kind == ControlKind::Table || control.kind == ControlKind::List)) {
      if (auto* items = qobject_cast<QAbstractItemView*>(w); items && items->selectionModel()) {
        QObject::connect(items->selectionModel(), &QItemSelectionModel::selectionChanged, dialog,
                         [&, c = &control] {
                           readWindowModel(window, root);
                           controller.selectionChanged(window, *c);
                           applyWindowModel(window, root);
                         });
      }
      auto* view = qobject_cast<QAbstractScrollArea*>(w);
      QWidget* target = view ? view->viewport() : w;
      target->setAcceptDrops(true);
      target->installEventFilter(new DropFilter(
          [&, c = &control](const std::vector<std::string>& paths) {
            return controller.validateDrop(window, *c, paths);
          },
          [&, c = &control](const std::vector<std::string>& paths) {
            readWindowModel(window, root);
            controller.dropPaths(window, *c, paths);
            applyWindowModel(window, root);
          },
          target));
    }
    for (Control& child : control.children) connectAll(child);
  };
  connectAll(window.content);

  if (player_) {
    // One event per turn of the window's event loop, into the real widgets.
    auto* stepper = new ScriptStepper(*dialog, [&]() -> bool {
      const UiEvent* event = player_->peek();
      if (!event) {
        reportDialogFailure(fail(player_->scriptPath() + ": the events ended while the window \"" +
                                 window.name + "\" was up (no \"press\" closed it)"));
        dialog->done(kRunAbortedResponse);
        return false;
      }
      const std::size_t index = player_->take();
      std::optional<std::string> problem;
      if (event->kind == UiEvent::Kind::Press) {
        Control* control = nullptr;
        problem = player_->findControl(*event, window, control);
        if (!problem) {
          auto* button = qobject_cast<QAbstractButton*>(widgetFor(root, *control));
          if (!button || (control->kind != ControlKind::Button && control->kind != ControlKind::CheckBox))
            problem = "the " + std::string(controlKindName(control->kind)) + " \"" + control->name +
                      "\" can't be pressed";
          else
            button->click();
        }
      } else {
        readWindowModel(window, root);
        std::optional<int> answer;
        problem = player_->apply(*event, window, controller, answer);
        applyWindowModel(window, root);
        if (!problem && answer) dialog->done(*answer);
      }
      if (problem) {
        player_->reportEventFailure(index, *problem);
        dialog->done(kRunAbortedResponse);
        return false;
      }
      if (std::optional<Failure> failure = takeDialogFailure()) {
        reportDialogFailure(std::move(*failure));
        dialog->done(kRunAbortedResponse);
        return false;
      }
      return true;
    });
    stepper->schedule();
  }
  const int result = dialog->exec();
  readWindowModel(window, root);
  return result == kRunStoppedResponse ? kRunStoppedResponse : kRunAbortedResponse;
}

std::unique_ptr<ProgressWindow> QtDialogBackend::makeProgressWindow(const Window* panel) {
  return std::make_unique<QtProgressWindow>(panel, player_.get());
}

}  // namespace korvex
