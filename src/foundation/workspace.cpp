#include "foundation/workspace.h"

#include <unistd.h>

#include "foundation/log.h"
#include "foundation/paths.h"

namespace korvex {

namespace {

std::unique_ptr<Workspace>& installed() {
  static std::unique_ptr<Workspace> instance;
  return instance;
}

}  // namespace

void Workspace::beep() { terminalBeep(); }

std::unique_ptr<Workspace> setWorkspace(std::unique_ptr<Workspace> workspace) {
  std::swap(installed(), workspace);
  return workspace;
}

Workspace* workspace() { return installed().get(); }

void terminalBeep() {
  if (::isatty(STDERR_FILENO)) {
    const char bell = '\a';
    [[maybe_unused]] ssize_t written = ::write(STDERR_FILENO, &bell, 1);
  }
}

std::string appNameForFileExtension(const std::string& extension, const std::string& fallbackExtension,
                                    const std::string& fallbackApplication) {
  if (Workspace* ws = workspace()) {
    if (auto name = ws->defaultApplicationForExtension(extension)) return *name;
    if (auto name = ws->defaultApplicationForExtension(fallbackExtension)) return *name;
  }
  return fallbackApplication;
}

bool openDocWithApp(const std::string& path, const std::optional<std::string>& application, bool /*deactivate*/) {
  Workspace* ws = workspace();
  if (!ws) {
    MyLog("no workspace to open %@", path);
    return false;
  }
  if (!application) return ws->openPath(path, appNameForFileExtension(pathExtension(path), "txt", "TextEdit"));
  return ws->openPath(path, application);
}

bool openDocWithPath(const std::string& path) { return openDocWithApp(path, std::nullopt); }

void beep() {
  if (Workspace* ws = workspace())
    ws->beep();
  else
    terminalBeep();
}

}  // namespace korvex
