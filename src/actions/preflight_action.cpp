#include "actions/preflight_action.h"

#include <cctype>

#include "actions/pdf_action.h"
#include "docmodel/documents.h"
#include "docmodel/layers.h"
#include "docmodel/my_doc.h"
#include "docmodel/traversal.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/files.h"
#include "foundation/folder_values.h"
#include "foundation/format.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/unicode.h"
#include "host/layout.h"
#include "host/preflight/preflight.h"
#include "run/run_values.h"

namespace korvex {

namespace {

PreflightService* service() {
  Session* session = GetExecutionContextSession();
  return session ? &preflightService(*session) : nullptr;
}

// The value of the leading digits; 0 when the word does not begin with one.
int leadingNumber(const std::string& word) {
  int value = 0;
  for (char c : word) {
    if (!std::isdigit(static_cast<unsigned char>(c))) break;
    if (value > 100000000) break;  // a longer run of digits names no page
    value = value * 10 + (c - '0');
  }
  return value;
}

std::vector<std::string> splitAtSpaces(const std::string& text) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (true) {
    std::size_t end = text.find(' ', start);
    words.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return words;
}

// Only the text layer stays visible, and nothing stays locked.
void showOnlyTextLayer(IDocument* document) {
  EnumDocLayers(
      document,
      [](IDocumentLayer* layer, const std::string& name, void*) {
        layer->SetLocked(false);
        layer->SetVisible(equalsCaseInsensitive(name, "Text"));
        return true;
      },
      nullptr);
  redrawDoc(document);
}

void exportCleanDocument(IDocument* document, const DictPtr& action) {
  std::optional<std::pair<std::string, std::string>> names;
  if (std::optional<std::string> path = pathForDoc(document))
    names = preflightPdfNames(lastPathComponent(*path, false));

  std::optional<std::pair<std::string, std::string>> targets;
  if (names) {
    const std::optional<std::string> folder = folderForKey(action, "PDFPath");
    if (folder && pathIsFolder(*folder)) {
      targets.emplace(stringByAppendingPathComponent(*folder, names->first + ".pdf"),
                      stringByAppendingPathComponent(*folder, names->second + ".pdf"));
    } else {
      MyLog("\t####\tUngültiger Pfad: %@ (%@)", folder, "PDFPath");
    }
  }
  if (!targets) {
    MyLog("\t####\tPDF Exportpfade: %@", std::optional<std::string>());
    return;
  }
  const std::string styleName = stringForKey(action, "PDFStyle").value_or("DuV");
  const std::optional<PdfExportStyle> style = getPDFStyle(styleName);
  if (!style) {
    MyLog("\t####\tUngültiger Exportstil (%@)", styleName);
    return;
  }
  MyDoc doc(document);
  MyLog("\tsaveAsPDF: %@", targets->first);
  saveAsPDF(doc, targets->first, style, 0, 2, 1);
  MyLog("\tsaveAsPDF: %@", targets->second);
  saveAsPDF(doc, targets->second, style, 1, 2, 1);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> preflightNames() {
  std::vector<std::pair<std::string, std::string>> names;
  PreflightService* preflight = service();
  if (!preflight) return names;
  // The host has no translations of its own: a name stands for itself.
  for (const PreflightProfile& profile : preflight->profiles().profiles())
    names.emplace_back(profile.name, profile.name);
  return names;
}

bool countPreflightErrors(IDocument* document, const std::string& profile) {
  PreflightService* preflight = service();
  if (!preflight || !document) return false;
  if (!profile.empty()) {
    const int index = preflight->profiles().indexOf(profile);
    if (index < 0) {
      MyLog("\t####\tInvalid Preflight Profile (%@)", profile);
      return false;
    }
    preflight->prepare(*document);
    preflight->assignProfile(*document, index);
  }
  preflight->process(*document);
  if (preflight->state(*document) != PreflightState::Complete) return false;
  const std::vector<PreflightResultEntry> results = preflight->aggregatedResults(*document);
  const std::size_t errors = results.size() == 1 ? results.front().data.size() : 0;
  return errors >= 1;
}

std::optional<std::pair<std::string, std::string>> preflightPdfNames(const std::string& documentName) {
  const std::vector<std::string> words = splitAtSpaces(documentName);
  if (words.size() < 3) return std::nullopt;
  const std::string& word = words[words.size() - 2];
  const int number = leadingNumber(words.back());
  return std::pair{stringWithFormat("%03d-%@-%@", number - 1, word, documentName),
                   stringWithFormat("%03d-%@-%@", number, word, documentName)};
}

bool doPreflight(IDocument* document, const DictPtr& action) {
  setDstFolder(std::nullopt);
  bool clean = false;
  if (docLayerByName(document, "Text", false) != kInvalidUID) {
    showOnlyTextLayer(document);
    const std::optional<std::string> profile = stringForKey(action, "PreflightProfile");
    if (!profile)
      MyLog("\t####\tKein Preflight Profil definiert!");
    else
      clean = !countPreflightErrors(document, *profile);
  }
  if (clean) {
    exportCleanDocument(document, action);
    return true;
  }
  setDstFolder(folderForKey(action, "ErrorFolder"));
  return true;
}

}  // namespace korvex
