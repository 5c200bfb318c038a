#include "actions/collect.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "action_fixture.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

class Collect : public test::ActionTest {
 protected:
  DictPtr collect(const std::optional<std::string>& folder, int docs = 1, int subFolders = 0) const {
    auto action = Dictionary::make();
    action->set("Action", "Collect");
    if (folder) action->set("Folder", *folder);
    action->set("Docs", docs);
    action->set("SubFolders", subFolders);
    return action;
  }
  fs::path out() const { return home.scratch() / "Out"; }
  std::size_t files(const fs::path& folder) const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
  }
};

TEST_F(Collect, NothingButTheFolderWhenAllFlagsAreOff) {
  IDocument* doc = open("Flyer Sommerfest.indd");
  auto action = collect(out().string(), 0);
  action->set("Picts", 0);
  action->set("Fonts", "0");
  EXPECT_TRUE(collectDocResources(doc, action));
  EXPECT_TRUE(fs::is_directory(out()));
  EXPECT_EQ(files(out()), 0u);
}

TEST_F(Collect, DestinationThatCantBeAFolderFails) {
  IDocument* doc = open("Flyer Sommerfest.indd");
  test::writeFile(home.scratch() / "file", "x");
  EXPECT_FALSE(collectDocResources(doc, collect((home.scratch() / "file").string())));
  EXPECT_TRUE(logHas("\t\t####\tdestination folder not found: " + (home.scratch() / "file").string()));
  EXPECT_TRUE(getShowLog());
  EXPECT_FALSE(collectDocResources(doc, collect(std::nullopt)));
  EXPECT_TRUE(logHas("\t\t####\tdestination folder not found: (null)"));
  EXPECT_TRUE(getShowLog());
}

TEST_F(Collect, MissingPictureIsLoggedAndSkipped) {
  IDocument* doc = open("Katalog Seite 12.indd");
  EXPECT_TRUE(collectDocResources(doc, collect(out().string(), 0)));
  EXPECT_TRUE(fs::is_regular_file(out() / "images" / "produkt-4711.tif"));
  EXPECT_FALSE(fs::exists(out() / "images" / "produkt-4713.tif"));
  EXPECT_NE(logText().find("\t\t#### "), std::string::npos);
  EXPECT_FALSE(fs::exists(out() / "Katalog Seite 12.indd"));
}

TEST_F(Collect, FontWithoutAFileIsLoggedAndSkipped) {
  const std::string flyer = test::readFile(jobs() / "Flyer Sommerfest.indd");
  const std::string from = "\"font\": \"DejaVu Serif\"";
  ASSERT_NE(flyer.find(from), std::string::npos);
  test::writeFile(jobs() / "Flyer Sommerfest.indd", flyer.substr(0, flyer.find(from)) +
                                                        "\"font\": \"Korvex Missing Serif\"" +
                                                        flyer.substr(flyer.find(from) + from.size()));
  IDocument* doc = open("Flyer Sommerfest.indd");
  auto action = collect(out().string(), 0);
  action->set("Picts", 0);
  EXPECT_TRUE(collectDocResources(doc, action));
  EXPECT_NE(logText().find("Korvex::\t####\tfont path not found: "), std::string::npos) << logText();
  EXPECT_EQ(files(out() / "fonts"), 1u);  // the DejaVu Sans face only
  EXPECT_FALSE(fs::exists(out() / "images"));
}

}  // namespace
}  // namespace korvex
