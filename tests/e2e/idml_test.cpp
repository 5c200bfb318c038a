// IDML packages as documents, through the korvex executable: packages made
// here with libzip from small XML parts, checked through `doc info --json`
// and the exported PDF read by poppler and qpdf.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <tuple>
#include <regex>
#include <string>
#include <vector>

#include "support/run_process.h"
#include "support/temp_home.h"
#include "support/zip_archive.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

test::ProcessResult korvex(const std::vector<std::string>& args) {
  return test::runProcess(KORVEX_EXE, args);
}

constexpr const char* kMime = "application/vnd.adobe.indesign-idml-package";

std::string pkg(const std::string& element, const std::string& body) {
  return R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
         "\n<idPkg:" + element + R"( xmlns:idPkg="http://ns.adobe.com/AdobeInDesign/idml/1.0/packaging" DOMVersion="8.0">)" +
         body + "</idPkg:" + element + ">";
}

// A rectangle path from (l, t) to (r, b) in the item's inner coordinates.
std::string rectPath(double l, double t, double r, double b) {
  auto point = [](double x, double y) {
    const std::string a = std::to_string(x) + " " + std::to_string(y);
    return R"(<PathPointType Anchor=")" + a + R"(" LeftDirection=")" + a + R"(" RightDirection=")" + a + R"("/>)";
  };
  return R"(<Properties><PathGeometry><GeometryPathType PathOpen="false"><PathPointArray>)" + point(l, t) +
         point(l, b) + point(r, b) + point(r, t) + "</PathPointArray></GeometryPathType></PathGeometry></Properties>";
}

// The parts of a two-spread package: A4-ish pages of 400 x 600 points; the
// spread's origin is the centre of the spread, as the application writes it.
struct Parts {
  std::map<std::string, std::string> files;
  std::vector<std::string> order;
  void set(const std::string& name, const std::string& data) {
    if (!files.count(name)) order.push_back(name);
    files[name] = data;
  }
  std::vector<test::ZipEntry> entries() const {
    std::vector<test::ZipEntry> out;
    for (const std::string& n : order) out.push_back({n, files.at(n)});
    return out;
  }
};

// linkRecord: attributes of the picture's Link that record the file's size and date.
Parts flyerParts(const std::string& pictureURI, const std::string& missingURI, const std::string& linkRecord = "") {
  Parts p;
  p.set("mimetype", kMime);
  p.set("designmap.xml", R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<?aid style="50" type="document" readerVersion="6.0" featureSet="257" product="8.0" ?>
<Document xmlns:idPkg="http://ns.adobe.com/AdobeInDesign/idml/1.0/packaging" DOMVersion="8.0" Self="d" ActiveLayer="uText">
  <Properties><Label><KeyValuePair Key="Job" Value="4711"/></Label></Properties>
  <idPkg:Graphic src="Resources/Graphic.xml"/>
  <idPkg:Styles src="Resources/Styles.xml"/>
  <idPkg:Preferences src="Resources/Preferences.xml"/>
  <Layer Self="uNotes" Name="Notes" Visible="false" Locked="false" Printable="false"/>
  <Layer Self="uText" Name="Text" Visible="true" Locked="true" Printable="true">
    <Properties><LayerColor type="enumeration">Red</LayerColor></Properties></Layer>
  <Layer Self="uPix" Name="Pictures" Visible="true" Locked="false" Printable="true">
    <Properties><LayerColor type="enumeration">LightBlue</LayerColor></Properties></Layer>
  <idPkg:MasterSpread src="MasterSpreads/MasterSpread_uM.xml"/>
  <idPkg:Spread src="Spreads/Spread_u1.xml"/>
  <idPkg:Spread src="Spreads/Spread_u2.xml"/>
  <idPkg:Story src="Stories/Story_uS.xml"/>
  <idPkg:Story src="Stories/Story_uT.xml"/>
  <idPkg:Story src="Stories/Story_uL.xml"/>
  <idPkg:Story src="Stories/Story_uR.xml"/>
  <idPkg:BackingStory src="XML/BackingStory.xml"/>
</Document>)");
  p.set("XML/BackingStory.xml", pkg("BackingStory", R"(
  <XmlStory Self="ux"><ParagraphStyleRange><CharacterStyleRange>
    <XMLElement Self="di2" MarkupTag="XMLTag/Root">
      <XMLElement Self="di3" MarkupTag="XMLTag/Titel%20Zeile" XMLContent="uT">
        <XMLAttribute Self="da1" Name="id" Value="7"/>
      </XMLElement>
    </XMLElement>
  </CharacterStyleRange></ParagraphStyleRange></XmlStory>)"));
  p.set("Resources/Graphic.xml", pkg("Graphic", R"(
  <Tint Self="Tint/Rot 40" Name="$ID/" BaseColor="Color/Rot" TintValue="40"/>
  <Color Self="Color/Black" Model="Process" Space="CMYK" ColorValue="0 0 0 100" Name="Black"/>
  <Color Self="Color/Paper" Model="Process" Space="CMYK" ColorValue="0 0 0 0" Name="Paper"/>
  <Color Self="Color/Registration" Model="Registration" Space="CMYK" ColorValue="100 100 100 100" Name="Registration"/>
  <Color Self="Color/Rot" Model="Process" Space="CMYK" ColorValue="0 100 100 0" Name="Rot"/>
  <Color Self="Color/HKS" Model="Spot" Space="LAB" ColorValue="35 10 -60" Name="HKS 43 K"/>
  <Color Self="Color/u99" Model="Process" Space="RGB" ColorValue="0 0 255" Name="$ID/"/>
  <Swatch Self="Swatch/None" Name="None"/>
  <Gradient Self="Gradient/G" Name="Verlauf"/>)"));
  p.set("Resources/Styles.xml", pkg("Styles", R"(
  <RootCharacterStyleGroup Self="cg">
    <CharacterStyle Self="CharacterStyle/$ID/[No character style]" Name="$ID/[No character style]"/>
    <CharacterStyle Self="CharacterStyle/Em" Name="Em" FontStyle="Bold" Capitalization="AllCaps"/>
  </RootCharacterStyleGroup>
  <RootParagraphStyleGroup Self="pg">
    <ParagraphStyle Self="ParagraphStyle/$ID/NormalParagraphStyle" Name="$ID/NormalParagraphStyle" PointSize="12"/>
    <ParagraphStyleGroup Self="ParagraphStyleGroup/Heads" Name="Heads">
      <ParagraphStyle Self="ParagraphStyle/Heads%3aTitle" Name="Title" PointSize="24" Justification="CenterAlign">
        <Properties><BasedOn type="object">ParagraphStyle/$ID/NormalParagraphStyle</BasedOn></Properties>
      </ParagraphStyle>
    </ParagraphStyleGroup>
  </RootParagraphStyleGroup>)"));
  p.set("Resources/Preferences.xml", pkg("Preferences", R"(
  <DocumentPreference PageWidth="400" PageHeight="600" FacingPages="true"/>
  <MarginPreference Top="20" Bottom="30" Left="40" Right="50" ColumnCount="1" ColumnGutter="12"/>)"));
  // Spread 1: page 1 alone on the right of the spine, as in facing documents.
  p.set("Spreads/Spread_u1.xml", pkg("Spread", R"(
  <Spread Self="u1" PageCount="1" ItemTransform="1 0 0 1 0 0">
    <Page Self="p1" Name="1" GeometricBounds="0 0 600 400" ItemTransform="1 0 0 1 0 -300" AppliedMaster="uM">
      <MarginPreference Top="20" Bottom="30" Left="40" Right="50" ColumnCount="2" ColumnGutter="20" ColumnsPositions="0 145 165 310"/>
    </Page>
    <TextFrame Self="tf1" ParentStory="uS" PreviousTextFrame="n" NextTextFrame="tf2" ItemLayer="uText" ContentType="TextType"
               ItemTransform="1 0 0 1 40 -280" FillColor="Swatch/None" StrokeColor="Swatch/None">)" +
                                               rectPath(0, 0, 300, 80) + R"(
      <TextFramePreference TextColumnCount="1" TextColumnGutter="12" InsetSpacing="0 0 0 0" VerticalJustification="TopAlign"/>
    </TextFrame>
    <Rectangle Self="r1" ItemLayer="uPix" ItemTransform="1 0 0 1 40 -180" FillColor="Tint/Rot 40" StrokeColor="Color/HKS"
               StrokeWeight="2" Nonprinting="false">)" +
                                               rectPath(0, 0, 100, 50) + R"(
      <Properties><Label><KeyValuePair Key="Bild" Value="Aufmacher"/></Label></Properties>
      <TransparencySetting><DropShadowSetting Mode="Drop"/></TransparencySetting>
    </Rectangle>
    <Group Self="g1" ItemLayer="uPix" ItemTransform="1 0 0 1 200 -180">
      <Oval Self="o1" ItemTransform="1 0 0 1 0 0" FillColor="Color/HKS">)" +
                                               rectPath(0, 0, 40, 40) + R"(</Oval>
      <Rectangle Self="r2" ItemTransform="0 1 -1 0 100 0" FillColor="Color/u99">)" +
                                               rectPath(0, 0, 60, 20) + R"(</Rectangle>
    </Group>
    <GraphicLine Self="l1" ItemLayer="uText" ItemTransform="1 0 0 1 0 0" StrokeColor="Color/Black" StrokeWeight="1">
      <Properties><PathGeometry><GeometryPathType PathOpen="true"><PathPointArray>
        <PathPointType Anchor="40 -100" LeftDirection="40 -100" RightDirection="40 -100"/>
        <PathPointType Anchor="340 -100" LeftDirection="340 -100" RightDirection="340 -100"/>
      </PathPointArray></GeometryPathType></PathGeometry></Properties>
    </GraphicLine>
    <Rectangle Self="r3" ItemLayer="uPix" ItemTransform="1 0 0 1 40 0" FillColor="Swatch/None" StrokeColor="Swatch/None">)" +
                                               rectPath(0, 0, 100, 100) + R"(
      <Image Self="i1" ItemTransform="1 0 0 1 0 0">
        <Properties><GraphicBounds Left="0" Top="0" Right="100" Bottom="100"/></Properties>
        <Link Self="k1" LinkResourceURI=")" + pictureURI + R"(" StoredState="Normal" )" + linkRecord + R"(/>
      </Image>
    </Rectangle>
  </Spread>)"));
  // Spread 2: two pages either side of the spine; the thread's second frame
  // and a picture whose file is nowhere.
  p.set("Spreads/Spread_u2.xml", pkg("Spread", R"(
  <Spread Self="u2" PageCount="2" ItemTransform="1 0 0 1 0 700">
    <Page Self="p2" Name="2" GeometricBounds="0 0 600 400" ItemTransform="1 0 0 1 -400 -300" AppliedMaster="uM"/>
    <Page Self="p3" Name="3" GeometricBounds="0 0 600 400" ItemTransform="1 0 0 1 0 -300" AppliedMaster="uM"/>
    <TextFrame Self="tf2" ParentStory="uS" PreviousTextFrame="tf1" NextTextFrame="n" ItemLayer="uText"
               ItemTransform="1 0 0 1 40 -280">)" + rectPath(0, 0, 300, 400) + R"(</TextFrame>
    <TextFrame Self="tf3" ParentStory="uT" PreviousTextFrame="n" NextTextFrame="n" ItemLayer="uText"
               ItemTransform="1 0 0 1 -360 -280">)" + rectPath(0, 0, 300, 100) + R"(</TextFrame>
    <Rectangle Self="r4" ItemLayer="uPix" ItemTransform="1 0 0 1 -360 0">)" + rectPath(0, 0, 80, 80) + R"(
      <Image Self="i2" ItemTransform="1 0 0 1 0 0">
        <Properties><GraphicBounds Left="0" Top="0" Right="80" Bottom="80"/></Properties>
        <Link Self="k2" LinkResourceURI=")" + missingURI + R"("/>
      </Image>
    </Rectangle>
  </Spread>)"));
  // The threaded story: a title, then body text long enough to go on in the
  // second frame; a table whose cells stay as text.
  std::string body;
  for (int i = 1; i <= 12; ++i) body += "<Content>Zeile " + std::to_string(i) + " des Textes.</Content><Br/>";
  p.set("Stories/Story_uS.xml", pkg("Story", R"(
  <Story Self="uS">
    <ParagraphStyleRange AppliedParagraphStyle="ParagraphStyle/Heads%3aTitle">
      <CharacterStyleRange AppliedCharacterStyle="CharacterStyle/Em" FillColor="Color/Rot" PointSize="24">
        <Properties><AppliedFont type="string">DejaVu Sans</AppliedFont></Properties>
        <Content>Sommerfest</Content><Br/>
      </CharacterStyleRange>
    </ParagraphStyleRange>
    <ParagraphStyleRange AppliedParagraphStyle="ParagraphStyle/$ID/NormalParagraphStyle" LeftIndent="20">
      <CharacterStyleRange PointSize="30">
        <Properties><AppliedFont type="string">DejaVu Sans</AppliedFont></Properties>
        <Content>Am See</Content><?ACE 18?><Br/>
      </CharacterStyleRange>
      <CharacterStyleRange PointSize="12">
        <Properties><AppliedFont type="string">DejaVu Sans</AppliedFont></Properties>)" +
                                              body + R"(
        <Table Self="tb" BodyRowCount="2" ColumnCount="2">
          <Cell Self="c00" Name="0:0"><ParagraphStyleRange><CharacterStyleRange><Content>Wann</Content></CharacterStyleRange></ParagraphStyleRange></Cell>
          <Cell Self="c10" Name="1:0"><ParagraphStyleRange><CharacterStyleRange><Content>15 Uhr</Content></CharacterStyleRange></ParagraphStyleRange></Cell>
          <Cell Self="c01" Name="0:1"><ParagraphStyleRange><CharacterStyleRange><Content>Wo</Content></CharacterStyleRange></ParagraphStyleRange></Cell>
          <Cell Self="c11" Name="1:1"><ParagraphStyleRange><CharacterStyleRange><Content>Seeufer</Content></CharacterStyleRange></ParagraphStyleRange></Cell>
        </Table>
        <Content>Ende</Content>
      </CharacterStyleRange>
    </ParagraphStyleRange>
  </Story>)"));
  p.set("Stories/Story_uT.xml", pkg("Story", R"(
  <Story Self="uT"><ParagraphStyleRange><CharacterStyleRange PointSize="12">
    <Properties><AppliedFont type="string">DejaVu Sans</AppliedFont></Properties>
    <Content>Linke Seite</Content>
    <Rectangle Self="anc" ItemTransform="1 0 0 1 500 500" FillColor="Color/Rot">)" +
                                              rectPath(0, 0, 10, 10) + R"(</Rectangle>
  </CharacterStyleRange></ParagraphStyleRange></Story>)"));
  // A facing master: a footer frame on each of its pages, beneath the pages' items.
  p.set("MasterSpreads/MasterSpread_uM.xml", pkg("MasterSpread", R"(
  <MasterSpread Self="uM" Name="A-Master" NamePrefix="A" BaseName="Master" PageCount="2" ItemTransform="1 0 0 1 0 0">
    <Page Self="mL" Name="A" GeometricBounds="0 0 600 400" ItemTransform="1 0 0 1 -400 -300"/>
    <Page Self="mR" Name="A" GeometricBounds="0 0 600 400" ItemTransform="1 0 0 1 0 -300"/>
    <TextFrame Self="fl" ParentStory="uL" PreviousTextFrame="n" NextTextFrame="n" ItemLayer="uText"
               ItemTransform="1 0 0 1 -360 250">)" + rectPath(0, 0, 300, 30) + R"(</TextFrame>
    <TextFrame Self="fr" ParentStory="uR" PreviousTextFrame="n" NextTextFrame="n" ItemLayer="uText"
               ItemTransform="1 0 0 1 40 250">)" + rectPath(0, 0, 300, 30) + R"(</TextFrame>
  </MasterSpread>)"));
  for (const char* side : {"L", "R"})
    p.set(std::string("Stories/Story_u") + side + ".xml",
          pkg("Story", std::string(R"(<Story Self="u)") + side + R"("><ParagraphStyleRange><CharacterStyleRange PointSize="10">
    <Properties><AppliedFont type="string">DejaVu Sans</AppliedFont></Properties>
    <Content>Fuss )" + (side[0] == 'L' ? "links" : "rechts") + R"(</Content></CharacterStyleRange></ParagraphStyleRange></Story>)"));
  return p;
}

// The words pdftotext finds on a page, with their left and right edges.
std::vector<std::tuple<std::string, double, double>> words(const fs::path& pdf, int page) {
  auto r = test::runProcess("/usr/bin/pdftotext",
                            {"-bbox", "-f", std::to_string(page), "-l", std::to_string(page), pdf.string(), "-"});
  std::vector<std::tuple<std::string, double, double>> out;
  std::regex word(R"re(<word xMin="([0-9.]+)" yMin="[0-9.]+" xMax="([0-9.]+)" yMax="[0-9.]+">([^<]*)</word>)re");
  for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), word); it != std::sregex_iterator(); ++it)
    out.emplace_back((*it)[3], std::stod((*it)[1]), std::stod((*it)[2]));
  return out;
}

std::optional<std::pair<double, double>> wordAt(const fs::path& pdf, int page, const std::string& text) {
  for (const auto& [w, left, right] : words(pdf, page))
    if (w == text) return std::pair(left, right);
  return std::nullopt;
}

const Json* itemWith(const Json& items, const std::string& kind) {
  for (const Json& i : items)
    if (i["kind"] == kind) return &i;
  return nullptr;
}

class IdmlPackage : public ::testing::Test {
 protected:
  void SetUp() override {
    // The picture is "from another machine": the URI's folder doesn't exist
    // here, the file is in the Links folder beside the package.
    picture = folder / "Links" / "Foto Sommer.png";
    fs::create_directories(picture.parent_path());
    auto made = test::runProcess("/usr/bin/convert", {"-size", "100x100", "xc:#00ff00", picture.string()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    Parts parts = flyerParts("file:/Users/grafik/Jobs/Links/Foto%20Sommer.png",
                             "file:///Volumes/Server/gone%20away.tif");
    test::writeZip(package, parts.entries());
  }

  test::TempHome home;
  fs::path folder = home.scratch() / "job";
  fs::path package = folder / "Flyer.idml";
  fs::path picture;
};

TEST_F(IdmlPackage, OpensWithItsModelAndExportsWhereThePackagePlacesIt) {
  auto info = korvex({"doc", "info", package.string(), "--json"});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  const Json j = Json::parse(info.out);
  EXPECT_EQ(j["pageCount"], 3);
  EXPECT_EQ(j["labels"]["Job"], "4711");
  EXPECT_EQ(j["facingPages"], true);
  // Layers back to front: the designmap lists the front one first.
  ASSERT_EQ(j["layers"].size(), 3u);
  EXPECT_EQ(j["layers"][0]["name"], "Pictures");
  EXPECT_EQ(j["layers"][0]["color"], "Light Blue");
  EXPECT_EQ(j["layers"][1]["name"], "Text");
  EXPECT_EQ(j["layers"][1]["locked"], true);
  EXPECT_EQ(j["layers"][1]["color"], "Red");
  EXPECT_EQ(j["layers"][2]["name"], "Notes");
  EXPECT_EQ(j["layers"][2]["visible"], false);
  EXPECT_EQ(j["layers"][2]["printable"], false);

  std::map<std::string, std::string> swatches;
  for (const Json& s : j["swatches"]) swatches[s["name"]] = s["description"];
  EXPECT_EQ(swatches["Rot"], "process CMYK 0/100/100/0");
  EXPECT_EQ(swatches["HKS 43 K"], "spot Lab 35/10/-60");
  EXPECT_EQ(swatches["u99"], "process RGB 0/0/100");
  EXPECT_EQ(swatches["Rot 40%"], "tint 40% of Rot");
  EXPECT_EQ(j["styles"]["paragraph"].dump().find("Heads:Title") != std::string::npos, true) << j["styles"];

  // Items in spread coordinates (origin at the first page's top-left), in millimetres.
  ASSERT_EQ(j["spreads"].size(), 2u);
  const Json& first = j["spreads"][0];
  const Json& pix = first["items"]["Pictures"];
  ASSERT_EQ(pix.size(), 3u) << pix;
  EXPECT_EQ(pix[0]["fill"], "Rot 40%");
  EXPECT_EQ(pix[0]["stroke"], "HKS 43 K");
  EXPECT_EQ(pix[0]["labels"]["Bild"], "Aufmacher");
  EXPECT_EQ(pix[0]["boundsMM"], Json::parse("[14.1, 42.3, 49.4, 60.0]"));
  const Json* group = itemWith(pix, "group");
  ASSERT_NE(group, nullptr);
  // The rotated member: 60 x 20 turned a quarter, at x 200 + 100 - 20.
  EXPECT_EQ((*group)["children"][1]["boundsMM"], Json::parse("[98.8, 42.3, 105.8, 63.5]"));
  const Json* frame = itemWith(pix, "picture frame");
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ((*frame)["link"], picture.string());
  const Json* line = itemWith(first["items"]["Text"], "line");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ((*line)["boundsMM"], Json::parse("[14.1, 70.6, 119.9, 70.6]"));

  // Pages of spread 2 either side of the spine: the left page at the origin.
  const Json& second = j["spreads"][1];
  ASSERT_EQ(second["pages"].size(), 2u);
  const Json* left = itemWith(second["items"]["Text"], "text frame");
  ASSERT_NE(left, nullptr);

  // One story in two frames, threaded in link order; the table's cells as text.
  ASSERT_EQ(j["stories"].size(), 4u);
  int threaded = 0;
  for (const Json& story : j["stories"]) threaded += story["frames"] == 2 ? 1 : 0;
  EXPECT_EQ(threaded, 1);
  std::map<std::string, std::string> links;
  for (const Json& l : j["links"]) links[l["path"]] = l["state"];
  EXPECT_EQ(links[picture.string()], "normal");
  EXPECT_EQ(links["/Volumes/Server/gone away.tif"], "missing");

  auto check = korvex({"doc", "check", package.string()});
  EXPECT_EQ(check.exitCode, 0) << check.err;
  for (const char* warning : {"link /Volumes/Server/gone away.tif: missing", "not supported: tables (cell text kept): 1",
                              "not supported: effects and transparency: 1", "not supported: gradient swatches: 1"})
    EXPECT_NE(check.out.find(warning), std::string::npos) << warning << "\n" << check.out;

  const fs::path pdf = home.scratch() / "flyer.pdf";
  auto exported = korvex({"export", package.string(), pdf.string()});
  ASSERT_EQ(exported.exitCode, 0) << exported.err;
  EXPECT_EQ(test::runProcess("/usr/bin/qpdf", {"--check", pdf.string()}).exitCode, 0);
  auto pdfinfo = test::runProcess("/usr/bin/pdfinfo", {"-f", "1", "-l", "3", pdf.string()});
  EXPECT_TRUE(std::regex_search(pdfinfo.out, std::regex("Pages:\\s+3\n"))) << pdfinfo.out;
  for (int page = 1; page <= 3; ++page)
    EXPECT_TRUE(std::regex_search(pdfinfo.out, std::regex("Page\\s+" + std::to_string(page) + " size:\\s+400 x 600 pts")))
        << pdfinfo.out;
  // The linked picture drawn at its bounds (100 pixels in 100 points), the
  // missing one not at all; the tint and the spot colour in the content.
  auto images = test::runProcess("/usr/bin/pdfimages", {"-list", pdf.string()});
  EXPECT_TRUE(std::regex_search(images.out, std::regex(R"(\n\s+1\s+0 image\s+100\s+100\s.*\s72\s+72\s)")))
      << images.out;
  EXPECT_EQ(std::count(images.out.begin(), images.out.end(), '\n'), 3) << images.out;
  const fs::path qdf = home.scratch() / "flyer-qdf.pdf";
  test::runProcess("/usr/bin/qpdf", {"--qdf", "--object-streams=disable", pdf.string(), qdf.string()});
  const std::string content = test::readFile(qdf);
  EXPECT_NE(content.find("0 0.4 0.4 0 k"), std::string::npos) << "Rot 40% as CMYK";
  EXPECT_TRUE(std::regex_search(content, std::regex(R"(/Separation\s+/HKS#2043#20K)"))) << "the spot as a separation";
  auto text = test::runProcess("/usr/bin/pdftotext", {"-layout", pdf.string(), "-"});
  ASSERT_EQ(text.exitCode, 0);
  // The title, then the thread's text in order across pages; the table's cells as rows.
  const std::string& t = text.out;
  const auto at = [&](const std::string& s) { return t.find(s); };
  ASSERT_NE(at("SOMMERFEST"), std::string::npos) << "the character style's capitals\n" << t;
  EXPECT_LT(at("SOMMERFEST"), at("Am See"));
  ASSERT_NE(at("Zeile 12 des Textes."), std::string::npos) << t;
  EXPECT_LT(at("Zeile 1 des"), at("Zeile 12 des"));
  EXPECT_NE(at("Linke Seite"), std::string::npos);
  EXPECT_LT(at("Linke Seite"), at("Zeile 12 des")) << "the left page of spread 2 comes before the right";
  EXPECT_TRUE(std::regex_search(t, std::regex("Wann\\s+15 Uhr"))) << t;

  // Styles resolved: the title centred in its frame (40…340 on the page), the
  // body indented by its paragraph's 20 points.
  const auto title = wordAt(pdf, 1, "SOMMERFEST");
  ASSERT_TRUE(title);
  EXPECT_NEAR((title->first + title->second) / 2, 190, 2);
  const auto body = wordAt(pdf, 1, "Am");
  ASSERT_TRUE(body);
  EXPECT_NEAR(body->first, 60, 1.5);
  // Master items beneath each page: the right master page's footer on the
  // right pages, the left one's on the left page, where the master puts them.
  EXPECT_TRUE(wordAt(pdf, 1, "rechts"));
  EXPECT_FALSE(wordAt(pdf, 1, "links"));
  EXPECT_TRUE(wordAt(pdf, 2, "links"));
  EXPECT_TRUE(wordAt(pdf, 3, "rechts"));
  const auto footer = wordAt(pdf, 3, "Fuss");
  ASSERT_TRUE(footer);
  EXPECT_NEAR(footer->first, 40, 1.5);
  ASSERT_TRUE(j.contains("masters"));
  EXPECT_EQ(j["masters"][0]["name"], "A-Master");
  EXPECT_EQ(j["masters"][0]["pages"], 2);
  EXPECT_EQ(j["spreads"][1]["pages"][0]["master"], "A-Master");
}

TEST_F(IdmlPackage, IsAnUntitledDocumentThatConvertsAndRunsThroughABatch) {
  const fs::path native = home.scratch() / "Flyer.indd";
  auto converted = korvex({"doc", "convert", package.string(), native.string()});
  ASSERT_EQ(converted.exitCode, 0) << converted.err;
  EXPECT_EQ(test::readFile(native).substr(0, 1), "{");
  auto fromPackage = korvex({"doc", "info", package.string(), "--json"});
  auto fromNative = korvex({"doc", "info", native.string(), "--json"});
  ASSERT_EQ(fromNative.exitCode, 0) << fromNative.err;
  Json a = Json::parse(fromPackage.out), b = Json::parse(fromNative.out);
  a.erase("file");
  b.erase("file");
  EXPECT_EQ(a, b) << "the native file holds what the package gave";
  EXPECT_EQ(korvex({"doc", "convert", package.string(), native.string()}).exitCode, 1) << "no overwriting";
  // The XML structure: tags, attributes, the text of the story an element names.
  const Json nativeFile = Json::parse(test::readFile(native));
  EXPECT_EQ(nativeFile["xml"]["tag"], "Root");
  EXPECT_EQ(nativeFile["xml"]["children"][0]["tag"], "Titel Zeile");
  EXPECT_EQ(nativeFile["xml"]["children"][0]["attributes"]["id"], "7");
  EXPECT_EQ(nativeFile["xml"]["children"][0]["content"], "Linke Seite\uFFFC");

  // A batch of PDF, Collect, Preflight and Save once the missing picture is
  // there: the PDF is named after the package, the pictures are collected,
  // and saving the untitled document fails without touching the package.
  auto made = test::runProcess("/usr/bin/convert", {"-size", "80x80", "xc:#0000ff", (folder / "Links" / "gone away.tif").string()});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  const std::string packageBytes = test::readFile(package);
  const fs::path out = home.scratch() / "pdf", delivery = home.scratch() / "delivery";
  fs::create_directories(out);
  const fs::path chain = home.scratch() / "chain.plist";
  test::writeFile(chain, R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><array>)"
                         "<dict><key>Action</key><string>PDF</string><key>Style</key><string>[PDF/X-4:2008]</string>"
                         "<key>Folder</key><string>" + out.string() + "</string></dict>"
                         "<dict><key>Action</key><string>Collect</string><key>Folder</key><string>" +
                             delivery.string() + "</string><key>Fonts</key><integer>0</integer></dict>"
                         "<dict><key>Action</key><string>Preflight</string><key>PreflightProfile</key>"
                         "<string>[Basic]</string></dict>"
                         "<dict><key>Action</key><string>Save</string></dict></array></plist>");
  auto run = korvex({"run", "--chain", chain.string(), package.string()});
  const std::string log = test::readFile(home.documents() / "Tamrisk" / "Korvex.txt");
  EXPECT_TRUE(fs::exists(out / "Flyer.pdf")) << log;
  EXPECT_EQ(test::runProcess("/usr/bin/qpdf", {"--check", (out / "Flyer.pdf").string()}).exitCode, 0);
  EXPECT_TRUE(fs::exists(delivery / "images" / "Foto Sommer.png")) << log;
  EXPECT_TRUE(fs::exists(delivery / "images" / "gone away.tif")) << log;
  EXPECT_NE(log.find("save failed"), std::string::npos) << "an untitled document can't be saved\n" << log;
  EXPECT_EQ(test::readFile(package), packageBytes);
}

// Dropped into a hot folder, a package runs its chain in "Out": the PDF is
// named after it, its pictures are found beside the folder it was dropped
// into, and the package stays as it was.
TEST_F(IdmlPackage, RunsFromTheHotFolder) {
  const fs::path hot = home.scratch() / "hot", proof = hot / "Proof";
  auto plist = [](const std::string& body) {
    return R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0">)" + body + "</plist>";
  };
  test::writeFile(home.dataHome() / "Tamrisk/Korvex.plist",
                  plist("<dict><key>Hotfolder</key><string>" + hot.string() + "</string></dict>"));
  test::writeFile(home.dataHome() / "Korvex/Proof.plist",
                  plist("<array><dict><key>Action</key><string>PDF</string><key>Style</key>"
                        "<string>[PDF/X-4:2008]</string></dict>"
                        "<dict><key>Action</key><string>Save</string></dict></array>"));
  fs::create_directories(proof);
  fs::copy(folder / "Links", proof / "Links", fs::copy_options::recursive);
  auto made = test::runProcess("/usr/bin/convert", {"-size", "80x80", "xc:#0000ff", (proof / "Links" / "gone away.tif").string()});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  fs::copy_file(package, proof / "Flyer.idml");
  const std::string bytes = test::readFile(package);
  auto run = test::runProcess(KORVEX_EXE, {"hotfolder", "--once"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::string log = test::readFile(home.documents() / "Tamrisk/Korvex.txt");
  EXPECT_TRUE(fs::exists(proof / "Out" / "Flyer.pdf")) << log;
  EXPECT_EQ(test::readFile(proof / "Out" / "Flyer.idml"), bytes);
  EXPECT_FALSE(fs::exists(proof / "Flyer.idml"));
}

// What the package records beyond its layout: the picture's size and date
// (a file changed since is out of date), its fonts, XML elements marking
// story text, a master based on another, and page numbers.
TEST_F(IdmlPackage, KeepsWhatThePackageRecords) {
  // The picture's own stamp as the application writes it (file time in
  // 100 ns steps since 1601, size in hex) keeps the link up to date.
  const auto modified = std::chrono::file_clock::to_sys(fs::last_write_time(picture));
  const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(modified.time_since_epoch()).count();
  const std::string size = std::to_string(fs::file_size(picture));
  char hex[32];
  std::snprintf(hex, sizeof hex, "0~%llx", static_cast<unsigned long long>(fs::file_size(picture)));
  const std::string uri = "file:/Users/grafik/Jobs/Links/Foto%20Sommer.png";
  Parts parts = flyerParts(uri, "file:///gone.tif",
                           "LinkImportStamp=\"file " + std::to_string((seconds + 11644473600LL) * 10000000LL + 4711) +
                               " " + size + "\" LinkResourceSize=\"" + hex + "\"");
  test::writeZip(package, parts.entries());
  auto info = korvex({"doc", "info", package.string(), "--json"});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_EQ(Json::parse(info.out)["links"][0]["state"], "normal") << info.out;

  // Saved when the file was another: a local time two hours off and another size.
  parts = flyerParts(uri, "file:///gone.tif",
                     R"(LinkImportModificationTime="2019-03-01T10:00:00" LinkResourceSize="0~1c")");
  parts.set("designmap.xml", std::regex_replace(parts.files["designmap.xml"], std::regex("<idPkg:Styles"),
                                                R"(<idPkg:Fonts src="Resources/Fonts.xml"/><idPkg:Styles)"));
  parts.set("Resources/Fonts.xml", pkg("Fonts", R"(
  <FontFamily Self="di1" Name="DejaVu Sans">
    <Font Self="di1f" FontFamily="DejaVu Sans" Name="DejaVu Sans Book" PostScriptName="DejaVuSans" Status="Installed" FontStyleName="Book"/>
  </FontFamily>
  <FontFamily Self="di2" Name="Nowhere Sans">
    <Font Self="di2f" FontFamily="Nowhere Sans" Name="Nowhere Sans Bold" PostScriptName="NowhereSans-Bold" Status="Installed" FontStyleName="Bold"/>
  </FontFamily>)"));
  // A master B based on A: its header over A's footers; page 3 shows both.
  parts.set("designmap.xml", std::regex_replace(parts.files["designmap.xml"], std::regex("<idPkg:Spread "),
                                                R"(<idPkg:MasterSpread src="MasterSpreads/MasterSpread_uB.xml"/><idPkg:Spread )", std::regex_constants::format_first_only));
  parts.set("MasterSpreads/MasterSpread_uB.xml", pkg("MasterSpread", R"(
  <MasterSpread Self="uB" Name="B-Kopf" PageCount="2" ItemTransform="1 0 0 1 0 0">
    <Page Self="bL" Name="B" GeometricBounds="0 0 600 400" ItemTransform="1 0 0 1 -400 -300" AppliedMaster="uM"/>
    <Page Self="bR" Name="B" GeometricBounds="0 0 600 400" ItemTransform="1 0 0 1 0 -300" AppliedMaster="uM"/>
    <TextFrame Self="fk" ParentStory="uK" PreviousTextFrame="n" NextTextFrame="n" ItemLayer="uText"
               ItemTransform="1 0 0 1 40 -290">)" + rectPath(0, 0, 300, 20) + R"(</TextFrame>
  </MasterSpread>)"));
  parts.set("Stories/Story_uK.xml", pkg("Story", R"(<Story Self="uK"><ParagraphStyleRange><CharacterStyleRange PointSize="10">
    <Properties><AppliedFont type="string">DejaVu Sans</AppliedFont></Properties>
    <Content>Kopfzeile Seite </Content><?ACE 18?></CharacterStyleRange></ParagraphStyleRange></Story>)"));
  parts.set("designmap.xml", std::regex_replace(parts.files["designmap.xml"], std::regex("<idPkg:BackingStory"),
                                                R"(<idPkg:Story src="Stories/Story_uK.xml"/><idPkg:BackingStory)"));
  parts.set("Spreads/Spread_u2.xml", std::regex_replace(parts.files["Spreads/Spread_u2.xml"],
                                                        std::regex(R"(Name="3"(.*)AppliedMaster="uM")"),
                                                        R"(Name="3"$1AppliedMaster="uB")"));
  // The left page's story: its number, XML elements around part of its text, and special spaces.
  parts.set("Stories/Story_uT.xml", pkg("Story", R"(
  <Story Self="uT"><ParagraphStyleRange><CharacterStyleRange PointSize="12">
    <Properties><AppliedFont type="string">DejaVu Sans</AppliedFont></Properties>
    <XMLElement Self="di3i1" MarkupTag="XMLTag/Ort"><XMLAttribute Self="a1" Name="typ" Value="See"/>
      <Content>Linke</Content><XMLElement Self="di3i1i1" MarkupTag="XMLTag/Nr"><Content> Seite </Content><?ACE 18?></XMLElement>
    </XMLElement><?ACE 3?><Content>&#x2003;Ende</Content>
  </CharacterStyleRange></ParagraphStyleRange></Story>)"));
  test::writeZip(package, parts.entries());

  info = korvex({"doc", "info", package.string(), "--json"});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  const Json j = Json::parse(info.out);
  EXPECT_EQ(j["links"][0]["path"], picture.string());
  EXPECT_EQ(j["links"][0]["state"], "modified") << info.out;
  ASSERT_EQ(j["masters"].size(), 2u);
  EXPECT_EQ(j["masters"][1]["basedOn"], "A-Master");
  auto preflight = korvex({"preflight", package.string()});
  EXPECT_NE(preflight.out.find("Modified link: " + picture.string()), std::string::npos) << preflight.out;
  EXPECT_NE(preflight.out.find("Missing font: Nowhere Sans Bold"), std::string::npos) << preflight.out;
  auto check = korvex({"doc", "check", package.string()});
  EXPECT_NE(check.out.find("font Nowhere Sans Bold: missing"), std::string::npos) << check.out;
  EXPECT_EQ(check.out.find("font DejaVu Sans"), std::string::npos) << check.out;
  EXPECT_NE(check.out.find("not supported: page numbers on master pages: 1"), std::string::npos) << check.out;
  EXPECT_EQ(check.out.find("ACE"), std::string::npos) << check.out;

  // The structure: the story's elements with the text they mark.
  const fs::path native = home.scratch() / "Flyer.indd";
  ASSERT_EQ(korvex({"doc", "convert", package.string(), native.string()}).exitCode, 0);
  const Json element = Json::parse(test::readFile(native))["xml"]["children"][0];
  EXPECT_EQ(element["content"], "Linke Seite 2\u2003Ende");
  ASSERT_EQ(element["children"].size(), 1u) << element;
  EXPECT_EQ(element["children"][0]["tag"], "Ort");
  EXPECT_EQ(element["children"][0]["attributes"]["typ"], "See");
  EXPECT_EQ(element["children"][0]["content"], "Linke Seite 2");
  EXPECT_EQ(element["children"][0]["children"][0]["tag"], "Nr");
  EXPECT_EQ(element["children"][0]["children"][0]["content"], " Seite 2");
  auto again = korvex({"doc", "info", native.string(), "--json"});
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(Json::parse(again.out)["masters"][1]["basedOn"], "A-Master");
  EXPECT_EQ(Json::parse(again.out)["links"][0]["state"], "modified");
  EXPECT_NE(korvex({"doc", "check", native.string()}).out.find("font Nowhere Sans Bold: missing"), std::string::npos);

  const fs::path pdf = home.scratch() / "records.pdf";
  auto exported = korvex({"export", package.string(), pdf.string()});
  ASSERT_EQ(exported.exitCode, 0) << exported.err;
  EXPECT_EQ(test::runProcess("/usr/bin/qpdf", {"--check", pdf.string()}).exitCode, 0);
  auto text = test::runProcess("/usr/bin/pdftotext", {"-f", "2", "-l", "2", pdf.string(), "-"});
  EXPECT_NE(text.out.find("Linke Seite 2"), std::string::npos) << text.out;
  // Page 3 under B: B's header, and A's right footer beneath it.
  EXPECT_TRUE(wordAt(pdf, 3, "Kopfzeile"));
  EXPECT_TRUE(wordAt(pdf, 3, "rechts"));
  EXPECT_FALSE(wordAt(pdf, 2, "Kopfzeile"));
}

// One line naming the package, the part and the problem; exit 2; in a batch "could not open".
TEST_F(IdmlPackage, BadPackagesAreRefusedWithOneLine) {
  struct Case {
    std::string name;
    std::vector<test::ZipEntry> entries;  // empty: not a ZIP at all
    std::string expected;
  };
  const Parts good = flyerParts("file:x.png", "file:y.png");
  auto without = [&](const std::string& part) {
    auto e = good.entries();
    e.erase(std::remove_if(e.begin(), e.end(), [&](const auto& x) { return x.name == part; }), e.end());
    return e;
  };
  auto with = [&](const std::string& part, const std::string& data) {
    Parts p = good;
    p.set(part, data);
    return p.entries();
  };
  std::vector<Case> cases = {
      {"nomime.idml", without("mimetype"), "mimetype: missing"},
      {"wrongmime.idml", with("mimetype", "application/zip"), "mimetype: says 'application/zip'"},
      {"nodesign.idml", without("designmap.xml"), "designmap.xml: missing"},
      {"badxml.idml", with("Stories/Story_uT.xml", "<idPkg:Story><Story>"), "Stories/Story_uT.xml: not well-formed XML"},
      {"missingpart.idml", without("Spreads/Spread_u2.xml"), "designmap.xml: refers to Spreads/Spread_u2.xml"},
      {"escape.idml", with("../../evil.xml", "<x/>"), "../../evil.xml: the entry's name leads out of the package"},
      {"dtd.idml",
       with("Resources/Graphic.xml", R"(<?xml version="1.0"?><!DOCTYPE x [<!ENTITY e SYSTEM "file:///etc/passwd">]><x>&e;</x>)"),
       "Resources/Graphic.xml: has a DTD"},
  };
  // A part that inflates beyond the limit (a ZIP bomb's way), refused before it is inflated.
  cases.push_back({"bomb.idml", with("Stories/Story_uT.xml", std::string(257u << 20, ' ')),
                   "Stories/Story_uT.xml: inflates to 269484032 bytes, more than the limit"});
  // The mimetype need not come first.
  std::vector<test::ZipEntry> late = without("mimetype");
  late.push_back({"mimetype", kMime});
  for (const Case& c : cases) {
    const fs::path path = folder / c.name;
    test::writeZip(path, c.entries);
    auto check = korvex({"doc", "check", path.string()});
    EXPECT_EQ(check.exitCode, 2) << c.name << ": " << check.out;
    EXPECT_EQ(check.err.rfind("korvex: " + path.string() + ": " + c.expected, 0), 0u) << c.name << ": " << check.err;
    EXPECT_EQ(std::count(check.err.begin(), check.err.end(), '\n'), 1) << check.err;
  }
  const fs::path notZip = folder / "text.idml";
  test::writeFile(notZip, "PK\x03\x04 but nothing more");
  auto junk = korvex({"doc", "check", notZip.string()});
  EXPECT_EQ(junk.exitCode, 2);
  EXPECT_NE(junk.err.find(notZip.string() + ": not a readable ZIP archive"), std::string::npos) << junk.err;

  const fs::path lateMime = folder / "late.idml";
  test::writeZip(lateMime, late);
  EXPECT_EQ(korvex({"doc", "check", lateMime.string()}).exitCode, 0);

  const fs::path chain = home.scratch() / "pdf.plist";
  test::writeFile(chain, R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><array>)"
                         "<dict><key>Action</key><string>#PDF</string></dict></array></plist>");
  auto run = korvex({"run", "--chain", chain.string(), (folder / "badxml.idml").string()});
  const std::string log = test::readFile(home.documents() / "Tamrisk" / "Korvex.txt");
  EXPECT_NE(log.find("could not open: " + (folder / "badxml.idml").string() + ": Stories/Story_uT.xml: not well-formed XML"),
            std::string::npos)
      << log;
}

}  // namespace
}  // namespace korvex
