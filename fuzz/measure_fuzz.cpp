// Any text as a measure in every unit: parsed to a number without undefined
// behaviour (huge values, NaN and infinities included), and what parses
// writes back as text.
#include <cstdint>
#include <string>

#include "docmodel/units.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (korvex::MyUnits unit : {korvex::kUnitNone, korvex::kUnitPoints, korvex::kUnitInches,
                               korvex::kUnitMillimeters, korvex::kUnitCentimeters, korvex::kUnitPercent}) {
    const float value = korvex::floatWithString(text, unit);
    const long fixed = korvex::fixedWithString(text, unit);
    (void)korvex::stringWithFloat(value, unit);
    (void)korvex::stringWithFixed(fixed, unit, 1);
    (void)korvex::unitToFixed(value, unit);
    (void)korvex::fixedToUnit(fixed, unit);
  }
  return 0;
}
