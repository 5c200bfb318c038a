#include "plugin_session.h"

#include <cstdio>
#include <memory>

#include "config/settings_store.h"
#include "dialogs/message_box.h"
#include "dialogs/run_loop.h"
#include "host/output/composer_layout.h"
#include "host/output/pdf_export.h"
#include "host/script/javascript_runner.h"
#include "shell/menu_manager.h"
#include "shell/startup.h"

namespace korvex::app {

PluginSession::PluginSession() {
  if (!menuManager()) {
    setMenuManager(std::make_unique<MenuManager>());
    _ownsMenuManager = true;
  }
  installStringTableAlerts();
  // The host's export services are there before the plug-in starts.
  pdfExportProvider(*GetExecutionContextSession());
  javaScriptRunner(*GetExecutionContextSession());
  // A script's alert is shown by the plug-in's dialog toolkit (on the console:
  // standard error); batch runs let no script show one.
  _formerAlertHandler = setScriptAlertHandler([](const std::string& text) { showAlert(text); });
  installComposerLayout();
  MyStartupShutdown().Startup();
  // The plug-in goes on with the defaults; the user should know why their
  // settings are not in effect.
  if (const KorvexSettings* settings = prefs(); settings && settings->loadProblem())
    std::fprintf(stderr, "korvex: %s; the default settings are used\n", settings->loadProblem()->c_str());
}

PluginSession::~PluginSession() {
  MyStartupShutdown().Shutdown();
  // The timers armed by the plug-in die with it: the run loop belongs to
  // this host, and no timer may call into a plug-in that is gone.
  RunLoop::main().removeAllTimers();
  if (_ownsMenuManager) setMenuManager(nullptr);
  setScriptAlertHandler(std::move(_formerAlertHandler));
}

void PluginSession::installMenu() {
  installPendingMenu();
}

}  // namespace korvex::app
