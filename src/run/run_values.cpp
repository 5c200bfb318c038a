#include "run/run_values.h"

#include "foundation/log.h"

namespace korvex {

namespace {
struct RunValues {
  bool showLog = false;
  bool saveProject = false;
  std::optional<std::string> dstFolder;
};
RunValues& values() {
  static RunValues v;
  return v;
}
}  // namespace

bool setError(std::string_view message) {
  MyLog("%@", message);
  values().showLog = true;
  return true;
}

void setShowLog(bool show) {
  values().showLog = show;
}

bool getShowLog() {
  const bool shown = values().showLog;
  values().showLog = false;
  return shown;
}

void setSaveProject(bool save) {
  values().saveProject = save;
}
bool getSaveProject() {
  return values().saveProject;
}

void setDstFolder(std::optional<std::string> folder) {
  values().dstFolder = std::move(folder);
}
std::optional<std::string> getDstFolder() {
  return values().dstFolder;
}

}  // namespace korvex
