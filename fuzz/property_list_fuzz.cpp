// Any bytes must read as a property list or as none, never crash; whatever
// reads must write back and read again to the same value.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "foundation/property_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto value = korvex::readPropertyList(std::span<const std::uint8_t>(data, size));
  if (!value) return 0;
  (void)value->description();
  if (auto xml = korvex::propertyListXML(*value)) {
    auto again = korvex::readPropertyList(std::string_view(*xml));
    if (!again) std::abort();
  }
  return 0;
}
