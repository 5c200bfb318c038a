#include "workflows/orvel.h"

#include "actions/pdf_action.h"
#include "dialogs/message_box.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/log.h"
#include "foundation/paths.h"

namespace korvex {

namespace {

std::vector<std::string> splitName(const std::string& name, const std::string& token) {
  std::vector<std::string> parts;
  if (token.empty()) return {name};
  std::size_t start = 0;
  for (std::size_t at = name.find(token); at != std::string::npos; at = name.find(token, start)) {
    parts.push_back(name.substr(start, at - start));
    start = at + token.size();
  }
  parts.push_back(name.substr(start));
  return parts;
}

// Shown as an alert (standard error on the console) and kept in the log.
void report(const std::string& message) {
  MyLog("%@", message);
  showAlert(message);
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

}  // namespace

std::string fillNamePattern(std::string pattern, const std::vector<std::string>& parts) {
  for (std::size_t i = parts.size(); i >= 1; --i) replaceAll(pattern, "$t" + std::to_string(i), parts[i - 1]);
  return pattern;
}

bool orvel(MyDoc& document, const DictPtr& action) {
  const std::string token = stringForKey(action, "Token", "_").value_or("_");
  const std::vector<std::string> parts = splitName(document.getName(false).value_or(""), token);
  const std::optional<std::string> pattern = stringForKey(action, "Name", std::nullopt);
  if (!pattern) return false;
  const std::optional<std::string> styleName = stringForKey(action, "PDFStyle", std::nullopt);
  MyLog("\tPDFStyle: %@", styleName);
  if (!styleName) {
    report("\t####\tmissing key: PDFStyle");
    return false;
  }
  const std::optional<PdfExportStyle> style = getPDFStyle(styleName);
  if (!style) {
    report(stringWithFormat("\t####\tinvalid PDF style: %@", *styleName));
    return false;
  }
  const std::optional<std::string> folder = document.getPath(true);
  if (!folder) {
    MyLog("\t####\tthe document has no folder");
    return false;
  }
  const std::string target =
      stringByAppendingPathComponent(*folder, fillNamePattern(*pattern, parts) + ".pdf");
  MyLog("\tsaveAsPDF: %@", target);
  // A failed export is a failure of the action, never reported as success.
  return saveAsPDF(document, target, style, nullptr, 0, -1) == kSuccess;
}

}  // namespace korvex
