#include "dialogs/modal_windows.h"

#include "dialogs/modal_dialog_state.h"

namespace korvex {

std::optional<std::vector<std::string>> runOpenPanel(const OpenPanelRequest& request) {
  MyModalDialogState guard;
  std::optional<std::vector<std::string>> chosen = dialogBackend().runOpenPanel(request);
  // An OK without a selection is no choice.
  if (chosen && chosen->empty()) return std::nullopt;
  return chosen;
}

std::optional<std::string> chooseFolder(const std::string& title, const std::string& startFolder) {
  OpenPanelRequest request;
  request.title = title;
  request.chooseFolders = true;
  request.canCreateFolders = true;
  request.startFolder = startFolder;
  std::optional<std::vector<std::string>> chosen = runOpenPanel(request);
  if (!chosen) return std::nullopt;
  return chosen->front();
}

std::optional<std::vector<std::string>> chooseFiles(const std::string& title,
                                                    const std::vector<std::string>& extensions, bool multiple) {
  OpenPanelRequest request;
  request.title = title;
  request.allowedExtensions = extensions;
  request.multiple = multiple;
  return runOpenPanel(request);
}

int runModalForWindow(Window& window, WindowController& controller) {
  MyModalDialogState guard;
  return dialogBackend().runModalWindow(window, controller);
}

}  // namespace korvex
