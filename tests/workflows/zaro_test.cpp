// The Zaro workflows on documents built here: the check layer copied from
// "TextLayer:SUFFIX" with the labels of its text frames cleared, the working
// copy and the IDML delivery (read back by the host's package reader), and
// the batch over a folder, which leaves the user's open documents alone and
// never shows a file past the end of the list.

#include "workflows/zaro.h"

#include <gtest/gtest.h>
#include <sys/xattr.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/dialog_backend.h"
#include "dialogs/progress_window.h"
#include "foundation/file_labels.h"
#include "host/document_file.h"
#include "host/export_provider.h"
#include "host/session.h"
#include "support/plugin_test.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTextLayer = "TextLayer:de-DE";
constexpr const char* kCheckLayer = "Check_TextLayer:de-DE";

// A text frame with its own story on the spread layer (or other parent).
UID textFrame(IDocument& doc, UID parent, const PMRect& bounds, const std::string& text, const char* label) {
  SplineItem* frame = doc.createRectangle(parent, bounds);
  EXPECT_EQ(doc.makeTextFrame(frame->GetUID()), kSuccess);
  ITextModel* story = doc.story(doc.storyList().back());
  EXPECT_EQ(story->Insert(0, text), kSuccess);
  if (label) {
    EXPECT_EQ(frame->setLabel("Label", label), kSuccess);
  }
  return frame->GetUID();
}

std::optional<std::string> labelOf(IDocument& doc, UID item) {
  return doc.GetDocDataBase()->instantiate<PageItem>(item)->labels().get("Label");
}

class ZaroTest : public test::PluginTest {
 protected:
  // Layers that look like text layers but are not, then the real one; on the
  // first spread a plain frame, a frame of spaces and anchored items, a
  // group; on the second another frame.
  IDocument* translationDoc() {
    IDocument* doc = newDoc(2, {"TextLayer", "TextLayer:de:DE", "Bilder", kTextLayer, "Notizen"});
    const UID layer = doc->findLayer(kTextLayer)->GetUID();
    const UID first = doc->spreadAt(0)->QueryLayer(layer)->GetUID();
    plain = textFrame(*doc, first, {36, 36, 300, 100}, "Hallo Welt", "a");
    spaces = textFrame(*doc, first, {36, 120, 300, 200}, "  ", "b");
    const UID story = doc->storyList().back();
    SplineItem* picture = doc->createRectangle(first, {0, 0, 20, 20});
    EXPECT_TRUE(doc->anchorItem(story, 1, picture->GetUID()));
    anchored = textFrame(*doc, first, {0, 0, 80, 20}, "Bildunterschrift", "c");
    EXPECT_TRUE(doc->anchorItem(story, 2, anchored));
    Group* group = doc->createGroup(first);
    grouped = textFrame(*doc, group->GetUID(), {36, 220, 300, 260}, "In der Gruppe", "d");
    doc->createRectangle(group->GetUID(), {36, 270, 60, 290});
    textFrame(*doc, doc->spreadAt(1)->QueryLayer(layer)->GetUID(), {36, 36, 300, 100}, "Seite zwei", "e");
    return doc;
  }

  // The check layer's items on a spread, first to last.
  std::vector<UID> checkItems(IDocument& doc, int spread) const {
    const IDocumentLayer* check = doc.findLayer(kCheckLayer);
    if (!check) return {};
    return doc.spreadAt(spread)->QueryLayer(check->GetUID())->children();
  }

  UID plain = kInvalidUID, spaces = kInvalidUID, anchored = kInvalidUID, grouped = kInvalidUID;
};

TEST_F(ZaroTest, LayerNamesSplitAtOneColonOnly) {
  EXPECT_EQ(layerSuffix("TextLayer:de-DE", "TextLayer"), std::optional<std::string>("de-DE"));
  EXPECT_EQ(layerSuffix("TextLayer:", "TextLayer"), std::optional<std::string>(""));
  EXPECT_EQ(layerSuffix("TextLayer", "TextLayer"), std::nullopt);
  EXPECT_EQ(layerSuffix("TextLayer:de:DE", "TextLayer"), std::nullopt);
  EXPECT_EQ(layerSuffix("TextLayerX:de", "TextLayer"), std::nullopt);
  EXPECT_EQ(layerSuffix("Check_TextLayer:de", "TextLayer"), std::nullopt);
  EXPECT_EQ(layerSuffix("Text:de", "TextLayer"), std::nullopt);
}

TEST_F(ZaroTest, CheckLayerIsAFrozenCopyWithoutLabelsAndTheWorkingCopyIsSaved) {
  IDocument* doc = translationDoc();
  // A font this machine doesn't have marks the saved copy.
  ITextModel* story = doc->story(doc->storyList().front());
  ASSERT_EQ(story->ApplyAttributes(0, 5, {{AttributeClass::kFontFamily, std::string("Korvex Missing Sans")}}),
            kSuccess);
  const std::string path = (home.scratch() / "Job" / "Flyer.idml").string();

  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    zaro1Document(doc, path);
    int checkLayers = 0;
    for (UID uid : doc->layerList())
      if (doc->GetDocDataBase()->instantiate<IDocumentLayer>(uid)->GetName() == kCheckLayer) ++checkLayers;
    ASSERT_EQ(checkLayers, 1);
    const IDocumentLayer* check = doc->findLayer(kCheckLayer);
    EXPECT_EQ(doc->layerIndex(check->GetUID()), doc->layerIndex(doc->findLayer(kTextLayer)->GetUID()) + 1);
    EXPECT_TRUE(check->IsVisible());
    EXPECT_FALSE(check->IsPrintable());
    EXPECT_TRUE(check->IsLocked());
    EXPECT_EQ(check->GetColor(), stockColors()[2].name);

    const std::vector<UID> first = checkItems(*doc, 0);
    ASSERT_EQ(first.size(), 3u);  // the anchored items travel inside their story
    ASSERT_EQ(checkItems(*doc, 1).size(), 1u);
    EXPECT_EQ(labelOf(*doc, checkItems(*doc, 1)[0]), std::nullopt);
  }
  // The copies: plain and grouped frames lose their labels, the frame of
  // spaces and anchored items keeps its own, the text frame anchored in it loses its.
  std::vector<std::optional<std::string>> labels;
  IDataBase* db = doc->GetDocDataBase();
  for (UID item : checkItems(*doc, 0)) {
    if (auto* group = db->instantiate<Group>(item)) {
      for (UID child : group->children()) labels.push_back(labelOf(*doc, child));
    } else {
      labels.push_back(labelOf(*doc, item));
    }
  }
  EXPECT_EQ(std::count(labels.begin(), labels.end(), std::optional<std::string>("b")), 1);
  for (const char* gone : {"a", "c", "d"})
    EXPECT_EQ(std::count(labels.begin(), labels.end(), std::optional<std::string>(gone)), 0) << gone;
  bool anchoredCleared = false;
  for (UID s : doc->storyList()) {
    for (const auto& [position, inlineUID] : doc->story(s)->ownedItems()) {
      auto* inlineItem = db->instantiate<IHierarchy>(inlineUID);
      const UID frame = inlineItem->GetChildUID(0);
      if (frame != anchored && doc->GetDocDataBase()->instantiate<PageItem>(frame)->GetChildCount() > 0 &&
          !labelOf(*doc, frame))
        anchoredCleared = true;
    }
  }
  EXPECT_TRUE(anchoredCleared);
  // The originals keep theirs.
  EXPECT_EQ(labelOf(*doc, plain), std::optional<std::string>("a"));
  EXPECT_EQ(labelOf(*doc, anchored), std::optional<std::string>("c"));

  const fs::path saved = home.scratch() / "Job" / "Arbeitsdaten" / "Flyer.indd";
  EXPECT_TRUE(logHas("\t####\tFehlende Schriften!"));
  EXPECT_TRUE(logHas("\tSpeichern als: " + saved.string()));
  ASSERT_TRUE(fs::exists(saved));
  if (::getxattr(saved.c_str(), kTagsAttribute, nullptr, 0) >= 0) {
    EXPECT_EQ(labelColorForPath(saved), 6);
  }
  IDocument* copy = nullptr;
  ASSERT_EQ(app().openDocument(saved.string(), false, &copy), kSuccess);
  EXPECT_TRUE(copy->findLayer(kCheckLayer));

  // Zaro 2 on the working copy: the check layer goes, the IDML beside it re-imports.
  zaro2Document(copy, saved.string());
  EXPECT_FALSE(copy->findLayer(kCheckLayer));
  const fs::path delivered = saved.parent_path() / "Daten_zur_Auslieferung" / "Flyer.idml";
  EXPECT_TRUE(logHas("\tSpeichern als: " + delivered.string()));
  IDocument* reimported = nullptr;
  ASSERT_EQ(app().openDocument(delivered.string(), false, &reimported), kSuccess) << app().errorMessage();
  EXPECT_TRUE(reimported->findLayer(kTextLayer));
  EXPECT_FALSE(reimported->findLayer(kCheckLayer));
  bool hasText = false;
  for (UID s : reimported->storyList()) hasText |= reimported->story(s)->text() == "Hallo Welt";
  EXPECT_TRUE(hasText);
}

TEST_F(ZaroTest, WithoutTextLayerOrPathNothingIsSavedOrExported) {
  IDocument* plainDoc = newDoc(1, {"Text"});
  zaro1Document(plainDoc, (home.scratch() / "Plain.idml").string());
  EXPECT_TRUE(logHas("\t####\tFehler beim Kopieren der TextLayer-Ebene!"));
  EXPECT_EQ(plainDoc->GetLayerCount(), 2);
  EXPECT_FALSE(fs::exists(home.scratch() / "Arbeitsdaten"));

  // An unsaved document gets its check layer removed but is not exported.
  IDocument* doc = translationDoc();
  zaro1Document(doc, std::nullopt);
  ASSERT_TRUE(doc->findLayer(kCheckLayer));
  zaro2Document(doc, std::nullopt);
  EXPECT_FALSE(doc->findLayer(kCheckLayer));
  EXPECT_EQ(logText().find("Speichern als"), std::string::npos);
  // A document without check layer is left as it is.
  doc->GetDocDataBase()->SetModified(false);
  zaro2Document(doc, (home.scratch() / "Flyer.indd").string());
  EXPECT_FALSE(doc->GetDocDataBase()->IsModified());
  EXPECT_FALSE(fs::exists(home.scratch() / "Daten_zur_Auslieferung"));
}

// Chooser answers from the test; the progress window's labels recorded.
class RecordingBackend : public ConsoleDialogBackend {
 public:
  RecordingBackend(std::vector<std::string> answers, std::vector<std::pair<std::size_t, std::string>>* labels)
      : ConsoleDialogBackend(std::move(answers)), labels_(labels) {}
  std::unique_ptr<ProgressWindow> makeProgressWindow(const Window*) override {
    struct Window : ProgressWindow {
      std::vector<std::pair<std::size_t, std::string>>* labels = nullptr;
      std::size_t count = 0;
      void begin(std::size_t n) override { count = n; }
      void setLabel(std::size_t index, std::string_view name) override { labels->emplace_back(index, name); }
      bool runModalSession() override { return true; }
      void end() override {}
    };
    auto window = std::make_unique<Window>();
    window->labels = labels_;
    return window;
  }

 private:
  std::vector<std::pair<std::size_t, std::string>>* labels_;
};

TEST_F(ZaroTest, BatchTakesTheFolderFilesAndLeavesOpenDocumentsAlone) {
  const fs::path folder = home.scratch() / "Eingang";
  fs::create_directories(folder);
  IdmlExportProvider& idml = idmlExportProvider(*GetExecutionContextSession());
  for (const char* name : {"A.idml", "B.IDML", "Offen.idml"}) {
    IDocument* doc = translationDoc();
    ASSERT_EQ(idml.exportDocument(*doc, (folder / name).string()), kSuccess);
    app().closeDocument(doc);
  }
  ASSERT_EQ(saveDocumentFile(*IDocument::createNew({}), (folder / "C.indd").string()), kSuccess);
  fs::create_directories(folder / "Ordner.idml");
  // The user has one of them open, with changes not saved.
  IDocument* open = nullptr;
  ASSERT_EQ(app().openDocument((folder / "Offen.idml").string(), true, &open), kSuccess);
  ASSERT_TRUE(open->createLayer("Ungesichert"));

  std::vector<std::pair<std::size_t, std::string>> labels;
  setDialogBackend(std::make_unique<RecordingBackend>(std::vector<std::string>{folder.string()}, &labels));
  EXPECT_TRUE(doZaro1(nullptr, nullptr));

  EXPECT_TRUE(logHas("Checkebenen erstellen: " + folder.string()));
  EXPECT_TRUE(logHas("Dokument: " + (folder / "A.idml").string()));
  EXPECT_TRUE(logHas("Dokument: " + (folder / "B.IDML").string()));
  EXPECT_EQ(logText().find("C.indd"), std::string::npos);
  EXPECT_TRUE(fs::exists(folder / "Arbeitsdaten" / "A.indd"));
  EXPECT_TRUE(fs::exists(folder / "Arbeitsdaten" / "B.indd"));
  // The open document was passed over: still open, its change still there, no copy made.
  EXPECT_TRUE(logHas("\t####\tDokument ist bereits geöffnet und wird übersprungen"));
  EXPECT_FALSE(fs::exists(folder / "Arbeitsdaten" / "Offen.indd"));
  ASSERT_TRUE(app().isOpen(open));
  EXPECT_TRUE(open->findLayer("Ungesichert"));
  EXPECT_FALSE(open->findLayer(kCheckLayer));
  EXPECT_EQ(app().GetDocumentCount(), 1);
  // The log is shown at the end.
  ASSERT_EQ(workspace().requests().size(), 1u);
  EXPECT_NE(workspace().requests()[0].path.find("Korvex.txt"), std::string::npos);

  // Labels: each file's name once, while it is processed; none past the last.
  EXPECT_EQ(labels, (std::vector<std::pair<std::size_t, std::string>>{
                        {0, "A.idml"}, {1, "B.IDML"}, {2, "Offen.idml"}}));

  // Zaro 2 over the working copies: .indd files only, delivered as IDML.
  setDialogBackend(std::make_unique<RecordingBackend>(
      std::vector<std::string>{(folder / "Arbeitsdaten").string()}, &labels));
  EXPECT_TRUE(doZaro2(nullptr, nullptr));
  EXPECT_TRUE(logHas("Checkebenen löschen: " + (folder / "Arbeitsdaten").string()));
  for (const char* name : {"A.idml", "B.idml"}) {
    const fs::path delivered = folder / "Arbeitsdaten" / "Daten_zur_Auslieferung" / name;
    IDocument* doc = nullptr;
    ASSERT_EQ(app().openDocument(delivered.string(), false, &doc), kSuccess) << name;
    EXPECT_TRUE(doc->findLayer(kTextLayer));
    EXPECT_FALSE(doc->findLayer(kCheckLayer));
  }
}

}  // namespace
}  // namespace korvex
