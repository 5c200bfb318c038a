#include "settings_command.h"

#include <cstdio>

#include "command.h"
#include "config/settings_store.h"
#include "foundation/value.h"
#include "plugin_session.h"

namespace korvex::cli {

int runSettingsCommand(std::span<const std::string> args) {
  if (args.size() > 1 || (args.size() == 1 && args[0] != "--path" && args[0] != "--open")) {
    return usageError("usage: korvex settings [--path | --open]");
  }
  PluginSession session;
  KorvexSettings* settings = prefs();
  if (args.empty()) {
    std::printf("%s\n", Value(settings->dict()).description().c_str());
    return kExitOk;
  }
  if (args[0] == "--path") {
    std::printf("%s\n", settings->path().c_str());
    return kExitOk;
  }
  if (!openPrefs()) {
    std::fprintf(stderr, "korvex: %s: could not be opened\n", settings->path().c_str());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace korvex::cli
