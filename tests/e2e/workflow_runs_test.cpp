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
using nlohmann::json;
using test::plist;
using test::str;

class WorkflowRuns : public ::testing::Test {
 protected:
  test::ProcessResult run(const std::vector<std::string>& actions, const std::vector<std::string>& docs) {
    std::string body;
    for (const std::string& action : actions) body += "<dict>" + action + "</dict>";
    const fs::path chain = home.scratch() / ("chain" + std::to_string(++chains_) + ".plist");
    test::writeFile(chain, plist("<array>" + body + "</array>"));
    std::vector<std::string> args{"run", "--chain", chain.string()};
    args.insert(args.end(), docs.begin(), docs.end());
    return test::runProcess(KORVEX_EXE, args);
  }
  std::string log() const { return test::readFile(home.documents() / "Tamrisk" / "Korvex.txt"); }
  // The log's message lines, without their time prefix.
  std::vector<std::string> logLines() const {
    std::vector<std::string> lines;
    const std::string text = log();
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(start, end - start);
      const std::size_t at = line.find("Korvex::");
      if (at != std::string::npos) lines.push_back(line.substr(at + 8));
      start = end + 1;
    }
    return lines;
  }
  // True when the lines appear in the log in this order (others may come between).
  bool logHasInOrder(const std::vector<std::string>& wanted) const {
    const std::vector<std::string> lines = logLines();
    std::size_t next = 0;
    for (const std::string& line : lines)
      if (next < wanted.size() && line == wanted[next]) ++next;
    return next == wanted.size();
  }
  static json load(const fs::path& doc) { return json::parse(test::readFile(doc)); }
  // Top-level items by UID: the name of their layer.
  static std::map<int, std::string> itemLayers(const json& doc) {
    std::map<int, std::string> layers;
    for (const json& spread : doc["spreads"])
      for (const json& item : spread.value("items", json::array()))
        layers[item["uid"].get<int>()] = item["layer"];
    return layers;
  }
  static std::vector<std::string> layerNames(const json& doc) {
    std::vector<std::string> names;
    for (const json& layer : doc["layers"]) names.push_back(layer["name"]);
    return names;
  }
  void picture(const fs::path& path, const char* colour) {
    fs::create_directories(path.parent_path());
    const std::string convert = test::tool("convert");
    ASSERT_FALSE(convert.empty());
    const auto r = test::runProcess(convert, {"-size", "16x16", std::string("xc:") + colour, path.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }

  test::TempHome home;
  int chains_ = 0;
};

constexpr const char* kDocumentStart = R"({"format": "korvex-document", "version": 1, )";

TEST_F(WorkflowRuns, DuzSeveranceSortsOntoThreeLayersAndDeletesTheEmptyOnes) {
  const fs::path job = home.scratch() / "DUZ";
  picture(job / "Logos_LW_Ebenen/logo.png", "black");
  picture(job / "Bilder/foto.png", "red");
  const fs::path doc = job / "sorted.indd";
  test::writeFile(doc, std::string(kDocumentStart) + R"(
    "layers": [{"name": "Bilder", "uid": 901}, {"name": "Texte", "uid": 902},
               {"name": "Gesperrt", "uid": 903, "locked": true}, {"name": "Leer", "uid": 904}],
    "swatches": [{"name": "Rot", "values": [0, 1, 1, 0]}, {"name": "Sonder", "kind": "spot", "values": [1, 0, 0, 0]}],
    "spreads": [
      {"pages": [{"name": "1"}], "items": [
        {"layer": "Bilder", "uid": 1001, "bounds": [0, 0, 10, 10], "stroke": "Black", "strokeWeight": 1},
        {"layer": "Bilder", "uid": 1002, "bounds": [0, 20, 10, 30], "fill": "Rot", "stroke": "Black"},
        {"layer": "Bilder", "uid": 1003, "bounds": [0, 40, 50, 90], "content": {"link": {"path": "Logos_LW_Ebenen/logo.png"}}},
        {"layer": "Bilder", "uid": 1004, "bounds": [0, 100, 50, 150], "content": {"link": {"path": "Bilder/foto.png"}}},
        {"layer": "Bilder", "uid": 1005, "bounds": [60, 0, 70, 10], "fill": "Sonder", "stroke": "Black"},
        {"layer": "Gesperrt", "uid": 1006, "bounds": [80, 0, 90, 10], "fill": "Rot"}]},
      {"pages": [{"name": "2"}], "items": [
        {"layer": "Texte", "uid": 1010, "bounds": [0, 0, 100, 20], "text": {}},
        {"layer": "Texte", "uid": 1011, "bounds": [0, 30, 100, 50], "stroke": "Rot", "text": {}},
        {"layer": "Texte", "uid": 1012, "kind": "group", "children": [
          {"bounds": [0, 60, 10, 70], "fill": "Rot"}, {"bounds": [20, 60, 30, 70], "fill": "Rot"}]},
        {"layer": "Texte", "uid": 1013, "kind": "group", "children": [
          {"kind": "line", "bounds": [0, 80, 100, 80]}, {"bounds": [0, 90, 100, 110], "text": {}}]}]}]})");
  const fs::path single = job / "single.indd";
  test::writeFile(single, std::string(kDocumentStart) + R"("layers": [{"name": "Einzig", "uid": 950}],
    "spreads": [{"pages": [{"name": "1"}]}]})");

  const std::string action = str("Action", "DUZSeverance") + test::num("Save", 1) +
                             "<key>Repro</key><array><string>Sonder</string></array>";
  const auto r = run({action}, {doc.string(), single.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << log();

  const json sorted = load(doc);
  EXPECT_EQ(layerNames(sorted), (std::vector<std::string>{"Gesperrt", "Standard", "LW", "Repro"}));
  const auto layers = itemLayers(sorted);
  for (int uid : {1001, 1003, 1010, 1013}) EXPECT_EQ(layers.at(uid), "LW") << uid;
  for (int uid : {1002, 1004, 1011, 1012}) EXPECT_EQ(layers.at(uid), "Standard") << uid;
  EXPECT_EQ(layers.at(1005), "Repro");
  EXPECT_EQ(layers.at(1006), "Gesperrt");
  EXPECT_TRUE(logHasInOrder({"action: DUZSeverance", "\tpath: " + (job / "Logos_LW_Ebenen/logo.png").string(),
                             "\tpath: (null)", "\tgroup", "\tgroup: 2 frames", "\t\tmove frames to Standard",
                             "\t\tmove frames to LW", "\t\tmove frames to Repro", "\t\tremove: 901",
                             "\t\tremove: 902", "\t\tremove: 904"}))
      << log();
  EXPECT_NE(r.err.find("frameColor: Black\nfillColor: Rot\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("\t\tempty: Leer, 904\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("removeLayer: Bilder\n"), std::string::npos) << r.err;

  // The only content layer stays, and the log says it could not go.
  EXPECT_EQ(layerNames(load(single)), (std::vector<std::string>{"Einzig"}));
  EXPECT_TRUE(logHasInOrder({"\t\tremove: 950", "\t####\tdelete Layer failed!"})) << log();
}

TEST_F(WorkflowRuns, OrvelNamesThePdfFromTheDocumentNameAndReportsItsProblems) {
  const fs::path job = home.scratch() / "Orvel";
  const fs::path doc = job / "a_b_c_d_e_f_g_h_i_j.indd";
  test::writeFile(doc, std::string(kDocumentStart) + R"("spreads": [{"pages": [{"name": "1"}], "items": [
    {"bounds": [36, 36, 200, 200], "fill": "Black"}]}]})");
  const std::string orvel = str("Action", "Orvel") + str("Name", "$t10-$t1-proof");

  auto r = run({orvel + str("PDFStyle", "[PDF/X-4:2008]")}, {doc.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << log();
  const fs::path pdf = job / "j-a-proof.pdf";
  ASSERT_TRUE(fs::is_regular_file(pdf)) << log();
  EXPECT_EQ(test::runProcess(test::tool("qpdf"), {"--check", pdf.string()}).exitCode, 0);
  EXPECT_NE(test::runProcess(test::tool("pdfinfo"), {pdf.string()}).out.find("Pages:           1\n"),
            std::string::npos);
  EXPECT_TRUE(logHasInOrder({"\tPDFStyle: [PDF/X-4:2008]", "\tsaveAsPDF: " + pdf.string()})) << log();

  // Missing and unknown styles: one message each, on standard error and in the log; the run fails.
  r = run({orvel}, {doc.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("\t####\tmissing key: PDFStyle"), std::string::npos) << r.err;
  EXPECT_TRUE(logHasInOrder({"\tPDFStyle: (null)", "\t####\tmissing key: PDFStyle"})) << log();
  r = run({orvel + str("PDFStyle", "Hausstil")}, {doc.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("\t####\tinvalid PDF style: Hausstil"), std::string::npos) << r.err;
  EXPECT_TRUE(logHasInOrder({"\tPDFStyle: Hausstil", "\t####\tinvalid PDF style: Hausstil"})) << log();

  // An export that can't be written fails the action, and the chain stops there.
  fs::create_directory(job / "j-blocked.pdf");
  r = run({str("Action", "Orvel") + str("Name", "$t10-blocked") + str("PDFStyle", "[PDF/X-4:2008]"),
           str("Action", "Vantry")},
          {doc.string()});
  EXPECT_EQ(r.exitCode, 1) << r.err << log();
  EXPECT_FALSE(logHasInOrder({"action: Vantry"})) << log();
}

TEST_F(WorkflowRuns, VantryTwiceLeavesOneMagentaCopy) {
  const fs::path doc = home.scratch() / "vantry.indd";
  test::writeFile(doc, std::string(kDocumentStart) + R"(
    "layers": [{"name": "Bilder"}, {"name": "Text"}],
    "swatches": [{"name": "Magenta", "values": [0, 1, 0, 0]}],
    "stories": [{"id": "s1", "text": "Preis 12,50", "runs": [{"start": 0, "color": "Black"}]}],
    "spreads": [{"pages": [{"name": "1"}], "items": [
      {"layer": "Text", "bounds": [36, 36, 300, 100], "text": {"story": "s1"}}]}]})");
  const auto r =
      run({str("Action", "Vantry"), str("Action", "Vantry"), str("Action", "Save")}, {doc.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << log();
  const json saved = load(doc);
  EXPECT_EQ(layerNames(saved), (std::vector<std::string>{"Bilder", "Text", "Text-Check"}));
  EXPECT_EQ(saved["layers"][2]["visible"], false);
  EXPECT_EQ(saved["layers"][2]["printable"], false);
  int onCheck = 0;
  for (const auto& [uid, layer] : itemLayers(saved)) onCheck += layer == "Text-Check";
  EXPECT_EQ(onCheck, 1);
  int magenta = 0, black = 0;
  for (const json& story : saved["stories"]) {
    if (story.value("text", "") != "Preis 12,50") continue;
    for (const json& run : story.value("runs", json::array())) {
      magenta += run.value("color", "") == "Magenta";
      black += run.value("color", "") == "Black";
    }
  }
  EXPECT_EQ(magenta, 1) << saved["stories"].dump();
  EXPECT_EQ(black, 1) << saved["stories"].dump();
  EXPECT_TRUE(
      logHasInOrder({"action: Vantry", "Text --> Text-Check", "action: Vantry", "Text --> Text-Check"}))
      << log();
}

TEST_F(WorkflowRuns, ImportLabelsFromTheMenuCopiesOntoTheGivenDocument) {
  const fs::path source = home.scratch() / "Quelle.indd";
  const fs::path target = home.scratch() / "Ziel.indd";
  test::writeFile(source, std::string(kDocumentStart) + R"("spreads": [{"pages": [{"name": "1"}], "items": [
    {"bounds": [10, 10, 100, 50], "text": {}, "labels": {"Label": "Preis"}},
    {"bounds": [10, 10, 100, 50], "text": {}, "labels": {"Label": "zweiter"}},
    {"bounds": [10, 60, 100, 90], "text": {}}]}]})");
  test::writeFile(target, std::string(kDocumentStart) + R"("spreads": [{"pages": [{"name": "1"}], "items": [
    {"uid": 500, "bounds": [10, 10, 100, 50], "text": {}},
    {"uid": 501, "bounds": [10, 60, 100, 90], "text": {}, "labels": {"Label": "alt"}},
    {"uid": 502, "bounds": [10.01, 60, 100, 90], "text": {}, "labels": {"Label": "bleibt"}}]}]})");

  auto r = test::runProcess(KORVEX_EXE,
                            {"command", "import-labels", target.string(), "--choose", source.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << log();
  std::map<int, std::string> labels;
  const json written = load(target);
  for (const json& item : written["spreads"][0]["items"])
    labels[item["uid"].get<int>()] = item.value("labels", json::object()).value("Label", "");
  EXPECT_EQ(labels, (std::map<int, std::string>{{500, "Preis"}, {501, ""}, {502, "bleibt"}}));
  EXPECT_NE(load(source).dump().find("zweiter"), std::string::npos) << "the source is left as it was";

  // The document's own file: the message, and nothing changes.
  const std::string before = test::readFile(target);
  r = test::runProcess(KORVEX_EXE,
                       {"command", "import-labels", target.string(), "--choose", target.string()});
  EXPECT_NE(r.err.find("Dokument bereits geöffnet!"), std::string::npos) << r.err;
  EXPECT_EQ(test::readFile(target), before);
  r = test::runProcess(KORVEX_EXE, {"command", "import-labels"});
  EXPECT_TRUE(r.err.find("No document is open.") != std::string::npos ||
              r.err.find("Kein Dokument geöffnet.") != std::string::npos)
      << r.err;
}

TEST_F(WorkflowRuns, SchnappiDefaultFileTidiesSpacesInRunsAndFromTheMenu) {
  // An anchored frame after the last paragraph's return stays where it is.
  const std::string body = std::string(kDocumentStart) + R"("stories": [{"id": "s1",
    "text": "Hallo  Welt .\rNoch   ein Satz ,\r\uFFFC .", "anchored": [{"index": 32, "item": {"bounds": [0, 0, 5, 5]}}]}],
    "spreads": [{"pages": [{"name": "1"}], "items": [{"bounds": [36, 36, 300, 200], "text": {"story": "s1"}}]}]})";
  const fs::path viaRun = home.scratch() / "run.indd", viaMenu = home.scratch() / "menu.indd";
  test::writeFile(viaRun, body);
  test::writeFile(viaMenu, body);

  // The default action file, by name: the run saves because something was replaced.
  auto r = test::runProcess(KORVEX_EXE, {"run", "--chain", "Schnappi", viaRun.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << log();
  EXPECT_EQ(load(viaRun)["stories"][0]["text"], "Hallo Welt.\rNoch ein Satz,\r\uFFFC.") << log();
  EXPECT_TRUE(logHasInOrder(
      {"action: Schnappi", "replaceText:  {2,} -->  , 2", "replaceText:  +([.,;:!?]) --> $1, 3"}))
      << log();

  r = test::runProcess(KORVEX_EXE, {"command", "schnappi", viaMenu.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << log();
  EXPECT_EQ(load(viaMenu)["stories"][0]["text"], "Hallo Welt.\rNoch ein Satz,\r\uFFFC.");

  // Nothing to replace: the document is not saved.
  const auto written = fs::last_write_time(viaRun);
  r = test::runProcess(KORVEX_EXE, {"run", "--chain", "Schnappi", viaRun.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(fs::last_write_time(viaRun), written);
  EXPECT_TRUE(logHasInOrder({"replaceText:  {2,} -->  , 0", "replaceText:  +([.,;:!?]) --> $1, 0"})) << log();
}

// The log of each run of the action, from its "action:" line to the end of
// its document ("...done"), without the lines' time and "Korvex::" prefixes.
std::vector<std::string> actionLogs(const std::string& log, const std::string& name) {
  std::vector<std::string> runs;
  bool in = false;
  std::size_t pos = 0;
  while (pos < log.size()) {
    std::size_t end = log.find('\n', pos);
    end = end == std::string::npos ? log.size() : end + 1;
    std::string line = log.substr(pos, end - pos);
    pos = end;
    // "HH:MM:SS:mmm: Korvex::"
    if (line.size() >= 22 && line.compare(12, 10, ": Korvex::") == 0) line.erase(0, 22);
    if (line == "action: " + name + "\n") {
      in = true;
      runs.emplace_back();
    }
    if (!in) continue;
    runs.back() += line;
    if (line == "...done\n") in = false;
  }
  return runs;
}

TEST_F(WorkflowRuns, PNTrennungSortsOntoTextAndStandardAndBacksTheGreyLayer) {
  const fs::path job = home.scratch() / "PN";
  picture(job / "grau.png", "gray50");
  picture(job / "farbe.png", "red");
  // Locked layers take part unless ignored; "status" goes, "STATUS-OLD" stays;
  // the group on "Checkliste" is neither dissolved nor moved; no "Cyan" swatch.
  const fs::path first = job / "Erste.indd";
  test::writeFile(first, std::string(kDocumentStart) + R"("pageSize": [200, 300],
    "layers": [{"name": "Hinten", "uid": 901}, {"name": "status", "uid": 902}, {"name": "STATUS-OLD", "uid": 903},
               {"name": "Checkliste", "uid": 904, "locked": true}, {"name": "Standard", "uid": 905},
               {"name": "Gesperrt", "uid": 906, "locked": true}],
    "stories": [{"id": "s1", "text": "Preis 12"}, {"id": "s2", "text": "Gruppe"}, {"id": "s3", "text": "Preis fest"}],
    "spreads": [{"pages": [{"name": "1"}], "items": [
      {"layer": "Hinten", "uid": 1001, "bounds": [10, 10, 100, 30], "text": {"story": "s1"}},
      {"layer": "Hinten", "uid": 1002, "bounds": [10, 40, 50, 80], "content": {"link": {"path": "grau.png"}}},
      {"layer": "Hinten", "uid": 1003, "bounds": [60, 40, 100, 80], "content": {"link": {"path": "farbe.png"}}},
      {"layer": "Hinten", "uid": 1004, "kind": "line", "bounds": [10, 90, 100, 90]},
      {"layer": "Hinten", "uid": 1005, "kind": "group", "children": [
        {"uid": 1051, "bounds": [10, 100, 100, 120], "text": {"story": "s2"}},
        {"uid": 1052, "bounds": [10, 130, 50, 170], "content": {"link": {"path": "farbe.png"}}}]},
      {"layer": "status", "uid": 1006, "bounds": [10, 180, 20, 190], "fill": "Black"},
      {"layer": "STATUS-OLD", "uid": 1007, "bounds": [30, 180, 40, 190], "fill": "Black"},
      {"layer": "Checkliste", "uid": 1008, "kind": "group", "children": [
        {"uid": 1081, "bounds": [10, 200, 50, 240], "content": {"link": {"path": "farbe.png"}}}]},
      {"layer": "Gesperrt", "uid": 1009, "bounds": [10, 250, 100, 270], "text": {"story": "s3"}}]}]})");
  // "Text" holds a frame already; no "Standard"; "Cyan" is there.
  const fs::path second = job / "Zweite.indd";
  test::writeFile(second, std::string(kDocumentStart) + R"("pageSize": [200, 300],
    "layers": [{"name": "Ebene 1", "uid": 951}, {"name": "Text", "uid": 952}],
    "swatches": [{"name": "Cyan", "values": [1, 0, 0, 0]}],
    "stories": [{"id": "s1", "text": "Schon da"}, {"id": "s2", "text": "Neu"}],
    "spreads": [{"pages": [{"name": "1"}], "items": [
      {"layer": "Text", "uid": 2001, "bounds": [10, 10, 100, 30], "text": {"story": "s1"}},
      {"layer": "Ebene 1", "uid": 2002, "bounds": [10, 40, 100, 60], "text": {"story": "s2"}},
      {"layer": "Ebene 1", "uid": 2003, "bounds": [10, 70, 50, 110], "content": {"link": {"path": "farbe.png"}}}]}]})");

  const std::string action = str("Action", "PN_Trennung") + test::num("Save", 1) +
                             "<key>Replacements</key><dict><key>Preis</key><string>Betrag</string></dict>";
  auto r = run({action}, {first.string(), second.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << log();
  const auto runs = actionLogs(log(), "PN_Trennung");
  ASSERT_EQ(runs.size(), 2u) << log();
  EXPECT_EQ(
      runs[0],
      "action: PN_Trennung\n"
      "ungrouping: 1\n"
      "(\n"
      "    PICT: bounds: [4, 46, 14, 14], layer: Hinten, stroke: None, fill: None, 'farbe.png', space: "
      "color, "
      "contentColor: None,\n"
      "    TEXT: bounds: [4, 35, 32, 7], layer: Hinten, stroke: None, fill: None, 'Gruppe' [0 7],\n"
      "    LINE: bounds: [4, 32, 32, 0], layer: Hinten, stroke: Black, fill: None,\n"
      "    PICT: bounds: [21, 14, 14, 14], layer: Hinten, stroke: None, fill: None, 'farbe.png', space: "
      "color, "
      "contentColor: None,\n"
      "    PICT: bounds: [4, 14, 14, 14], layer: Hinten, stroke: None, fill: None, 'grau.png', space: gray, "
      "contentColor: None,\n"
      "    TEXT: bounds: [4, 4, 32, 7], layer: Hinten, stroke: None, fill: None, 'Preis 12' [0 9],\n"
      "    ????: bounds: [11, 63, 4, 4], layer: STATUS-OLD, stroke: None, fill: Black,\n"
      "    TEXT: bounds: [4, 88, 32, 7], layer: Gesperrt, stroke: None, fill: None, 'Preis fest' [0 11]\n"
      ")\n"
      "(\n"
      "    TEXT: bounds: [4, 35, 32, 7], layer: Hinten, stroke: None, fill: None, 'Gruppe' [0 7],\n"
      "    TEXT: bounds: [4, 4, 32, 7], layer: Hinten, stroke: None, fill: None, 'Preis 12' [0 9],\n"
      "    TEXT: bounds: [4, 88, 32, 7], layer: Gesperrt, stroke: None, fill: None, 'Preis fest' [0 11],\n"
      "    PICT: bounds: [4, 14, 14, 14], layer: Hinten, stroke: None, fill: None, 'grau.png', space: gray, "
      "contentColor: None\n"
      ")\n"
      "(\n"
      "    LINE: bounds: [4, 32, 32, 0], layer: Hinten, stroke: Black, fill: None,\n"
      "    PICT: bounds: [4, 46, 14, 14], layer: Hinten, stroke: None, fill: None, 'farbe.png', space: "
      "color, "
      "contentColor: None,\n"
      "    PICT: bounds: [21, 14, 14, 14], layer: Hinten, stroke: None, fill: None, 'farbe.png', space: "
      "color, "
      "contentColor: None\n"
      ")\n"
      "moving to text Layer: 4\n"
      "moving to image Layer: 3\n"
      "...done\n");
  // The frame already on "Text" is not listed; without "Standard" the picture stays.
  EXPECT_EQ(runs[1],
            "action: PN_Trennung\n"
            "ungrouping: 0\n"
            "(\n"
            "    PICT: bounds: [4, 25, 14, 14], layer: Ebene 1, stroke: None, fill: None, 'farbe.png', "
            "space: color, "
            "contentColor: None,\n"
            "    TEXT: bounds: [4, 14, 32, 7], layer: Ebene 1, stroke: None, fill: None, 'Neu' [0 4],\n"
            "    TEXT: bounds: [4, 4, 32, 7], layer: Text, stroke: None, fill: None, 'Schon da' [0 9]\n"
            ")\n"
            "(\n"
            "    TEXT: bounds: [4, 14, 32, 7], layer: Ebene 1, stroke: None, fill: None, 'Neu' [0 4]\n"
            ")\n"
            "(\n"
            "    PICT: bounds: [4, 25, 14, 14], layer: Ebene 1, stroke: None, fill: None, 'farbe.png', "
            "space: color, "
            "contentColor: None\n"
            ")\n"
            "moving to text Layer: 1\n"
            "moving to image Layer: 1\n"
            "...done\n");

  // The fills of the rectangles on "Grauebene", each over the whole page.
  auto greyBacking = [](const json& doc) {
    std::vector<std::string> fills;
    for (const json& spread : doc["spreads"])
      for (const json& item : spread.value("items", json::array()))
        if (item["layer"] == "Grauebene") {
          EXPECT_EQ(item["bounds"], json::array({0.0, 0.0, 200.0, 300.0}));
          fills.push_back(item["fill"]);
        }
    return fills;
  };
  auto label = [](const fs::path& file) {
    char buffer[64];
    const ssize_t n = ::getxattr(file.c_str(), "user.xdg.tags", buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
  };

  const json one = load(first);
  EXPECT_EQ(layerNames(one), (std::vector<std::string>{"Hinten", "Grauebene", "Text", "STATUS-OLD",
                                                       "Checkliste", "Standard", "Gesperrt"}));
  EXPECT_FALSE(one["layers"][1]["visible"]);
  auto layers = itemLayers(one);
  for (int uid : {1001, 1002, 1051, 1009}) EXPECT_EQ(layers[uid], "Text") << uid;
  for (int uid : {1003, 1004, 1052}) EXPECT_EQ(layers[uid], "Standard") << uid;
  EXPECT_EQ(layers[1007], "STATUS-OLD");
  EXPECT_EQ(layers[1008], "Checkliste");
  EXPECT_FALSE(layers.contains(1006));
  EXPECT_EQ(greyBacking(one), std::vector<std::string>{"None"});  // no "Cyan" to fill it with
  std::vector<std::string> texts;
  for (const json& story : one["stories"]) texts.push_back(story["text"]);
  EXPECT_EQ(texts, (std::vector<std::string>{"Betrag 12", "Gruppe", "Betrag fest"}));

  json two = load(second);
  EXPECT_EQ(layerNames(two), (std::vector<std::string>{"Ebene 1", "Grauebene", "Text"}));
  layers = itemLayers(two);
  EXPECT_EQ(layers[2001], "Text");
  EXPECT_EQ(layers[2002], "Text");
  EXPECT_EQ(layers[2003], "Ebene 1");
  EXPECT_EQ(greyBacking(two), std::vector<std::string>{"Cyan"});

  // From the menu, with the default action file: a second backing, nothing to move.
  r = test::runProcess(KORVEX_EXE, {"command", "pn-trennung", second.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << log();
  two = load(second);
  EXPECT_EQ(greyBacking(two), (std::vector<std::string>{"Cyan", "Cyan"}));
  EXPECT_EQ(itemLayers(two)[2003], "Ebene 1");
  EXPECT_TRUE(logHasInOrder({"ungrouping: 0", "moving to text Layer: 0", "moving to image Layer: 1"}))
      << log();
  // Labels live in extended attributes, which not every temporary folder keeps.
  if (const std::string tag = label(second); !tag.empty()) {
    EXPECT_EQ(tag, "Green");
  }
  if (const std::string tag = label(first); !tag.empty()) {
    EXPECT_EQ(tag, "Green");
  }
}

}  // namespace
}  // namespace korvex
