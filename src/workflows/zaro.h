#pragma once

// The Zaro translation workflows. Each language's text sits on a layer
// "TextLayer:SUFFIX"; a frozen copy of it, "Check_TextLayer:SUFFIX", lets
// translators check their corrections.
//
// - doZaro1 ("Checkebenen erstellen") makes the check layer and saves a copy
//   of the document as "Arbeitsdaten/NAME.indd" beside it.
// - doZaro2 ("Checkebenen löschen") removes the check layer and exports the
//   document as IDML to "Daten_zur_Auslieferung/NAME.idml" beside it.
//
// Each works on the given (front) document; without one it asks for a folder
// and processes its ".idml" (doZaro1) or ".indd" (doZaro2) files behind a
// progress window, restarting the log and opening it at the end.

#include <optional>
#include <string>

#include "foundation/value.h"
#include "host/document.h"

namespace korvex {

inline constexpr const char* kZaroTextLayer = "TextLayer";
inline constexpr const char* kZaroCheckLayer = "Check_TextLayer";
inline constexpr const char* kZaroWorkFolder = "Arbeitsdaten";
inline constexpr const char* kZaroDeliveryFolder = "Daten_zur_Auslieferung";

// The suffix of a layer name that is base + ":" + suffix (exactly two parts
// at ":"), else none.
std::optional<std::string> layerSuffix(const std::string& layerName, const std::string& base);

// The dictionary is ignored; both always answer true.
bool doZaro1(IDocument* document, const DictPtr& action);
bool doZaro2(IDocument* document, const DictPtr& action);

// One document each, path being where it came from (none: nothing is saved
// or exported).
void zaro1Document(IDocument* document, const std::optional<std::string>& path);
void zaro2Document(IDocument* document, const std::optional<std::string>& path);

}  // namespace korvex
