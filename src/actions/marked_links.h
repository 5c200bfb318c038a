#pragma once

// "collect marked links": a job folder for retouching with a copy of the
// document, fixed work folders, the pictures whose IPTC "Source" marks them
// "auskorrigiert" or "unkorrigiert", and a small PDF without the grey and
// "FR" layers.

#include <string>
#include <vector>

namespace korvex {

class IDocument;

// The job folder's work folders, relative to it.
inline constexpr const char* kCorrectedFolder = "Uebernahmebilder/Auskorrigiert";
inline constexpr const char* kUncorrectedFolder = "Neubilder/Unkorrigiert";

// Asks for a folder and builds chosen/Name in it for the document file
// Name.indd. Nothing without a file path or when the chooser is cancelled.
// Always 1: problems with single files are logged and the command goes on.
unsigned char collectMarkedLinks(IDocument* document);

// Empties the folder but keeps the files in keep (absolute paths) and the
// folders that lead to them. Errors are logged.
void emptyFolderKeeping(const std::string& folder, const std::vector<std::string>& keep);

}  // namespace korvex
