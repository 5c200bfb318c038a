// Checkstr on a saved three-spread document: JPEG previews in the temporary
// folder (read back by ImageMagick), one locked, hidden, non-printing check
// layer with each embedded preview over its own spread's pages, the same
// after a second run, and a preview that can't be written ending the walk.

#include "workflows/checkstr.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "foundation/value.h"
#include "host/document.h"
#include "host/link.h"
#include "run/run_values.h"
#include "support/plugin_test.h"
#include "support/run_process.h"
#include "support/scoped_env.h"
#include "support/tools.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

class CheckstrTest : public test::PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    fs::create_directories(tmp);
    tmpdir.set(tmp.c_str());
    // Small pages keep the renders at 600 ppi quick.
    DocumentSetup setup;
    setup.pages = 3;
    setup.pageWidth = 144;
    setup.pageHeight = 72;
    setup.layers = {"Text"};
    document = app().newDocument(setup, false);
    fs::create_directories(home.scratch());
    ASSERT_EQ(app().saveDocumentAs(document, (home.scratch() / "Katalog.indd").string()), kSuccess);
    // Something to see on each spread.
    for (int i = 0; i < 3; ++i) {
      ISpread* spread = document->spreadAt(i);
      SplineItem* box = document->createRectangle(
          spread->QueryLayer(document->findLayer("Text")->GetUID())->GetUID(), {18, 18, 100, 60});
      ASSERT_TRUE(box);
    }
  }

  static DictPtr action(double resolution) {
    DictPtr dict = Dictionary::make();
    dict->set("Action", "Checkstr");
    dict->set("Resolution", resolution);
    return dict;
  }

  // The check layer's items on the spread.
  int itemsOnCheckLayer(int spread) const {
    const IDocumentLayer* layer = document->findLayer(kCheckstrLayerName);
    return layer ? document->spreadAt(spread)->QueryLayer(layer->GetUID())->GetChildCount() : -1;
  }

  void expectCheckLayer() {
    int found = 0;
    for (UID uid : document->layerList())
      if (document->GetDocDataBase()->instantiate<IDocumentLayer>(uid)->GetName() == kCheckstrLayerName)
        ++found;
    ASSERT_EQ(found, 1);
    const IDocumentLayer* layer = document->findLayer(kCheckstrLayerName);
    EXPECT_EQ(document->layerIndex(layer->GetUID()), document->GetLayerCount() - 1);
    EXPECT_FALSE(layer->IsVisible());
    EXPECT_FALSE(layer->IsPrintable());
    EXPECT_TRUE(layer->IsLocked());
    IDataBase* db = document->GetDocDataBase();
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(i);
      ISpread* spread = document->spreadAt(i);
      const ISpreadLayer* checks = spread->QueryLayer(layer->GetUID());
      ASSERT_EQ(checks->GetChildCount(), 1);
      const UID frame = checks->GetChildUID(0);
      // Over this spread's pages on the pasteboard, not the first spread's.
      EXPECT_EQ(document->pathBounds(frame), std::optional<PMRect>(spread->GetPagesBounds(true)));
      const auto* item = db->instantiate<IHierarchy>(frame);
      ASSERT_EQ(item->GetChildCount(), 1);
      const std::vector<UID> links = document->linksForObject(item->GetChildUID(0));
      ASSERT_EQ(links.size(), 1u);
      const LinkResource* resource = db->instantiate<ILink>(links[0])->resource();
      ASSERT_TRUE(resource);
      EXPECT_TRUE(resource->isEmbedded());
      EXPECT_FALSE(resource->embeddedData().empty());
    }
  }

  fs::path tmp = home.scratch() / "tmp";
  test::ScopedEnv tmpdir{"TMPDIR", nullptr};
  IDocument* document = nullptr;
};

TEST_F(CheckstrTest, PreviewsOfEverySpreadOnOneCheckLayerAlsoAfterASecondRun) {
  const std::string identify = test::tool("identify");
  ASSERT_FALSE(identify.empty()) << "ImageMagick's identify is needed";
  ASSERT_TRUE(doCheckStr(document, action(1200)));
  EXPECT_TRUE(getSaveProject());
  expectCheckLayer();
  for (const char* name : {"Katalog_00.jpg", "Katalog_01.jpg", "Katalog_02.jpg"}) {
    SCOPED_TRACE(name);
    // Clamped to 600 ppi: a page of 144 points is 1200 pixels wide.
    auto info = test::runProcess(identify, {"-format", "%m %w %x", (tmp / name).string()});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_EQ(info.out.substr(0, 5), "JPEG ");
    EXPECT_NEAR(std::stoi(info.out.substr(5)), 1200, 1) << info.out;
    EXPECT_NE(info.out.find(" 600"), std::string::npos) << info.out;
  }
  EXPECT_FALSE(fs::exists(tmp / "Katalog_03.jpg"));

  // Again, at a resolution below the least: one layer, new previews at 72 ppi.
  setSaveProject(false);
  ASSERT_TRUE(doCheckStr(document, action(20)));
  expectCheckLayer();
  EXPECT_TRUE(getSaveProject());
  auto info = test::runProcess(identify, {"-format", "%w", (tmp / "Katalog_02.jpg").string()});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NEAR(std::stoi(info.out), 144, 1);
}

TEST_F(CheckstrTest, APreviewThatCantBeWrittenEndsTheWalkAndFailsTheAction) {
  // A folder where the second preview belongs.
  fs::create_directories(tmp / "Katalog_01.jpg");
  EXPECT_FALSE(doCheckStr(document, action(72)));
  EXPECT_TRUE(logHas("\t\t####\terror creating preview"));
  EXPECT_EQ(itemsOnCheckLayer(0), 1);
  EXPECT_EQ(itemsOnCheckLayer(1), 0);
  EXPECT_EQ(itemsOnCheckLayer(2), 0);
  EXPECT_FALSE(fs::exists(tmp / "Katalog_02.jpg"));
  EXPECT_TRUE(getSaveProject());

  // Without a document nothing happens and the action succeeds.
  EXPECT_TRUE(doCheckStr(nullptr, action(72)));
}

}  // namespace
}  // namespace korvex
