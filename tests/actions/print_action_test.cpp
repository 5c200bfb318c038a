#include "actions/print_action.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "action_fixture.h"
#include "strings/string_table.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

class PrintAction : public test::ActionTest {
 protected:
  static DictPtr print(const std::optional<std::string>& style) {
    auto action = Dictionary::make();
    action->set("Action", "Print");
    if (style) action->set("Style", *style);
    return action;
  }
};

TEST_F(PrintAction, UnknownStyleOrFailedPrintIsLoggedButTheChainGoesOn) {
  ASSERT_EQ(addUserPrintStyle({.name = "Drucker", .destination = kPrintToPrinter}), kSuccess);
  IDocument* doc = open("Flyer Sommerfest.indd");
  EXPECT_TRUE(doPrint(doc, print("Gibt es nicht")));
  EXPECT_TRUE(logHas("\t####\tinvalid print style: Gibt es nicht"));
  EXPECT_TRUE(getShowLog());
  EXPECT_TRUE(doPrint(doc, print(std::nullopt)));
  EXPECT_TRUE(logHas("\t####\tinvalid print style: (null)"));
  EXPECT_TRUE(getShowLog());

  // A printer style without CUPS to print with.
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", home.scratch().c_str(), 1);
  EXPECT_TRUE(doPrint(doc, print("Drucker")));
  setenv("PATH", path.c_str(), 1);
  EXPECT_NE(logText().find("Korvex::\t####\tlp is not installed"), std::string::npos);
  EXPECT_TRUE(getShowLog());
  EXPECT_FALSE(fs::exists(jobs() / "Flyer Sommerfest.ps"));
}

TEST_F(PrintAction, DefaultStyleGoesByItsTranslatedName) {
  ASSERT_EQ(addUserPrintStyle({.name = "aaa"}), kSuccess);
  ASSERT_EQ(addUserPrintStyle({.name = "Zeitung"}), kSuccess);
  const std::string shown = stringForKey(kDefaultPrintStyleKey);
  ASSERT_NE(getPrintStyle(shown), nullptr);
  EXPECT_EQ(getPrintStyle(shown)->name, kDefaultPrintStyleKey);
  EXPECT_NE(getPrintStyle(std::string(kDefaultPrintStyleKey)), nullptr);
  EXPECT_EQ(printStyles(), (std::vector<std::string>{shown, "aaa", "Zeitung"}));
  EXPECT_EQ(printStyles({"aaa"}), (std::vector<std::string>{shown, "Zeitung"}));
}

}  // namespace
}  // namespace korvex
