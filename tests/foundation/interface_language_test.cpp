#include "foundation/interface_language.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace korvex {
namespace {

constexpr const char* kLocaleVariables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

// Clears the locale variables for the test and puts them back afterwards.
class LocaleVariables {
 public:
  LocaleVariables() {
    for (const char* name : kLocaleVariables) {
      const char* value = std::getenv(name);
      saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
      unsetenv(name);
    }
  }
  ~LocaleVariables() {
    for (const auto& [name, value] : saved_)
      value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
  }
  LocaleVariables(const LocaleVariables&) = delete;
  LocaleVariables& operator=(const LocaleVariables&) = delete;

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST(InterfaceLanguage, FirstSetVariableDecides) {
  LocaleVariables clean;
  EXPECT_EQ(interfaceLanguage(), "");

  setenv("LANG", "de_AT.UTF-8", 1);
  EXPECT_EQ(interfaceLanguage(), "de");
  setenv("LC_MESSAGES", "fr_FR.UTF-8", 1);
  EXPECT_EQ(interfaceLanguage(), "fr");
  setenv("LC_ALL", "DE_de", 1);
  EXPECT_EQ(interfaceLanguage(), "de") << "case does not matter";
  setenv("LANGUAGE", "", 1);
  EXPECT_EQ(interfaceLanguage(), "de") << "an empty variable is passed over";
  setenv("LANGUAGE", "en_GB:de", 1);
  EXPECT_EQ(interfaceLanguage(), "en") << "the first entry of the list";

  unsetenv("LANGUAGE");
  for (const char* neutral : {"C", "POSIX", "C.UTF-8"}) {
    setenv("LC_ALL", neutral, 1);
    EXPECT_NE(interfaceLanguage(), "de") << neutral;
  }
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(interfaceLanguage(), "") << "C stops the search: LC_MESSAGES is French";
}

}  // namespace
}  // namespace korvex
