// Grid preferences compared value by value through the log, and a single
// document's XML content deleted: what doGridPrefs does with the open documents.

#include "workflows/grid_prefs.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "host/document.h"
#include "support/plugin_test.h"

namespace korvex {
namespace {

class GridPrefsTest : public test::PluginTest {
 protected:
  // The log's value lines, without their time and product prefix.
  std::vector<std::string> valueLines() const {
    std::vector<std::string> lines;
    std::istringstream in(logText());
    for (std::string line; std::getline(in, line);) {
      const std::size_t prefix = line.find("::");
      if (prefix == std::string::npos) continue;
      const std::string message = line.substr(prefix + 2);
      for (const char* name :
           {"division: ", "horizontalDivision: ", "verticalDivision: ", "horizontalSubDivisions: ",
            "verticalSubDivisions: ", "baselineDivision: ", "baselineStart: ", "baselineLimit: ",
            "relativeOption: ", "deleteXMLContent: "})
        if (message.rfind(name, 0) == 0) lines.push_back(message);
    }
    return lines;
  }
};

TEST_F(GridPrefsTest, ComparesValueByValueAndStopsAtTheFirstDifference) {
  IDocument* first = newDoc(1);
  IDocument* second = newDoc(1);
  DocumentGrid grid;
  grid.division = 36;
  grid.horizontalSpacing = 24.5;
  ASSERT_EQ(first->setDocumentGrid(grid), kSuccess);
  ASSERT_EQ(second->setDocumentGrid(grid), kSuccess);
  BaselineGrid baseline;
  baseline.relativeTo = BaselineRelativeTo::TopMargin;
  baseline.viewThreshold = 50;
  ASSERT_EQ(first->setBaselineGrid(baseline), kSuccess);
  ASSERT_EQ(second->setBaselineGrid(baseline), kSuccess);

  // Equal: all nine values, first document then second, and a beep.
  EXPECT_EQ(doGridPrefs(), std::optional<bool>(true));
  EXPECT_EQ(workspace().beeps(), 1);
  const std::vector<std::string> equal = valueLines();
  ASSERT_EQ(equal.size(), 18u);
  EXPECT_EQ(equal[0], "division: 36.000000");
  EXPECT_EQ(equal[1], "division: 36.000000");
  EXPECT_EQ(equal[2], "horizontalDivision: 24.500000");
  EXPECT_EQ(equal[15], "baselineLimit: 50.000000");
  EXPECT_EQ(equal[16], "relativeOption: 1");
  EXPECT_EQ(equal[17], "relativeOption: 1");

  // Only the baseline start differs: six equal pairs, the differing pair, nothing after it.
  baseline.start = 48;
  ASSERT_EQ(second->setBaselineGrid(baseline), kSuccess);
  setupLog(true, "Tamrisk");
  EXPECT_FALSE(gridPrefsAreEqual(first, second));
  const std::vector<std::string> differing = valueLines();
  ASSERT_EQ(differing.size(), 14u);
  EXPECT_EQ(differing[12], "baselineStart: 36.000000");
  EXPECT_EQ(differing[13], "baselineStart: 48.000000");
  EXPECT_EQ(doGridPrefs(), std::optional<bool>(false));
  EXPECT_EQ(workspace().beeps(), 1);

  // Values are compared as the log shows them: narrowed to single precision.
  grid.horizontalSpacing = 24.500000001;
  ASSERT_EQ(second->setDocumentGrid(grid), kSuccess);
  ASSERT_EQ(second->setBaselineGrid(first->baselineGrid()), kSuccess);
  EXPECT_TRUE(gridPrefsAreEqual(first, second));

  // Three open documents: nothing is read or changed.
  newDoc(1);
  setupLog(true, "Tamrisk");
  EXPECT_EQ(doGridPrefs(), std::nullopt);
  EXPECT_TRUE(valueLines().empty());
}

TEST_F(GridPrefsTest, OneOpenDocumentLosesItsXMLContentOnly) {
  IDocument* document = newDoc(1);
  XMLElement root{"Root", {{"lang", "de"}}, "Vorspann", {{"Titel", {}, "Sommerfest", {}}}};
  ASSERT_EQ(document->setXMLRoot(root), kSuccess);
  const DocumentGrid grid = document->documentGrid();
  document->GetDocDataBase()->SetModified(false);

  EXPECT_EQ(doGridPrefs(), std::nullopt);
  EXPECT_EQ(document->xmlRoot(), (XMLElement{"Root", {{"lang", "de"}}, "", {}}));
  EXPECT_EQ(document->documentGrid(), grid);
  EXPECT_TRUE(document->GetDocDataBase()->IsModified());
  EXPECT_EQ(valueLines(), std::vector<std::string>{"deleteXMLContent: 0"});
  EXPECT_EQ(workspace().beeps(), 0);

  // A closed document is not touched.
  app().closeDocument(document);
  deleteXMLContent(document);
  EXPECT_EQ(valueLines().size(), 1u);
}

}  // namespace
}  // namespace korvex
