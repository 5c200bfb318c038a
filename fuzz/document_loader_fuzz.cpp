// Any bytes given to the document loader either load or are refused with a
// one-line message; what loads saves and loads again to the same bytes.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/document_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  korvex::DocumentLoadResult first = korvex::parseDocument(bytes, "fuzz.indd", "/nonexistent-korvex-fuzz");
  if (first.error != korvex::kSuccess) {
    if (first.document || first.message.empty() || first.message.find('\n') != std::string::npos)
      std::abort();
    return 0;
  }
  const std::string saved = korvex::serializeDocument(*first.document);
  korvex::DocumentLoadResult second = korvex::parseDocument(saved, "fuzz.indd", "/nonexistent-korvex-fuzz");
  if (second.error != korvex::kSuccess) std::abort();
  if (korvex::serializeDocument(*second.document) != saved) std::abort();
  return 0;
}
