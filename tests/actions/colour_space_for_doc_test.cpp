// Placed PDFs made by Ghostscript (and a JPEG by ImageMagick) at test time,
// judged black-only or colour by drawing page 1 in CMYK.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "actions/pdf_colour_test.h"
#include "host/output/page_inks.h"
#include "platform/icc_profiles.h"
#include "support/run_process.h"
#include "support/temp_home.h"
#include "support/tools.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

const char* const kSwop = "Artifex CMYK SWOP Profile";  // Ghostscript's default CMYK profile
const fs::path kSwopFile = "/usr/share/color/icc/ghostscript/default_cmyk.icc";

class ColourSpaceForDocTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::tool("gs").empty()) GTEST_SKIP() << "Ghostscript is not installed";
  }

  // A one-page PDF written by Ghostscript from PostScript drawing commands.
  fs::path pdf(const std::string& name, const std::string& drawing, const std::string& pageSize = "200 100",
               const std::string& xmp = "") {
    const fs::path ps = home.scratch() / (name + ".ps");
    const fs::path out = home.scratch() / (name + ".pdf");
    std::string text = "%!PS\n<< /PageSize [" + pageSize + "] >> setpagedevice\n";
    if (!xmp.empty())
      text += "[ /_objdef {xmp} /type /stream /OBJ pdfmark\n[ {xmp} (" + xmp +
              ") /PUT pdfmark\n[ {Catalog} << /Metadata {xmp} >> /PUT pdfmark\n";
    text += drawing + "\nshowpage\n";
    test::writeFile(ps, text);
    const test::ProcessResult made =
        test::runProcess(test::tool("gs"), {"-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pdfwrite",
                                            "-sOutputFile=" + out.string(), ps.string()});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return out;
  }

  // The PDF with its page's boxes replaced (qpdf's QDF form edited, then mended by fix-qdf).
  fs::path withBoxes(const fs::path& from, const std::string& boxes) {
    const fs::path qdf = home.scratch() / (from.stem().string() + ".qdf");
    const fs::path out = home.scratch() / (from.stem().string() + "-boxes.pdf");
    EXPECT_EQ(test::runProcess(test::tool("qpdf"),
                               {"--qdf", "--object-streams=disable", from.string(), qdf.string()})
                  .exitCode,
              0);
    std::string text = test::readFile(qdf);
    const std::size_t at = text.find("/MediaBox [");
    EXPECT_NE(at, std::string::npos);
    text.replace(at, text.find(']', at) + 1 - at, boxes);
    test::writeFile(qdf, text);
    const test::ProcessResult fixed = test::runProcess(test::tool("fix-qdf"), {qdf.string()});
    EXPECT_EQ(fixed.exitCode, 0) << fixed.err;
    test::writeFile(out, fixed.out);
    return out;
  }

  static std::string xmp(const std::string& mode, const std::string& profile) {
    return "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
           "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
           "xmlns:photoshop=\"http://ns.adobe.com/photoshop/1.0/\"><photoshop:ColorMode>" +
           mode + "</photoshop:ColorMode><photoshop:ICCProfile>" + profile +
           "</photoshop:ICCProfile></rdf:Description></rdf:RDF></x:xmpmeta>";
  }

  test::TempHome home;
};

TEST_F(ColourSpaceForDocTest, BlackInkColourInkAndFilesThatAreNoPdf) {
  // Black text and a 50 % black area: black only, however it is anti-aliased.
  const fs::path black = pdf("black",
                             "/Helvetica findfont 24 scalefont setfont 0 0 0 1 setcmykcolor "
                             "10 40 moveto (Schwarz) show 0 0 0 0.5 setcmykcolor 120 10 60 60 rectfill");
  EXPECT_EQ(colorSpaceForDoc(black.string()), 1);
  // One small cyan square among black.
  const fs::path cyan = pdf("cyan",
                            "0 0 0 1 setcmykcolor 10 10 100 50 rectfill 1 0 0 0 setcmykcolor "
                            "150 20 2 2 rectfill");
  EXPECT_EQ(colorSpaceForDoc(cyan.string()), 2);
  // Gray content is black ink in device CMYK.
  EXPECT_EQ(colorSpaceForDoc(pdf("gray", "0.4 setgray 10 10 80 80 rectfill").string()), 1);

  if (!test::tool("convert").empty()) {
    const fs::path jpeg = home.scratch() / "red.jpg";
    ASSERT_EQ(test::runProcess(test::tool("convert"), {"-size", "40x40", "xc:red", jpeg.string()}).exitCode,
              0);
    EXPECT_EQ(colorSpaceForDoc(jpeg.string()), 0);
  }
  // Cut off after its header, and a file shorter than any PDF.
  const std::string whole = test::readFile(cyan);
  test::writeFile(home.scratch() / "cut.pdf", whole.substr(0, 64));
  EXPECT_EQ(colorSpaceForDoc((home.scratch() / "cut.pdf").string()), 0);
  test::writeFile(home.scratch() / "short.pdf", "%PDF-1.7\n%%EOF\n");
  EXPECT_EQ(colorSpaceForDoc((home.scratch() / "short.pdf").string()), 0);
  EXPECT_EQ(colorSpaceForDoc((home.scratch() / "missing.pdf").string()), 0);
  EXPECT_EQ(colorSpaceForDoc(home.scratch().string()), 0);
}

TEST_F(ColourSpaceForDocTest, CropBoxesAreNormalisedEmptyOnesBlackAndHugeOnesDrawnSmaller) {
  const fs::path cyan = pdf("cyan", "1 0 0 0 setcmykcolor 150 20 10 10 rectfill");
  // Upside down: the same page.
  EXPECT_EQ(colorSpaceForDoc(withBoxes(cyan, "/MediaBox [200 100 0 0]").string()), 2);
  // An empty crop box shows no ink, though the page has some.
  EXPECT_EQ(colorSpaceForDoc(withBoxes(cyan, "/MediaBox [0 0 200 100] /CropBox [150 20 150 90]").string()),
            1);

  // Ten kilometres square: drawn at a fraction of a pixel per point, within the cap.
  const fs::path wide = pdf("wide", "1 0 0 0 setcmykcolor 0 0 14400 14400 rectfill", "14400 14400");
  const fs::path huge = withBoxes(wide, "/MediaBox [0 0 30000000 30000000] /CropBox [30000000 30000000 0 0]");
  EXPECT_EQ(colorSpaceForDoc(huge.string()), 2);
  const PageInkScan scan = scanFirstPageInks(test::readFile(huge), nullptr);
  EXPECT_EQ(scan.inks, PageInks::colour);
  EXPECT_GT(scan.width, 1000);
  EXPECT_LE(std::int64_t{scan.width} * scan.height, kMaxInkScanPixels);
  // A lower cap draws smaller still.
  const PageInkScan small = scanFirstPageInks(test::readFile(cyan), nullptr, 1000);
  EXPECT_LE(small.width * small.height, 1000);
  EXPECT_EQ(small.inks, PageInks::colour);
}

TEST_F(ColourSpaceForDocTest, XmpNamingAnInstalledCmykProfileDrawsInIt) {
  if (!fs::exists(kSwopFile)) GTEST_SKIP() << "Ghostscript's CMYK profile is not installed";
  // Installed in the user's own profile folder, a level down.
  const fs::path mine = home.dataHome() / "icc" / "press" / "swop.icc";
  fs::create_directories(mine.parent_path());
  fs::copy_file(kSwopFile, mine);
  const std::optional<ICCColorSpace> space = createColorSpaceWithICCProfile(kSwop);
  ASSERT_TRUE(space);
  EXPECT_EQ(space->path, mine.string());
  EXPECT_TRUE(space->cmyk);
  EXPECT_FALSE(createColorSpaceWithICCProfile("Artifex CMYK SWOP"));  // only the exact description
  EXPECT_FALSE(createColorSpaceWithICCProfile(""));

  // A neutral RGB gray is black ink in device CMYK, but the press profile prints it with all four inks.
  const std::string gray = "0.5 0.5 0.5 setrgbcolor 10 10 80 80 rectfill";
  EXPECT_EQ(colorSpaceForDoc(pdf("none", gray).string()), 1);
  EXPECT_EQ(colorSpaceForDoc(pdf("swop", gray, "200 100", xmp("4", kSwop)).string()), 2);
  // A profile that is not installed, or a colour mode other than CMYK: device CMYK.
  EXPECT_EQ(colorSpaceForDoc(pdf("missing", gray, "200 100", xmp("4", "Nowhere Coated v9")).string()), 1);
  EXPECT_EQ(colorSpaceForDoc(pdf("rgbmode", gray, "200 100", xmp("3", kSwop)).string()), 1);
  // CMYK black passes as it is, profile or not.
  EXPECT_EQ(colorSpaceForDoc(
                pdf("k", "0 0 0 1 setcmykcolor 10 10 80 80 rectfill", "200 100", xmp("4", kSwop)).string()),
            1);
}

TEST(XmpElementText, TextOnlyWhenTheClosingTagFollowsSoon) {
  EXPECT_EQ(xmpElementText("<a:B>4</a:B>", "a:B"), "4");
  EXPECT_EQ(xmpElementText("<a:B></a:B>", "a:B"), "");
  EXPECT_FALSE(xmpElementText("<a:B>4", "a:B"));
  EXPECT_FALSE(xmpElementText("<a:B>" + std::string(200, 'x') + "</a:B>", "a:B"));
  EXPECT_EQ(xmpElementText("<a:B>" + std::string(199, 'x') + "</a:B>", "a:B")->size(), 199u);
}

}  // namespace
}  // namespace korvex
