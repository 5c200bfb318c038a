#include "platform/recording_workspace.h"

namespace korvex {

bool RecordingWorkspace::openPath(const std::string& path, const std::optional<std::string>& application) {
  requests_.push_back({path, application});
  return true;
}

std::optional<std::string> RecordingWorkspace::defaultApplicationForExtension(const std::string& extension) {
  auto it = defaults_.find(extension);
  if (it == defaults_.end()) return std::nullopt;
  return it->second;
}

void RecordingWorkspace::setDefaultApplication(const std::string& extension, const std::optional<std::string>& name) {
  if (name)
    defaults_[extension] = *name;
  else
    defaults_.erase(extension);
}

}  // namespace korvex
