#include "foundation/interface_language.h"

#include <cctype>
#include <cstdlib>

namespace korvex {

std::string interfaceLanguage() {
  std::string value;
  for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* setting = std::getenv(variable);
    if (setting && *setting) {
      value = setting;
      break;
    }
  }
  // "de_DE.UTF-8" or, for LANGUAGE, a preference list "de:en".
  value = value.substr(0, value.find(':'));
  if (value.size() < 2) return {};
  std::string code = value.substr(0, 2);
  for (char& c : code) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return code;
}

}  // namespace korvex
