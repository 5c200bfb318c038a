// A package opened and changed through the host, then exported as IDML: the
// parts of what changed are the only entries that differ from the original,
// each still holding what the model does not (every Self, unknown elements
// and attributes); the package opens again with the change and no new warning.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>

#include "host/document.h"
#include "host/document_formats.h"
#include "host/idml/package_writer.h"
#include "host/idml/source_package.h"
#include "support/idml_flyer.h"
#include "support/run_process.h"
#include "support/temp_home.h"
#include "support/zip_archive.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

class IdmlSurgicalExport : public ::testing::Test {
 protected:
  void SetUp() override {
    test::IdmlParts parts = test::flyerParts("file:/x/pic.png", "file:/x/gone.tif");
    // A swatch nothing uses, for the run to delete.
    std::string& graphic = parts.files["Resources/Graphic.xml"];
    graphic.insert(graphic.find("<Swatch "),
                   R"(<Color Self="Color/Unused" Model="Process" Space="CMYK" ColorValue="1 2 3 4" Name="Spare"/>)");
    // The main story gets what the model has no place for: an attribute, an
    // XML element around a line and a note.
    std::string& story = parts.files["Stories/Story_uS.xml"];
    const auto put = [&](const std::string& what, const std::string& with) {
      ASSERT_NE(story.find(what), std::string::npos) << what;
      story.replace(story.find(what), what.size(), with);
    };
    put(R"(<CharacterStyleRange PointSize="12">
        <Properties>)",
        R"(<CharacterStyleRange PointSize="12" KerningMethod="$ID/Optical">
        <Properties><Leading type="unit">15</Leading>)");
    put("<Content>Zeile 3 des Textes.</Content>",
        R"(<XMLElement Self="xz3" MarkupTag="XMLTag/Zeile"><Content>Zeile 3 des Textes.</Content></XMLElement>)");
    put("<Content>Zeile 5 des Textes.</Content>",
        R"(<Content>Zeile 5 des Textes.</Content><Note Self="nt1"><ParagraphStyleRange><CharacterStyleRange><Content>Notiz</Content></CharacterStyleRange></ParagraphStyleRange></Note>)");
    test::writeZip(package, parts.entries());
    original = test::listEntries(package);
    ASSERT_EQ(original.size(), parts.order.size());
    const DocumentLoadResult r = loadDocumentFile(package.string());
    ASSERT_EQ(r.error, kSuccess) << r.message;
    originalWarnings = r.unsupported;
  }

  std::unique_ptr<IDocument> open(const fs::path& path) {
    DocumentLoadResult r = loadDocumentFile(path.string());
    EXPECT_EQ(r.error, kSuccess) << r.message;
    EXPECT_EQ(r.unsupported, originalWarnings) << path;
    return std::move(r.document);
  }

  static UID uidOf(const IDocument& doc, const std::string& self) {
    return doc.sourcePackage()->selfs.at(self);
  }

  // Exports doc and answers the parts that differ from the original's; every
  // entry keeps its name, place and method, and every changed part is
  // well-formed for xmllint.
  std::map<std::string, std::string> changedParts(const IDocument& doc) {
    fs::remove(exported);
    const Status written = idml::writePackage(doc, exported.string());
    EXPECT_TRUE(written) << written.message();
    const auto entries = test::listEntries(exported);
    std::map<std::string, std::string> changed;
    EXPECT_EQ(entries.size(), original.size());
    for (std::size_t i = 0; i < std::min(entries.size(), original.size()); ++i) {
      EXPECT_EQ(entries[i].name, original[i].name);
      EXPECT_EQ(entries[i].method, original[i].method) << entries[i].name;
      if (entries[i].data == original[i].data) continue;
      changed[entries[i].name] = entries[i].data;
      const fs::path part = home.scratch() / "part.xml";
      std::ofstream(part, std::ios::binary) << entries[i].data;
      const auto lint = test::runProcess("/usr/bin/xmllint", {"--noout", part.string()});
      EXPECT_EQ(lint.exitCode, 0) << entries[i].name << ": " << lint.err;
    }
    return changed;
  }

  static std::set<std::string> namesOf(const std::map<std::string, std::string>& parts) {
    std::set<std::string> out;
    for (const auto& [name, data] : parts) out.insert(name);
    return out;
  }

  // Every Self of the original part is still in the changed one, but those of removed elements.
  void keepsSelfs(const std::string& part, const std::string& changed, const std::set<std::string>& removed = {}) {
    for (const auto& e : original) {
      if (e.name != part) continue;
      const std::regex self(R"re(Self="([^"]*)")re");
      for (auto it = std::sregex_iterator(e.data.begin(), e.data.end(), self); it != std::sregex_iterator(); ++it) {
        const std::string id = (*it)[1];
        if (removed.count(id)) continue;
        EXPECT_NE(changed.find("Self=\"" + id + "\""), std::string::npos) << part << ": " << id;
      }
    }
  }

  test::TempHome home;
  fs::path package = home.scratch() / "Flyer.idml";
  fs::path exported = home.scratch() / "Out.idml";
  std::vector<test::ListedEntry> original;
  std::map<std::string, int> originalWarnings;
};

TEST_F(IdmlSurgicalExport, EachChangeTouchesOnlyItsParts) {
  {
    auto doc = open(package);
    EXPECT_TRUE(changedParts(*doc).empty());
  }
  {  // a layer made non-printing: the designmap
    auto doc = open(package);
    ASSERT_EQ(doc->findLayer("Text")->SetPrintable(false), kSuccess);
    const auto changed = changedParts(*doc);
    ASSERT_EQ(namesOf(changed), std::set<std::string>{"designmap.xml"});
    const std::string& d = changed.at("designmap.xml");
    EXPECT_TRUE(std::regex_search(d, std::regex(R"(<Layer Self="uText"[^>]*Printable="false")"))) << d;
    EXPECT_NE(d.find("<LayerColor type=\"enumeration\">Red</LayerColor>"), std::string::npos);
    EXPECT_NE(d.find("<?aid style=\"50\""), std::string::npos);
    EXPECT_NE(d.find(R"(<KeyValuePair Key="Job" Value="4711"/>)"), std::string::npos);
    keepsSelfs("designmap.xml", d);
    auto back = open(exported);
    EXPECT_FALSE(back->findLayer("Text")->IsPrintable());
    EXPECT_TRUE(back->findLayer("Pictures")->IsPrintable());
  }
  {  // a frame moved: its spread
    auto doc = open(package);
    const UID r1 = uidOf(*doc, "r1");
    const PMRect before = *doc->pathBounds(r1);
    ASSERT_EQ(doc->moveBy(UIDList(UIDRef(doc->GetDocDataBase(), r1)), 10, 20), kSuccess);
    const auto changed = changedParts(*doc);
    ASSERT_EQ(namesOf(changed), std::set<std::string>{"Spreads/Spread_u1.xml"});
    const std::string& s = changed.at("Spreads/Spread_u1.xml");
    EXPECT_TRUE(std::regex_search(s, std::regex(R"(<Rectangle Self="r1"[^>]*ItemTransform="1 0 0 1 50 -160")"))) << s;
    EXPECT_NE(s.find("<TransparencySetting><DropShadowSetting Mode=\"Drop\"/></TransparencySetting>"), std::string::npos);
    EXPECT_NE(s.find("Nonprinting=\"false\""), std::string::npos);
    keepsSelfs("Spreads/Spread_u1.xml", s);
    auto back = open(exported);
    const PMRect after = *back->pathBounds(uidOf(*back, "r1"));
    EXPECT_NEAR(after.left - before.left, 10, 1e-6);
    EXPECT_NEAR(after.top - before.top, 20, 1e-6);
  }
  {  // a rectangle made on a spread the package has: into that spread's part, at its place
    auto doc = open(package);
    ISpread* first = doc->GetDocDataBase()->instantiate<ISpread>(doc->spreadList().front());
    const UID pictures = doc->findLayer("Pictures")->GetUID();
    PageItem* made = doc->createRectangle(first->QueryLayer(pictures)->GetUID(), PMRect{30, 40, 90, 120});
    ASSERT_NE(made, nullptr);
    const PMRect placed = *doc->pathBounds(made->GetUID());
    const std::size_t items = doc->allPageItems().size();
    const auto changed = changedParts(*doc);
    ASSERT_EQ(namesOf(changed), std::set<std::string>{"Spreads/Spread_u1.xml"});
    keepsSelfs("Spreads/Spread_u1.xml", changed.at("Spreads/Spread_u1.xml"));
    auto back = open(exported);
    ASSERT_EQ(back->allPageItems().size(), items) << "the new rectangle was lost";
    bool found = false;
    for (UID uid : back->allPageItems())
      if (auto bounds = back->pathBounds(uid); bounds && std::abs(bounds->left - placed.left) < 1e-6 &&
                                               std::abs(bounds->top - placed.top) < 1e-6 &&
                                               std::abs(bounds->right - placed.right) < 1e-6)
        found = true;
    EXPECT_TRUE(found) << "no rectangle at the place it was made";
    // It names the package's own layer, not the model's.
    EXPECT_TRUE(std::regex_search(changed.at("Spreads/Spread_u1.xml"),
                                  std::regex(R"(<Rectangle Self="u[0-9]+n*"[^>]*ItemLayer="uPix")")));
  }
  {  // a story's text replaced: its story
    auto doc = open(package);
    ITextModel* story = doc->story(doc->GetDocDataBase()->instantiate<MultiColumnItem>(
                                        doc->GetDocDataBase()->instantiate<SplineItem>(uidOf(*doc, "fl"))->textContentUID())
                                       ->storyUID());
    ASSERT_NE(story, nullptr);
    ASSERT_EQ(story->Replace(0, story->TotalLength() - 1, "Neuer Fuss"), kSuccess);
    const auto changed = changedParts(*doc);
    ASSERT_EQ(namesOf(changed), std::set<std::string>{"Stories/Story_uL.xml"});
    const std::string& s = changed.at("Stories/Story_uL.xml");
    EXPECT_NE(s.find("<Content>Neuer Fuss</Content>"), std::string::npos) << s;
    EXPECT_EQ(s.find("Fuss links"), std::string::npos);
    keepsSelfs("Stories/Story_uL.xml", s);
    auto back = open(exported);
    const UID frame = uidOf(*back, "fl");
    const auto* mc = back->GetDocDataBase()->instantiate<MultiColumnItem>(
        back->GetDocDataBase()->instantiate<SplineItem>(frame)->textContentUID());
    EXPECT_EQ(back->story(mc->storyUID())->text(), "Neuer Fuss");
  }
  {  // a swatch deleted: Graphic.xml
    auto doc = open(package);
    ASSERT_EQ(doc->deleteSwatch(doc->findSwatch("Spare")->GetUID()), kSuccess);
    const auto changed = changedParts(*doc);
    ASSERT_EQ(namesOf(changed), std::set<std::string>{"Resources/Graphic.xml"});
    const std::string& g = changed.at("Resources/Graphic.xml");
    EXPECT_EQ(g.find("Spare"), std::string::npos);
    EXPECT_NE(g.find(R"(<Gradient Self="Gradient/G" Name="Verlauf"/>)"), std::string::npos);
    keepsSelfs("Resources/Graphic.xml", g, {"Color/Unused"});
    auto back = open(exported);
    EXPECT_EQ(back->findSwatch("Spare"), nullptr);
    EXPECT_NE(back->findSwatch("HKS 43 K"), nullptr);
  }
  {  // a label set: the item's spread
    auto doc = open(package);
    auto* item = doc->GetDocDataBase()->instantiate<PageItem>(uidOf(*doc, "tf3"));
    ASSERT_EQ(item->setLabel("Status", "geprüft"), kSuccess);
    const auto changed = changedParts(*doc);
    ASSERT_EQ(namesOf(changed), std::set<std::string>{"Spreads/Spread_u2.xml"});
    const std::string& s = changed.at("Spreads/Spread_u2.xml");
    EXPECT_NE(s.find(R"(<KeyValuePair Key="Status" Value="geprüft"/>)"), std::string::npos) << s;
    keepsSelfs("Spreads/Spread_u2.xml", s);
    auto back = open(exported);
    EXPECT_EQ(back->GetDocDataBase()->instantiate<PageItem>(uidOf(*back, "tf3"))->labels().get("Status"), "geprüft");
  }
  {  // a spread deleted and one added: the designmap's references and the spreads' parts
    auto doc = open(package);
    ASSERT_EQ(doc->deleteSpread(doc->spreadList().back()), kSuccess);
    ISpread* added = doc->createSpread();
    ASSERT_NE(added, nullptr);
    ASSERT_NE(doc->addPage(added, 400, 600), nullptr);
    const UID pictures = doc->findLayer("Pictures")->GetUID();
    ASSERT_NE(doc->createRectangle(added->QueryLayer(pictures)->GetUID(), PMRect{10, 10, 60, 60}), nullptr);
    fs::remove(exported);
    const Status written = idml::writePackage(*doc, exported.string());
    ASSERT_TRUE(written) << written.message();
    std::map<std::string, std::string> now;
    for (const auto& e : test::listEntries(exported)) now[e.name] = e.data;
    EXPECT_FALSE(now.count("Spreads/Spread_u2.xml"));
    const std::string& d = now["designmap.xml"];
    EXPECT_EQ(d.find("Spreads/Spread_u2.xml"), std::string::npos);
    const std::string name = "Spreads/Spread_u" + std::to_string(added->GetUID()) + ".xml";
    ASSERT_TRUE(now.count(name));
    EXPECT_LT(d.find("Spreads/Spread_u1.xml"), d.find(name));
    EXPECT_NE(now[name].find("ItemLayer=\"uPix\""), std::string::npos) << now[name];
    // The thread lost its second frame with the spread: the first one's link goes.
    EXPECT_TRUE(std::regex_search(now["Spreads/Spread_u1.xml"],
                                  std::regex(R"(<TextFrame Self="tf1"[^>]*NextTextFrame="n")")));
    for (const auto& e : original) {
      if (e.name == "designmap.xml" || e.name.rfind("Spreads/", 0) == 0) continue;
      EXPECT_EQ(now[e.name], e.data) << e.name;
    }
    DocumentLoadResult back = loadDocumentFile(exported.string());
    ASSERT_EQ(back.error, kSuccess) << back.message;
    EXPECT_EQ(back.document->GetSpreadCount(), 2);
    EXPECT_EQ(back.document->GetPageCount(), 2);
    const ISpread* last = back.document->spreadAt(1);
    EXPECT_EQ(last->QueryLayer(back.document->findLayer("Pictures")->GetUID())->children().size(), 1u);
  }
}

// Text edited in a story with a page number, a table, an XML element, a note
// and an attribute the model does not know: the edit lands where the text was,
// everything else in the story stays as it was.
TEST_F(IdmlSurgicalExport, StoryTextIsEditedInPlace) {
  const auto mainStory = [&](IDocument& doc) {
    auto* db = doc.GetDocDataBase();
    return doc.story(db->instantiate<MultiColumnItem>(db->instantiate<SplineItem>(uidOf(doc, "tf1"))->textContentUID())
                         ->storyUID());
  };
  const auto keepsTheRest = [&](const std::string& s) {
    for (const char* kept : {R"(KerningMethod="$ID/Optical")", R"(<XMLElement Self="xz3" MarkupTag="XMLTag/Zeile">)",
                             "<Note Self=\"nt1\">", "<?ACE 18?>", "<Cell Self=\"c11\" Name=\"1:1\">",
                             "<Content>Zeile 5 des Textes.</Content>"})
      EXPECT_NE(s.find(kept), std::string::npos) << kept << " in " << s;
    keepsSelfs("Stories/Story_uS.xml", s);
  };
  {  // a word replaced inside the XML element
    auto doc = open(package);
    ITextModel* story = mainStory(*doc);
    ASSERT_NE(story, nullptr);
    const int at = static_cast<int>(story->characters().find(U"Zeile 3 des"));
    ASSERT_GE(at, 0);
    ASSERT_EQ(story->Replace(at + 6, 1, "drei"), kSuccess);
    const std::string expected = story->text();
    const auto changed = changedParts(*doc);
    ASSERT_TRUE(changed.count("Stories/Story_uS.xml"));
    for (const auto& [name, data] : changed)
      EXPECT_TRUE(name == "Stories/Story_uS.xml" || name == "XML/BackingStory.xml") << name;
    const std::string& s = changed.at("Stories/Story_uS.xml");
    EXPECT_NE(s.find(R"(<XMLElement Self="xz3" MarkupTag="XMLTag/Zeile"><Content>Zeile drei des Textes.</Content></XMLElement>)"),
              std::string::npos)
        << s;
    keepsTheRest(s);
    auto back = open(exported);
    EXPECT_EQ(mainStory(*back)->text(), expected);
  }
  {  // a paragraph put in and a paragraph end taken out, in two exports
    auto doc = open(package);
    ITextModel* story = mainStory(*doc);
    const int at = static_cast<int>(story->characters().find(U"Zeile 8 des"));
    ASSERT_EQ(story->Insert(at, "Neue Zeile\r"), kSuccess);
    std::string expected = story->text();
    auto changed = changedParts(*doc);
    std::string s = changed.at("Stories/Story_uS.xml");
    EXPECT_NE(s.find("<Content>Zeile 7 des Textes.</Content><Br/><Content>Neue Zeile</Content><Br/>"), std::string::npos)
        << s;
    keepsTheRest(s);
    EXPECT_EQ(mainStory(*open(exported))->text(), expected);

    const int end = static_cast<int>(story->characters().find(U"Zeile 10 des Textes.\r")) + 20;
    ASSERT_EQ(story->Replace(end, 1, " "), kSuccess);
    expected = story->text();
    changed = changedParts(*doc);
    s = changed.at("Stories/Story_uS.xml");
    EXPECT_NE(s.find("Zeile 10 des Textes. Zeile 11"), std::string::npos) << s;
    keepsTheRest(s);
    EXPECT_EQ(mainStory(*open(exported))->text(), expected);
  }
  {  // a word set larger, then the table's neighbour coloured: ranges of their own, the rest as it was
    auto doc = open(package);
    ITextModel* story = mainStory(*doc);
    const int at = static_cast<int>(story->characters().find(U"Zeile 8 des"));
    ASSERT_EQ(story->ApplyAttributes(at, 5, {{AttributeClass::kPointSize, 40.0}}), kSuccess);
    auto changed = changedParts(*doc);
    std::string s = changed.at("Stories/Story_uS.xml");
    EXPECT_TRUE(std::regex_search(s, std::regex(R"(<CharacterStyleRange PointSize="40" KerningMethod="\$ID/Optical">)"
                                                R"(\s*<Properties>.*</Properties>\s*<Content>Zeile</Content></CharacterStyleRange>)"
                                                R"(\s*<CharacterStyleRange PointSize="12" KerningMethod="\$ID/Optical">)"
                                                R"(\s*<Properties>.*</Properties>\s*<Content> 8 des Textes.</Content>)")))
        << s;
    keepsTheRest(s);
    auto back = open(exported);
    const ITextModel* reread = mainStory(*back);
    EXPECT_EQ(reread->text(), story->text());
    EXPECT_EQ(std::get<double>(reread->QueryRun(AttributeClass::kPointSize, at + 2)->value), 40.0);
    EXPECT_EQ(std::get<double>(reread->QueryRun(AttributeClass::kPointSize, at + 6)->value), 12.0);
    // Leading the package keeps in Properties is read, and stays there in the new range.
    EXPECT_EQ(std::get<double>(reread->QueryRun(AttributeClass::kLeading, at + 2)->value), 15.0);
    EXPECT_TRUE(std::regex_search(
        s, std::regex(R"(<CharacterStyleRange PointSize="40" KerningMethod="\$ID/Optical">\s*<Properties><Leading type="unit">15</Leading>)")));

    const int end = static_cast<int>(story->characters().find(U"Ende"));
    ASSERT_EQ(story->ApplyAttributes(end, 4, {{AttributeClass::kTextColor, doc->findSwatch("Rot")->GetUID()}}), kSuccess);
    changed = changedParts(*doc);
    s = changed.at("Stories/Story_uS.xml");
    EXPECT_NE(s.find(R"(KerningMethod="$ID/Optical" FillColor="Color/Rot"><Properties>)"), std::string::npos) << s;
    keepsTheRest(s);
    back = open(exported);
    EXPECT_EQ(std::get<UID>(mainStory(*back)->QueryRun(AttributeClass::kTextColor, end)->value),
              back->findSwatch("Rot")->GetUID());
  }
}

}  // namespace
}  // namespace korvex
