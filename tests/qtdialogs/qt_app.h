#pragma once

// The one QApplication of the Qt tests, headless (the offscreen platform
// unless the caller chose one).

#include <QtWidgets/QApplication>
#include <cstdlib>

namespace korvex::test {

inline QApplication& qtApp() {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "korvex_qtdialogs_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt must outlive every static that holds a widget.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace korvex::test
