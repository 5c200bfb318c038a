#include "docmodel/units.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

TEST(Units, FactorsAndInPlaceConversions) {
  for (int other : {0, 5, -3, 7}) EXPECT_FLOAT_EQ(scaleForUnit(static_cast<MyUnits>(other)), 1.0f) << other;

  float a = 72, b = 144, c = 36, d = 0;
  ptsToUnit(a, b, c, d, kUnitInches);
  EXPECT_FLOAT_EQ(a, 1);
  EXPECT_FLOAT_EQ(b, 2);
  EXPECT_FLOAT_EQ(c, 0.5f);
  EXPECT_FLOAT_EQ(d, 0);
  unitToPts(a, b, c, d, kUnitInches);
  EXPECT_FLOAT_EQ(a, 72);
  EXPECT_FLOAT_EQ(c, 36);

  float x = 10, y = 20;
  unitToPts(x, y, kUnitMillimeters);
  EXPECT_NEAR(x, 28.346457f, 1e-4);
  EXPECT_NEAR(y, 56.692913f, 1e-4);
}

TEST(Units, FixedPointConversions) {
  EXPECT_FLOAT_EQ(fixedToUnit(65536, kUnitPoints), 1.0f);
  EXPECT_NEAR(fixedToUnit(65536 * 72, kUnitMillimeters), 25.4f, 1e-4);
  EXPECT_EQ(unitToFixed(1.0f, kUnitPoints), 65536);
  EXPECT_EQ(unitToFixed(1.0f, kUnitInches), 72L * 65536);
  // Unit 0 or less passes values through unscaled.
  EXPECT_FLOAT_EQ(fixedToUnit(65536, kUnitNone), 65536.0f);
  EXPECT_FLOAT_EQ(fixedToUnit(-7, static_cast<MyUnits>(-1)), -7.0f);
  EXPECT_EQ(unitToFixed(12.9f, kUnitNone), 12);
  EXPECT_EQ(unitToFixed(-12.9f, kUnitNone), -12);
  // Unit 5 has no row: unscaled factor, but fixed-point scaling still applies.
  EXPECT_FLOAT_EQ(fixedToUnit(65536, static_cast<MyUnits>(5)), 1.0f);
}

TEST(Units, FormattingDropsTrailingZerosAndAddsSuffixes) {
  EXPECT_EQ(stringWithFloat(12.5f, 2), "12.5");
  EXPECT_EQ(stringWithFloat(3.0f, 2), "3");
  EXPECT_EQ(stringWithFloat(0.0f, 2), "0");
  EXPECT_EQ(stringWithFloat(-2.125f, 3), "-2.125");
  // Zeros of the integer part are no trailing zeros.
  EXPECT_EQ(stringWithFloat(100.0f, 0), "100");
  EXPECT_EQ(stringWithFloat(0.0f, 0), "0");
  EXPECT_EQ(stringWithFloat(-0.001f, 2), "0");
  EXPECT_EQ(stringWithFloat(72.0f, kUnitInches), "1");
  EXPECT_EQ(stringWithFloat(10.0f, kUnitMillimeters), "3.527778");

  EXPECT_EQ(stringWithFixed(65536, kUnitMillimeters, 1), "0.35 mm");
  EXPECT_EQ(stringWithFixed(65536, kUnitPoints, 1), "1 pts");
  EXPECT_EQ(stringWithFixed(65536, kUnitPoints, 0), "1");
  EXPECT_EQ(stringWithFixed(65536, kUnitPoints, 2), "1");  // only the flag value 1 asks for the unit
  EXPECT_EQ(stringWithFixed(65536, kUnitNone, 1), "65536");
  EXPECT_EQ(stringWithFixed(72 * 65536, kUnitInches, 1), "1 \"");
  EXPECT_EQ(stringWithFixed(65536 / 2, kUnitPercent, 1), "50 %");

  char buffer[32] = "unchanged";
  stringWithFixed(2 * 65536, kUnitCentimeters, buffer, 1);
  EXPECT_STREQ(buffer, "0.07 cm");
}

TEST(Units, ParsingMeasures) {
  EXPECT_FLOAT_EQ(floatWithString("7,5", kUnitPoints), 7.5f);
  EXPECT_NEAR(floatWithString("10 mm", kUnitPoints), 28.346457f, 1e-4);
  EXPECT_NEAR(floatWithString("10", kUnitMillimeters), 28.346457f, 1e-4);
  EXPECT_FLOAT_EQ(floatWithString("12pt", kUnitInches), 12.0f);
  EXPECT_FLOAT_EQ(floatWithString("1", kUnitInches), 72.0f);
  // One "+" or one "-" between two numbers is computed; more leave the leading number.
  EXPECT_FLOAT_EQ(floatWithString("2+3", kUnitPoints), 5.0f);
  EXPECT_FLOAT_EQ(floatWithString("1+2+3", kUnitPoints), 1.0f);
  EXPECT_FLOAT_EQ(floatWithString("-5", kUnitPoints), -5.0f);
  EXPECT_FLOAT_EQ(floatWithString("9-3-1", kUnitPoints), 9.0f);
  EXPECT_NEAR(floatWithString("10-2mm", kUnitPoints), 8.0f / 0.35277778f, 1e-3);
  // A unit in the text wins over the one passed in.
  EXPECT_NEAR(floatWithString("5mm", kUnitPercent), 14.173228f, 1e-4);
  EXPECT_FLOAT_EQ(floatWithString("50", kUnitPercent), 0.5f);
  // No number at all.
  EXPECT_FLOAT_EQ(floatWithString("", kUnitPoints), 0.0f);
  EXPECT_FLOAT_EQ(floatWithString(std::nullopt, kUnitPoints), 0.0f);
  EXPECT_FLOAT_EQ(floatWithString("abc", kUnitPoints), 0.0f);
  EXPECT_FLOAT_EQ(floatWithString("  3.25xyz", kUnitPoints), 3.25f);

  EXPECT_EQ(fixedWithString("1,5", kUnitPoints), 98304);
  EXPECT_EQ(fixedWithString("1", kUnitInches), 72L * 65536);
}

TEST(Units, LastCharAndPoints) {
  EXPECT_EQ(lastChar(""), 0);
  EXPECT_EQ(lastChar(std::nullopt), 0);
  EXPECT_EQ(lastChar("10 mm"), u'm');
  EXPECT_EQ(lastChar("caf\xC3\xA9"), u'\u00E9');
  // Outside the basic plane the last UTF-16 unit is the low surrogate.
  EXPECT_EQ(lastChar("x\xF0\x9F\x98\x80"), static_cast<char16_t>(0xDE00));

  EXPECT_EQ(stringWithPoint(MyPoint{1.5f, -2}), "1.500000 -2.000000");
}

}  // namespace
}  // namespace korvex
