// Any bytes as a .ui interface file: a window or a one-line refusal naming
// the file, never a crash; a window that reads dumps as JSON.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "dialogs/interface_file.h"
#include "dialogs/window_dump.h"
#include "fuzz_support.h"

namespace {
std::string folder;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  folder = korvex::fuzz::makeFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = folder + "/Window.ui";
  korvex::fuzz::writeInput(path, data, size);
  korvex::Result<korvex::Window> window = korvex::readInterfaceFile(path);
  if (!window) {
    if (window.message().rfind(path, 0) != 0 || window.message().find('\n') != std::string::npos) {
      std::fprintf(stderr, "not one line naming the file: %s\n", window.message().c_str());
      std::abort();
    }
    return 0;
  }
  (void)korvex::dumpWindow(*window).dump();
  return 0;
}
