// korvex-gui: the plug-in in a small desktop host on Qt 6 Widgets. The
// plug-in starts and stops as in korvex (PluginSession); its dialogs are the
// Qt backend's windows. Documents given as arguments are opened.

#include <QtWidgets/QApplication>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/dialog_backend.h"
#include "foundation/workspace.h"
#include "main_window.h"
#include "platform/xdg_workspace.h"
#include "plugin_session.h"
#include "qtdialogs/qt_dialog_backend.h"

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Korvex"));
  korvex::setWorkspace(std::make_unique<korvex::XdgWorkspace>());
  korvex::setDialogBackend(std::make_unique<korvex::QtDialogBackend>());
  int status = 0;
  {
    korvex::app::PluginSession plugIn;
    korvex::gui::MainWindow window;
    std::vector<std::string> documents;
    for (const QString& argument : QApplication::arguments().mid(1))
      documents.push_back(argument.toStdString());
    if (!documents.empty()) window.openPaths(documents);
    window.show();
    status = QApplication::exec();
  }
  korvex::setDialogBackend(nullptr);
  return status;
}
