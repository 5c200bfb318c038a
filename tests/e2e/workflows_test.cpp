// The customer workflows through the korvex executable: Checkstr in a chain
// and from the menu (previews read back by ImageMagick, the document by
// `doc info`), Zaro 1 and 2 over folders of IDML packages and native
// documents (the real-tool fixture zipped by libzip, and packages from our
// exporter; the delivered IDML re-imported), and `gridprefs`.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/idml_flyer.h"
#include "support/plist_text.h"
#include "support/run_process.h"
#include "support/scoped_env.h"
#include "support/temp_home.h"
#include "support/tools.h"
#include "support/zip_archive.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

test::ProcessResult korvex(const std::vector<std::string>& args) {
  return test::runProcess(KORVEX_EXE, args);
}

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// A native document of A4 pages, one per spread, with a black box on each.
std::string nativeDoc(int spreads, const std::string& layers, const std::string& extra = "") {
  std::string body =
      R"({"format": "korvex-document", "version": 1, "layers": )" + layers + extra + R"(, "spreads": [)";
  for (int i = 0; i < spreads; ++i)
    body += std::string(i ? "," : "") +
            R"({"pages": [{}], "items": [{"bounds": [72, 72, 300, 200], "fill": "Black"}]})";
  return body + "]}";
}

class WorkflowsE2E : public ::testing::Test {
 protected:
  Json info(const fs::path& doc) {
    auto r = korvex({"doc", "info", doc.string(), "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.exitCode == 0 ? Json::parse(r.out) : Json::object();
  }
  std::string log() const { return test::readFile(home.documents() / "Tamrisk" / "Korvex.txt"); }
  static std::vector<std::string> layerNames(const Json& j) {
    std::vector<std::string> names;
    for (const Json& l : j["layers"]) names.push_back(l["name"]);
    return names;
  }

  test::TempHome home;
  fs::path folder = home.scratch() / "job";
};

TEST_F(WorkflowsE2E, CheckstrInAChainAndFromTheMenu) {
  const std::string identify = test::tool("identify");
  ASSERT_FALSE(identify.empty()) << "ImageMagick's identify is needed";
  const fs::path tmp = home.scratch() / "tmp";
  fs::create_directories(tmp);
  test::ScopedEnv tmpdir("TMPDIR", tmp.c_str());
  const fs::path doc = folder / "Katalog.indd";
  // Small pages (4 x 2 inches) keep the renders quick.
  test::writeFile(doc, nativeDoc(3, R"([{"name": "Text"}])", R"(, "pageSize": [288, 144])"));
  const fs::path chain = folder / "Checkstr.plist";
  test::writeFile(chain,
                  test::plist(test::dict(test::str("Action", "Checkstr") + test::num("Resolution", 150))));

  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    auto r = korvex({"run", "--chain", chain.string(), doc.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err << log();
    for (const char* name : {"Katalog_00.jpg", "Katalog_01.jpg", "Katalog_02.jpg"}) {
      auto id = test::runProcess(identify, {"-format", "%m %w %h %x", (tmp / name).string()});
      ASSERT_EQ(id.exitCode, 0) << name << id.err;
      std::istringstream in(id.out);
      std::string format;
      int width = 0, height = 0;
      double ppi = 0;
      in >> format >> width >> height >> ppi;
      EXPECT_EQ(format, "JPEG");
      EXPECT_NEAR(width, 600, 1);  // 288 points at 150 ppi
      EXPECT_NEAR(height, 300, 1);
      EXPECT_EQ(ppi, 150);
    }
    // Saved by the run (the action asks for it), and read back.
    const Json j = info(doc);
    ASSERT_EQ(j["layers"].size(), 2u);
    EXPECT_EQ(j["layers"][1], Json({{"name", "Checkstr"},
                                    {"visible", false},
                                    {"printable", false},
                                    {"locked", true},
                                    {"color", "Light Blue"}}));
    for (const Json& spread : j["spreads"]) {
      ASSERT_EQ(spread["items"]["Checkstr"].size(), 1u) << spread;
      // Over its own spread's page, in that spread's coordinates.
      EXPECT_EQ(spread["items"]["Checkstr"][0]["boundsMM"], Json::array({0, 0, 101.6, 50.8}));
    }
    ASSERT_EQ(j["links"].size(), 3u);
    for (const Json& link : j["links"]) EXPECT_EQ(link["embedded"], true) << link;
  }

  // The menu command reads its action file; without one it takes the defaults (72 ppi).
  fs::remove(tmp / "Katalog_02.jpg");
  auto menu = korvex({"command", "checkstr", doc.string()});
  ASSERT_EQ(menu.exitCode, 0) << menu.err;
  auto id = test::runProcess(identify, {"-format", "%w", (tmp / "Katalog_02.jpg").string()});
  ASSERT_EQ(id.exitCode, 0) << id.err;
  EXPECT_NEAR(std::stoi(id.out), 288, 1);
  EXPECT_EQ(info(doc)["links"].size(), 3u);
}

TEST_F(WorkflowsE2E, ZaroOverFoldersOfPackagesAndDocuments) {
  const fs::path in = folder / "Eingang";
  // The real-tool fixture, its text layer named as the translation workflow names it.
  fs::create_directories(in / "Links");
  ASSERT_EQ(test::runProcess("/usr/bin/convert",
                             {"-size", "60x60", "xc:#00ff00", (in / "Links" / "Foto Sommer.png").string()})
                .exitCode,
            0);
  test::IdmlParts parts = test::flyerParts("file:/Users/grafik/Jobs/Links/Foto%20Sommer.png",
                                           "file:///Volumes/Server/gone%20away.tif");
  const std::string designmap = parts.files.at("designmap.xml");
  parts.set("designmap.xml", test::replaceAll(designmap, R"(Name="Text" )", R"(Name="TextLayer:de-DE" )"));
  ASSERT_NE(parts.files.at("designmap.xml"), designmap);
  test::writeZip(in / "Flyer.idml", parts.entries());
  // A package from our exporter, and a native document the first pass leaves alone.
  const fs::path native = folder / "Zweit.indd";
  test::writeFile(native, nativeDoc(2, R"([{"name": "Bilder"}, {"name": "TextLayer:en-GB"}])"));
  auto converted = korvex({"doc", "convert", native.string(), (in / "Zweit.IDML").string()});
  ASSERT_EQ(converted.exitCode, 0) << converted.err;
  test::writeFile(in / "Alt.indd", nativeDoc(1, R"([{"name": "TextLayer:fr"}])"));

  // A stand-in for xdg-open that only writes down what it was asked to open.
  const fs::path bin = home.scratch() / "bin";
  const fs::path opened = home.scratch() / "opened.txt";
  test::writeFile(bin / "xdg-open", "#!/bin/sh\necho \"$1\" >> '" + opened.string() + "'\n");
  fs::permissions(bin / "xdg-open", fs::perms::owner_all);
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  test::ScopedEnv withStandIn("PATH", (bin.string() + ":" + path).c_str());

  // No folder chosen: the command ends without touching anything.
  auto cancelled = korvex({"command", "zaro1"});
  EXPECT_EQ(cancelled.exitCode, 0) << cancelled.err;
  EXPECT_NE(cancelled.err.find("cancelled"), std::string::npos) << cancelled.err;
  EXPECT_FALSE(fs::exists(opened));

  auto zaro1 = korvex({"command", "zaro1", "--choose", in.string()});
  ASSERT_EQ(zaro1.exitCode, 0) << zaro1.err;
  std::string text = log();
  EXPECT_NE(text.find("Checkebenen erstellen: " + in.string()), std::string::npos) << text;
  EXPECT_EQ(count(text, "-------------------------------------"), 2u) << text;
  EXPECT_NE(text.find("Dokument: " + (in / "Flyer.idml").string()), std::string::npos) << text;
  EXPECT_NE(text.find("\tSpeichern als: " + (in / "Arbeitsdaten" / "Zweit.indd").string()),
            std::string::npos);
  EXPECT_EQ(text.find("Alt.indd"), std::string::npos);
  // The log is shown at the end.
  EXPECT_EQ(test::readFile(opened), (home.documents() / "Tamrisk" / "Korvex.txt").string() + "\n");
  // Two files, each named while it is processed; nothing past the last.
  EXPECT_NE(zaro1.err.find("Checkebenen erstellen\n[1/2] Flyer.idml\n[2/2] Zweit.IDML\n"), std::string::npos)
      << zaro1.err;
  EXPECT_EQ(zaro1.err.find("[3/2]"), std::string::npos) << zaro1.err;
  EXPECT_FALSE(fs::exists(in / "Arbeitsdaten" / "Alt.indd"));

  const Json flyer = info(in / "Arbeitsdaten" / "Flyer.indd");
  const std::vector<std::string> names = layerNames(flyer);
  const auto source = std::find(names.begin(), names.end(), "TextLayer:de-DE");
  ASSERT_NE(source, names.end()) << flyer["layers"];
  ASSERT_NE(source + 1, names.end());
  EXPECT_EQ(*(source + 1), "Check_TextLayer:de-DE");
  const Json& check = flyer["layers"][static_cast<std::size_t>(source + 1 - names.begin())];
  EXPECT_EQ(check["visible"], true);
  EXPECT_EQ(check["printable"], false);
  EXPECT_EQ(check["locked"], true);
  EXPECT_EQ(check["color"], "Yellow");
  // Every item of the text layer has its copy on every spread.
  for (const Json& spread : flyer["spreads"])
    EXPECT_EQ(spread["items"]["Check_TextLayer:de-DE"].size(), spread["items"]["TextLayer:de-DE"].size());
  EXPECT_EQ(layerNames(info(in / "Arbeitsdaten" / "Zweit.indd")).back(), "Check_TextLayer:en-GB");
  // The packages themselves are untouched.
  EXPECT_EQ(test::readFile(in / "Flyer.idml").substr(0, 2), "PK");

  auto zaro2 = korvex({"command", "zaro2", "--choose", (in / "Arbeitsdaten").string()});
  ASSERT_EQ(zaro2.exitCode, 0) << zaro2.err;
  text = log();
  EXPECT_NE(text.find("Checkebenen löschen: " + (in / "Arbeitsdaten").string()), std::string::npos) << text;
  for (const char* name : {"Flyer", "Zweit"}) {
    const fs::path delivered = in / "Arbeitsdaten" / "Daten_zur_Auslieferung" / (std::string(name) + ".idml");
    EXPECT_NE(text.find("\tSpeichern als: " + delivered.string()), std::string::npos) << text;
    const std::vector<std::string> delivered_layers = layerNames(info(delivered));
    EXPECT_EQ(std::count_if(delivered_layers.begin(), delivered_layers.end(),
                            [](const std::string& n) { return n.rfind("Check_", 0) == 0; }),
              0)
        << name;
    EXPECT_EQ(std::count_if(delivered_layers.begin(), delivered_layers.end(),
                            [](const std::string& n) { return n.rfind("TextLayer:", 0) == 0; }),
              1)
        << name;
  }
  // The delivered package opens in IDML readers: a ZIP with the IDML mimetype first.
  const std::string unzip = test::tool("unzip");
  if (!unzip.empty()) {
    auto listed = test::runProcess(
        unzip, {"-Z1", (in / "Arbeitsdaten" / "Daten_zur_Auslieferung" / "Flyer.idml").string()});
    EXPECT_EQ(listed.out.substr(0, 9), "mimetype\n") << listed.out;
  }

  // The scripted dialogs: the folder chosen, then Cancel before the second document.
  const fs::path script = folder / "zaro2.json";
  test::writeFile(script, R"([{"event": "choose", "paths": [")" + (in / "Arbeitsdaten").string() +
                              R"("]}, {"event": "progress", "answer": "continue"},
                              {"event": "progress", "answer": "cancel"}])");
  fs::remove_all(in / "Arbeitsdaten" / "Daten_zur_Auslieferung");
  auto scripted = korvex({"command", "zaro2", "--ui-script", script.string()});
  ASSERT_EQ(scripted.exitCode, 0) << scripted.err;
  EXPECT_EQ(count(log(), "Dokument: "), 1u) << log();
  EXPECT_TRUE(fs::exists(in / "Arbeitsdaten" / "Daten_zur_Auslieferung" / "Flyer.idml"));
  EXPECT_FALSE(fs::exists(in / "Arbeitsdaten" / "Daten_zur_Auslieferung" / "Zweit.idml"));

  // Zaro 1 on a package as the front document: the working copy beside it
  // (an untitled package can't be saved itself, hence --no-save).
  fs::remove(in / "Arbeitsdaten" / "Flyer.indd");
  auto single1 = korvex({"command", "zaro1", (in / "Flyer.idml").string(), "--no-save"});
  ASSERT_EQ(single1.exitCode, 0) << single1.err;
  const std::vector<std::string> copied = layerNames(info(in / "Arbeitsdaten" / "Flyer.indd"));
  EXPECT_NE(std::find(copied.begin(), copied.end(), "Check_TextLayer:de-DE"), copied.end());

  // Single mode on the front document: delivered beside it, and the document saved without its check layer.
  const fs::path single = folder / "Einzeln.indd";
  fs::copy_file(in / "Arbeitsdaten" / "Zweit.indd", single);
  auto one = korvex({"command", "zaro2", single.string()});
  ASSERT_EQ(one.exitCode, 0) << one.err;
  EXPECT_TRUE(fs::exists(folder / "Daten_zur_Auslieferung" / "Einzeln.idml"));
  EXPECT_EQ(layerNames(info(single)).back(), "TextLayer:en-GB");
}

TEST_F(WorkflowsE2E, GridPreferencesCompareLineByLine) {
  auto grid = [](double start) {
    return R"(, "documentGrid": {"division": 36}, "baselineGrid": {"start": )" + std::to_string(start) + "}";
  };
  test::writeFile(folder / "A.indd", nativeDoc(1, R"([{"name": "L"}])", grid(36)));
  test::writeFile(folder / "B.indd", nativeDoc(1, R"([{"name": "L"}])", grid(48)));
  test::writeFile(folder / "C.indd", nativeDoc(1, R"([{"name": "L"}])", grid(36)));
  // The value lines of the output, from the value's name on.
  auto valueLines = [](const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
      for (const char* name : {"division: ", "horizontalDivision: ", "verticalDivision: ",
                               "horizontalSubDivisions: ", "verticalSubDivisions: ", "baselineDivision: ",
                               "baselineStart: ", "baselineLimit: ", "relativeOption: "})
        if (const std::size_t at = line.find(name); at != std::string::npos) {
          lines.push_back(line.substr(at));
          break;
        }
    return lines;
  };

  auto differ = korvex({"gridprefs", (folder / "A.indd").string(), (folder / "B.indd").string()});
  EXPECT_EQ(differ.exitCode, 1) << differ.err;
  std::vector<std::string> lines = valueLines(differ.out);
  ASSERT_EQ(lines.size(), 14u) << differ.out;
  EXPECT_EQ(lines[0], "division: 36.000000");
  EXPECT_EQ(lines[12], "baselineStart: 36.000000");
  EXPECT_EQ(lines[13], "baselineStart: 48.000000");
  EXPECT_NE(differ.out.find("different\n"), std::string::npos);

  auto same = korvex({"gridprefs", (folder / "A.indd").string(), (folder / "C.indd").string()});
  EXPECT_EQ(same.exitCode, 0) << same.err;
  lines = valueLines(same.out);
  ASSERT_EQ(lines.size(), 18u) << same.out;
  EXPECT_EQ(lines[17], "relativeOption: 0");
  EXPECT_NE(same.out.find("equal\n"), std::string::npos);

  // The same file twice would be one document: refused, nothing deleted.
  auto twice = korvex({"gridprefs", (folder / "A.indd").string(), (folder / "A.indd").string()});
  EXPECT_EQ(twice.exitCode, 2);
  EXPECT_NE(twice.err.find("the same document twice"), std::string::npos) << twice.err;

  // One document: its XML content goes, kept on disk only with --save.
  const fs::path tagged = folder / "Tagged.indd";
  test::writeFile(
      tagged, nativeDoc(1, R"([{"name": "L"}])",
                        R"(, "xml": {"tag": "Root", "children": [{"tag": "Titel", "content": "Sommer"}]})"));
  const std::string before = test::readFile(tagged);
  auto dry = korvex({"gridprefs", tagged.string()});
  EXPECT_EQ(dry.exitCode, 0) << dry.err;
  EXPECT_NE(dry.out.find("deleteXMLContent: 0"), std::string::npos) << dry.out;
  EXPECT_EQ(test::readFile(tagged), before);
  auto saved = korvex({"gridprefs", tagged.string(), "--save"});
  EXPECT_EQ(saved.exitCode, 0) << saved.err;
  const std::string after = test::readFile(tagged);
  EXPECT_EQ(after.find("Titel"), std::string::npos);
  EXPECT_NE(after.find("\"Root\""), std::string::npos);
}

}  // namespace
}  // namespace korvex
