#include "log_command.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "command.h"
#include "foundation/log.h"

namespace korvex::cli {

namespace {

const char* const kLogFolder = "Tamrisk";

// Restarts the log, writes a line and reads the file back: proves that the
// Documents folder is writable and that lines reach the disk.
int checkLog() {
  setupLog(true, kLogFolder);
  MyLog("log check");
  auto path = getLogPath();
  std::ifstream in(*path);
  std::stringstream text;
  text << in.rdbuf();
  std::string content = text.str();
  bool ok = content.find(": Korvex 3.02, CS6\n") != std::string::npos &&
            content.find(": Korvex::log check\n") != std::string::npos;
  if (!ok) {
    std::fprintf(stderr, "korvex: %s: the log could not be written\n", path->c_str());
    return kExitFailed;
  }
  std::printf("%s", content.c_str());
  std::printf("log ok: %s\n", path->c_str());
  return kExitOk;
}

}  // namespace

int runLogCommand(std::span<const std::string> args) {
  if (args.size() != 1) return usageError("usage: korvex log path|check|show");
  const std::string& what = args[0];
  if (what == "check") return checkLog();
  setupLog(false, kLogFolder);
  if (what == "path") {
    std::printf("%s\n", getLogPath()->c_str());
    return kExitOk;
  }
  if (what == "show") {
    showLogFile();
    return kExitOk;
  }
  return usageError("usage: korvex log path|check|show");
}

}  // namespace korvex::cli
