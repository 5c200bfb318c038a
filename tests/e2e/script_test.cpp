#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/plist_text.h"
#include "support/run_process.h"
#include "support/temp_home.h"
#include "support/tools.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using test::tool;
using test::str;
using test::num;
using test::dict;
using test::plist;

// Copies of the flyer and its pictures, with scripts written beside them.
class Scripts : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"convert", "pdfimages", "pdftotext", "qpdf"})
      if (tool(name).empty()) GTEST_SKIP() << name << " is not installed (scripts/install-deps.sh)";
    const fs::path examples = fs::path(KORVEX_SOURCE_DIR) / "examples";
    fs::create_directories(jobs());
    fs::copy(examples / "Links", jobs() / "Links", fs::copy_options::recursive);
    fs::copy_file(examples / "Flyer Sommerfest.indd", flyer());
    options("");
  }

  fs::path jobs() const { return home.scratch() / "Jobs"; }
  fs::path flyer() const { return jobs() / "Flyer Sommerfest.indd"; }
  void options(const std::string& body) const {
    test::writeFile(home.dataHome() / "Tamrisk/Korvex.plist",
                    plist(dict("<key>Options</key>" + dict(num("modifiedLinks", 1) + body))));
  }
  std::string script(const std::string& name, const std::string& source) const {
    test::writeFile(jobs() / name, source);
    return (jobs() / name).string();
  }
  test::ProcessResult korvex(const std::vector<std::string>& args) const { return test::runProcess(KORVEX_EXE, args); }
  test::ProcessResult chain(const std::vector<std::string>& actions) {
    std::string body;
    for (const std::string& action : actions) body += dict(action);
    const fs::path file = home.scratch() / ("chain" + std::to_string(++chains_) + ".plist");
    test::writeFile(file, plist("<array>" + body + "</array>"));
    return korvex({"run", "--chain", file.string(), flyer().string()});
  }
  std::string log() const { return test::readFile(home.documents() / "Tamrisk" / "Korvex.txt"); }
  bool logHas(const std::string& line) const { return log().find("Korvex::" + line + "\n") != std::string::npos; }

  test::TempHome home;
  int chains_ = 0;
};

const std::string kPdf = str("Action", "PDF") + str("Style", "[High Quality Print]");
const std::string kSave = str("Action", "Save");

std::string jsx(const std::string& path) {
  return str("Action", "JSX") + str("Path", path);
}

// Rows of `pdfimages -list` below its two header lines.
int pictureCount(const fs::path& pdf) {
  const test::ProcessResult list = test::runProcess(tool("pdfimages"), {"-list", pdf.string()});
  EXPECT_EQ(list.exitCode, 0) << list.err;
  int lines = 0;
  for (char c : list.out) lines += c == '\n';
  return lines - 2;
}

std::string pdfText(const fs::path& pdf) {
  const test::ProcessResult text = test::runProcess(tool("pdftotext"), {pdf.string(), "-"});
  EXPECT_EQ(text.exitCode, 0) << text.err;
  return text.out;
}

TEST_F(Scripts, ExampleScriptInAChainChangesTheDocumentThatIsExportedAndSaved) {
  // The flyer as it is has its pictures in the PDF.
  const fs::path before = home.scratch() / "before.pdf";
  ASSERT_EQ(korvex({"export", flyer().string(), before.string()}).exitCode, 0);
  ASSERT_GT(pictureCount(before), 0);

  const std::string example = (fs::path(KORVEX_SOURCE_DIR) / "examples/scripts/hide-layer.jsx").string();
  auto result = chain({jsx(example), kPdf, kSave});
  ASSERT_EQ(result.exitCode, 0) << result.err << log();
  EXPECT_TRUE(logHas("RunScript: " + example)) << log();
  EXPECT_TRUE(logHas("hid layer BILDER of Flyer Sommerfest.indd")) << log();
  const fs::path pdf = jobs() / "Flyer Sommerfest.pdf";
  EXPECT_EQ(pictureCount(pdf), 0);
  EXPECT_NE(pdfText(pdf).find("Sommerfest am See"), std::string::npos);
  ASSERT_EQ(test::runProcess(tool("qpdf"), {"--check", pdf.string()}).exitCode, 0);

  // The run saved the hidden layer.
  const std::string check = script("check.jsx",
                                   "var l = app.activeDocument.layers.itemByName('BILDER');\n"
                                   "$.writeln(l.visible, ' ', l.printable, ' ', app.activeDocument.modified);\n");
  auto saved = korvex({"script", check, flyer().string()});
  EXPECT_EQ(saved.exitCode, 0) << saved.err;
  EXPECT_EQ(saved.out, "false false false\n");
}

TEST_F(Scripts, ThrowingEndlessAndGreedyScriptsStopTheChainWithTheirLine) {
  options(num("scriptTimeLimit", 1) + num("scriptMemoryLimit", 16));
  struct Case {
    std::string name;
    std::string source;
    std::string line;  // after the script's path
    int err;
  };
  const std::vector<Case> cases{
      {"throws.jsx", "var doc = app.activeDocument;\nthrow new Error('broken on purpose');\n",
       ":2: Error: broken on purpose", 40},
      {"syntax.jsx", "var x = 1;\nvar = 2;\n", ":2: SyntaxError: invalid variable declaration (line 2)", 40},
      {"endless.jsx", "var i = 0;\nwhile (true) { try { i++; } catch (e) {} }\n",
       ":2: script stopped: it ran longer than its time limit of 1 s", 41},
      // A built-in that works long between two counted instructions is stopped too.
      // Stopped inside a built-in, the line is not known.
      {"joins.jsx", "var s;\nwhile (true) { try { s = new Array(1000000).join('x'); } catch (e) {} }\n",
       "script stopped: it ran longer than its time limit of 1 s", 41},
      {"greedy.jsx", "var s = 'x', a = [];\nwhile (true) { try { s = s + s; a.push(s); } catch (e) {} }\n",
       "script stopped: it asked for more memory than its limit of 16 MB", 42},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = script(c.name, c.source);
    auto result = chain({jsx(path), kPdf});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_TRUE(logHas("RunScript: " + path)) << log();
    const std::string text = log();
    const std::size_t at = text.find("Korvex::\t####\t" + path);
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_NE(text.substr(at, text.find('\n', at) - at).find(c.line), std::string::npos) << text;
    EXPECT_TRUE(logHas("\t####\terr = " + std::to_string(c.err))) << text;
    EXPECT_FALSE(fs::exists(jobs() / "Flyer Sommerfest.pdf"));
  }
}

// Every object and method of the model, on a copy of the flyer; the second
// script and an export (read by poppler) see what the first one saved.
TEST_F(Scripts, ObjectModelIsALiveViewOfTheDocument) {
  ASSERT_EQ(test::runProcess(tool("convert"), {"-size", "40x30", "xc:#3366cc", (jobs() / "Links/neu.png").string()}).exitCode,
            0);
  const std::string model = script("model.jsx", R"(
function show() { $.writeln(Array.prototype.slice.call(arguments).join(" ")); }
function bounds(item) { return item.geometricBounds.map(function (v) { return v.toFixed(2); }).join(","); }
function names(list) { var n = []; for (var i = 0; i < list.length; i++) n.push(list[i].name); return n.join(","); }
function error(f) { try { f(); return "no error"; } catch (e) { return e.message; } }
var doc = app.activeDocument;
show("app", app.documents.length, app.documents.itemByName(doc.name).name, app.documents.itemByName("x").isValid);
show("doc", doc.name, doc.modified, doc.fullName.name, doc.filePath.name);
show("layers", names(doc.layers));
var text = doc.layers.itemByName("TEXT");
text.locked = true; text.printable = false; text.visible = false; text.name = "Texte";
show("layer", text.name, text.visible, text.locked, text.printable, doc.modified);
text.locked = false;
var added = doc.layers.add({name: "Neu", visible: false});
show("added", names(doc.layers), added.visible, doc.layers.add().name);
doc.layers.itemByName("Layer 1").remove();
show("removed", names(doc.layers));
show("page", doc.pages.length, doc.pages[0].name, doc.pages[0].bounds.join(","));
show("spread", doc.spreads.length, doc.spreads[0].name, doc.spreads[0].bounds.join(","), doc.spreads[0].pages.length);
show("items", doc.allPageItems.length, doc.pageItems.length, doc.textFrames.length, doc.stories.length);
var head = doc.textFrames.firstItem();
var body = doc.textFrames.lastItem();
show("head", head.contents, bounds(head), head.itemLayer.name, head.fillColor.name, head.parentPage.name);
head.move(undefined, [10, 20]);
show("moved by", bounds(head));
head.move([0, 0]);
show("moved to", bounds(head));
head.geometricBounds = [100, 50, 150, 300];
show("bounds", bounds(head), head.visibleBounds.length);
head.label = "Titel";
head.insertLabel("kunde", "Muster");
show("labels", head.label, head.extractLabel("kunde"), "[" + head.extractLabel("none") + "]");
head.itemLayer = added;
show("layer", head.itemLayer.name);
head.move(text);
show("layer", head.itemLayer.name);
head.fillColor = "Sommergelb";
head.strokeColor = doc.swatches.itemByName("HKS 43 K");
show("colors", head.fillColor.name, head.strokeColor.name);
head.contents = "Herbstfest";
var story = head.parentStory;
show("text", head.contents, story.contents, story.length, story.textContainers.length);
body.parentStory.contents = "Im Oktober.";
show("body", body.contents, doc.stories[1].contents);
show("swatches", names(doc.swatches));
var grey = doc.swatches.itemByName("Schwarz 60");
grey.name = "Grau";
show("swatch", grey.name, doc.swatches.itemByName("Grau").isValid);
grey.remove();
show("swatch", grey.isValid, error(function () { return grey.name; }), doc.swatches.length);
show("reserved", error(function () { doc.swatches.itemByName("Black").remove(); }));
var link = doc.links.firstItem();
show("link", link.name, link.status, link.filePath == doc.filePath + "/Links/" + link.name);
link.relink(new File("Links/neu.png"));
show("relinked", link.name, link.status);
var file = new File(link.filePath);
file.open("a"); file.write("changed"); file.close();
show("changed", link.status);
link.update();
show("updated", link.status);
file.remove();
show("missing", link.status, link.status == LinkStatus.LINK_MISSING);
body.remove();
show("gone", body.isValid, error(function () { return body.contents; }), doc.textFrames.length);
show("readonly", error(function () { doc.name = "x"; }));
doc.save();
show("saved", doc.modified);
doc.close();
show("closed", doc.isValid, app.documents.length, error(function () { return doc.name; }), head.isValid);
)");
  auto result = korvex({"script", model, flyer().string()});
  ASSERT_EQ(result.exitCode, 0) << result.err << result.out;
  const std::string page = "0,0,841.8898,595.2756";
  EXPECT_EQ(result.out,
            "app 1 Flyer Sommerfest.indd false\n"
            "doc Flyer Sommerfest.indd false Flyer Sommerfest.indd Jobs\n"
            "layers BILDER,TEXT\n"
            "layer Texte false true false true\n"
            "added Neu,BILDER,Texte false Layer 1\n"
            "removed Neu,BILDER,Texte\n"
            "page 1 1 " + page + "\n"
            "spread 1 1 " + page + " 1\n"
            "items 7 5 2 2\n"
            "head Sommerfest am See 425.20,42.52,481.90,552.76 Texte None 1\n"
            "moved by 445.20,52.52,501.90,562.76\n"
            "moved to 0.00,0.00,56.70,510.24\n"
            "bounds 100.00,50.00,150.00,300.00 4\n"
            "labels Titel Muster []\n"
            "layer Neu\n"
            "layer Texte\n"
            "colors Sommergelb HKS 43 K\n"
            "text Herbstfest Herbstfest 10 1\n"
            "body Im Oktober. Im Oktober.\n"
            "swatches Sommergelb,HKS 43 K,None,Registration,Paper,Black,Schwarz 60\n"
            "swatch Grau true\n"
            "swatch false Object is invalid 6\n"
            "reserved the swatch \"Black\" can't be removed\n"
            "link sommerfest-foto.png NORMAL true\n"
            "relinked neu.png NORMAL\n"
            "changed LINK_OUT_OF_DATE\n"
            "updated NORMAL\n"
            "missing LINK_MISSING true\n"
            "gone false Object is invalid 1\n"
            "readonly name is read-only\n"
            "saved false\n"
            "closed false 0 Object is invalid false\n");

  // What was saved, seen again by a script and in an exported PDF.
  const std::string reread = script("reread.jsx", R"(
var doc = app.activeDocument, head = doc.textFrames[0];
$.writeln(doc.layers.length, " ", head.contents, " ", head.label, " ", head.itemLayer.name, " ", head.geometricBounds);
)");
  auto again = korvex({"script", reread, flyer().string()});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(again.out, "3 Herbstfest Titel Texte 100,50,150,300\n");
  const fs::path pdf = home.scratch() / "after.pdf";
  ASSERT_EQ(korvex({"export", flyer().string(), pdf.string()}).exitCode, 0);
  const std::string text = pdfText(pdf);
  // The text layer is hidden now: nothing of it is drawn.
  EXPECT_EQ(text.find("Herbstfest"), std::string::npos) << text;

  // The example writes the one label there is beside the document.
  const std::string labels = (fs::path(KORVEX_SOURCE_DIR) / "examples/scripts/frame-labels.jsx").string();
  auto listed = korvex({"script", labels, flyer().string()});
  EXPECT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_EQ(listed.out, "1 labels written to " + (jobs() / "Flyer Sommerfest labels.txt").string() + "\n");
  EXPECT_EQ(test::readFile(jobs() / "Flyer Sommerfest labels.txt"), "1\t100,50,150,300\tTitel\n");

  // save(file) moves the document to the new file; close(SaveOptions.YES) saves before closing.
  const std::string copy = script("copy.jsx", R"(
var doc = app.activeDocument;
doc.save(new File("Kopie.indd"));
doc.layers[0].name = "Kopie";
doc.close(SaveOptions.YES);
)");
  ASSERT_EQ(korvex({"script", copy, flyer().string()}).exitCode, 0);
  const std::string layers = script("layers.jsx", "$.writeln(app.activeDocument.layers[0].name);\n");
  EXPECT_EQ(korvex({"script", layers, (jobs() / "Kopie.indd").string()}).out, "Kopie\n");
  EXPECT_EQ(korvex({"script", layers, flyer().string()}).out, "Neu\n");
}

TEST_F(Scripts, FilesFoldersIncludesAndAlerts) {
  test::writeFile(jobs() / "in.txt", "erste Zeile\r\nzweite Zeile – Größe\n");
  fs::create_directories(jobs() / "lib");
  test::writeFile(jobs() / "lib/upper.jsx", "function upper(s) { return s.toUpperCase(); }\n");
  const std::string files = script("files.jsx", R"(#target indesign
#include "lib/upper.jsx"
var input = new File("in.txt");
$.writeln(input.exists, " ", input.name, " ", input.parent.fsName == $.fileName.replace(/\/[^\/]*$/, ""));
input.open("r");
var out = File("out/result.txt");
Folder("out").create();
out.open("w");
while (!input.eof) out.writeln(upper(input.readln()));
input.close();
out.close();
var listed = Folder(".").getFiles("*.txt");
$.writeln(listed.length, " ", listed[0].name, " ", listed[0] instanceof File);
$.writeln(Folder("out").getFiles(function (f) { return f.name.indexOf("result") === 0; }).length);
$.writeln(new File("missing.txt").open("r"), " ", Folder("out").remove());
var half = new File("half.txt");
half.open("w");
half.write("begun");
alert("Hallo");
)");
  auto result = korvex({"script", files});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "true in.txt true\n1 in.txt true\n1\nfalse false\n");
  EXPECT_EQ(result.err, "Hallo\n");
  EXPECT_EQ(test::readFile(jobs() / "out/result.txt"), "ERSTE ZEILE\nZWEITE ZEILE – GRÖSSE\n");
  // A file still open at the end of a script that succeeded is written.
  EXPECT_EQ(test::readFile(jobs() / "half.txt"), "begun");

  // A script that fails writes none of its open files.
  const std::string failing = script("failing.jsx", "var f = new File('never.txt');\nf.open('w');\nf.write('x');\nnull.x;\n");
  auto failed = korvex({"script", failing});
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_EQ(failed.err, "korvex: script: " + failing + ":4: TypeError: cannot read property 'x' of null\n");
  EXPECT_FALSE(fs::exists(jobs() / "never.txt"));

  // Included files must lie in the script's folder; errors name the included file's line.
  test::writeFile(home.scratch() / "outside.jsx", "$.writeln('outside');\n");
  const std::string escapes = script("escapes.jsx", "\n#include \"../outside.jsx\"\n");
  auto refused = korvex({"script", escapes});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err, "korvex: script: " + escapes + ":2: Error: #include: " +
                             (home.scratch() / "outside.jsx").string() + ": outside the script's folder " +
                             jobs().string() + "\n");
  test::writeFile(jobs() / "lib/broken.jsx", "\n\nundefinedFunction();\n");
  const std::string includesBroken = script("includes.jsx", "//@include 'lib/broken.jsx'\n");
  auto broken = korvex({"script", includesBroken});
  EXPECT_EQ(broken.err, "korvex: script: " + (jobs() / "lib/broken.jsx").string() +
                            ":3: ReferenceError: identifier 'undefinedFunction' undefined\n");

  // In a batch run an alert shows nothing, but the log keeps it.
  const std::string alerting = script("alerting.jsx", "$.write('par');\n$.writeln('tial');\nalert('Achtung');\n$.write('open end');\n");
  auto batch = chain({jsx(alerting)});
  EXPECT_EQ(batch.exitCode, 0) << batch.err;
  EXPECT_EQ(batch.err.find("Achtung"), std::string::npos) << batch.err;
  EXPECT_TRUE(logHas("alert: Achtung")) << log();
  EXPECT_TRUE(logHas("partial")) << log();
  EXPECT_TRUE(logHas("open end")) << log();

  // Bad command lines.
  EXPECT_EQ(korvex({"script", (jobs() / "none.jsx").string()}).exitCode, 1);
  EXPECT_EQ(korvex({"script", (jobs() / "in.txt").string()}).exitCode, 2);
  EXPECT_EQ(korvex({"script", files, "--time-limit", "0"}).exitCode, 2);
  auto noDoc = korvex({"script", files, (jobs() / "none.indd").string()});
  EXPECT_EQ(noDoc.exitCode, 1);
  EXPECT_NE(noDoc.err.find("none.indd"), std::string::npos) << noDoc.err;
}

}  // namespace
}  // namespace korvex
