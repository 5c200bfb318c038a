#include "actions/print_action.h"

#include <algorithm>

#include "docmodel/documents.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/hfs_path.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/strings.h"
#include "foundation/unicode.h"
#include "host/output/pdf_export.h"
#include "host/output/print.h"
#include "run/run_values.h"
#include "strings/string_table.h"

namespace korvex {

namespace {

PrintService* service() {
  Session* session = GetExecutionContextSession();
  return session ? &printService(*session) : nullptr;
}

std::string defaultStyleName() {
  return stringForKey(kDefaultPrintStyleKey);
}

}  // namespace

PrintStyle* getPrintStyle(const std::optional<std::string>& name) {
  PrintService* printing = service();
  if (!name || !printing) return nullptr;
  const std::string key = stringsAreEqual(*name, defaultStyleName()) ? kDefaultPrintStyleKey : *name;
  return printing->styles().find(key);
}

bool EnumPrintStyles(PrintStyleNameCallback callback, void* data) {
  PrintService* printing = service();
  if (!printing) return false;
  std::vector<std::string> names;
  for (const PrintStyle& style : printing->styles().styles()) names.push_back(style.name);
  for (const std::string& name : names)
    if (!callback(name, data)) return false;
  return true;
}

std::vector<std::string> printStyles(const std::vector<std::string>& exclude) {
  std::vector<std::string> names;
  EnumPrintStyles(
      [](const std::string& name, void* data) {
        static_cast<std::vector<std::string>*>(data)->push_back(name);
        return true;
      },
      &names);
  std::erase_if(names, [&](const std::string& name) {
    return name == kDefaultPrintStyleKey || std::find(exclude.begin(), exclude.end(), name) != exclude.end();
  });
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return compareCaseInsensitive(a, b) < 0;
  });
  // The default style is always offered first, under the name users know.
  names.insert(names.begin(), defaultStyleName());
  return names;
}

bool doPrint(IDocument* document, const DictPtr& action) {
  PrintService* printing = service();
  if (!printing || !document) return true;
  const std::optional<std::string> name = stringForKey(action, "Style");
  PrintStyle* style = getPrintStyle(name);
  if (!style) {
    // Printing nothing without a word would pass unnoticed until the plates are missing.
    MyLog("\t####\tinvalid print style: %@", name);
    setShowLog(true);
    return true;
  }
  if (style->destination == kPrintToFile || style->destination == kPrintToFileSpread) {
    const std::optional<std::string> docPath = pathForDoc(document);
    if (docPath) {
      // The extension is the file name's: in the HFS form a dot in a folder
      // name would look like one.
      const std::string psPath = stringByReplacingPathExtension(*docPath, "ps");
      std::string refusal;
      if (checkOutputPath(psPath, &refusal) != kSuccess) {
        MyLog("\t####\t%@", refusal);
        setShowLog(true);
        return false;
      }
      style->outputFile = hfsPathWithString(psPath).value_or(psPath);
    }
    MyLog("%@", style->outputFile);
  }
  const PrintResult result = printing->print(*document, *style, OlderOutput::toTrash);
  if (result.error != kSuccess) {
    MyLog("\t####\t%@", result.message);
    setShowLog(true);
  }
  for (const UndrawableFile& file : result.undrawable) {
    MyLog("\t####\tcan't be drawn: %@ (%@)", file.path, file.reason);
    setShowLog(true);
  }
  return true;
}

}  // namespace korvex
