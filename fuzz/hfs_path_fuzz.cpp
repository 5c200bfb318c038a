// Any text as a POSIX or an HFS path: converted or left alone, never a crash;
// a POSIX path that converts to HFS converts back to a path.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/hfs_path.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const korvex::HfsVolumes volumes{"Macintosh HD", {"/media", "/mnt"}, "/Volumes"};
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (std::optional<std::string> hfs = korvex::posixToHfs(text, volumes))
    if (!korvex::hfsToPosix(*hfs, volumes)) {
      std::fprintf(stderr, "HFS path \"%s\" of \"%s\" does not convert back\n", hfs->c_str(), text.c_str());
      std::abort();
    }
  (void)korvex::hfsToPosix(text, volumes);
  (void)korvex::pathWithString(text);
  (void)korvex::hfsPathWithString(text);
  return 0;
}
