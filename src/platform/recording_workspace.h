#pragma once

// A workspace that launches nothing: it records every request and answers
// true. Tests install it to check what would have been opened.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "foundation/workspace.h"

namespace korvex {

class RecordingWorkspace : public Workspace {
 public:
  struct Request {
    std::string path;
    std::optional<std::string> application;
    friend bool operator==(const Request&, const Request&) = default;
  };

  bool openPath(const std::string& path, const std::optional<std::string>& application) override;
  std::optional<std::string> defaultApplicationForExtension(const std::string& extension) override;
  void beep() override { ++beeps_; }

  // Makes name the default application of the extension (none: unknown again).
  void setDefaultApplication(const std::string& extension, const std::optional<std::string>& name);

  const std::vector<Request>& requests() const { return requests_; }
  int beeps() const { return beeps_; }
  void clear() {
    requests_.clear();
    beeps_ = 0;
  }

 private:
  std::vector<Request> requests_;
  std::map<std::string, std::string> defaults_;
  int beeps_ = 0;
};

}  // namespace korvex
