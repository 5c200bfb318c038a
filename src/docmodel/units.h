#pragma once

// Measurement units and conversions between points (the host's measure,
// 1/72 inch) and what a user types or reads: scale factors, 16.16 fixed-point
// forms, and measures as text. Pure computation, no host calls.

#include <cstdint>
#include <string>

#include "foundation/strings.h"

namespace korvex {

// Stored and passed as plain integers; values without a row of their own
// (0, 5, negative) are unscaled.
enum MyUnits : int {
  kUnitNone = 0,
  kUnitPoints = 1,
  kUnitInches = 2,
  kUnitMillimeters = 3,
  kUnitCentimeters = 4,
  kUnitPercent = 6,
};

// Single precision, in points.
struct MyPoint {
  float x = 0;
  float y = 0;
  friend bool operator==(const MyPoint&, const MyPoint&) = default;
};

// x and y are the left and top edges; all in points.
struct MyRect {
  float x = 0;
  float y = 0;
  float width = 0;
  float height = 0;
  friend bool operator==(const MyRect&, const MyRect&) = default;
};

// How many of the unit make one point.
float scaleForUnit(MyUnits unit);
// The suffix measures of the unit carry in text (" mm"…), empty for none.
const char* unitSuffix(MyUnits unit);

// In place: points to the unit.
void ptsToUnit(float& value, MyUnits unit);
void ptsToUnit(float& a, float& b, MyUnits unit);
void ptsToUnit(float& a, float& b, float& c, float& d, MyUnits unit);
// In place: the unit to points.
void unitToPts(float& value, MyUnits unit);
void unitToPts(float& a, float& b, MyUnits unit);
void unitToPts(float& a, float& b, float& c, float& d, MyUnits unit);

// 16.16 fixed-point points to the unit; a unit of 0 or less passes the raw
// integer through unscaled.
float fixedToUnit(long fixed, MyUnits unit);
// The unit to 16.16 fixed-point points, truncated; a unit of 0 or less
// truncates the value unscaled.
long unitToFixed(float value, MyUnits unit);

// The value scaled to the unit, as the shortest plain decimal text of a float.
std::string stringWithFloat(float value, MyUnits unit);
// The value with the given decimals, trailing zeros and then a trailing "." removed.
std::string stringWithFloat(float value, int decimals);
// The fixed value in the unit with two decimals; with unitText 1 the unit's suffix follows.
std::string stringWithFixed(long fixed, MyUnits unit, unsigned char unitText);
// The same, copied with its terminating zero into buffer (the caller gives room).
void stringWithFixed(long fixed, MyUnits unit, char* buffer, unsigned char unitText);

// A typed measure in points: decimal comma accepted, one "+" or one "-"
// between two numbers computed, "mm" or "pt" in the text override the unit.
float floatWithString(StringArg text, MyUnits unit);
long fixedWithString(StringArg text, MyUnits unit);
// The last UTF-16 code unit of the text, 0 when empty or none.
char16_t lastChar(StringArg text);

// "%f %f" of x and y.
std::string stringWithPoint(const MyPoint& point);
// Writes "\t" and stringWithPoint to the system console (standard error),
// not to the plug-in's log.
void log(const MyPoint& point);

}  // namespace korvex
