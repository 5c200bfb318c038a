// Placed PDF and EPS files made at test time by real producers (Ghostscript,
// qpdf, cairo, hand-written files fixed by qpdf), exported through `korvex
// export` and checked by qpdf, poppler and Ghostscript.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_process.h"
#include "support/temp_home.h"
#include "support/tools.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using test::tool;

test::ProcessResult run(const std::string& name, const std::vector<std::string>& args) {
  return test::runProcess(tool(name), args);
}

int countOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A hand-written PDF (objects without a cross-reference table) made whole by qpdf.
fs::path handWrittenPdf(const fs::path& folder, const std::string& name, const std::string& page,
                        const std::string& extraObjects) {
  const std::string text = "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
                           "2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj\n3 0 obj " +
                           page + " endobj\n" + extraObjects + "trailer << /Root 1 0 R /Size " +
                           std::to_string(4 + countOf(extraObjects, " obj")) + " >>\n%%EOF\n";
  const fs::path raw = folder / (name + ".raw.pdf"), fixed = folder / (name + ".pdf");
  test::writeFile(raw, text);
  auto r = run("qpdf", {raw.string(), fixed.string()});
  EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 3) << r.err;  // 3: repaired with warnings
  return fixed;
}

std::string hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// The grey value (0 black, 255 white) at a point of a page rendered by poppler at 72 ppi.
int greyAt(const fs::path& pdf, int page, int x, int y) {
  const fs::path prefix = pdf.parent_path() / ("page" + std::to_string(page));
  auto r = run("pdftoppm", {"-r", "72", "-gray", "-f", std::to_string(page), "-l", std::to_string(page),
                            "-singlefile", pdf.string(), prefix.string()});
  if (r.exitCode != 0) return -1;
  const std::string pgm = test::readFile(prefix.string() + ".pgm");
  std::istringstream header(pgm);
  std::string magic;
  int width = 0, height = 0, maxValue = 0;
  header >> magic >> width >> height >> maxValue;
  const std::size_t data = static_cast<std::size_t>(header.tellg()) + 1;
  if (magic != "P5" || x < 0 || y < 0 || x >= width || y >= height) return -1;
  return static_cast<unsigned char>(pgm[data + static_cast<std::size_t>(y) * width + x]);
}

struct PlacedCase {
  std::string name;
  fs::path file;
  double width, height;            // the frame, at the page's top left
  std::string text;                // what pdftotext finds on the page
  std::vector<std::pair<int, int>> dark, light;  // points on the page
};

TEST(PlacedPdf, RealProducersRepairsEncryptionRotationAndQuietOutput) {
  for (const char* name : {"gs", "qpdf", "pdftoppm", "pdftotext", "pdftocairo"})
    if (tool(name).empty()) GTEST_SKIP() << name << " is not installed";
  test::TempHome home;
  const fs::path dir = home.scratch();
  fs::create_directories(dir);

  // Ghostscript: a 200 × 100 page, a black square in its top-left corner and a word.
  const fs::path ps = dir / "source.ps";
  test::writeFile(ps,
                  "%!PS\n<< /PageSize [200 100] >> setpagedevice\n0 0 0 1 setcmykcolor 0 80 20 20 rectfill\n"
                  "/Helvetica findfont 14 scalefont setfont 40 40 moveto (GHOSTMARK) show\nshowpage\n");
  const fs::path ghost = dir / "ghost.pdf";
  ASSERT_EQ(run("gs", {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pdfwrite",
                       "-sOutputFile=" + ghost.string(), ps.string()})
                .exitCode,
            0);
  const fs::path encrypted = dir / "encrypted.pdf", locked = dir / "locked.pdf", rotated = dir / "rotated.pdf",
                 cairo = dir / "cairo.pdf", qdf = dir / "qdf.pdf", damaged = dir / "damaged.pdf";
  ASSERT_EQ(run("qpdf", {"--encrypt", "", "owner", "256", "--", ghost.string(), encrypted.string()}).exitCode, 0);
  ASSERT_EQ(run("qpdf", {"--encrypt", "secret", "owner", "256", "--", ghost.string(), locked.string()}).exitCode,
            0);
  ASSERT_EQ(run("qpdf", {"--rotate=+90", ghost.string(), rotated.string()}).exitCode, 0);
  ASSERT_EQ(run("pdftocairo", {"-pdf", ghost.string(), cairo.string()}).exitCode, 0);
  // Every cross-reference offset and the start of the table wrong: qpdf rebuilds them.
  ASSERT_EQ(run("qpdf", {"--qdf", "--object-streams=disable", ghost.string(), qdf.string()}).exitCode, 0);
  std::string bytes = test::readFile(qdf);
  for (std::size_t at = bytes.find(" 00000 n "); at != std::string::npos; at = bytes.find(" 00000 n ", at + 1))
    bytes.replace(at - 10, 10, "0000000007");
  bytes.replace(bytes.rfind("startxref\n") + 10, 1, "9");
  test::writeFile(damaged, bytes);

  // Hand-written: ASCIIHex content with a square in the bottom-right corner, and a crop box
  // reaching past the media box on the right (cut to it); a page without /Contents.
  const std::string content = "0 g 180 0 20 20 re f BT /F1 14 Tf 40 40 Td (HEXMARK) Tj ET";
  const fs::path asciiHex = handWrittenPdf(
      dir, "asciihex",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /CropBox [0 0 260 100] "
      "/Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>",
      "4 0 obj << /Filter /ASCIIHexDecode /Length " + std::to_string(hex(content).size() + 1) +
          " >>\nstream\n" + hex(content) + ">\nendstream\nendobj\n"
          "5 0 obj << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> endobj\n");
  // Flate contents cut in the middle: the page can't be drawn, the rest of the export can.
  const fs::path badContents = handWrittenPdf(
      dir, "badcontents", "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R >>",
      "4 0 obj << /Filter /FlateDecode /Length 17 >>\nstream\nx\x9c\x2b\xc8\x2f\xca\x01\xff\xfe\xfd"
      "garbage\nendstream\nendobj\n");
  // Sound contents drawing a picture whose data is damaged: copied as it is it would break our file.
  const std::string drawPicture = "q 200 0 0 100 0 0 cm /Im1 Do Q";
  const fs::path badPicture = handWrittenPdf(
      dir, "badpicture",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Resources << /XObject << /Im1 5 0 R >> >> "
      "/Contents 4 0 R >>",
      "4 0 obj << /Length " + std::to_string(drawPicture.size()) + " >>\nstream\n" + drawPicture +
          "\nendstream\nendobj\n5 0 obj << /Type /XObject /Subtype /Image /Width 16 /Height 16 /ColorSpace "
          "/DeviceGray /BitsPerComponent 8 /Filter /FlateDecode /Length 17 >>\nstream\n"
          "x\x9c\x2b\xc8\x2f\xca\x01\xff\xfe\xfd"
          "garbage\nendstream\nendobj\n");
  const fs::path noContents =
      handWrittenPdf(dir, "nocontents", "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] >>", "");
  const fs::path eps = dir / "box.eps";
  test::writeFile(eps,
                  "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 100\n0 0 0 1 setcmykcolor 0 80 20 20 "
                  "rectfill\nshowpage\n%%EOF\n");
  const fs::path notPdf = dir / "broken.pdf";
  test::writeFile(notPdf, "%PDF-1.4\nnot a PDF at all\n");

  // One page per file: the frame at the page's top left, the file's page scaled onto it.
  const std::vector<PlacedCase> cases = {
      {"ghostscript", ghost, 200, 100, "GHOSTMARK", {{10, 10}}, {{190, 10}, {10, 90}}},
      {"empty user password", encrypted, 200, 100, "GHOSTMARK", {{10, 10}}, {{190, 10}}},
      {"damaged xref", damaged, 200, 100, "GHOSTMARK", {{10, 10}}, {{190, 10}}},
      {"cairo", cairo, 200, 100, "GHOSTMARK", {{10, 10}}, {{190, 10}}},
      // Turned clockwise: the top-left corner is now top right, on a page 100 wide and 200 high.
      {"rotated", rotated, 100, 200, "GHOSTMARK", {{90, 10}}, {{10, 10}, {90, 190}}},
      {"ascii hex, crop box cut", asciiHex, 200, 100, "HEXMARK", {{190, 90}}, {{10, 10}, {150, 90}}},
      {"no contents", noContents, 200, 100, "", {}, {{10, 10}, {190, 90}}},
      {"eps", eps, 200, 100, "", {{10, 10}}, {{190, 10}}},
      {"password", locked, 200, 100, "", {}, {{10, 10}}},
      {"not a pdf", notPdf, 200, 100, "", {}, {{10, 10}}},
      {"contents that don't decode", badContents, 200, 100, "", {}, {{10, 10}}},
      {"picture that doesn't decode", badPicture, 200, 100, "", {}, {{10, 10}}},
  };
  std::string spreads;
  for (const PlacedCase& c : cases) {
    if (!spreads.empty()) spreads += ",\n";
    const std::string w = std::to_string(c.width), h = std::to_string(c.height);
    spreads += R"({"pages": [{}], "items": [{"kind": "rectangle", "bounds": [0, 0, )" + w + ", " + h +
               R"(], "content": {"bounds": [0, 0, )" + w + ", " + h + R"(], "link": {"path": ")" +
               c.file.string() + R"("}}}]})";
  }
  const fs::path doc = dir / "Placed.indd";
  test::writeFile(doc, R"({"format": "korvex-document", "version": 1, "pageSize": [300, 300], "spreads": [)" +
                           spreads + "]}");
  const fs::path out = dir / "out.pdf";
  auto exported = test::runProcess(KORVEX_EXE, {"export", doc.string(), out.string()});
  ASSERT_TRUE(fs::exists(out)) << exported.exitCode << exported.out << exported.err;
  EXPECT_EQ(exported.exitCode, 1) << "files were left out: the PDF is incomplete";

  // Standard error holds our own lines only: no library's voice.
  std::istringstream lines(exported.err);
  for (std::string line; std::getline(lines, line);)
    EXPECT_EQ(line.rfind("korvex: ", 0), 0u) << "not ours: " << line;
  auto says = [&](const fs::path& file, const std::string& what) {
    const std::string name = file.string() + ": ";
    return exported.err.find(name + what) != std::string::npos ||
           exported.err.find(name + "can't be drawn, left out: " + what) != std::string::npos;
  };
  EXPECT_TRUE(says(damaged, "damaged PDF file, repaired")) << exported.err;
  EXPECT_TRUE(says(locked, "PDF page can't be placed: is encrypted with a password")) << exported.err;
  EXPECT_TRUE(says(notPdf, "PDF page can't be placed: can't be read as PDF")) << exported.err;
  EXPECT_TRUE(says(badContents, "PDF page can't be placed: page 1 has contents that can't be decoded"))
      << exported.err;
  EXPECT_EQ(countOf(exported.err, badContents.string()), 1) << exported.err;
  EXPECT_TRUE(says(badPicture, "PDF page can't be placed: page 1 uses a stream that can't be decoded (object "))
      << exported.err;
  for (const fs::path& quiet : {ghost, encrypted, cairo, rotated, asciiHex, noContents, eps})
    EXPECT_EQ(exported.err.find(quiet.string()), std::string::npos) << exported.err;

  // Independent readers take the file without a complaint.
  auto check = run("qpdf", {"--check", out.string()});
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
  auto poppler = run("pdftoppm", {"-r", "10", out.string(), (dir / "all").string()});
  EXPECT_EQ(poppler.exitCode, 0);
  EXPECT_EQ(poppler.err, "") << "poppler";
  auto ghostscript = run("gs", {"-q", "-dSAFER", "-dNOPAUSE", "-dBATCH", "-sDEVICE=nullpage", out.string()});
  EXPECT_EQ(ghostscript.exitCode, 0);
  EXPECT_EQ(ghostscript.out + ghostscript.err, "") << "Ghostscript";

  for (std::size_t i = 0; i < cases.size(); ++i) {
    const PlacedCase& c = cases[i];
    const int page = static_cast<int>(i) + 1;
    SCOPED_TRACE(c.name);
    const std::string text = run("pdftotext", {"-f", std::to_string(page), "-l", std::to_string(page),
                                               out.string(), "-"}).out;
    if (!c.text.empty()) {
      EXPECT_NE(text.find(c.text), std::string::npos) << text;
    }
    for (auto [x, y] : c.dark) EXPECT_LT(greyAt(out, page, x, y), 64) << x << "," << y;
    for (auto [x, y] : c.light) EXPECT_GT(greyAt(out, page, x, y), 192) << x << "," << y;
  }

  // The same document gives the same bytes.
  const std::string first = test::readFile(out);
  ASSERT_TRUE(fs::exists(out));
  auto again = test::runProcess(KORVEX_EXE, {"export", doc.string(), out.string()});
  EXPECT_EQ(test::readFile(out), first);
}

}  // namespace
}  // namespace korvex
