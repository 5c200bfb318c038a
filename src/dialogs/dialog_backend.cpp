#include "dialogs/dialog_backend.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "dialogs/console_progress.h"
#include "foundation/paths.h"
#include "foundation/workspace.h"

namespace korvex {

namespace {
std::unique_ptr<DialogBackend>& installedBackend() {
  static std::unique_ptr<DialogBackend> backend = std::make_unique<ConsoleDialogBackend>();
  return backend;
}

std::optional<Failure>& pendingFailure() {
  static std::optional<Failure> failure;
  return failure;
}

void appendMissing(Control& list, const std::vector<std::string>& paths) {
  for (const std::string& path : paths)
    if (std::find(list.rows.begin(), list.rows.end(), path) == list.rows.end()) list.rows.push_back(path);
}
}  // namespace

std::optional<int> WindowController::performAction(Window&, Control& sender) {
  const std::string_view action = actionOf(sender);
  if (action == "doOkBtn:") return kRunStoppedResponse;
  if (action == "doCancelBtn:") return kRunAbortedResponse;
  return std::nullopt;
}

void WindowController::addPaths(Window&, Control& list, const std::vector<std::string>& paths) {
  appendMissing(list, paths);
}

void WindowController::dropPaths(Window&, Control& list, const std::vector<std::string>& paths) {
  appendMissing(list, paths);
}

bool WindowController::validateDrop(Window&, Control&, const std::vector<std::string>& paths) {
  return !paths.empty();
}

void WindowController::selectionChanged(Window&, Control&) {}

std::optional<std::vector<std::string>> DialogBackend::runOpenPanel(const OpenPanelRequest&) {
  return std::nullopt;
}

int DialogBackend::runModalWindow(Window& window, WindowController&) {
  reportDialogFailure(fail("the window \"" + window.name + "\" can't be shown here", 2));
  return kRunAbortedResponse;
}

ConsoleDialogBackend::ConsoleDialogBackend(std::vector<std::string> chooserAnswers)
    : answers_(std::move(chooserAnswers)) {}

int ConsoleDialogBackend::runAlert(const AlertRequest& request) {
  std::fprintf(stderr, "%s\n", request.message.c_str());
  if (!request.informativeText.empty()) std::fprintf(stderr, "%s\n", request.informativeText.c_str());
  std::fflush(stderr);
  return kAlertFirstButton;
}

void ConsoleDialogBackend::beep() {
  korvex::beep();
}

std::optional<std::vector<std::string>> ConsoleDialogBackend::runOpenPanel(const OpenPanelRequest& request) {
  if (next_ >= answers_.size()) {
    std::fprintf(stderr, "korvex: \"%s\": cancelled (no --choose answer left)\n", request.title.c_str());
    return std::nullopt;
  }
  const std::string path = std::filesystem::absolute(answers_[next_++]).lexically_normal().string();
  if (Status checked = checkChosenPath(request, path); !checked) {
    reportDialogFailure(fail("--choose " + checked.message()));
    return std::nullopt;
  }
  return std::vector<std::string>{path};
}

int ConsoleDialogBackend::runModalWindow(Window& window, WindowController&) {
  reportDialogFailure(fail("the window \"" + window.name +
                               "\" can't be shown on the console: drive it with --ui-script FILE.json, "
                               "or use the desktop host korvex-gui",
                           2));
  return kRunAbortedResponse;
}

std::unique_ptr<ProgressWindow> DialogBackend::makeProgressWindow(const Window*) {
  return std::make_unique<ConsoleProgress>();
}

std::unique_ptr<ProgressWindow> ConsoleDialogBackend::makeProgressWindow(const Window* panel) {
  return DialogBackend::makeProgressWindow(panel);
}

Status checkChosenPath(const OpenPanelRequest& request, const std::string& path) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) return fail(path + ": no such file or folder");
  if (request.chooseFolders) {
    if (!std::filesystem::is_directory(status)) return fail(path + ": not a folder (a folder is asked for)");
    return {};
  }
  if (std::filesystem::is_directory(status)) return fail(path + ": a folder (a file is asked for)");
  if (!request.allowedExtensions.empty() && !pathEndsWith(path, request.allowedExtensions)) {
    std::string allowed;
    for (const std::string& extension : request.allowedExtensions)
      allowed += (allowed.empty() ? "" : ", ") + extension;
    return fail(path + ": not one of the file types asked for (" + allowed + ")");
  }
  return {};
}

void reportDialogFailure(Failure failure) {
  if (!pendingFailure()) pendingFailure() = std::move(failure);
}

std::optional<Failure> takeDialogFailure() {
  return std::exchange(pendingFailure(), std::nullopt);
}

std::unique_ptr<DialogBackend> setDialogBackend(std::unique_ptr<DialogBackend> backend) {
  if (!backend) backend = std::make_unique<ConsoleDialogBackend>();
  return std::exchange(installedBackend(), std::move(backend));
}

DialogBackend& dialogBackend() {
  return *installedBackend();
}

}  // namespace korvex
