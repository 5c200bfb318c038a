#include "config/settings_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "foundation/dictionary_accessors.h"
#include "foundation/property_list.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using test::TempHome;

fs::path settingsFile(const TempHome& home) {
  return home.dataHome() / "Tamrisk" / "Korvex.plist";
}

TEST(SettingsStore, MissingFileGivesEmptySettingsAndCreatesTheFolder) {
  TempHome home;
  KorvexSettings settings;
  EXPECT_EQ(settings.path(), settingsFile(home).string());
  EXPECT_TRUE(fs::is_directory(settingsFile(home).parent_path()));
  EXPECT_FALSE(fs::exists(settingsFile(home)));
  ASSERT_NE(settings.dict(), nullptr);
  EXPECT_TRUE(settings.dict()->empty());
  // Every reader falls back to its default.
  EXPECT_EQ(integerForKey(settings.options(), "modifiedLinks", 1), 1);
  EXPECT_EQ(integerForKey(settings.options(), "showLog", 0), 0);
  EXPECT_EQ(stringForKey(settings.dict(), "Tab", "1"), "1");
  EXPECT_FALSE(settings.hotFolder());
}

TEST(SettingsStore, UnreadableOrNonDictionaryFilesGiveEmptySettings) {
  TempHome home;
  for (std::string_view content :
       {std::string_view("not a property list"), std::string_view(""),
        std::string_view(
            "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>")}) {
    test::writeFile(settingsFile(home), content);
    KorvexSettings settings;
    ASSERT_NE(settings.dict(), nullptr) << content;
    EXPECT_TRUE(settings.dict()->empty()) << content;
  }
}

TEST(SettingsStore, SectionsAreCreatedSharedAndMistypedOnesLeftAlone) {
  TempHome home;
  test::writeFile(settingsFile(home),
                  "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                  "<key>PDF</key><string>oops</string>"
                  "<key>Hotfolder</key><string>/srv/hot</string>"
                  "<key>Options</key><dict><key>modifiedLinks</key><integer>3</integer></dict>"
                  "</dict></plist>");
  KorvexSettings settings;
  EXPECT_EQ(settings.pdf(), nullptr);
  EXPECT_EQ(settings.dict()->get("PDF"), Value("oops"));
  EXPECT_EQ(settings.hotFolder(), "/srv/hot");
  EXPECT_EQ(integerForKey(settings.options(), "modifiedLinks", 1), 3);

  DictPtr separation = settings.layerSeparation();
  ASSERT_NE(separation, nullptr);
  // A section changed through one holder is seen through the store.
  setIntegerForKey(separation, "deleteImageLayer", 1);
  EXPECT_EQ(integerForKey(settings.layerSeparation(), "deleteImageLayer", 0), 1);
  EXPECT_EQ(settings.layerSeparation(), separation);
}

TEST(SettingsStore, SaveWritesWhatTheDialogChangedAndLoadsItBack) {
  TempHome home;
  loadPrefs();
  ASSERT_NE(prefs(), nullptr);
  setStringForKey(prefs()->dict(), "Tab", "2");
  DictPtr collect = dictForKey(prefs()->dict(), "Collect", true);
  setStringForKey(collect, "Action", "Collect");
  setStringForKey(collect, "Folder", "/out");
  setIntegerForKey(prefs()->options(), "showLog", 1);
  ASSERT_FALSE(savePrefs());

  KorvexSettings reloaded;
  EXPECT_EQ(stringForKey(reloaded.dict(), "Tab"), "2");
  DictPtr section = dictForKey(reloaded.dict(), "Collect", false);
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(stringForKey(section, "Action"), "Collect");
  EXPECT_EQ(stringForKey(section, "Folder"), "/out");
  EXPECT_EQ(integerForKey(reloaded.options(), "showLog", 0), 1);
  // The sections keep their order on disk.
  EXPECT_EQ(reloaded.dict()->keys(), (std::vector<std::string>{"Tab", "Collect", "Options"}));
}

TEST(SettingsStore, FailedSaveKeepsFileAndMemory) {
  TempHome home;
  test::writeFile(
      settingsFile(home),
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Tab</key><string>3</string></dict></plist>");
  std::string before = test::readFile(settingsFile(home));
  KorvexSettings settings;
  setStringForKey(settings.dict(), "Tab", "5");
  settings.setPath((home.scratch() / "missing-folder" / "Korvex.plist").string());
  EXPECT_TRUE(settings.save());
  EXPECT_EQ(stringForKey(settings.dict(), "Tab"), "5");
  EXPECT_EQ(test::readFile(settingsFile(home)), before);
}

TEST(SettingsStore, SetDictNeverLeavesTheStoreWithoutADictionary) {
  TempHome home;
  KorvexSettings settings;
  settings.setDict(nullptr);
  ASSERT_NE(settings.dict(), nullptr);
  EXPECT_NE(settings.options(), nullptr);
}

}  // namespace
}  // namespace korvex
