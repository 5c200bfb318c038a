// Any bytes as the settings file: loaded or refused with a reason, never a
// crash; what loads is saved and loads again to the same dictionary.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/settings_store.h"
#include "fuzz_support.h"

namespace {
std::string folder;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  folder = korvex::fuzz::makeFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = folder + "/Korvex.plist";
  korvex::fuzz::writeInput(path, data, size);
  korvex::KorvexSettings settings(path);
  (void)settings.hotFolder();
  (void)settings.hotFolderQueue();
  (void)settings.options();
  (void)settings.pdf();
  (void)settings.print();
  settings.setPath(folder + "/again.plist");
  if (settings.save()) return 0;
  korvex::KorvexSettings again(folder + "/again.plist");
  const std::string before = korvex::Value(settings.dict()).description();
  const std::string after = korvex::Value(again.dict()).description();
  if (again.loadProblem() || after != before) {
    std::fprintf(stderr, "saved settings read back differently:\n%s\n----\n%s\n", before.c_str(), after.c_str());
    std::abort();
  }
  unlink((folder + "/again.plist").c_str());
  return 0;
}
