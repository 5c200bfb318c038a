#include <gtest/gtest.h>

#include <filesystem>

#include "dialogs/dialog_backend.h"
#include "docmodel/layers.h"
#include "foundation/value.h"
#include "host/host_test_support.h"
#include "support/plugin_test.h"
#include "workflows/duz_severance.h"
#include "workflows/import_labels.h"
#include "workflows/orvel.h"
#include "workflows/text_replacement.h"
#include "workflows/vantry.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

class Workflows : public test::PluginTest {
 protected:
  static UID layerOf(IDocument& doc, const std::string& name, int spread = 0) {
    return doc.spreadAt(spread)->QueryLayer(doc.findLayer(name)->GetUID())->GetUID();
  }
  static UID box(IDocument& doc, UID parent, PMRect bounds, const std::string& fill = "None",
                 const std::string& stroke = "None") {
    SplineItem* item = doc.createRectangle(parent, bounds);
    GraphicAttributes attributes = item->graphicAttributes();
    attributes.fillSwatch = doc.findSwatch(fill)->GetUID();
    attributes.strokeSwatch = doc.findSwatch(stroke)->GetUID();
    EXPECT_EQ(item->setGraphicAttributes(attributes), kSuccess);
    return item->GetUID();
  }
  static ITextModel* textFrame(IDocument& doc, UID parent, PMRect bounds, const std::string& text,
                               UID* frame = nullptr) {
    const UID uid = box(doc, parent, bounds);
    MultiColumnItem* content = nullptr;
    EXPECT_EQ(doc.makeTextFrame(uid, kInvalidUID, &content), kSuccess);
    ITextModel* story = doc.story(content->storyUID());
    story->Insert(0, text);
    if (frame) *frame = uid;
    return story;
  }
  // A frame whose placed content links to path (the file itself is not read).
  static UID picture(IDocument& doc, UID parent, PMRect bounds, const std::string& path) {
    const UID frame = box(doc, parent, bounds);
    PlacedContent* content = doc.createPlacedContent(frame, ClassID::kImageItem, bounds);
    content->setLinkUID(doc.createLink(content->GetUID(), path)->GetUID());
    return frame;
  }
  static std::vector<std::string> layerNames(const IDocument& doc) {
    std::vector<std::string> names;
    for (int i = 1; i < doc.GetLayerCount(); ++i) names.push_back(doc.layerAt(i)->GetName());
    return names;
  }
  static std::string layerNameOf(IDocument& doc, UID item) {
    auto* node = doc.GetDocDataBase()->instantiate<IHierarchy>(item);
    auto* spreadLayer = doc.GetDocDataBase()->instantiate<ISpreadLayer>(node->GetParentUID());
    return doc.GetDocDataBase()->instantiate<IDocumentLayer>(spreadLayer->documentLayerUID())->GetName();
  }
  static DictPtr pairs(std::initializer_list<std::pair<const char*, const char*>> list) {
    DictPtr dict = Dictionary::make();
    for (const auto& [find, change] : list) dict->set(find, change);
    return dict;
  }
};

TEST_F(Workflows, ReplacementsChangeTheGivenDocumentNotTheFrontOne) {
  IDocument* given = newDoc(1);
  ITextModel* text =
      textFrame(*given, layerOf(*given, "Layer 1"), {0, 0, 200, 50}, "Hallo  Welt .\rzwei  mal");
  IDocument* front = newDoc(1);  // made last: the front document
  ITextModel* other = textFrame(*front, layerOf(*front, "Layer 1"), {0, 0, 200, 50}, "Hallo  Welt .");
  ASSERT_EQ(app().frontDocument(), front);

  EXPECT_EQ(replaceText(given, pairs({{"zwei", "drei"}, {"Zwei", "x"}})), 1);
  EXPECT_EQ(
      replaceTextWithGrep(given, pairs({{" {2,}", " "}, {" +([.,;:!?])", "$1"}, {"([a-", "x"}, {"^", ""}})),
      3);
  EXPECT_EQ(text->text(), "Hallo Welt.\rdrei mal");
  EXPECT_EQ(other->text(), "Hallo  Welt .");
  EXPECT_EQ(replaceTextWithGrep(given, Dictionary::make()), 0);
  EXPECT_EQ(replaceText(nullptr, pairs({{"a", "b"}})), 0);
  // Every GREP pair has its line, a refused pattern with 0; literal pairs have none.
  const std::string log = logText();
  EXPECT_NE(log.find("Korvex::replaceText:  {2,} -->  , 2\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Korvex::replaceText:  +([.,;:!?]) --> $1, 1\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Korvex::replaceText: ([a- --> x, 0\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Korvex::replaceText: ^ --> , 0\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("zwei"), std::string::npos) << log;
}

TEST_F(Workflows, ImportLabelsWritesOntoTheDocumentItWasGivenByExactBounds) {
  // The source file: two frames with the same bounds (the first in story order wins) and one without a label.
  const std::string sourcePath = makeDoc("source.indd");
  IDocument* source = nullptr;
  ASSERT_EQ(app().openDocument(sourcePath, false, &source), kSuccess);
  UID a = kInvalidUID, b = kInvalidUID, c = kInvalidUID;
  const UID sourceLayer = layerOf(*source, "Layer 1");
  textFrame(*source, sourceLayer, {10, 10, 100, 50}, "a", &a);
  textFrame(*source, sourceLayer, {10, 10, 100, 50}, "b", &b);
  textFrame(*source, sourceLayer, {10, 100, 100, 150}, "c", &c);
  auto* db = source->GetDocDataBase();
  db->instantiate<PageItem>(a)->setLabel("Label", "erstes");
  db->instantiate<PageItem>(b)->setLabel("Label", "zweites");
  ASSERT_EQ(app().saveDocument(source), kSuccess);
  ASSERT_EQ(app().closeDocument(source), kSuccess);

  IDocument* target = newDoc(1);
  const UID layer = layerOf(*target, "Layer 1");
  UID same = kInvalidUID, cleared = kInvalidUID, moved = kInvalidUID;
  textFrame(*target, layer, {10, 10, 100, 50}, "x", &same);
  textFrame(*target, layer, {10, 100, 100, 150}, "y", &cleared);
  textFrame(*target, layer, {10.01, 10, 100.01, 50}, "z", &moved);
  auto* tdb = target->GetDocDataBase();
  tdb->instantiate<PageItem>(cleared)->setLabel("Label", "alt");
  tdb->instantiate<PageItem>(moved)->setLabel("Label", "eigenes");

  setDialogBackend(std::make_unique<ConsoleDialogBackend>(std::vector<std::string>{sourcePath}));
  ASSERT_TRUE(doImportLabels(target, nullptr));
  EXPECT_NE(app().frontDocument(), target) << "the source was opened in front of it";
  EXPECT_EQ(tdb->instantiate<PageItem>(same)->labels().get("Label"), "erstes");
  EXPECT_EQ(tdb->instantiate<PageItem>(cleared)->labels().get("Label").value_or(""), "");
  EXPECT_EQ(tdb->instantiate<PageItem>(moved)->labels().get("Label"), "eigenes");
  IDocument* opened = app().frontDocument();
  EXPECT_EQ(opened->GetDocDataBase()->instantiate<PageItem>(b)->labels().get("Label"), "zweites")
      << "the source keeps its own labels";

  // The given document's own file, Cancel, no document: nothing happens.
  setDialogBackend(std::make_unique<ConsoleDialogBackend>(std::vector<std::string>{sourcePath}));
  EXPECT_FALSE(doImportLabels(opened, nullptr));
  setDialogBackend(std::make_unique<ConsoleDialogBackend>(std::vector<std::string>{}));
  EXPECT_FALSE(doImportLabels(target, nullptr));
  EXPECT_FALSE(doImportLabels(nullptr, nullptr));
}

TEST_F(Workflows, DuzSeveranceTestsEveryChildOfAGroupAndKeepsOneContentLayer) {
  IDocument* doc = newDoc(2, {"Bilder", "Texte", "Gesperrt", "Leer"});
  doc->createColor("Rot", ColorModel::Process, ColorSpace::CMYK, {0, 1, 1, 0});
  doc->createColor("Sonder", ColorModel::Spot, ColorSpace::CMYK, {1, 0, 0, 0});
  const UID bilder = layerOf(*doc, "Bilder"), texte = layerOf(*doc, "Texte", 1);
  const UID lockedItem = box(*doc, layerOf(*doc, "Gesperrt"), {0, 0, 10, 10}, "Black");
  doc->findLayer("Gesperrt")->SetLocked(true);

  const UID emptyBlack = box(*doc, bilder, {0, 0, 10, 10}, "None", "Black");
  const UID emptyFilled = box(*doc, bilder, {0, 20, 10, 30}, "Rot", "Black");
  const UID logo = picture(*doc, bilder, {0, 40, 10, 50}, "/jobs/Logos_LW_Ebenen/logo.eps");
  const UID photo = picture(*doc, bilder, {0, 60, 10, 70}, "/jobs/Bilder/foto.tif");
  const UID reproBox = box(*doc, bilder, {0, 80, 10, 90}, "Sonder", "Black");
  UID plainText = kInvalidUID, redText = kInvalidUID;
  textFrame(*doc, texte, {20, 0, 60, 20}, "schwarz", &plainText);
  textFrame(*doc, texte, {20, 30, 60, 50}, "rot", &redText);
  GraphicAttributes red = doc->GetDocDataBase()->instantiate<PageItem>(redText)->graphicAttributes();
  red.strokeSwatch = doc->findSwatch("Rot")->GetUID();
  doc->GetDocDataBase()->instantiate<PageItem>(redText)->setGraphicAttributes(red);

  // The group carries no colour itself; its children are filled red.
  const UID redBoxes = doc->createGroup(texte)->GetUID();
  box(*doc, redBoxes, {70, 0, 80, 10}, "Rot");
  box(*doc, redBoxes, {70, 20, 80, 30}, "Rot");
  // Rules and text, with a nested group of one more rule: line work.
  const UID rules = doc->createGroup(texte)->GetUID();
  doc->createGraphicLine(rules, {90, 0}, {120, 0});
  textFrame(*doc, rules, {90, 10, 120, 20}, "Legende");
  const UID nested = doc->createGroup(rules)->GetUID();
  doc->createGraphicLine(nested, {90, 30}, {120, 30});
  // A nested group of a filled box spoils its outer group.
  const UID deepRed = doc->createGroup(texte)->GetUID();
  box(*doc, doc->createGroup(deepRed)->GetUID(), {130, 0, 140, 10}, "Rot");
  const UID emptyGroup = doc->createGroup(texte)->GetUID();

  DictPtr action = Dictionary::make();
  action->set("Repro", Value(Array::make({Value("Sonder")})));
  MyDoc handle(doc);
  ASSERT_TRUE(duzSeverance(handle, action));

  for (UID item : {emptyBlack, logo, plainText, rules, emptyGroup})
    EXPECT_EQ(layerNameOf(*doc, item), "LW") << item;
  for (UID item : {emptyFilled, photo, redText, redBoxes, deepRed})
    EXPECT_EQ(layerNameOf(*doc, item), "Standard") << item;
  EXPECT_EQ(layerNameOf(*doc, reproBox), "Repro");
  EXPECT_EQ(layerNameOf(*doc, lockedItem), "Gesperrt");
  // Emptied and never-used layers go; the locked layer with its item stays.
  EXPECT_EQ(layerNames(*doc), (std::vector<std::string>{"Gesperrt", "Standard", "LW", "Repro"}));
  EXPECT_TRUE(logHas("\t\tmove frames to Standard")) << logText();
  EXPECT_TRUE(logHas("\tpath: /jobs/Logos_LW_Ebenen/logo.eps")) << logText();
  EXPECT_TRUE(logHas("\tpath: (null)")) << logText();
  EXPECT_TRUE(logHas("\tgroup: 3 frames")) << logText();

  // A document whose only content layer is empty keeps it and says so.
  IDocument* bare = newDoc(1, {"Einzig"});
  const UID only = bare->findLayer("Einzig")->GetUID();
  MyDoc bareHandle(bare);
  ASSERT_TRUE(duzSeverance(bareHandle, Dictionary::make()));
  EXPECT_EQ(layerNames(*bare), (std::vector<std::string>{"Einzig"}));
  EXPECT_TRUE(logHas("\t\tremove: " + std::to_string(only))) << logText();
  EXPECT_TRUE(logHas("\t####\tdelete Layer failed!")) << logText();
}

TEST_F(Workflows, OrvelFillsHighNumbersFirstAndFailsWhenTheExportFails) {
  const std::vector<std::string> parts{"a", "b", "c", "d", "e", "f", "g", "h", "i", "J"};
  EXPECT_EQ(fillNamePattern("$t10-$t1-$t2", parts), "J-a-b");
  EXPECT_EQ(fillNamePattern("$t2_x", {"whole"}), "$t2_x");

  const std::string path = makeDoc("AB_1234_Flyer.indd");
  IDocument* doc = nullptr;
  ASSERT_EQ(app().openDocument(path, false, &doc), kSuccess);
  MyDoc handle(doc);
  DictPtr action = Dictionary::make();
  EXPECT_FALSE(orvel(handle, action)) << "no Name";
  action->set("Name", "$t2-$t1-proof");
  EXPECT_FALSE(orvel(handle, action));
  EXPECT_TRUE(logHas("\t####\tmissing key: PDFStyle")) << logText();
  action->set("PDFStyle", "Gibt es nicht");
  EXPECT_FALSE(orvel(handle, action));
  EXPECT_TRUE(logHas("\t####\tinvalid PDF style: Gibt es nicht")) << logText();

  action->set("PDFStyle", "[PDF/X-4:2008]");
  const fs::path folder = fs::path(path).parent_path();
  ASSERT_TRUE(orvel(handle, action)) << logText();
  EXPECT_TRUE(fs::is_regular_file(folder / "1234-AB-proof.pdf"));
  EXPECT_TRUE(logHas("\tsaveAsPDF: " + (folder / "1234-AB-proof.pdf").string())) << logText();
  // A folder where the PDF should go: the export fails, and so does the action.
  fs::create_directory(folder / "AB-blocked.pdf");
  action->set("Name", "$t1-blocked");
  EXPECT_FALSE(orvel(handle, action));
}

TEST_F(Workflows, VantryTwiceKeepsOneMagentaCopyAndTheSourceColours) {
  IDocument* doc = newDoc(1, {"Bilder", "Text"});
  doc->createColor("Magenta", ColorModel::Process, ColorSpace::CMYK, {0, 1, 0, 0});
  ITextModel* source = textFrame(*doc, layerOf(*doc, "Text"), {0, 0, 100, 40}, "Original");
  MyDoc handle(doc);
  ASSERT_TRUE(vantry(handle, nullptr));
  ASSERT_TRUE(vantry(handle, nullptr));
  EXPECT_EQ(layerNames(*doc), (std::vector<std::string>{"Bilder", "Text", "Text-Check"}));
  IDocumentLayer* check = doc->findLayer("Text-Check");
  EXPECT_FALSE(check->IsVisible());
  EXPECT_FALSE(check->IsPrintable());
  EXPECT_FALSE(check->IsLocked());
  auto* spreadLayer = doc->spreadAt(0)->QueryLayer(check->GetUID());
  ASSERT_EQ(spreadLayer->GetChildCount(), 1) << "the second run replaced the first copy";
  const UID magenta = doc->findSwatch("Magenta")->GetUID();
  int coloured = 0;
  for (UID uid : doc->storyList()) {
    ITextModel* story = doc->story(uid);
    const auto run = story->QueryRun(AttributeClass::kTextColor, 0);
    const bool isMagenta =
        run && std::holds_alternative<UID>(run->value) && std::get<UID>(run->value) == magenta;
    if (story == source) {
      EXPECT_FALSE(isMagenta) << "the source keeps its colour";
    } else if (isMagenta) {
      ++coloured;
      EXPECT_EQ(story->text(), "Original");
      EXPECT_EQ(run->length, story->TotalLength() - 1) << "the end-of-story mark is not coloured";
    }
  }
  EXPECT_EQ(coloured, 1);
  // The first copy's story went with its layer: no text is left without a frame.
  EXPECT_EQ(doc->storyList().size(), 2u);
}

}  // namespace
}  // namespace korvex
