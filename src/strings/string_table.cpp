#include "strings/string_table.h"

#include <libxml/parser.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <unordered_map>

#include "foundation/bundle.h"
#include "foundation/format.h"
#include "foundation/interface_language.h"
#include "foundation/product.h"
#include "foundation/xml.h"
#include "strings/strings_alert.h"

namespace korvex {

namespace {

using Table = std::unordered_map<std::string, std::string>;

std::optional<Table>& currentTable() {
  static std::optional<Table> table;
  return table;
}

struct ParserContextDeleter {
  void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};
struct XmlCharDeleter {
  void operator()(xmlChar* text) const { xmlFree(text); }
};

std::string nodeText(xmlNodePtr node) {
  std::unique_ptr<xmlChar, XmlCharDeleter> content(xmlNodeGetContent(node));
  return content ? std::string(reinterpret_cast<const char*>(content.get())) : std::string();
}

std::string_view elementName(xmlNodePtr node) {
  return reinterpret_cast<const char*>(node->name);
}

// The element whose children are the entries: the root, or its one child
// named after the user's language when the file holds one section per language.
xmlNodePtr entriesElement(xmlNodePtr root) {
  std::string language = interfaceLanguage();
  if (language.empty()) return root;
  xmlNodePtr match = nullptr;
  int matches = 0;
  for (xmlNodePtr child = root->children; child; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && elementName(child) == language) {
      match = child;
      ++matches;
    }
  }
  return matches == 1 ? match : root;
}

std::string parserErrorDescription(xmlParserCtxtPtr context, const std::string& path) {
  const xmlError* error = context ? xmlCtxtGetLastError(context) : nullptr;
  std::string description = error && error->message ? error->message : "unreadable XML";
  while (!description.empty() && std::isspace(static_cast<unsigned char>(description.back())))
    description.pop_back();
  if (error && error->line > 0) return stringWithFormat("%@:%d: %@", path, error->line, description);
  return stringWithFormat("%@: %@", path, description);
}

bool loadNamedTable(const std::string& folder, std::string_view name) {
  std::filesystem::path path = std::filesystem::path(folder) / (std::string(name) + ".xml");
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  return loadStringTable(path.string());
}

}  // namespace

bool loadStringTable(const std::string& path) {
  std::unique_ptr<xmlParserCtxt, ParserContextDeleter> context(xmlNewParserCtxt());
  // No network, no entity substitution, no DTD loading; errors come back to us, not to stderr.
  XmlDocument document(context ? xmlCtxtReadFile(context.get(), path.c_str(), nullptr,
                                                 XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING)
                               : nullptr);
  xmlNodePtr root = document ? document.root() : nullptr;
  if (!root) {
    stringsAlert(parserErrorDescription(context.get(), path));
    return false;
  }
  Table table;
  for (xmlNodePtr entry = entriesElement(root)->children; entry; entry = entry->next) {
    if (entry->type != XML_ELEMENT_NODE) continue;
    table.insert_or_assign(std::string(elementName(entry)), nodeText(entry));
  }
  currentTable() = std::move(table);
  return true;
}

void setupStrings(int languageCode) {
  setupStrings(languageCode, bundleResourcesPath());
}

void setupStrings(int languageCode, const std::string& resourcesFolder) {
  if (languageCode == kLanguageAutomatic)
    languageCode = interfaceLanguage() == "de" ? kLanguageGerman : kLanguageEnglish;
  std::string_view name = languageCode == kLanguageFrench   ? "MyStrings_F"
                          : languageCode == kLanguageGerman ? "MyStrings_D"
                                                            : "MyStrings_E";
  if (loadNamedTable(resourcesFolder, name)) return;
  if (loadNamedTable(resourcesFolder, "MyStrings")) return;
  if (!currentTable()) stringsAlert(stringWithFormat("\t%s: gStrings = NULL!", kProductName));
}

void releaseStrings() {
  currentTable().reset();
}

bool hasStringTable() {
  return currentTable().has_value();
}

std::optional<std::string> lookupString(std::string_view key) {
  const std::optional<Table>& table = currentTable();
  if (!table) return std::nullopt;
  auto found = table->find(std::string(key));
  if (found == table->end()) return std::nullopt;
  return found->second;
}

std::string stringForKey(const std::string& key) {
  return lookupString(key).value_or(key);
}

std::string stringForKey(const char* key) {
  return key ? stringForKey(std::string(key)) : std::string();
}

std::string stringForKey(const std::string& key, const std::string& defaultValue) {
  return lookupString(key).value_or(defaultValue);
}

std::string localizeString(std::string_view text) {
  if (text.empty()) return {};
  for (std::string_view suffix : {std::string_view(":"), std::string_view("\u2026")}) {
    if (text.size() > suffix.size() && text.ends_with(suffix)) {
      std::optional<std::string> found = lookupString(text.substr(0, text.size() - suffix.size()));
      return found ? *found + std::string(suffix) : std::string(text);
    }
  }
  return lookupString(text).value_or(std::string(text));
}

}  // namespace korvex
