#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/run_process.h"
#include "support/scoped_env.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

test::ProcessResult korvex(const std::vector<std::string>& args) {
  return test::runProcess(KORVEX_EXE, args);
}

// Page widths as poppler reads them.
std::vector<double> pageWidths(const fs::path& pdf) {
  const std::string info = test::runProcess("/usr/bin/pdfinfo", {"-l", "9999", pdf.string()}).out;
  std::vector<double> widths;
  std::regex size(R"(Page\s+[0-9]+ size:\s+([0-9.]+) x ([0-9.]+))");
  for (auto it = std::sregex_iterator(info.begin(), info.end(), size); it != std::sregex_iterator(); ++it)
    widths.push_back(std::stod((*it)[1]));
  return widths;
}

// Two spreads: pages 1 and 2 facing, then page 3; black text and a cyan box on page 3.
constexpr const char* kDocument = R"({
  "format": "korvex-document", "version": 1, "facingPages": true, "pageSize": [200, 300],
  "swatches": [{"name": "Cyan", "kind": "process", "space": "CMYK", "values": [1, 0, 0, 0]}],
  "stories": [{"id": "s", "text": "Hello from page one",
               "runs": [{"start": 0, "font": "DejaVu Sans", "size": 12, "color": "Black"}]}],
  "spreads": [
    {"pages": [{"name": "1"}, {"name": "2"}],
     "items": [{"kind": "rectangle", "bounds": [10, 10, 190, 100], "text": {"story": "s"}}]},
    {"pages": [{"name": "3"}],
     "items": [{"kind": "rectangle", "bounds": [10, 10, 100, 100], "fill": "Cyan"}]}
  ]
})";

TEST(ExportCommand, PagesSpreadsAndInk) {
  test::TempHome home;
  const fs::path doc = home.scratch() / "Three Pages.indd";
  test::writeFile(doc, kDocument);
  const fs::path out = home.scratch() / "out.pdf";

  auto all = korvex({"export", doc.string(), out.string()});
  ASSERT_EQ(all.exitCode, 0) << all.err;
  EXPECT_NE(all.out.find("3 pages"), std::string::npos);
  EXPECT_EQ(pageWidths(out), (std::vector<double>{200, 200, 200}));

  auto spreads = korvex({"export", doc.string(), out.string(), "--spreads"});
  ASSERT_EQ(spreads.exitCode, 0) << spreads.err;
  EXPECT_EQ(pageWidths(out), (std::vector<double>{400, 200}));

  auto first = korvex({"export", doc.string(), out.string(), "--pages", "1-1"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(pageWidths(out).size(), 1u);
  auto ink = test::runProcess("/usr/bin/gs", {"-q", "-dSAFER", "-o", "-", "-sDEVICE=inkcov", out.string()});
  std::smatch m;
  ASSERT_TRUE(
      std::regex_search(ink.out, m, std::regex(R"(([0-9.]+)\s+([0-9.]+)\s+([0-9.]+)\s+([0-9.]+)\s+CMYK)")));
  EXPECT_EQ(std::stod(m[1]) + std::stod(m[2]) + std::stod(m[3]), 0) << "page 1 is black only";
  EXPECT_GT(std::stod(m[4]), 0);
  auto text =
      test::runProcess("/usr/bin/gs", {"-q", "-dSAFER", "-o", "-", "-sDEVICE=txtwrite", out.string()});
  EXPECT_NE(text.out.find("Hello from page one"), std::string::npos);

  auto third = korvex({"export", doc.string(), out.string(), "--pages", "3"});
  ASSERT_EQ(third.exitCode, 0) << third.err;
  ink = test::runProcess("/usr/bin/gs", {"-q", "-dSAFER", "-o", "-", "-sDEVICE=inkcov", out.string()});
  ASSERT_TRUE(
      std::regex_search(ink.out, m, std::regex(R"(([0-9.]+)\s+([0-9.]+)\s+([0-9.]+)\s+([0-9.]+)\s+CMYK)")));
  EXPECT_GT(std::stod(m[1]), 0.05);
}

TEST(ExportCommand, FailuresLeaveNoFile) {
  test::TempHome home;
  const fs::path doc = home.scratch() / "Doc.indd";
  test::writeFile(doc, kDocument);
  const fs::path out = home.scratch() / "never.pdf";
  EXPECT_EQ(korvex({"export", doc.string(), out.string(), "--style", "[Nope]"}).exitCode, 1);
  EXPECT_EQ(korvex({"export", doc.string(), out.string(), "--pages", "2-9"}).exitCode, 1);
  EXPECT_EQ(korvex({"export", (home.scratch() / "missing.indd").string(), out.string()}).exitCode, 1);
  EXPECT_EQ(korvex({"export", doc.string(), out.string(), "--pages", "0-1"}).exitCode, 2);
  EXPECT_EQ(korvex({"export", doc.string()}).exitCode, 2);
  EXPECT_FALSE(fs::exists(out));
  auto noFolder = korvex({"export", doc.string(), (home.scratch() / "no/folder/x.pdf").string()});
  EXPECT_EQ(noFolder.exitCode, 1);
  EXPECT_NE(noFolder.err.find("no/folder/x.pdf"), std::string::npos);
}

// An export killed half-way leaves its staged PDF under a temporary name; the
// next output written into that folder removes it.
TEST(ExportCommand, KilledExportsLeaveNothingOnceTheFolderIsWrittenAgain) {
  test::TempHome home;
  const fs::path doc = home.scratch() / "Doc.indd";
  test::writeFile(doc, kDocument);
  const fs::path pdfs = home.scratch() / "pdf";
  fs::create_directories(pdfs);
  auto whole = korvex({"export", doc.string(), (pdfs / "whole.pdf").string()});
  ASSERT_EQ(whole.exitCode, 0) << whole.err;
  const auto size = fs::file_size(pdfs / "whole.pdf");
  fs::remove(pdfs / "whole.pdf");
  const auto entries = [&pdfs] {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(pdfs)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  };

  // A file-size limit below the PDF's size kills korvex in the middle of writing it.
  auto killed = test::runProcess("/usr/bin/prlimit", {"--fsize=" + std::to_string(size / 2), KORVEX_EXE, "export",
                                                      doc.string(), (pdfs / "killed.pdf").string()});
  EXPECT_NE(killed.exitCode, 0);
  ASSERT_EQ(entries().size(), 1u);
  EXPECT_EQ(entries()[0].rfind(".korvex-", 0), 0u) << entries()[0];

  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the next writer starts later
  auto next = korvex({"export", doc.string(), (pdfs / "next.pdf").string()});
  ASSERT_EQ(next.exitCode, 0) << next.err;
  EXPECT_EQ(entries(), std::vector<std::string>{"next.pdf"});
}

// export, preview and print --to never replace a fifo, folder or the document with a file.
TEST(ExportCommand, OutputThatIsNotAFileOrIsTheDocumentIsRefused) {
  test::TempHome home;
  const fs::path doc = home.scratch() / "Doc.indd";
  test::writeFile(doc, kDocument);
  const fs::path fifo = home.scratch() / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path folder = home.scratch() / "folder.jpg";
  fs::create_directories(folder);
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"export", doc.string(), fifo.string()}, "korvex: export: " + fifo.string() + ": is a fifo, not a file\n"},
      {{"preview", doc.string(), folder.string()},
       "korvex: preview: " + folder.string() + ": is a folder, not a file\n"},
      {{"print", doc.string(), "--to", fifo.string()}, "korvex: print: " + fifo.string() + ": is a fifo, not a file\n"},
      {{"export", doc.string(), doc.string()},
       "korvex: export: " + doc.string() + ": is the open document \"Doc.indd\", not replaced\n"},
  };
  for (const auto& [args, line] : cases) {
    auto r = korvex(args);
    EXPECT_EQ(r.exitCode, 1) << args[0];
    EXPECT_EQ(r.err, line);
  }
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(test::readFile(doc), kDocument);
}

TEST(StylesCommand, ListShowAddAndLanguage) {
  test::TempHome home;
  test::ScopedEnv language("LANGUAGE", nullptr), all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr);
  test::ScopedEnv lang("LANG", "C.UTF-8");
  auto list = korvex({"styles", "list", "--pdf"});
  ASSERT_EQ(list.exitCode, 0);
  EXPECT_NE(list.out.find("[High Quality Print]\n"), std::string::npos);
  // --print lists only print styles.
  EXPECT_EQ(korvex({"styles", "list", "--print"}).out.find("[High Quality Print]"), std::string::npos);

  const fs::path file = home.scratch() / "mine.json";
  test::writeFile(file, R"({"exportSpreads": true, "bleed": 9, "pdfVersion": "1.4"})");
  auto add = korvex({"styles", "add", "Agentur", file.string()});
  ASSERT_EQ(add.exitCode, 0) << add.err;
  EXPECT_TRUE(fs::exists(home.dataHome() / "korvex-host/pdf-styles/Agentur.json"));
  EXPECT_NE(korvex({"styles", "list"}).out.find("Agentur\n"), std::string::npos);
  auto show = korvex({"styles", "show", "Agentur"});
  EXPECT_NE(show.out.find("\"exportSpreads\": true"), std::string::npos);
  EXPECT_NE(show.out.find("\"bleed\": 9"), std::string::npos);
  EXPECT_EQ(korvex({"styles", "show", "Unknown"}).exitCode, 1);
  test::writeFile(file, R"({"jpegQuality": 0})");
  EXPECT_EQ(korvex({"styles", "add", "Bad", file.string()}).exitCode, 1);
  EXPECT_EQ(korvex({"styles", "add", "[Mine]", file.string()}).exitCode, 1);

  // The user's style drives the export: spreads and bleed.
  const fs::path doc = home.scratch() / "Doc.indd";
  test::writeFile(doc, kDocument);
  const fs::path out = home.scratch() / "agentur.pdf";
  ASSERT_EQ(korvex({"export", doc.string(), out.string(), "--style", "Agentur"}).exitCode, 0);
  EXPECT_EQ(pageWidths(out), (std::vector<double>{418, 218}));

  lang.set("de_DE.UTF-8");
  auto german = korvex({"styles", "list", "--pdf"});
  EXPECT_NE(german.out.find("[Kleinste Dateigröße]\n"), std::string::npos);
  EXPECT_EQ(german.out.find("[Smallest File Size]"), std::string::npos);
}

TEST(StylesCommand, RefusedFilesAreNamedWithTheirReasons) {
  test::TempHome home;
  const fs::path styles = home.dataHome() / "korvex-host";
  const fs::path wrapped = styles / "print-styles/Wrapped.json";
  const fs::path broken = styles / "pdf-styles/Broken.json";
  test::writeFile(wrapped, R"({"copies": 4294967297})");
  test::writeFile(styles / "print-styles/Desk.json", R"({"copies": 3})");
  test::writeFile(broken, R"({"bleed": "3mm"})");
  test::writeFile(styles / "pdf-styles/Agentur.json", "{}");
  const std::string wrappedLine =
      "korvex: styles: style ignored: " + wrapped.string() + ": $.copies: out of range (1 to 999)\n";
  const std::string brokenLine =
      "korvex: styles: style ignored: " + broken.string() + ": $.bleed: expected a number\n";

  // Refusals are warnings: the names stay a clean list and the command succeeds.
  auto all = korvex({"styles", "list"});
  EXPECT_EQ(all.exitCode, 0) << all.err;
  EXPECT_EQ(all.err, brokenLine + wrappedLine);
  EXPECT_NE(all.out.find("\nAgentur\nkPrSt_DefaultName\nDesk\n"), std::string::npos) << all.out;

  auto print = korvex({"styles", "list", "--print"});
  EXPECT_EQ(print.exitCode, 0);
  EXPECT_EQ(print.err, wrappedLine);
  EXPECT_EQ(print.out, "kPrSt_DefaultName\nDesk\n");

  auto pdf = korvex({"styles", "list", "--pdf"});
  EXPECT_EQ(pdf.exitCode, 0);
  EXPECT_EQ(pdf.err, brokenLine);
  EXPECT_TRUE(pdf.out.ends_with("]\nAgentur\n")) << pdf.out;

  auto show = korvex({"styles", "show", "Wrapped"});
  EXPECT_EQ(show.exitCode, 1);
  EXPECT_NE(show.err.find(wrappedLine), std::string::npos) << "says why the style is not there: " << show.err;
}

}  // namespace
}  // namespace korvex
