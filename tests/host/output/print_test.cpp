#include "host/output/print.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "foundation/hfs_path.h"
#include "foundation/log.h"
#include "host/document.h"
#include "host/host_test_support.h"
#include "host/output/pdf_export.h"
#include "pdf_inspect.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

// Sets PATH for the test and puts the old value back.
class ScopedPath {
 public:
  explicit ScopedPath(const std::string& value) {
    if (const char* old = std::getenv("PATH")) old_ = old;
    setenv("PATH", value.c_str(), 1);
  }
  ~ScopedPath() {
    if (old_)
      setenv("PATH", old_->c_str(), 1);
    else
      unsetenv("PATH");
  }

 private:
  std::optional<std::string> old_;
};

std::unique_ptr<IDocument> colourDocument() {
  DocumentSetup setup;
  setup.pages = 2;
  setup.pageWidth = 200;
  setup.pageHeight = 300;
  auto doc = IDocument::createNew(setup);
  doc->SetName("Print Test");
  Swatch* cyan = doc->createColor("Cyan", ColorModel::Process, ColorSpace::CMYK, {1, 0, 0, 0});
  for (int i = 0; i < 2; ++i) {
    UID layer = test::spreadLayer(*doc, 1, i);
    SplineItem* r = doc->createRectangle(layer, {20, 20, 180, 280});
    GraphicAttributes a = r->graphicAttributes();
    a.fillSwatch = i == 0 ? doc->blackSwatch() : cyan->GetUID();
    r->setGraphicAttributes(a);
  }
  return doc;
}

TEST(Print, PostScriptFileShowsTheSameInkAsThePdf) {
  test::TempHome home;
  auto doc = colourDocument();
  fs::create_directories(home.scratch());
  const fs::path ps = home.scratch() / "out 100%d.ps";
  PrintService service;
  PrintStyle style{.name = "file", .destination = kPrintToFile, .outputFile = ps.string()};
  PrintResult r = service.print(*doc, style);
  ASSERT_EQ(r.error, kSuccess) << r.message;
  EXPECT_EQ(r.outputFile, ps.string()) << "a percent sign is no Ghostscript pattern";
  EXPECT_EQ(r.pages, 2);
  ASSERT_TRUE(fs::exists(ps));
  EXPECT_EQ(test::readFile(ps).rfind("%!PS", 0), 0u);
  EXPECT_FALSE(fs::exists(ps.string() + ".part"));

  std::string pdf;
  ASSERT_EQ(renderPdf(*doc, PdfExportStyle{.name = "p"}, {}, pdf).error, kSuccess);
  test::writeFile(home.scratch() / "same.pdf", pdf);
  const auto fromPdf = test::inkCoverage(home.scratch() / "same.pdf");
  const auto fromPs = test::inkCoverage(ps);
  ASSERT_EQ(fromPs.size(), 2u);
  ASSERT_EQ(fromPdf.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_NEAR(fromPs[i].c, fromPdf[i].c, 0.01);
    EXPECT_NEAR(fromPs[i].m, fromPdf[i].m, 0.01);
    EXPECT_NEAR(fromPs[i].y, fromPdf[i].y, 0.01);
    EXPECT_NEAR(fromPs[i].k, fromPdf[i].k, 0.01);
  }
  EXPECT_EQ(fromPs[0].c, 0) << "black stays black-only through PostScript";
  EXPECT_GT(fromPs[0].k, 0.5);
  EXPECT_GT(fromPs[1].c, 0.5);
  EXPECT_EQ(fromPs[1].k, 0);
}

TEST(Print, OutputFileAsHfsPathAndSpreads) {
  test::TempHome home;
  auto doc = colourDocument();
  fs::create_directories(home.scratch());
  const fs::path ps = home.scratch() / "hfs.ps";
  const std::string hfs = *hfsPathWithString(ps.string());
  ASSERT_NE(hfs[0], '/');
  PrintService service;
  PrintStyle style{.name = "hfs", .destination = kPrintToFileSpread, .outputFile = hfs, .spreads = true};
  PrintResult r = service.print(*doc, style);
  ASSERT_EQ(r.error, kSuccess) << r.message;
  EXPECT_EQ(r.outputFile, ps.string());
  EXPECT_EQ(test::inkCoverage(ps).size(), 2u) << "single pages: two spreads";
}

TEST(Print, FailuresSayWhyAndLeaveNoFile) {
  test::TempHome home;
  auto doc = colourDocument();
  PrintService service;
  EXPECT_EQ(service.print(*doc, "No Such Style").error, kObjectNotFoundError);
  PrintResult r = service.print(*doc, kDefaultPrintStyleKey);
  EXPECT_NE(r.error, kSuccess) << "the default style names no file";
  EXPECT_NE(r.message.find("no output file"), std::string::npos) << r.message;

  const fs::path target = home.scratch() / "missing folder" / "x.ps";
  r = service.print(*doc, PrintStyle{.name = "bad", .outputFile = target.string()});
  EXPECT_EQ(r.error, kFileWriteError);
  EXPECT_FALSE(r.message.empty());
  EXPECT_FALSE(fs::exists(target.parent_path()));

  // An old file survives a failed print over it, and the log says why.
  setupLog(true, std::string("Tamrisk"));
  fs::create_directories(home.scratch());
  const fs::path old = home.scratch() / "old.ps";
  test::writeFile(old, "previous");
  {
    ScopedPath noGhostscript((home.scratch() / "empty").string());
    r = service.print(*doc, PrintStyle{.name = "nogs", .outputFile = old.string()});
  }
  EXPECT_NE(r.error, kSuccess);
  EXPECT_NE(r.message.find("Ghostscript"), std::string::npos) << r.message;
  EXPECT_EQ(test::readFile(old), "previous");
  const std::string log = test::readFile(home.documents() / "Tamrisk" / "Korvex.txt");
  setLogging(false, false);
  EXPECT_NE(log.find("\t####\tPrint: "), std::string::npos) << log;
}

TEST(Print, PrinterThroughLp) {
  test::TempHome home;
  auto doc = colourDocument();
  PrintService service;
  const PrintStyle style{.name = "office", .destination = kPrintToPrinter, .printer = "Office", .copies = 2};
  {
    ScopedPath noLp((home.scratch() / "nothing-here").string());
    PrintResult r = service.print(*doc, style);
    EXPECT_NE(r.error, kSuccess);
    EXPECT_NE(r.message.find("lp"), std::string::npos) << r.message;
  }
  // A stand-in lp records what it was asked and keeps the file it was given.
  const fs::path bin = home.scratch() / "bin";
  const fs::path record = home.scratch() / "lp-args.txt";
  const fs::path kept = home.scratch() / "lp-file.ps";
  test::writeFile(bin / "lp", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record.string() +
                                  "'\neval last=\\${$#}\ncp \"$last\" '" + kept.string() + "'\n");
  fs::permissions(bin / "lp", fs::perms::owner_all);
  {
    ScopedPath fakeLp(bin.string() + ":/usr/bin:/bin");
    PrintResult r = service.print(*doc, style);
    ASSERT_EQ(r.error, kSuccess) << r.message;
  }
  const std::string args = test::readFile(record);
  EXPECT_NE(args.find("-d\nOffice\n-n\n2\n"), std::string::npos) << args;
  EXPECT_EQ(test::readFile(kept).rfind("%!PS", 0), 0u);
  EXPECT_EQ(test::inkCoverage(kept).size(), 2u);

  test::writeFile(bin / "lp", "#!/bin/sh\necho 'lp: The printer or class does not exist.' >&2\nexit 1\n");
  fs::permissions(bin / "lp", fs::perms::owner_all);
  ScopedPath failingLp(bin.string() + ":/usr/bin:/bin");
  PrintResult r = service.print(*doc, style);
  EXPECT_NE(r.error, kSuccess);
  EXPECT_NE(r.message.find("does not exist"), std::string::npos) << r.message;
}

TEST(PrintStyles, DefaultKeyFirstThenUserFiles) {
  test::TempHome home;
  const fs::path folder = userPrintStylesFolder();
  test::writeFile(folder / "Proof.json",
                  R"({"destination": 2, "outputFile": "/tmp/proof.ps", "spreads": true})");
  test::writeFile(folder / "Desk.json", R"({"destination": 0, "printer": "Desk", "copies": 3})");
  test::writeFile(folder / "Bad.json", R"({"destination": 7})");
  test::writeFile(folder / "Sneaky.json", R"({"destination": 0, "printer": "-o evil"})");
  // 2^32 + 1 must not wrap around to one copy.
  test::writeFile(folder / "Wrapped.json", R"({"copies": 4294967297})");
  test::writeFile(folder / "Zero.json", R"({"copies": 0})");
  test::writeFile(folder / "Half.json", R"({"copies": 1.5})");
  test::writeFile(folder / (std::string(kDefaultPrintStyleKey) + ".json"), "{}");
  PrintStyleList list = PrintStyleList::load();
  ASSERT_EQ(list.count(), 3);
  EXPECT_EQ(list.styles()[0].name, kDefaultPrintStyleKey);
  EXPECT_EQ(list.indexOf("Desk"), 1);
  EXPECT_EQ(list.find("Desk")->copies, 3);
  EXPECT_TRUE(list.find("Proof")->spreads);
  std::vector<std::string> refused;
  for (const StyleRefusal& refusal : list.refusals())
    refused.push_back(fs::path(refusal.file).filename().string() + ": " + refusal.reason);
  EXPECT_EQ(refused, (std::vector<std::string>{
                         "Bad.json: $.destination: out of range (0 to 2)",
                         "Half.json: $.copies: expected an integer",
                         "Sneaky.json: $.printer: a printer name can't begin with \"-\"",
                         "Wrapped.json: $.copies: out of range (1 to 999)",
                         "Zero.json: $.copies: out of range (1 to 999)",
                         "kPrSt_DefaultName.json: the name \"kPrSt_DefaultName\" is a built-in name",
                     }));

  PrintStyle mine{.name = "Mine", .destination = 0, .printer = "Lab", .copies = 4};
  ASSERT_EQ(addUserPrintStyle(mine), kSuccess);
  EXPECT_EQ(*PrintStyleList::load().find("Mine"), mine);
  EXPECT_NE(addUserPrintStyle(PrintStyle{.name = kDefaultPrintStyleKey}), kSuccess);

  // A style's output file can be set on the session's style itself.
  Session session;
  PrintService& service = printService(session);
  EXPECT_EQ(&service, &printService(session));
  service.styles().find("Proof")->outputFile = "/elsewhere.ps";
  EXPECT_EQ(service.styles().find("Proof")->outputFile, "/elsewhere.ps");
  service.reload();
  EXPECT_EQ(service.styles().find("Proof")->outputFile, "/tmp/proof.ps");
}

}  // namespace
}  // namespace korvex
