#pragma once

// The text side of the row table: the quote processing that hides the line
// breaks and separators of quoted runs, and the split into header and rows.

#include <string>
#include <string_view>
#include <vector>

namespace korvex {

// Every CR LF pair becomes one CR.
std::string collapseCRLF(std::string_view text);
void collapseCRLFInPlace(std::string& text);

// Quote processing over the bytes of the text: outside a quoted run LF
// becomes CR and a double quote opens a run (and is dropped); inside, CR
// becomes LF, the separator byte FF, "" one ", a single " closes the run.
// Trailing CRs go. Texts shorter than 3 bytes come back unchanged.
std::string processQuotes(std::string_view text, char separator);
// The same over the text's own bytes: the result is never longer.
void processQuotesInPlace(std::string& text, char separator);

// The pieces of the text between the separators (the separator a non-empty string).
std::vector<std::string_view> splitText(std::string_view text, std::string_view separator);

// The header's names: blanks (U+0020 only) trimmed, trailing empty names removed.
std::vector<std::string> headerNames(std::string_view line, std::string_view separator);

// A data field as it goes into the row: LF back to CR, FF back to the separator.
std::string restoreField(std::string_view field, std::string_view separator);
void appendRestoredField(std::string& out, std::string_view field, std::string_view separator);

}  // namespace korvex
