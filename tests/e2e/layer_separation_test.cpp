#include <gtest/gtest.h>
#include <sys/xattr.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/plist_text.h"
#include "support/run_process.h"
#include "support/temp_home.h"
#include "support/tools.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using test::dict;
using test::num;
using test::plist;
using test::str;

// The colour tag desktop file managers keep for a file; empty without one.
std::string labelOf(const fs::path& file) {
  char buffer[256];
  const ssize_t n = ::getxattr(file.c_str(), "user.xdg.tags", buffer, sizeof buffer);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

class LayerSeparationRun : public ::testing::Test {
 protected:
  fs::path jobs() const { return home.scratch() / "Jobs"; }
  void SetUp() override { fs::create_directories(jobs()); }

  test::ProcessResult run(const std::string& action, const fs::path& doc) {
    const fs::path chain = home.scratch() / "separate.plist";
    test::writeFile(chain, plist("<array>" + dict(str("Action", "LayerSeparation") + action) + "</array>"));
    return test::runProcess(KORVEX_EXE, {"run", "--chain", chain.string(), doc.string()});
  }
  std::string log() const { return test::readFile(home.documents() / "Tamrisk" / "Korvex.txt"); }
  // The log from the action's first line on, without the lines' time and "Korvex::" prefixes.
  std::string actionLog() const {
    const std::string text = log();
    const auto at = text.find("Korvex::action: LayerSeparation\n");
    if (at == std::string::npos) return {};
    std::string out;
    std::size_t pos = text.rfind('\n', at);
    pos = pos == std::string::npos ? 0 : pos + 1;
    while (pos < text.size()) {
      std::size_t end = text.find('\n', pos);
      end = end == std::string::npos ? text.size() : end + 1;
      std::string line = text.substr(pos, end - pos);
      // "HH:MM:SS:mmm: Korvex::"
      if (line.size() >= 22 && line.compare(12, 10, ": Korvex::") == 0) line.erase(0, 22);
      out += line;
      pos = end;
    }
    return out;
  }
  bool hasXattrs() const {
    const fs::path probe = jobs() / "probe";
    test::writeFile(probe, "x");
    return ::setxattr(probe.c_str(), "user.korvex.probe", "1", 1, 0) == 0;
  }
  // A one-page PDF or EPS written by Ghostscript from PostScript drawing commands.
  void makeVector(const std::string& drawing, const std::string& device, const fs::path& out) {
    const fs::path ps = home.scratch() / (out.filename().string() + ".ps");
    test::writeFile(ps, "%!PS\n<< /PageSize [60 60] >> setpagedevice\n" + drawing + "\nshowpage\n");
    const auto r =
        test::runProcess(test::tool("gs"), {"-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=" + device,
                                            "-sOutputFile=" + out.string(), ps.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  void makePicture(const std::string& colour, const fs::path& out) {
    const auto r = test::runProcess(test::tool("convert"), {"-size", "40x40", colour, out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }

  test::TempHome home;
};

// Page items of a saved document by their "id" label: layer, fill, fill tint.
struct Item {
  std::string layer, fill;
  double fillTint = -1;
};
std::map<std::string, Item> itemsById(const Json& doc) {
  std::map<std::string, Item> items;
  for (const Json& spread : doc.at("spreads"))
    for (const Json& item : spread.value("items", Json::array())) {
      if (!item.contains("labels") || !item.at("labels").contains("id")) continue;
      Item it{item.value("layer", ""), item.value("fill", ""), item.value("fillTint", -1.0)};
      items[item.at("labels").at("id").get<std::string>()] = it;
    }
  return items;
}

// One document for every rule of the four passes, the cleaning before them,
// grey text, tint flagging, the grey swatch's other uses and the order in
// which later markings win.
const char* kMixed = R"({
  "format": "korvex-document", "version": 1, "pageSize": [595, 842],
  "layers": [{"name": "Grund"}, {"name": "Inhalt"}, {"name": "TEXT"}, {"name": "BILDER"},
             {"name": "Check 2"}, {"name": "Leer"}],
  "swatches": [
    {"name": "Rot", "values": [0, 1, 1, 0]},
    {"name": "Cyan", "values": [1, 0, 0, 0]},
    {"name": "Grau60", "values": [0, 0, 0, 0.6]},
    {"name": "Grau10C", "values": [0.1, 0, 0, 0.6]},
    {"name": "Schwarz 40", "kind": "tint", "base": "Black", "tint": 40}
  ],
  "stories": [
    {"id": "s1", "text": "Schwarz  ", "runs": [{"start": 7, "color": "Rot"}]},
    {"id": "s2", "text": "Grau und Ton", "runs": [{"start": 0, "length": 5, "color": "Grau60", "tint": 50},
                                                  {"start": 5, "color": "Schwarz 40"}]},
    {"id": "s3", "text": "Halbton", "runs": [{"start": 0, "tint": 50}]},
    {"id": "s4", "text": "Weiss", "runs": [{"start": 0, "color": "Paper"}]},
    {"id": "s5", "text": "Weiss allein", "runs": [{"start": 0, "color": "Paper"}]},
    {"id": "s6", "text": "Fast grau", "runs": [{"start": 0, "color": "Grau10C"}]},
    {"id": "s7", "text": "Null", "runs": [{"start": 0, "tint": 0}]},
    {"id": "s8", "text": "Seite zwei"},
    {"id": "s9", "text": "  \r", "runs": [{"start": 0, "color": "Rot"}]}
  ],
  "spreads": [
    {"pages": [{"name": "1"}], "items": [
      {"layer": "Grund", "bounds": [400, 600, 500, 700], "fill": "Black", "labels": {"id": "schwarz3"}},
      {"layer": "Grund", "bounds": [100, 600, 200, 700], "stroke": "Black", "strokeWeight": 1, "labels": {"id": "schwarz2"}},
      {"layer": "Grund", "bounds": [300, 300, 400, 400], "fill": "Black", "labels": {"id": "schwarz1"}},
      {"layer": "Inhalt", "kind": "line", "bounds": [20, 20, 200, 20], "labels": {"id": "regel"}},
      {"layer": "Inhalt", "kind": "line", "bounds": [20, 40, 200, 40], "stroke": "Cyan", "labels": {"id": "cyanlinie"}},
      {"layer": "Inhalt", "kind": "line", "bounds": [20, 60, 200, 60], "stroke": "Paper", "labels": {"id": "papierlinie"}},
      {"layer": "Inhalt", "bounds": [20, 80, 60, 120], "fill": "Rot", "labels": {"id": "rot"}},
      {"layer": "Inhalt", "bounds": [70, 80, 110, 120], "labels": {"id": "leer"}},
      {"layer": "Inhalt", "bounds": [120, 80, 160, 120], "fill": "Grau60", "fillTint": 50, "labels": {"id": "graufläche"}},
      {"layer": "Inhalt", "bounds": [20, 140, 200, 180], "fill": "Paper", "text": {"story": "s1"}, "labels": {"id": "papiertext"}},
      {"layer": "Inhalt", "bounds": [20, 200, 200, 240], "text": {"story": "s2"}, "labels": {"id": "grautext"}},
      {"layer": "Inhalt", "bounds": [420, 620, 480, 680], "text": {"story": "s3"}, "labels": {"id": "halbton"}},
      {"layer": "Inhalt", "bounds": [320, 320, 380, 380], "text": {"story": "s4"}, "labels": {"id": "weiss"}},
      {"layer": "Inhalt", "bounds": [20, 400, 200, 440], "text": {"story": "s5"}, "labels": {"id": "weissallein"}},
      {"layer": "Inhalt", "bounds": [20, 460, 200, 500], "text": {"story": "s6"}, "labels": {"id": "fastgrau"}},
      {"layer": "Inhalt", "bounds": [20, 520, 200, 560], "text": {"story": "s7"}, "labels": {"id": "null"}},
      {"layer": "Inhalt", "bounds": [220, 760, 280, 800], "text": {"story": "s9"}, "labels": {"id": "leertext"}},
      {"layer": "Inhalt", "bounds": [220, 620, 280, 680], "content": {"link": {"path": "grau.png"}}, "labels": {"id": "graubild"}},
      {"layer": "Inhalt", "bounds": [120, 620, 180, 680], "content": {"link": {"path": "farbe.png"}}, "labels": {"id": "farbbild"}},
      {"layer": "Inhalt", "bounds": [300, 450, 360, 510], "content": {"link": {"path": "schwarz.pdf"}}, "labels": {"id": "pdfschwarz"}},
      {"layer": "Inhalt", "bounds": [380, 450, 440, 510], "content": {"link": {"path": "farbe.pdf"}}, "labels": {"id": "pdffarbe"}},
      {"layer": "Inhalt", "bounds": [460, 450, 520, 510], "content": {"link": {"path": "schwarz.eps"}}, "labels": {"id": "eps"}},
      {"layer": "Inhalt", "bounds": [700, 100, 750, 150], "fill": "Rot", "labels": {"id": "daneben"}},
      {"layer": "Inhalt", "bounds": [595, 300, 650, 350], "stroke": "Black", "strokeWeight": 1, "labels": {"id": "kante"}},
      {"layer": "Inhalt", "kind": "group", "children": [
        {"bounds": [220, 700, 260, 740], "fill": "Rot", "labels": {"id": "gruppenrot"}},
        {"bounds": [270, 700, 310, 740], "labels": {"id": "gruppenleer"}}]},
      {"layer": "TEXT", "kind": "line", "bounds": [20, 580, 200, 580], "labels": {"id": "schon"}},
      {"layer": "Check 2", "bounds": [20, 20, 40, 40], "fill": "Rot", "labels": {"id": "check"}}
    ]},
    {"pages": [{"name": "2"}], "items": [
      {"layer": "Inhalt", "bounds": [20, 20, 200, 60], "text": {"story": "s8"}, "labels": {"id": "seitezwei"}}
    ]}
  ]
})";

TEST_F(LayerSeparationRun, EveryRuleOfTheFourPasses) {
  makePicture("xc:gray50", jobs() / "grau.png");
  makePicture("xc:red", jobs() / "farbe.png");
  // A black-only PDF goes by the PDF colour test; an EPS always counts as colour.
  makeVector("0 0 0 1 setcmykcolor 10 10 40 40 rectfill", "pdfwrite", jobs() / "schwarz.pdf");
  makeVector("0 1 1 0 setcmykcolor 10 10 40 40 rectfill", "pdfwrite", jobs() / "farbe.pdf");
  makeVector("0 0 0 1 setcmykcolor 10 10 40 40 rectfill", "eps2write", jobs() / "schwarz.eps");
  // ImageMagick writes a flat grey picture as a one-channel PNG: the host reads it as grey.
  const fs::path doc = jobs() / "Gemischt.indd";
  test::writeFile(doc, kMixed);
  const auto result = run(num("Save", 1), doc);
  ASSERT_EQ(result.exitCode, 0) << result.err << log();

  const std::string lines = actionLog();
  for (const char* line : {"deleting page items outside spreads: 1\n", "deleting layers without content: 2\n",
                           "ungrouping: 1\n", "moving to text Layer: 12\n", "moving to image Layer: 12\n",
                           "delete colors: 2\n", "deleting layers without content: 1\n"})
    EXPECT_NE(lines.find(line), std::string::npos) << line << lines;
  // The frame list: one frame per line, indented, commas between.
  EXPECT_NE(
      lines.find("    PICT: bounds: [42, 219, 21, 21], layer: Inhalt, stroke: None, fill: None, 'farbe.png', "
                 "space: color, contentColor: None,\n"),
      std::string::npos)
      << lines;
  EXPECT_NE(lines.find("    LINE: bounds: [7, 7, 63, 0], layer: Inhalt, stroke: Black, fill: None,\n"),
            std::string::npos)
      << lines;
  EXPECT_NE(lines.find("    TEXT: bounds: [7, 49, 63, 14], layer: Inhalt, stroke: None, fill: Paper, "
                       "'Schwarz  ' [0 10],\n"),
            std::string::npos)
      << lines;

  const Json saved = Json::parse(test::readFile(doc));
  std::map<std::string, Item> items = itemsById(saved);
  const std::map<std::string, std::string> expected = {
      {"regel", "TEXT"},       {"cyanlinie", "BILDER"}, {"papierlinie", "BILDER"}, {"rot", "BILDER"},
      {"leer", "TEXT"},        {"graufläche", "TEXT"},  {"papiertext", "TEXT"},    {"grautext", "TEXT"},
      {"halbton", "BILDER"},   {"weiss", "BILDER"},     {"schwarz1", "BILDER"},    {"weissallein", "Inhalt"},
      {"fastgrau", "Inhalt"},  {"null", "BILDER"},      {"graubild", "TEXT"},      {"farbbild", "BILDER"},
      {"schwarz2", "BILDER"},  {"schwarz3", "TEXT"},    {"kante", "TEXT"},         {"gruppenrot", "BILDER"},
      {"gruppenleer", "TEXT"}, {"schon", "TEXT"},       {"seitezwei", "TEXT"},     {"leertext", "TEXT"}};
  for (const auto& [id, layer] : expected) EXPECT_EQ(items[id].layer, layer) << id;
  EXPECT_FALSE(items.contains("daneben")) << "off the pages: deleted";
  EXPECT_FALSE(items.contains("check")) << "check layers go with their content";
  // The Paper fill behind black text is gone; the grey fill became Black at 60 % of its 50 %.
  EXPECT_EQ(items["papiertext"].fill, "None");
  EXPECT_EQ(items["graufläche"].fill, "Black");
  EXPECT_DOUBLE_EQ(items["graufläche"].fillTint, 30);

  std::vector<std::string> layers;
  for (const Json& l : saved.at("layers")) layers.push_back(l.at("name"));
  EXPECT_EQ(layers, (std::vector<std::string>{"Inhalt", "TEXT", "BILDER"}));
  std::vector<std::string> swatches;
  for (const Json& s : saved.at("swatches")) swatches.push_back(s.at("name"));
  EXPECT_EQ(std::count(swatches.begin(), swatches.end(), "Grau60"), 0);
  EXPECT_EQ(std::count(swatches.begin(), swatches.end(), "Schwarz 40"), 0);
  EXPECT_EQ(std::count(swatches.begin(), swatches.end(), "Grau10C"), 1);

  // Grey text became Black at the grey's strength times its own tint, and tinted black text is flagged.
  for (const Json& story : saved.at("stories")) {
    const Json runs = story.value("runs", Json::array());
    if (story.at("text") == "Grau und Ton") {
      EXPECT_EQ(runs.dump(), R"([{"color":"Black","length":12,"start":0},{"length":5,"start":0,"tint":30.0},)"
                             R"({"length":7,"start":5,"tint":40.0},{"flag":true,"length":12,"start":0}])")
          << runs.dump();
    } else if (story.at("text") == "Halbton") {
      EXPECT_EQ(runs.dump().find("flag"), std::string::npos) << "on a black fill: not flagged, to BILDER";
    } else if (story.at("text") == "Schwarz  ") {
      EXPECT_EQ(runs.dump().find("Rot"), std::string::npos)
          << "blank text in red becomes black: " << runs.dump();
    }
  }
  if (hasXattrs()) {
    EXPECT_EQ(labelOf(doc), "Green");
  }
}

TEST_F(LayerSeparationRun, MissingLayersAndTheImageLayerDeleted) {
  const fs::path noText = jobs() / "OhneText.indd";
  test::writeFile(noText, R"({"format": "korvex-document", "version": 1, "layers": [{"name": "BILDER"}],
    "spreads": [{"pages": [{}], "items": [{"bounds": [0, 0, 10, 10], "fill": "Black"}]}]})");
  const std::string before = test::readFile(noText);
  auto result = run(num("Save", 1), noText);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(actionLog(), "action: LayerSeparation\n\t####\tEbene 'TEXT' fehlt\n...done\n") << log();
  EXPECT_EQ(test::readFile(noText), before);
  if (hasXattrs()) {
    EXPECT_EQ(labelOf(noText), "Red");
  }

  const fs::path noImages = jobs() / "OhneBilder.indd";
  test::writeFile(noImages, R"({"format": "korvex-document", "version": 1, "layers": [{"name": "TEXT"}]})");
  result = run("", noImages);
  EXPECT_EQ(actionLog(), "action: LayerSeparation\n\t####\tEbene 'BILDER' fehlt\n...done\n") << log();
  if (hasXattrs()) {
    EXPECT_EQ(labelOf(noImages), "Red");
  }

  // deleteImageLayer: BILDER goes with what was moved there, then every unused swatch but the reserved ones.
  const fs::path small = jobs() / "Klein.indd";
  test::writeFile(small, R"({"format": "korvex-document", "version": 1, "pageSize": [400, 400],
    "layers": [{"name": "Ebene"}, {"name": "TEXT"}, {"name": "BILDER"}],
    "swatches": [{"name": "Rot", "values": [0, 1, 1, 0]}, {"name": "Frei", "values": [0, 0, 1, 0]}],
    "stories": [{"id": "s", "text": "Hallo Welt!\rZweite"}],
    "spreads": [{"pages": [{}], "items": [
      {"layer": "Ebene", "kind": "line", "bounds": [36, 36, 136, 36], "stroke": "Rot"},
      {"layer": "Ebene", "bounds": [36, 72, 236, 172], "fill": "Paper", "fillTint": 50, "text": {"story": "s"}}]}]})");
  result = run(num("deleteImageLayer", 1) + num("Save", 1), small);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(actionLog(),
            "action: LayerSeparation\n"
            "deleting page items outside spreads: 0\n"
            "deleting layers without content: 0\n"
            "ungrouping: 0\n"
            "(\n"
            "    TEXT: bounds: [13, 25, 71, 35], layer: Ebene, stroke: None, fill: Paper (50%), 'Hallo Welt' "
            "[0 19],\n"
            "    LINE: bounds: [13, 13, 35, 0], layer: Ebene, stroke: 0/100/100/0, fill: None\n"
            ")\n"
            "moving to text Layer: 1\n"
            "moving to image Layer: 1\n"
            "delete colors: 0\n"
            "deleting layers without content: 1\n"
            "remove layer (BILDER)\n"
            "removeColors\n"
            "...done\n")
      << log();
  const Json saved = Json::parse(test::readFile(small));
  std::vector<std::string> layers, swatches;
  for (const Json& l : saved.at("layers")) layers.push_back(l.at("name"));
  for (const Json& s : saved.at("swatches")) swatches.push_back(s.at("name"));
  EXPECT_EQ(layers, (std::vector<std::string>{"TEXT"}));
  EXPECT_EQ(swatches, (std::vector<std::string>{"None", "Registration", "Paper", "Black"}));
  ASSERT_EQ(saved.at("spreads").at(0).at("items").size(), 1u);
  EXPECT_EQ(saved.at("spreads").at(0).at("items").at(0).at("fill"), "None");
}

}  // namespace
}  // namespace korvex
