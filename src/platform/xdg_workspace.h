#pragma once

// The workspace of a Linux desktop (freedesktop.org tools):
//   - a file is opened with `xdg-open <path>`; a named application that is a
//     desktop entry ("org.gnome.gedit.desktop") with `gtk-launch <entry> <path>`
//     (xdg-open when gtk-launch is missing); any other name is run as a
//     program `<name> <path>` (xdg-open when no such program exists).
//     Programs are started with posix_spawn, no shell, stdin and stdout on
//     /dev/null, in a process group of their own, and never waited for
//     (finished ones are reaped later, so no zombies pile up);
//   - the default application of an extension is the desktop entry that
//     `xdg-mime query default <type>` names for the extension's MIME type
//     (from shared-mime-info's globs2 files, then /etc/mime.types).
// Missing tools are no error to the caller beyond the answer: opening
// answers false and logs, the default application is unknown.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "foundation/workspace.h"

namespace korvex {

class XdgWorkspace : public Workspace {
 public:
  XdgWorkspace() = default;
  ~XdgWorkspace() override;
  XdgWorkspace(const XdgWorkspace&) = delete;
  XdgWorkspace& operator=(const XdgWorkspace&) = delete;

  bool openPath(const std::string& path, const std::optional<std::string>& application) override;
  std::optional<std::string> defaultApplicationForExtension(const std::string& extension) override;

  // The MIME type of files with the extension; none when unknown.
  static std::optional<std::string> mimeTypeForExtension(const std::string& extension);

 private:
  // Starts the program (searched on PATH) with the arguments; 0 or the errno.
  int spawn(const std::vector<std::string>& argv);
  void reapFinished();

  std::vector<pid_t> children_;
};

}  // namespace korvex
