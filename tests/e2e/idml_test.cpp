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
#include <sstream>
#include <string>
#include <vector>

#include "support/run_process.h"
#include "support/temp_home.h"
#include "support/idml_flyer.h"
#include "support/zip_archive.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

test::ProcessResult korvex(const std::vector<std::string>& args) {
  return test::runProcess(KORVEX_EXE, args);
}

using test::flyerParts;
using test::kMime;
using test::pkg;
using test::rectPath;
using Parts = test::IdmlParts;

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

namespace korvex {
namespace {

using test::ListedEntry;
using test::listEntries;

std::vector<std::string> names(const std::vector<ListedEntry>& entries) {
  std::vector<std::string> out;
  for (const auto& e : entries) out.push_back(e.name);
  return out;
}

// doc info --json without what differs by nature between two files of one
// model: the file's name and the numbers the host gives stories and items.
Json modelOf(const fs::path& doc) {
  auto r = test::runProcess(KORVEX_EXE, {"doc", "info", doc.string(), "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  Json j = Json::parse(r.out);
  j.erase("file");
  for (Json& s : j["stories"]) s.erase("uid");
  const auto strip = [](auto& self, Json& items) -> void {
    for (Json& i : items) {
      i.erase("story");
      i.erase("uid");
      if (i.contains("children")) self(self, i["children"]);
    }
  };
  for (Json& spread : j["spreads"])
    for (auto& [layer, items] : spread["items"].items()) strip(strip, items);
  return j;
}

// Warnings of doc check without the file's name.
std::vector<std::string> warnings(const fs::path& doc) {
  auto r = test::runProcess(KORVEX_EXE, {"doc", "check", doc.string()});
  std::vector<std::string> out;
  std::istringstream in(r.out);
  for (std::string l; std::getline(in, l);)
    if (auto at = l.find(": warning: "); at != std::string::npos) out.push_back(l.substr(at + 2));
  return out;
}

// Opened and exported unchanged, a package comes back entry for entry: the
// same names in the same order, the same bytes, mimetype first and stored;
// through doc convert and through export alike.
TEST_F(IdmlPackage, UnchangedRoundTripGivesTheSameEntries) {
  const auto original = listEntries(package);
  ASSERT_EQ(original.size(), test::flyerParts("", "").order.size());
  const fs::path converted = folder / "Converted.idml";
  auto r = korvex({"doc", "convert", package.string(), converted.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(listEntries(converted), original);
  const fs::path exported = folder / "Exported.idml";
  r = korvex({"export", package.string(), exported.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("as InDesignMarkup"), std::string::npos) << r.out;
  const auto again = listEntries(exported);
  EXPECT_EQ(again, original);
  ASSERT_FALSE(again.empty());
  EXPECT_EQ(again[0].name, "mimetype");
  EXPECT_EQ(again[0].method, "stor");

  // A package whose mimetype is not first is handed back with it first.
  Parts late = test::flyerParts("file:/x.png", "file:/y.tif");
  late.order.erase(late.order.begin());
  late.order.push_back("mimetype");
  const fs::path latePackage = folder / "Late.idml";
  test::writeZip(latePackage, late.entries());
  const fs::path fixed = folder / "Fixed.idml";
  r = korvex({"doc", "convert", latePackage.string(), fixed.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto fixedEntries = listEntries(fixed);
  ASSERT_FALSE(fixedEntries.empty());
  EXPECT_EQ(fixedEntries[0].name, "mimetype");
  EXPECT_EQ(fixedEntries[0].method, "stor");
  EXPECT_EQ(fixedEntries.size(), late.order.size());

  // PDF-only options are refused for a package; nothing is written.
  r = korvex({"export", package.string(), (folder / "Styled.idml").string(), "--style", "[High Quality Print]"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_FALSE(fs::exists(folder / "Styled.idml"));
}

// A native document is written as a whole package in the published
// structure, every part well-formed; it opens again as the same model,
// without a warning the native document does not have; the same document
// gives the same bytes; a failed export leaves what was there.
TEST_F(IdmlPackage, NativeDocumentsExportAsCompletePackages) {
  const fs::path native = folder / "Flyer.indd";
  auto r = korvex({"doc", "convert", package.string(), native.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const fs::path idml = folder / "Native.idml";
  r = korvex({"doc", "convert", native.string(), idml.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;

  const auto entries = listEntries(idml);
  const auto listed = names(entries);
  ASSERT_GE(listed.size(), 3u);
  EXPECT_EQ(listed[0], "mimetype");
  EXPECT_EQ(entries[0].method, "stor");
  EXPECT_EQ(entries[0].data, kMime);
  for (const char* part : {"META-INF/container.xml", "designmap.xml", "Resources/Graphic.xml", "Resources/Fonts.xml",
                           "Resources/Styles.xml", "Resources/Preferences.xml", "XML/Tags.xml", "XML/BackingStory.xml"})
    EXPECT_NE(std::find(listed.begin(), listed.end(), part), listed.end()) << part;
  const auto count = [&](const std::string& prefix) {
    return std::count_if(listed.begin(), listed.end(), [&](const std::string& n) { return n.rfind(prefix, 0) == 0; });
  };
  EXPECT_EQ(count("MasterSpreads/"), 1);
  EXPECT_EQ(count("Spreads/"), 2);
  EXPECT_EQ(count("Stories/"), 4);
  const fs::path unpacked = folder / "unpacked";
  r = test::runProcess("/usr/bin/unzip", {"-q", idml.string(), "-d", unpacked.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const std::string& name : listed) {
    if (name == "mimetype") continue;
    auto lint = test::runProcess("/usr/bin/xmllint", {"--noout", (unpacked / name).string()});
    EXPECT_EQ(lint.exitCode, 0) << name << ": " << lint.err;
  }

  const fs::path back = folder / "Back.indd";
  r = korvex({"doc", "convert", idml.string(), back.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(modelOf(back), modelOf(native));
  EXPECT_EQ(warnings(idml), warnings(native));

  const fs::path twice = folder / "Twice.idml";
  r = korvex({"export", native.string(), twice.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = test::runProcess("/usr/bin/cmp", {idml.string(), twice.string()});
  EXPECT_EQ(r.exitCode, 0) << "the same document gives different bytes";

  // A target that can't be written: one line naming it, exit 1, and what was
  // there is left as it was (a folder) with no temporary beside it.
  const fs::path folderTarget = folder / "Folder.idml";
  fs::create_directories(folderTarget / "inside");
  r = korvex({"export", native.string(), folderTarget.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(folderTarget.string()), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_directory(folderTarget / "inside"));
  for (const auto& e : fs::directory_iterator(folder))
    EXPECT_EQ(e.path().filename().string().rfind(".", 0), std::string::npos) << e.path();
}

}  // namespace
}  // namespace korvex
