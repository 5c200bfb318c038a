// Any bytes given to the document loader either load or are refused with a
// one-line message; what loads saves and loads again to the same bytes. The
// documents' folder holds pictures sound and damaged, so links to them read
// values from real files on the way in.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "host/document_file.h"

namespace {

// A 3 × 2 palette PNG written by ImageMagick.
constexpr unsigned char kPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00,
    0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x01, 0x03, 0x00, 0x00, 0x00, 0xa7, 0xba, 0xf4, 0x59, 0x00,
    0x00, 0x00, 0x03, 0x50, 0x4c, 0x54, 0x45, 0xff, 0x00, 0x00, 0x19, 0xe2, 0x09, 0x37, 0x00, 0x00, 0x00,
    0x0c, 0x49, 0x44, 0x41, 0x54, 0x08, 0xd7, 0x63, 0x60, 0x60, 0x60, 0x00, 0x00, 0x00, 0x04, 0x00, 0x01,
    0x27, 0x34, 0x27, 0x0a, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

void write(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string folder;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/korvex-fuzz-XXXXXX";
  if (!mkdtemp(pattern)) std::abort();
  folder = pattern;
  const std::string links = folder + "/Links";
  if (mkdir(links.c_str(), 0700) != 0) std::abort();
  const std::string_view png(reinterpret_cast<const char*>(kPng), sizeof kPng);
  write(links + "/ok.png", png);
  // Huge pixel sizes in the header, as a damaged file had them.
  std::string garbage(png);
  garbage.replace(16, 8, std::string("\x05\xCC\xA0\xEF\x3E\x83\xF5\x15", 8));
  write(links + "/garbage.png", garbage);
  write(links + "/cut.png", png.substr(0, 40));
  write(links + "/page.pdf", "%PDF-1.4\n%%EOF\n");
  write(links + "/notes.bin", "no picture\n");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  korvex::DocumentLoadResult first = korvex::parseDocument(bytes, "fuzz.indd", folder);
  if (first.error != korvex::kSuccess) {
    if (first.document || first.message.empty() || first.message.find('\n') != std::string::npos)
      std::abort();
    return 0;
  }
  const std::string saved = korvex::serializeDocument(*first.document);
  korvex::DocumentLoadResult second = korvex::parseDocument(saved, "fuzz.indd", folder);
  if (second.error != korvex::kSuccess) std::abort();
  if (korvex::serializeDocument(*second.document) != saved) std::abort();
  return 0;
}
