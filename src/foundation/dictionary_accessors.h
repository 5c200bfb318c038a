#pragma once

// Typed accessors over the settings and action dictionaries. Their
// fallback rules make a missing or mistyped key harmless: every reader takes
// the caller's default, and a null dictionary yields the default.
//
// Readers take the key as a plain key. Setters store through key paths ("A.B"
// is key "B" of the dictionary held under "A"); numbers are stored as decimal
// text, which the readers accept as well as number values.

#include <optional>
#include <string>
#include <string_view>

#include "foundation/value.h"

namespace korvex {

// A string value as it is (also ""); a number as its decimal text; anything
// else, or no value, the default (which may be nil).
std::optional<std::string> stringForKey(const DictPtr& dict, std::string_view key,
                                        std::optional<std::string_view> defaultValue = std::nullopt);
// intValue of a string or number value (the leading decimal integer of a
// string, 0 when it has none; a number's integer part); otherwise the default.
int integerForKey(const DictPtr& dict, std::string_view key, int defaultValue);
int intForKey(const DictPtr& dict, std::string_view key, int defaultValue);
// The value as by stringForKey; none gives the default; otherwise every ","
// becomes "." and the text's floatValue is the result ("2,5" gives 2.5).
float floatForKey(const DictPtr& dict, std::string_view key, float defaultValue);
// The dictionary under the key; null when a value of another kind is there
// (it is left alone); when there is no value and create is set, a new empty
// dictionary stored under the key; otherwise null.
DictPtr dictForKey(const DictPtr& dict, std::string_view key, bool create);
// The same for arrays.
ArrayPtr arrayForKey(const DictPtr& dict, std::string_view key, bool create);

// Stores the value at the key path; nil removes the key (taken as a plain key).
void setStringForKey(const DictPtr& dict, std::string_view keyPath, std::optional<std::string_view> value);
// Store the number's decimal text ("1"; a float's shortest text) at the key path.
void setIntegerForKey(const DictPtr& dict, std::string_view keyPath, int value);
void setFloatForKey(const DictPtr& dict, std::string_view keyPath, float value);

// The platform's setValue:forKeyPath: for our dictionaries. Each component but
// the last must name a dictionary; when one is missing or holds something else
// nothing is stored (the platform sends the message to nil in the first case
// and raises in the second; we never raise and never replace a value to make
// room). A nil value removes the last component's key. True when stored/removed.
bool setValueForKeyPath(const DictPtr& dict, std::string_view keyPath, Value value);

}  // namespace korvex
