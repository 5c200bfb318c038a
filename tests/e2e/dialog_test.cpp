#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "support/run_process.h"
#include "support/scoped_env.h"
#include "support/temp_home.h"
#include "support/tools.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

test::ProcessResult korvex(const std::vector<std::string>& args) {
  return test::runProcess(KORVEX_EXE, args);
}

class DialogCommand : public ::testing::Test {
 protected:
  std::string script(const std::string& name, const std::string& events) {
    const fs::path path = home.scratch() / name;
    test::writeFile(path, events);
    return path.string();
  }
  std::string doc(const std::string& name) {
    const fs::path path = home.scratch() / name;
    test::writeFile(path, R"({"format": "korvex-document", "version": 1})");
    return path.string();
  }
  // The first control of that name anywhere in a dump.
  static const Json* find(const Json& node, const std::string& name) {
    if (node.is_object() && node.value("name", "") == name) return &node;
    if (node.is_object() && node.contains("controls"))
      for (const Json& child : node["controls"])
        if (const Json* found = find(child, name)) return found;
    return nullptr;
  }

  test::TempHome home;
};

TEST_F(DialogCommand, ScriptDrivesTheBatchWindowInGermanAndEnglish) {
  const std::string list = doc("a.indd");
  const std::string events = script("batch.json", R"([
    {"event": "tab", "tab": "2"},
    {"event": "set", "control": "_collectDocsBtn", "value": true},
    {"event": "set", "control": "_collectFolderField", "value": "/jobs/out"},
    {"event": "set", "control": 13, "value": 3},
    {"event": "set", "control": 14, "value": 1},
    {"event": "add", "paths": [")" + list + R"(", ")" +
                                                      list + R"("]},
    {"event": "dump"},
    {"event": "press", "control": "_okBtn"}])");
  for (const auto& [language, title, tab, links] :
       {std::tuple{"de", "Stapelverarbeitung", "Sammeln", "Verknüpfungen aktualisieren"},
        std::tuple{"en", "Batch Processing", "Collect", "Update links"}}) {
    SCOPED_TRACE(language);
    test::ScopedEnv lang("LANGUAGE", language);
    test::ProcessResult result = korvex({"dialog", "show", "Batch", "--ui-script", events});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Json dump = Json::parse(result.out);
    EXPECT_EQ(dump["window"], "Batch");
    EXPECT_EQ(dump["title"], title);
    EXPECT_EQ((*find(dump, "_tabView"))["selected"], "2");
    EXPECT_EQ((*find(dump, "tabCollect"))["text"], tab);
    EXPECT_EQ((*find(dump, "_collectDocsBtn"))["state"], 1);
    EXPECT_EQ((*find(dump, "_collectFolderField"))["text"], "/jobs/out");
    const Json& modifiedLinks = *find(dump, "_modifiedLinksBtn");
    EXPECT_EQ(modifiedLinks["tag"], 13);
    EXPECT_EQ(modifiedLinks["selected"], links);
    EXPECT_EQ((*find(dump, "_showLogBtn"))["state"], 1);
    EXPECT_EQ((*find(dump, "_pathList"))["rows"], Json::array({list})) << "a path is listed once";
  }
}

TEST_F(DialogCommand, BatchCommandRunsThePdfTabAndOpensTheLogAsTheOptionsSay) {
  const fs::path job = home.scratch() / "job";
  const fs::path examples = fs::path(KORVEX_SOURCE_DIR) / "examples";
  fs::create_directories(job / "PDF");
  fs::copy(examples / "Links", job / "Links", fs::copy_options::recursive);
  fs::copy_file(examples / "Flyer Sommerfest.indd", job / "Flyer Sommerfest.indd");
  const std::string flyer = (job / "Flyer Sommerfest.indd").string();
  const fs::path logFile = home.documents() / "Tamrisk" / "Korvex.txt";
  auto events = [&](bool showLog) {
    return script("pdf.json", R"([
      {"event": "add", "paths": [")" +
                                  flyer + R"("]},
      {"event": "tab", "tab": "1"},
      {"event": "press", "control": "_pdfChooseBtn"},
      {"event": "choose", "paths": [")" +
                                  (job / "PDF").string() + R"("]},
      {"event": "set", "control": 14, "value": )" +
                                  (showLog ? "true" : "false") + R"(},
      {"event": "press", "control": "_okBtn"}])");
  };
  // A run that flags nothing, with "Always show the log": the log opens.
  test::ProcessResult first = korvex({"command", "batch", "--ui-script", events(true)});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(test::runProcess(test::tool("qpdf"), {"--check", (job / "PDF" / "Flyer Sommerfest.pdf").string()})
                .exitCode,
            0);
  const std::string log = test::readFile(logFile);
  EXPECT_EQ(log.find("####"), std::string::npos) << log;
  EXPECT_NE(log.find("Korvex::(\n    {\n        Action = PDF;\n        Folder = " + (job / "PDF").string() +
                     ";\n        Show = 0;\n        Style = \"[High Quality Print]\";\n    }\n)\n"),
            std::string::npos)
      << log;
  for (int i = 0; i < 100 && home.openedPaths().empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(home.openedPaths(), std::vector<std::string>{logFile.string()});

  // The same run again, the option off: the same log, and it stays closed.
  fs::remove(job / "PDF" / "Flyer Sommerfest.pdf");
  test::ProcessResult second = korvex({"command", "batch", "--ui-script", events(false)});
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_TRUE(fs::exists(job / "PDF" / "Flyer Sommerfest.pdf"));
  auto withoutTimes = [](std::string text) {
    std::string lines;
    for (std::size_t start = 0; start < text.size();) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(start, end - start);
      const std::size_t at = line.find("Korvex::");
      lines += (at == std::string::npos ? line : line.substr(at)) + "\n";
      start = end + 1;
    }
    return lines;
  };
  EXPECT_EQ(withoutTimes(test::readFile(logFile)).substr(withoutTimes(log).find('\n')),
            withoutTimes(log).substr(withoutTimes(log).find('\n')));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(home.openedPaths().size(), 1u) << "the log was not opened again";
  // The settings file holds the run's PDF action and the option.
  test::ProcessResult settings = korvex({"settings"});
  EXPECT_NE(settings.out.find("showLog = 0;"), std::string::npos) << settings.out;
  EXPECT_NE(settings.out.find("Action = PDF;"), std::string::npos) << settings.out;
}

TEST_F(DialogCommand, AWindowOnTheConsoleAndEventsThatDoNotFit) {
  test::ProcessResult console = korvex({"dialog", "show", "Batch"});
  EXPECT_EQ(console.exitCode, 2);
  EXPECT_EQ(
      console.err,
      "korvex: the window \"Batch\" can't be shown on the console: drive it with --ui-script FILE.json, or "
      "use the desktop host korvex-gui\n");

  struct Case {
    std::string events;
    std::string message;
  };
  const std::vector<Case> cases = {
      {R"([{"event": "dump"}, {"event": "set", "control": "nope", "value": 1}])",
       "event 1 (\"set\"): no control \"nope\" in the window \"Batch\""},
      {R"([{"event": "set", "control": 13, "value": "Nope"}])",
       "event 0 (\"set\"): the popup tag 13 has no item \"Nope\""},
      {R"([{"event": "press", "control": "_pdfStylesBtn"}])",
       "event 0 (\"press\"): the popup \"_pdfStylesBtn\" can't be pressed"},
      {R"([{"event": "set", "control": "_showLogBtn", "value": "on"}])",
       "event 0 (\"set\"): the checkbox \"_showLogBtn\" takes true, false or a number"},
      {R"([{"event": "press", "control": "_rmvBtn"}])",
       "event 0 (\"press\"): the control \"_rmvBtn\" is disabled"},
      {R"([{"event": "choose", "paths": ["/"]}])", "event 0 (\"choose\"): no chooser is up"},
      {R"([{"event": "tab", "tab": "9"}])", "event 0 (\"tab\"): no tab \"9\" (by identifier or label)"},
      {R"([{"event": "dump"}])",
       "the events ended while the window \"Batch\" was up (no \"press\" closed it)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.events);
    const std::string file = script("bad.json", c.events);
    test::ProcessResult result = korvex({"dialog", "show", "Batch", "--ui-script", file});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "korvex: " + file + ": " + c.message + "\n");
  }

  const std::string unreadable = script("typo.json", R"([{"event": "press", "contorl": "_okBtn"}])");
  test::ProcessResult typo = korvex({"dialog", "show", "Batch", "--ui-script", unreadable});
  EXPECT_EQ(typo.exitCode, 2);
  EXPECT_NE(typo.err.find(unreadable + ": $[0]"), std::string::npos) << typo.err;
  EXPECT_NE(typo.err.find("contorl"), std::string::npos) << typo.err;
}

TEST_F(DialogCommand, AMissingOrBrokenInterfaceFileShowsTheNibAlert) {
  test::ProcessResult missing = korvex({"dialog", "show", "Nope"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("Error loading nib: Nope\n"), std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find("Nope.ui: no such file"), std::string::npos) << missing.err;
}

TEST_F(DialogCommand, ChoosersAnswerFromChooseInOrderElseCancel) {
  const fs::path folder = home.scratch() / "Out";
  fs::create_directories(folder);
  const std::string file = doc("b.INDD");

  test::ProcessResult chosen = korvex({"dialog", "choose", "folder", "--choose", folder.string()});
  EXPECT_EQ(chosen.exitCode, 0) << chosen.err;
  EXPECT_EQ(chosen.out, folder.string() + "\n");

  test::ProcessResult typed = korvex({"dialog", "choose", "file", "--extension", "indd", "--choose", file});
  EXPECT_EQ(typed.exitCode, 0) << typed.err;
  EXPECT_EQ(typed.out, file + "\n") << "the type is compared without case";

  test::ProcessResult wrongKind = korvex({"dialog", "choose", "folder", "--choose", file});
  EXPECT_EQ(wrongKind.exitCode, 1);
  EXPECT_EQ(wrongKind.out, "");
  EXPECT_EQ(wrongKind.err, "korvex: --choose " + file + ": not a folder (a folder is asked for)\n");

  test::ProcessResult cancelled = korvex({"dialog", "choose", "folder", "--title", "Ziel"});
  EXPECT_EQ(cancelled.exitCode, 1);
  EXPECT_EQ(cancelled.err, "korvex: \"Ziel\": cancelled (no --choose answer left)\n");

  const std::string answers = script("choose.json", R"([{"event": "choose", "cancel": true}])");
  test::ProcessResult scriptedCancel = korvex({"dialog", "choose", "file", "--ui-script", answers});
  EXPECT_EQ(scriptedCancel.exitCode, 1);
  EXPECT_EQ(scriptedCancel.err, "");

  // A menu command that asks nothing leaves the answer over, and says so.
  test::ProcessResult unused = korvex({"command", "about", "--choose", folder.string()});
  EXPECT_EQ(unused.exitCode, 0) << unused.err;
  EXPECT_NE(unused.err.find("korvex: 1 --choose answer(s) not used: no chooser asked for them"),
            std::string::npos)
      << unused.err;
  EXPECT_EQ(korvex({"command", "about", "--choose"}).exitCode, 2);
  EXPECT_EQ(korvex({"run", "--chain", "x", "--choose", "/", "--ui-script", answers, "a.indd"}).exitCode, 2);
}

TEST_F(DialogCommand, ProgressCancelledAfterTheFirstItem) {
  const std::string cancel =
      script("cancel.json",
             R"([{"event": "progress", "answer": "continue"}, {"event": "progress", "answer": "cancel"}])");
  test::ProcessResult progress = korvex({"dialog", "progress", "one", "two", "three", "--ui-script", cancel});
  EXPECT_EQ(progress.exitCode, 1);
  EXPECT_EQ(progress.out, "one\n");

  const std::string escape =
      script("escape.json",
             R"([{"event": "progress", "answer": "continue"}, {"event": "progress", "answer": "escape"}])");
  test::ProcessResult escaped = korvex({"dialog", "progress", "one", "two", "three", "--ui-script", escape});
  EXPECT_EQ(escaped.exitCode, 1);
  EXPECT_EQ(escaped.out, "one\n");

  // The batch run's progress window takes the same answers.
  const fs::path chain = home.scratch() / "save.plist";
  test::writeFile(
      chain, R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><array><dict><key>Action</key>)"
             R"(<string>Save</string></dict></array></plist>)");
  test::ProcessResult run = korvex(
      {"run", "--chain", chain.string(), "--ui-script", cancel, doc("1.indd"), doc("2.indd"), doc("3.indd")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("korvex: cancelled (1 of 3 documents taken)"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace korvex
