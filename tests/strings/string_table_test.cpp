#include "strings/string_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "strings/strings_alert.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

const fs::path kResources = fs::path(KORVEX_SOURCE_DIR) / "resources";

// Keeps the locale variables and the string table of each test to itself and
// collects the alerts that the tables raise.
class StringTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
      const char* value = std::getenv(name);
      saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
      unsetenv(name);
    }
    releaseStrings();
    setStringsAlertHandler([this](const std::string& message) { alerts_.push_back(message); });
  }
  void TearDown() override {
    setStringsAlertHandler(nullptr);
    releaseStrings();
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }

  test::TempHome home_;
  std::vector<std::string> alerts_;

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST_F(StringTableTest, WithoutTableEveryLookupAnswersItsKey) {
  EXPECT_FALSE(hasStringTable());
  EXPECT_EQ(stringForKey("update"), "update");
  EXPECT_EQ(stringForKey(std::string("yes")), "yes");
  EXPECT_EQ(stringForKey(nullptr), "");
  EXPECT_EQ(stringForKey("update", "Fallback"), "Fallback");
  EXPECT_EQ(localizeString("Folder:"), "Folder:");
  EXPECT_EQ(localizeString(""), "");
}

TEST_F(StringTableTest, LanguageCodesChooseTheirTables) {
  setupStrings(kLanguageGerman, kResources.string());
  EXPECT_EQ(stringForKey("update"), "Aktualisieren");
  EXPECT_EQ(stringForKey("cancel"), "Abbrechen");
  setupStrings(kLanguageEnglish, kResources.string());
  EXPECT_EQ(stringForKey("update"), "Update");
  setupStrings(kLanguageFrench, kResources.string());
  EXPECT_EQ(stringForKey("update"), "Actualiser");
  // Any other code is English.
  setupStrings(7, kResources.string());
  EXPECT_EQ(stringForKey("no"), "No");
  EXPECT_TRUE(alerts_.empty());
  EXPECT_EQ(stringForKey("no such key"), "no such key");
  EXPECT_EQ(stringForKey("no such key", ""), "");
}

TEST_F(StringTableTest, AutomaticFollowsThePreferredLanguage) {
  setenv("LANG", "de_AT.UTF-8", 1);
  setupStrings(kLanguageAutomatic, kResources.string());
  EXPECT_EQ(stringForKey("yes"), "Ja");

  // LANGUAGE wins over LANG; French is not chosen automatically.
  setenv("LANGUAGE", "fr:de", 1);
  setupStrings(kLanguageAutomatic, kResources.string());
  EXPECT_EQ(stringForKey("yes"), "Yes");
}

TEST_F(StringTableTest, MissingLanguageTableFallsBackThenAlerts) {
  fs::path bundle = home_.scratch() / "bundle";
  test::writeFile(bundle / "MyStrings.xml", "<strings><update>Fallback update</update></strings>");
  setupStrings(kLanguageEnglish, bundle.string());
  EXPECT_EQ(stringForKey("update"), "Fallback update");
  EXPECT_TRUE(alerts_.empty());

  releaseStrings();
  setupStrings(kLanguageGerman, (home_.scratch() / "empty").string());
  ASSERT_EQ(alerts_.size(), 1u);
  EXPECT_EQ(alerts_[0], "\tKorvex: gStrings = NULL!");
  EXPECT_EQ(stringForKey("update"), "update");
}

TEST_F(StringTableTest, UnparsableTableIsReportedAndTheCurrentTableStays) {
  fs::path bundle = home_.scratch() / "bundle";
  test::writeFile(bundle / "MyStrings_E.xml", "<strings><update>Broken</strings>");
  setupStrings(kLanguageGerman, kResources.string());
  setupStrings(kLanguageEnglish, bundle.string());
  ASSERT_EQ(alerts_.size(), 1u);
  EXPECT_NE(alerts_[0].find("MyStrings_E.xml"), std::string::npos) << alerts_[0];
  EXPECT_EQ(stringForKey("update"), "Aktualisieren");
}

TEST_F(StringTableTest, EntriesComeFromChildElementsOrTheLanguageSection) {
  fs::path table = home_.scratch() / "t.xml";
  test::writeFile(table,
                  "<?xml version=\"1.0\"?><strings><!-- note --><Folder>Ordner</Folder>"
                  "<Folder>Verzeichnis</Folder><nested>a<b>b</b>c</nested><empty/></strings>");
  ASSERT_TRUE(loadStringTable(table.string()));
  EXPECT_EQ(stringForKey("Folder"), "Verzeichnis");
  EXPECT_EQ(stringForKey("nested"), "abc");
  EXPECT_EQ(stringForKey("empty"), "");
  EXPECT_EQ(lookupString("note"), std::nullopt);

  test::writeFile(table, "<strings><de><yes>Ja</yes></de><en><yes>Yes</yes></en></strings>");
  setenv("LANGUAGE", "de", 1);
  ASSERT_TRUE(loadStringTable(table.string()));
  EXPECT_EQ(stringForKey("yes"), "Ja");
  setenv("LANGUAGE", "it", 1);
  ASSERT_TRUE(loadStringTable(table.string()));
  EXPECT_EQ(lookupString("yes"), std::nullopt);
  EXPECT_EQ(stringForKey("de"), "Ja");
}

TEST_F(StringTableTest, EntityDeclarationsAreNotExpanded) {
  fs::path secret = home_.scratch() / "secret.txt";
  test::writeFile(secret, "top secret");
  fs::path table = home_.scratch() / "t.xml";
  test::writeFile(table, "<?xml version=\"1.0\"?><!DOCTYPE strings [<!ENTITY x SYSTEM \"file://" +
                             secret.string() + "\">]><strings><yes>&x;</yes></strings>");
  loadStringTable(table.string());
  EXPECT_EQ(stringForKey("yes").find("top secret"), std::string::npos);
}

TEST_F(StringTableTest, LabelsKeepTheirColonOrEllipsis) {
  setupStrings(kLanguageGerman, kResources.string());
  EXPECT_EQ(localizeString("Folder"), "Ordner");
  EXPECT_EQ(localizeString("Folder:"), "Ordner:");
  EXPECT_EQ(localizeString("Folder\u2026"), "Ordner\u2026");
  EXPECT_EQ(localizeString("Elsewhere:"), "Elsewhere:");
  EXPECT_EQ(localizeString(":"), ":");
  EXPECT_EQ(localizeString(""), "");
}

// Each language table must translate every key that the fallback knows.
TEST_F(StringTableTest, ShippedTablesCoverTheSameKeys) {
  auto keysOf = [](const char* file) {
    std::set<std::string> keys;
    std::string text = test::readFile(kResources / file);
    for (std::size_t at = text.find("\n\t<"); at != std::string::npos; at = text.find("\n\t<", at + 1)) {
      std::size_t begin = at + 3;
      keys.insert(text.substr(begin, text.find('>', begin) - begin));
    }
    return keys;
  };
  std::set<std::string> fallback = keysOf("MyStrings.xml");
  for (const char* key : {"about", "invalidPathErr", "pathNotFoundErr", "update", "kPrSt_DefaultName", "yes",
                          "no", "ok", "cancel", "images", "fonts", "noIDMLExportProvider"})
    EXPECT_TRUE(fallback.contains(key)) << key;
  EXPECT_EQ(keysOf("MyStrings_D.xml"), fallback);
  EXPECT_EQ(keysOf("MyStrings_E.xml"), fallback);
  EXPECT_EQ(keysOf("MyStrings_F.xml"), fallback);

  setupStrings(kLanguageGerman, kResources.string());
  for (const std::string& key : fallback) EXPECT_TRUE(lookupString(key)) << key;
}

}  // namespace
}  // namespace korvex
