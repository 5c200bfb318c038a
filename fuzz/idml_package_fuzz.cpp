// Any bytes given to the IDML package reader either load or are refused with
// a one-line message; what loads saves as a native document that loads again.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/document_file.h"
#include "host/idml/package_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  korvex::DocumentLoadResult first = korvex::idml::readPackage(bytes, "fuzz.idml", "/nonexistent-korvex-fuzz");
  if (first.error != korvex::kSuccess) {
    if (first.document || first.message.empty() || first.message.find('\n') != std::string::npos)
      std::abort();
    return 0;
  }
  const std::string saved = korvex::serializeDocument(*first.document);
  korvex::DocumentLoadResult second = korvex::parseDocument(saved, "fuzz.indd", "/nonexistent-korvex-fuzz");
  if (second.error != korvex::kSuccess) std::abort();
  return 0;
}
