#pragma once

// The workspace: the desktop services the plug-in asks of the platform —
// open a file with its default or a named application, name the default
// application for a file extension, sound the system beep.
//
// The foundation only declares the interface; the platform layer provides
// XdgWorkspace (xdg-open and friends) and RecordingWorkspace (tests). The
// application installs one at startup with setWorkspace.
//
// With no workspace installed, nothing is ever launched: the opening
// functions log "no workspace to open %@" and answer false, default
// applications are unknown (so the caller's fallback is taken), and beep()
// rings the terminal bell as below. This keeps tests and tools that forget
// to install one from starting desktop programs.

#include <memory>
#include <optional>
#include <string>

namespace korvex {

class Workspace {
 public:
  virtual ~Workspace() = default;
  // Opens the path with the named application, or with the default one for
  // the file when none is named. True when the request was handed on (the
  // program started); never waits for the application.
  virtual bool openPath(const std::string& path, const std::optional<std::string>& application) = 0;
  // The file name of the default application for files with this extension
  // (no dot), none when unknown.
  virtual std::optional<std::string> defaultApplicationForExtension(const std::string& extension) = 0;
  // The system beep; by default the terminal bell (terminalBeep).
  virtual void beep();
};

// Installs the workspace (none to uninstall) and answers the former one.
std::unique_ptr<Workspace> setWorkspace(std::unique_ptr<Workspace> workspace);
// The installed workspace, null when none.
Workspace* workspace();

// Writes BEL to standard error when that is a terminal; nothing otherwise.
void terminalBeep();

// the default application of the path's extension,
// else of "txt", else "TextEdit"; the path opened with it.
bool openDocWithPath(const std::string& path);
// Opens the path with the named application (none: chosen as in
// openDocWithPath). Bringing it to the front ("deactivate" the host) is the
// desktop's business on Linux; the flag is accepted and ignored.
bool openDocWithApp(const std::string& path, const std::optional<std::string>& application, bool deactivate = true);
// The default application for the extension, else for the fallback
// extension, else the fallback application.
std::string appNameForFileExtension(const std::string& extension, const std::string& fallbackExtension,
                                    const std::string& fallbackApplication);

// The system beep: the workspace's, or the terminal bell when none is installed.
void beep();

}  // namespace korvex
