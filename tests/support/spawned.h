#pragma once

// A process of its own that a test starts, signals and waits for; killed
// with SIGKILL if it still runs when the object goes.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace korvex::test {

class Spawned {
 public:
  // Standard output and error go to output when given, else nowhere.
  explicit Spawned(std::vector<std::string> argv, const std::filesystem::path& output = {});
  ~Spawned() { kill(); }
  Spawned(const Spawned&) = delete;
  Spawned& operator=(const Spawned&) = delete;

  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  // SIGKILL and reap.
  void kill();
  // Sends the signal and waits for the exit; the exit code, -1 when it died of a signal.
  int stop(int signal);
  // Waits for the exit; the exit code, -1 when it died of a signal.
  int wait();

 private:
  pid_t pid_ = -1;
};

}  // namespace korvex::test
