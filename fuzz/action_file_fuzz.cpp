// Any bytes as an action file of the user's actions folder: read as a chain,
// as a name's chain and as a name's parameters, never a crash; a chain is
// never null and holds only what the file held.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/action_files.h"
#include "fuzz_support.h"

namespace {
std::string folder;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  folder = korvex::fuzz::makeFolder();
  setenv("HOME", folder.c_str(), 1);
  setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string file = korvex::actionFilePath("Chain");  // .../Chain.plist
  korvex::fuzz::writeInput(file, data, size);
  if (korvex::ArrayPtr chain = korvex::actionsArray("Chain.plist"))
    for (std::size_t i = 0; i < chain->size(); ++i) (void)chain->at(i).description();
  korvex::ArrayPtr named = korvex::actionsForName("Chain");
  if (!named) std::abort();
  (void)korvex::dictForAction("Chain", korvex::Dictionary::make());
  return 0;
}
