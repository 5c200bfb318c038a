#pragma once

// A host's hold on the plug-in: construction starts it through its startup
// service, destruction shuts it down. Every korvex command that works with
// the plug-in keeps one for its whole run, and the desktop host korvex-gui
// one for its life, so the plug-in starts and stops the same way in both.
//
// The host gives the plug-in a menu manager. The startup service places the
// menu from a one-shot timer one second later; a command that needs the menu
// calls installMenu(), which places it at once and disarms that timer, so no
// command waits. Nothing else of the run loop runs unless its host runs it
// (the hot folder command does; korvex-gui runs it from its event loop, so
// there the menu comes with the timer).

#include "host/script/javascript_runner.h"

namespace korvex::app {

class PluginSession {
 public:
  PluginSession();
  ~PluginSession();
  PluginSession(const PluginSession&) = delete;
  PluginSession& operator=(const PluginSession&) = delete;

  // Places the deferred menu now (nothing when it is already placed).
  void installMenu();

 private:
  // Whether this session gave the plug-in its menu manager (and takes it back).
  bool _ownsMenuManager = false;
  ScriptAlertHandler _formerAlertHandler;
};

}  // namespace korvex::app

namespace korvex::cli {
using app::PluginSession;
}  // namespace korvex::cli
