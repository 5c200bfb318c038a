#pragma once

// The user-interface texts: one XML string table per language in the bundle,
// one of them loaded at startup. Every text shown to the user is looked up by
// key; a key without an entry is shown as written, so it doubles as the
// fallback text.

#include <optional>
#include <string>
#include <string_view>

namespace korvex {

// Language codes of setupStrings.
inline constexpr int kLanguageAutomatic = -1;
inline constexpr int kLanguageEnglish = 0;
inline constexpr int kLanguageFrench = 1;
inline constexpr int kLanguageGerman = 3;

// Loads the table of the language code from the bundle: "MyStrings_F" for 1,
// "MyStrings_D" for 3, "MyStrings_E" otherwise (-1 picks 3 or 0 from the
// interface language), then "MyStrings" when that failed. When no table could
// be loaded, an alert says so and the table loaded before (if any) stays.
void setupStrings(int languageCode);
// The same with the tables taken from the given folder.
void setupStrings(int languageCode, const std::string& resourcesFolder);
// Loads one table file: replaces the table and answers true when the file
// parses; a parse error is shown in an alert and the table stays.
bool loadStringTable(const std::string& path);
// Forgets the table: every lookup answers its key again.
void releaseStrings();
bool hasStringTable();

// The table's text for the key, else the key itself.
std::string stringForKey(const std::string& key);
std::string stringForKey(const char* key);
// The table's text for the key, else the default.
std::string stringForKey(const std::string& key, const std::string& defaultValue);
// The table's text for the key, else none.
std::optional<std::string> lookupString(std::string_view key);

// Translates a label: a trailing ":" or "…" is kept and the rest looked up,
// so "Folder:" shares the entry of "Folder". A text without entry stays.
std::string localizeString(std::string_view text);

}  // namespace korvex
