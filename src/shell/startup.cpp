#include "shell/startup.h"

#include "batch/hot_folder.h"
#include "config/action_files.h"
#include "config/settings_store.h"
#include "dialogs/run_loop.h"
#include "foundation/bundle.h"
#include "foundation/interface_language.h"
#include "foundation/log.h"
#include "foundation/pool.h"
#include "shell/menu_manager.h"
#include "strings/string_table.h"

namespace korvex {

namespace {

bool gMenuPending = false;

void menuTimerProc(void*) {
  installPendingMenu();
}

}  // namespace

int languageCodeForLocale(int languageID) {
  return languageID == 3 ? kLanguageGerman : kLanguageEnglish;
}

int hostLocaleLanguageID() {
  return interfaceLanguage() == "de" ? 3 : 0;
}

void MyStartupShutdown::Startup() {
  // The bundle is pinned for the plug-in's life: later lookups must not move
  // with the environment.
  setBundleResourcesPath(bundleResourcesPath());
  [[maybe_unused]] MyPool pool;
  loadPrefs();
  setupLog(true, "Tamrisk");
  setupStrings(languageCodeForLocale(hostLocaleLanguageID()));
  setupActionsDir();
  gMenuPending = true;
  runTimerProc(menuTimerProc, kMenuSetupDelay, nullptr);
  setupHotfolder();
}

void MyStartupShutdown::Shutdown() {
  gMenuPending = false;
  setBundleResourcesPath("");
}

bool installPendingMenu() {
  if (!gMenuPending) return false;
  gMenuPending = false;
  setupMenuItems();
  return true;
}

bool menuSetupPending() {
  return gMenuPending;
}

}  // namespace korvex
