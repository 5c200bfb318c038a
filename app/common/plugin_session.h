#pragma once

// The command-line host's hold on the plug-in: construction starts it through
// its startup service, destruction shuts it down. Every korvex command that
// works with the plug-in keeps one for its whole run.
//
// The host gives the plug-in a menu manager. The startup service places the
// menu from a one-shot timer one second later; a command that needs the menu
// calls installMenu(), which places it at once and disarms that timer, so no
// command waits. Nothing else of the run loop runs unless a command runs it
// (the hot folder does).

#include "host/script/javascript_runner.h"

namespace korvex::cli {

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

}  // namespace korvex::cli
