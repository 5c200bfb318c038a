// Any bytes decode to a text, never crash, and the text is valid UTF-8.
#include <unicode/utf8.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "foundation/text_encoding.h"

namespace {

bool isValidUtf8(std::string_view s) {
  int32_t i = 0, n = static_cast<int32_t>(s.size());
  while (i < n) {
    UChar32 c;
    U8_NEXT(s.data(), i, n, c);
    if (c < 0) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto decoded = korvex::decodeText(bytes);
  if (!isValidUtf8(decoded.text)) std::abort();
  return 0;
}
