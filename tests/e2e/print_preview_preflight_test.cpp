#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <regex>

#include "support/run_process.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

test::ProcessResult korvex(const std::vector<std::string>& args) {
  return test::runProcess(KORVEX_EXE, args);
}

// Spread 1: pages 1 and 2 facing (612 × 792 each); spread 2: page 3. Black and cyan boxes.
constexpr const char* kDocument = R"({
  "format": "korvex-document", "version": 1, "facingPages": true, "pageSize": [612, 792],
  "swatches": [{"name": "Cyan", "kind": "process", "space": "CMYK", "values": [1, 0, 0, 0]}],
  "spreads": [
    {"pages": [{"name": "1"}, {"name": "2"}],
     "items": [{"kind": "rectangle", "bounds": [10, 10, 300, 300], "fill": "Black"}]},
    {"pages": [{"name": "3"}],
     "items": [{"kind": "rectangle", "bounds": [10, 10, 100, 100], "fill": "Cyan"}]}
  ]
})";

// Width and height from a JPEG's start-of-frame marker.
std::pair<int, int> jpegSize(const std::string& bytes) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes.at(i)); };
  if (bytes.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8) return {0, 0};
  for (std::size_t i = 2; i + 9 < bytes.size();) {
    if (byte(i) != 0xFF) return {0, 0};
    const int marker = byte(i + 1);
    const std::size_t length = byte(i + 2) * 256u + byte(i + 3);
    if (marker >= 0xC0 && marker <= 0xC3)
      return {byte(i + 7) * 256 + byte(i + 8), byte(i + 5) * 256 + byte(i + 6)};
    i += 2 + length;
  }
  return {0, 0};
}

std::vector<std::array<double, 4>> inks(const fs::path& file) {
  auto r = test::runProcess("/usr/bin/gs", {"-q", "-dSAFER", "-o", "-", "-sDEVICE=inkcov", file.string()});
  std::vector<std::array<double, 4>> pages;
  std::regex line(R"(([0-9.]+)\s+([0-9.]+)\s+([0-9.]+)\s+([0-9.]+)\s+CMYK)");
  for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), line); it != std::sregex_iterator(); ++it)
    pages.push_back({std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4])});
  return pages;
}

TEST(PreviewCommand, PixelSizeFollowsResolution) {
  test::TempHome home;
  const fs::path doc = home.scratch() / "Flyer.indd";
  test::writeFile(doc, kDocument);
  const fs::path jpg = home.scratch() / "spread.jpg";

  auto r = korvex({"preview", doc.string(), jpg.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(jpegSize(test::readFile(jpg)), std::make_pair(1224, 792)) << "two facing pages at 72 ppi";

  r = korvex(
      {"preview", doc.string(), jpg.string(), "--spread", "2", "--resolution", "150", "--quality", "50"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(jpegSize(test::readFile(jpg)), std::make_pair(1275, 1650));
  EXPECT_NE(r.out.find("1275 x 1650"), std::string::npos) << r.out;

  // Quality is passed to the encoder: the same spread is smaller at a lower quality.
  const fs::path rough = home.scratch() / "rough.jpg", fine = home.scratch() / "fine.jpg";
  ASSERT_EQ(korvex({"preview", doc.string(), rough.string(), "--quality", "5"}).exitCode, 0);
  ASSERT_EQ(korvex({"preview", doc.string(), fine.string(), "--quality", "100"}).exitCode, 0);
  EXPECT_LT(fs::file_size(rough), fs::file_size(fine));

  EXPECT_EQ(korvex({"preview", doc.string(), jpg.string(), "--spread", "3"}).exitCode, 1);
  EXPECT_EQ(korvex({"preview", doc.string(), jpg.string(), "--resolution", "1200"}).exitCode, 2);
  EXPECT_EQ(korvex({"preview", doc.string()}).exitCode, 2);
}

TEST(PrintCommand, PostScriptNextToTheDocumentOrWhereAsked) {
  test::TempHome home;
  const fs::path doc = home.scratch() / "Flyer.indd";
  test::writeFile(doc, kDocument);

  auto r = korvex({"print", doc.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const fs::path beside = home.scratch() / "Flyer.ps";
  ASSERT_TRUE(fs::exists(beside)) << r.out;
  auto ink = inks(beside);
  ASSERT_EQ(ink.size(), 3u);
  EXPECT_EQ(ink[0][0] + ink[0][1] + ink[0][2], 0) << "page 1 is black only";
  EXPECT_GT(ink[2][0], 0) << "page 3 is cyan";

  const fs::path to = home.scratch() / "elsewhere.ps";
  test::writeFile(home.dataHome() / "korvex-host/print-styles/Sheets.json", R"({"spreads": true})");
  r = korvex({"print", doc.string(), "--style", "Sheets", "--to", to.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(inks(to).size(), 2u) << "spreads on sheets";

  auto list = korvex({"styles", "list", "--print"});
  EXPECT_EQ(list.out, "kPrSt_DefaultName\nSheets\n");
  EXPECT_EQ(korvex({"print", doc.string(), "--style", "Nope"}).exitCode, 1);
  EXPECT_EQ(korvex({"print", (home.scratch() / "none.indd").string()}).exitCode, 1);
}

TEST(PreflightCommand, ResultsAndExitCode) {
  test::TempHome home;
  const fs::path doc = home.scratch() / "Flyer.indd";
  test::writeFile(doc, kDocument);
  auto r = korvex({"preflight", doc.string()});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("0 errors with \"[Basic]\""), std::string::npos) << r.out;

  const fs::path broken = home.scratch() / "Broken.indd";
  test::writeFile(broken, R"({
    "format": "korvex-document", "version": 1, "pageSize": [200, 300],
    "swatches": [{"name": "Web Blue", "kind": "process", "space": "RGB", "values": [0, 0, 1]}],
    "stories": [{"id": "s", "text": "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod",
                 "runs": [{"start": 0, "font": "DejaVu Sans", "size": 24}]}],
    "spreads": [{"pages": [{}], "items": [
      {"kind": "rectangle", "bounds": [10, 10, 60, 40], "text": {"story": "s"}},
      {"kind": "rectangle", "bounds": [10, 100, 100, 200], "fill": "Web Blue"},
      {"kind": "rectangle", "bounds": [10, 210, 100, 290], "content": {"link": {"path": "Links/gone.jpg"}}}
    ]}]
  })");
  r = korvex({"preflight", broken.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("2 errors"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Missing links (page 1, item "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Overset text (page 1"), std::string::npos) << r.out;

  test::writeFile(home.dataHome() / "korvex-host/preflight-profiles/Press.json",
                  R"({"disallowedColors": ["RGB"], "missingLinks": false})");
  r = korvex({"preflight", broken.string(), "--profile", "Press"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("2 errors with \"Press\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Fill \"Web Blue\" is RGB"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Missing links"), std::string::npos) << r.out;

  r = korvex({"preflight", broken.string(), "--profile", "Unknown"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("no preflight profile named \"Unknown\""), std::string::npos);
}

}  // namespace
}  // namespace korvex
