#pragma once

// The host's print service: prints a document under a print style, to a
// named printer through CUPS (destination 0) or to a PostScript file
// (destinations 1 and 2). PostScript is made from the host's own PDF by
// Ghostscript, so print and PDF export show the same colours.

#include <optional>
#include <string>
#include <vector>

#include "foundation/output_file.h"
#include "host/output/page_renderer.h"
#include "host/output/print_style.h"
#include "host/session.h"

namespace korvex {

inline constexpr const char* kPrintServiceName = "Print";

struct PrintResult {
  ErrorCode error = kSuccess;
  std::string message;     // why it failed, one line
  std::string outputFile;  // the PostScript file written (destinations 1 and 2)
  int pages = 0;           // sheets printed
  std::vector<std::string> warnings;
  std::vector<UndrawableFile> undrawable;  // linked files printed without
};

class PrintService : public Service {
 public:
  std::string name() const override { return kPrintServiceName; }

  // The session's style list, read on first use. Changes made through the
  // mutable list (an output file name set on a style) last until reload().
  PrintStyleList& styles();
  void reload();

  // Prints under the named style; an unknown name is an error.
  // A file destination that is not a file, or is an open document, is refused.
  PrintResult print(IDocument& document, const std::string& styleName);
  PrintResult print(IDocument& document, const PrintStyle& style, OlderOutput older = OlderOutput::replace);

 private:
  std::optional<PrintStyleList> styles_;
};

// The service installed in the session's registry, installed on first ask.
PrintService& printService(Session& session);

// PostScript (Ghostscript's ps2write) from PDF bytes, written to psPath only
// once complete; an older file there is replaced or kept in the Trash.
ErrorCode postScriptFromPdf(const std::string& pdfBytes, const std::string& psPath, std::string* message,
                            OlderOutput older = OlderOutput::replace);

// The full path of a program found in $PATH, or empty.
std::string findProgram(const std::string& name);

}  // namespace korvex
