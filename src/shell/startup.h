#pragma once

// The startup service: the host calls Startup() once when it loads the
// plug-in and Shutdown() once when it unloads it.

namespace korvex {

// Seconds after startup at which the menu is placed, once the host has
// finished starting.
inline constexpr float kMenuSetupDelay = 1.0f;

// The interface language code for the host's locale language identifier:
// 3 (German) for 3, 0 (English) for every other.
int languageCodeForLocale(int languageID);
// The host's interface language identifier; the stand-in host takes it from
// the user's preferred language: 3 for German, 0 otherwise.
int hostLocaleLanguageID();

class MyStartupShutdown {
 public:
  // Takes the bundle, loads the settings, restarts the log, loads the string
  // table, installs the default action files, arms the menu timer and the
  // hot folder's first scan.
  void Startup();
  // Releases the bundle; nothing is saved or closed.
  void Shutdown();
};

// Places the menu now when its timer has not fired yet, so that a command
// host need not wait for it; the timer then does nothing. Answers whether it
// placed the menu.
bool installPendingMenu();
// True between Startup() and the menu timer (or installPendingMenu).
bool menuSetupPending();

}  // namespace korvex
