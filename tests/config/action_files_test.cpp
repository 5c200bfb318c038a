#include "config/action_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "foundation/bundle.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/property_list.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using test::TempHome;

constexpr const char* kSingleDict =
    "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
    "<key>Action</key><string>PDF</string><key>Style</key><string>Druck</string></dict></plist>";
constexpr const char* kChain =
    "<?xml version=\"1.0\"?><plist version=\"1.0\"><array>"
    "<dict><key>Action</key><string>Save</string></dict>"
    "<string>stray</string>"
    "<dict><key>Action</key><string>PDF</string></dict></array></plist>";
constexpr const char* kChainStartingWithString =
    "<?xml version=\"1.0\"?><plist version=\"1.0\"><array>"
    "<string>first</string><dict><key>Action</key><string>PDF</string></dict></array></plist>";

fs::path actionsFolder(const TempHome& home) {
  return home.dataHome() / "Korvex";
}

fs::path defaultsFolder() {
  return fs::path(KORVEX_SOURCE_DIR) / "resources" / "actions";
}

TEST(ActionFiles, FolderIsCreatedAndNamesMapToPlistFiles) {
  TempHome home;
  EXPECT_EQ(actionsPath(), actionsFolder(home).string());
  EXPECT_TRUE(fs::is_directory(actionsFolder(home)));
  EXPECT_EQ(actionFilePath("PDF"), (actionsFolder(home) / "PDF.plist").string());
  EXPECT_EQ(actionFilePath(""), actionsFolder(home).string());
}

TEST(ActionFiles, SingleDictionaryIsAChainOfOneForTheHotFolderButNoneForTheDialog) {
  TempHome home;
  test::writeFile(actionsFolder(home) / "PDF.plist", kSingleDict);
  ArrayPtr chain = actionsForName("PDF");
  ASSERT_EQ(chain->size(), 1u);
  EXPECT_EQ(stringForKey(chain->at(0).dictionary(), "Style"), "Druck");
  EXPECT_EQ(actionsArray("PDF.plist"), nullptr);
  EXPECT_EQ(stringForKey(dictForAction("PDF", nullptr), "Style"), "Druck");
}

TEST(ActionFiles, ChainsKeepEveryElementInOrder) {
  TempHome home;
  test::writeFile(actionsFolder(home) / "Chain.plist", kChain);
  ArrayPtr fromDialog = actionsArray("Chain.plist");
  ASSERT_NE(fromDialog, nullptr);
  ASSERT_EQ(fromDialog->size(), 3u);
  EXPECT_EQ(*fromDialog->at(1).string(), "stray");
  // The extension test ignores case.
  test::writeFile(actionsFolder(home) / "Upper.PLIST", kChain);
  EXPECT_NE(actionsArray("Upper.PLIST"), nullptr);

  ArrayPtr fromHotFolder = actionsForName("Chain");
  ASSERT_EQ(fromHotFolder->size(), 3u);
  EXPECT_EQ(stringForKey(fromHotFolder->at(2).dictionary(), "Action"), "PDF");
  EXPECT_EQ(stringForKey(dictForAction("Chain", nullptr), "Action"), "Save");
}

TEST(ActionFiles, ScriptsAreChainsOfOneJSXAction) {
  TempHome home;
  test::writeFile(actionsFolder(home) / "Tidy.JSX", "app.activeDocument.save();");
  ArrayPtr chain = actionsArray("Tidy.JSX");
  ASSERT_NE(chain, nullptr);
  ASSERT_EQ(chain->size(), 1u);
  DictPtr action = chain->at(0).dictionary();
  EXPECT_EQ(stringForKey(action, "Action"), "JSX");
  EXPECT_EQ(stringForKey(action, "Path"), (actionsFolder(home) / "Tidy.JSX").string());
  // A script needs no file to be named; the JSX action itself checks the path.
  EXPECT_NE(actionsArray("Missing.jsx"), nullptr);
}

TEST(ActionFiles, MissingUnreadableAndForeignFilesGiveNoneEmptyOrDefaults) {
  TempHome home;
  test::writeFile(actionsFolder(home) / "Broken.plist", "<plist><dict><key>Action");
  test::writeFile(actionsFolder(home) / "Odd.plist", kChainStartingWithString);
  test::writeFile(actionsFolder(home) / "Empty.plist",
                  "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>");
  test::writeFile(actionsFolder(home) / "Text.plist",
                  "<?xml version=\"1.0\"?><plist version=\"1.0\"><string>x</string></plist>");
  test::writeFile(actionsFolder(home) / "Notes.txt", "hello");

  EXPECT_EQ(actionsArray(""), nullptr);
  EXPECT_EQ(actionsArray("Nothing.plist"), nullptr);
  EXPECT_EQ(actionsArray("Broken.plist"), nullptr);
  EXPECT_EQ(actionsArray("Notes.txt"), nullptr);
  EXPECT_EQ(actionsArray("Text.plist"), nullptr);

  EXPECT_TRUE(actionsForName("")->empty());
  EXPECT_TRUE(actionsForName("Nothing")->empty());
  EXPECT_TRUE(actionsForName("Broken")->empty());
  EXPECT_TRUE(actionsForName("Text")->empty());

  DictPtr defaults = Dictionary::make();
  defaults->set("Action", "Default");
  EXPECT_EQ(dictForAction("", defaults), defaults);
  EXPECT_EQ(dictForAction("Nothing", defaults), defaults);
  EXPECT_EQ(dictForAction("Broken", defaults), defaults);
  EXPECT_EQ(dictForAction("Empty", defaults), defaults);
  EXPECT_EQ(dictForAction("Text", defaults), defaults);
  // Later dictionaries do not count when the first element is not one.
  EXPECT_EQ(dictForAction("Odd", defaults), defaults);
  EXPECT_EQ(dictForAction("Odd", nullptr), nullptr);
}

TEST(ActionFiles, DefaultsAreInstalledOnceAndNeverReplaceUserEdits) {
  TempHome home;
  test::writeFile(actionsFolder(home) / "Collect.plist", kSingleDict);
  setupActionsDir(defaultsFolder().string());
  for (std::string_view name : kDefaultActionFiles)
    EXPECT_TRUE(fs::is_regular_file(actionsFolder(home) / name)) << name;
  EXPECT_EQ(test::readFile(actionsFolder(home) / "Collect.plist"), kSingleDict);
  EXPECT_EQ(test::readFile(actionsFolder(home) / "PDF.plist"),
            test::readFile(defaultsFolder() / "PDF.plist"));

  // A later start keeps the user's changes.
  test::writeFile(actionsFolder(home) / "PDF.plist", kChain);
  setupActionsDir(defaultsFolder().string());
  EXPECT_EQ(test::readFile(actionsFolder(home) / "PDF.plist"), kChain);
}

TEST(ActionFiles, StartupInstallsFromTheBundlesActionsFolder) {
  TempHome home;
  setBundleResourcesPath((fs::path(KORVEX_SOURCE_DIR) / "resources").string());
  setupActionsDir();
  setBundleResourcesPath("");
  for (std::string_view name : kDefaultActionFiles)
    EXPECT_TRUE(fs::is_regular_file(actionsFolder(home) / name)) << name;
}

TEST(ActionFiles, DefaultsMissingFromTheBundleArePassedOver) {
  TempHome home;
  fs::path partial = home.scratch() / "bundle";
  fs::create_directories(partial);
  fs::copy_file(defaultsFolder() / "PDF.plist", partial / "PDF.plist");
  setupActionsDir(partial.string());
  EXPECT_TRUE(fs::exists(actionsFolder(home) / "PDF.plist"));
  EXPECT_FALSE(fs::exists(actionsFolder(home) / "AddLinks.plist"));
  setupActionsDir((home.scratch() / "no-bundle").string());
}

// The shipped defaults must parse and name the actions that read them.
TEST(ActionFiles, ShippedDefaultsAreChainsOfTheirAction) {
  TempHome home;
  setupActionsDir(defaultsFolder().string());
  const std::pair<const char*, const char*> expected[] = {
      {"AddLinks", "AddLinks"},      {"Bildaktualisierung", "Bildaktualisierung"},
      {"PNTrennung", "PN_Trennung"}, {"Schnappi", "Schnappi"},
      {"Collect", "Collect"},        {"PDF", "PDF"}};
  for (const auto& [file, action] : expected) {
    ArrayPtr chain = actionsArray(std::string(file) + ".plist");
    ASSERT_NE(chain, nullptr) << file;
    ASSERT_EQ(chain->size(), 1u) << file;
    EXPECT_EQ(stringForKey(chain->at(0).dictionary(), "Action"), action) << file;
    EXPECT_EQ(stringForKey(dictForAction(file, nullptr), "Action"), action) << file;
  }
  DictPtr pn = dictForAction("PNTrennung", nullptr);
  EXPECT_EQ(arrayForKey(pn, "LayersToIgnore", false)->size(), 3u);
  DictPtr grep = dictForKey(dictForAction("Schnappi", nullptr), "Grep", false);
  ASSERT_NE(grep, nullptr);
  EXPECT_EQ(grep->keys(), (std::vector<std::string>{" {2,}", " +([.,;:!?])"}));
  EXPECT_EQ(stringForKey(grep, " +([.,;:!?])"), "$1");
}

}  // namespace
}  // namespace korvex
