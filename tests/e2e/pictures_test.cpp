// Placed pictures of every kind the tools can make, through the korvex
// executable: size and orientation as placed, drawn right in the PDF (read back
// by poppler, qpdf and Ghostscript), and files that can't be drawn reported on
// every path instead of vanishing.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
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

test::ProcessResult korvex(const std::vector<std::string>& args) {
  return test::runProcess(KORVEX_EXE, args);
}

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

struct Rgb {
  int r = 0, g = 0, b = 0;
};

// One page of the PDF rendered by poppler at 72 ppi: a pixel is a point.
class Rendered {
 public:
  Rendered(const fs::path& pdf, int page, const fs::path& scratch) {
    const fs::path prefix = scratch / ("page" + std::to_string(page));
    test::runProcess(tool("pdftoppm"), {"-r", "72", "-f", std::to_string(page), "-l", std::to_string(page),
                                        "-singlefile", pdf.string(), prefix.string()});
    const std::string ppm = test::readFile(prefix.string() + ".ppm");
    std::istringstream in(ppm);
    std::string magic;
    int max = 0;
    in >> magic >> width_ >> height_ >> max;
    in.get();
    pixels_ = ppm.substr(static_cast<std::size_t>(in.tellg()));
  }
  Rgb at(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width_ + x) * 3;
    if (i + 2 >= pixels_.size()) return {-1, -1, -1};
    auto u = [&](std::size_t k) { return static_cast<unsigned char>(pixels_[k]); };
    return {u(i), u(i + 1), u(i + 2)};
  }

 private:
  int width_ = 0, height_ = 0;
  std::string pixels_;
};

bool near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

// pdfimages -list: one row per image, by page.
struct ListedImage {
  int width = 0, height = 0, bpc = 0, xppi = 0;
  std::string color, enc;
};

std::multimap<int, ListedImage> listImages(const fs::path& pdf) {
  std::multimap<int, ListedImage> images;
  std::istringstream lines(test::runProcess(tool("pdfimages"), {"-list", pdf.string()}).out);
  std::string line;
  std::getline(lines, line);
  std::getline(lines, line);
  while (std::getline(lines, line)) {
    std::istringstream f(line);
    int page = 0, num = 0, comp = 0, object = 0, id = 0, yppi = 0;
    std::string type, interp;
    ListedImage image;
    f >> page >> num >> type >> image.width >> image.height >> image.color >> comp >> image.bpc >>
        image.enc >> interp >> object >> id >> image.xppi >> yppi;
    if (f) images.emplace(page, image);
  }
  return images;
}

struct Picture {
  std::string name;
  // Makes the file in the folder; the base picture is 60 × 40 pixels, red on the left, blue on the right.
  std::function<void(const fs::path& folder)> make;
  std::string reason;  // empty: drawn; else a part of why it can't be
  int width = 0, height = 0;
  std::string color, enc;
  int ppi = 72;
  std::vector<std::pair<std::pair<int, int>, Rgb>> samples;  // points on the page and their colour
};

void run(const std::vector<std::string>& args) {
  const auto r = test::runProcess(tool(args[0]), {args.begin() + 1, args.end()});
  ASSERT_EQ(r.exitCode, 0) << args[0] << " " << args.back() << ": " << r.err;
}

// The first n bytes of a file, as `head -c` cuts them.
void cut(const fs::path& from, const fs::path& to, double part) {
  const auto size = static_cast<std::size_t>(static_cast<double>(fs::file_size(from)) * part);
  const auto r = test::runProcess(tool("head"), {"-c", std::to_string(size), from.string()});
  test::writeFile(to, r.out);
}

const Rgb kRed{255, 0, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

std::vector<Picture> pictures() {
  auto base = [](const fs::path& f) { return (f / "base.png").string(); };
  return {
      {"exif6.jpg",
       [&](const fs::path& f) {
         run({"vips", "copy", base(f), (f / "plain.jpg").string()});
         run({"convert", (f / "plain.jpg").string(), "-orient", "RightTop", (f / "exif6.jpg").string()});
       },
       "",
       40,
       60,
       "rgb",
       "image",
       72,
       {{{20, 8}, kRed}, {{20, 52}, kBlue}}},
      {"mirror.tif",
       [&](const fs::path& f) {
         run({"convert", base(f), "-orient", "TopRight", (f / "mirror.tif").string()});
       },
       "",
       60,
       40,
       "rgb",
       "image",
       72,
       {{{8, 20}, kBlue}, {{52, 20}, kRed}}},
      {"alpha.png",
       [](const fs::path& f) {
         run({"convert", "-size", "60x40", "xc:rgba(255,0,0,0.5)", (f / "alpha.png").string()});
       },
       "",
       60,
       40,
       "rgb",
       "image",
       72,
       {{{30, 20}, {255, 128, 128}}}},
      {"associated.tif",
       [](const fs::path& f) {
         run({"convert", "-size", "60x40", "xc:rgba(0,0,255,0.5)", "-define", "tiff:alpha=associated",
              (f / "associated.tif").string()});
       },
       "",
       60,
       40,
       "rgb",
       "image",
       72,
       {{{30, 20}, {128, 128, 255}}}},
      {"deep.tif",
       [&](const fs::path& f) {
         run({"convert", base(f), "-type", "TrueColor", "-depth", "16", (f / "deep.tif").string()});
       },
       "",
       60,
       40,
       "rgb",
       "image",
       72,
       {{{8, 20}, kRed}, {{52, 20}, kBlue}}},
      {"float.tif",
       [](const fs::path& f) {
         // 0–1 samples in a 32-bit float TIFF.
         run({"convert", "-size", "60x40", "xc:rgb(200,100,50)", (f / "flat.png").string()});
         run({"vips", "linear", (f / "flat.png").string(), (f / "float.tif").string(), "0.00392157", "0"});
       },
       "",
       60,
       40,
       "rgb",
       "image",
       72,
       {{{30, 20}, {200, 100, 50}}}},
      {"big.tif",
       [&](const fs::path& f) {
         run({"vips", "tiffsave", base(f), (f / "big.tif").string(), "--bigtiff"});
       },
       "",
       60,
       40,
       "rgb",
       "image",
       72,
       {{{8, 20}, kRed}}},
      {"lab.tif",
       [&](const fs::path& f) {
         run({"vips", "colourspace", base(f), (f / "lab.v").string(), "lab"});
         run({"vips", "tiffsave", (f / "lab.v").string(), (f / "lab.tif").string()});
       },
       "",
       60,
       40,
       "rgb",
       "image",
       72,
       {{{8, 20}, kRed}, {{52, 20}, kBlue}}},
      {"frames.gif",
       [](const fs::path& f) {
         run({"convert", "-size", "60x40", "xc:red", "xc:blue", (f / "frames.gif").string()});
       },
       "",
       60,
       40,
       "rgb",
       "image",
       72,
       {{{30, 20}, kRed}}},
      {"grey16.png",
       [](const fs::path& f) {
         run({"convert", "-size", "60x40", "xc:gray(50%)", "-depth", "16", "-colorspace", "Gray",
              (f / "grey16.png").string()});
       },
       "",
       60,
       40,
       "gray",
       "image",
       72,
       {{{30, 20}, {128, 128, 128}}}},
      {"layers.psd",
       [&](const fs::path& f) {
         run({"convert", base(f), "-type", "TrueColor", (f / "layers.psd").string()});
       },
       "",
       60,
       40,
       "rgb",
       "image",
       72,
       {{{8, 20}, kRed}}},
      {"photo.webp",
       [&](const fs::path& f) {
         run({"vips", "copy", base(f), (f / "photo.webp").string()});
       },
       "",
       60,
       40,
       "rgb",
       "image",
       72,
       {{{8, 20}, kRed}}},
      // Resolution only in PNG pHYs: 300 × 150 pixels at 150 ppi are 144 × 72 points, not the frame.
      {"phys.png",
       [](const fs::path& f) {
         run({"convert", "-size", "300x150", "xc:lime", "-density", "150", "-units", "PixelsPerInch",
              (f / "phys.png").string()});
       },
       "",
       300,
       150,
       "rgb",
       "image",
       150,
       {{{140, 68}, {0, 255, 0}}, {{150, 80}, kWhite}}},
      // Only in EXIF (libvips writes no JFIF header): 300 ppi, the JPEG passed through.
      {"exif300.jpg",
       [&](const fs::path& f) {
         run({"vips", "copy", base(f), (f / "exif300.jpg").string(), "--xres", "11.811", "--yres", "11.811"});
       },
       "",
       60,
       40,
       "rgb",
       "jpeg",
       300,
       {{{3, 5}, kRed}, {{20, 5}, kWhite}}},
      // Only in the XMP packet (ImageMagick embeds it; its JFIF header says 72): 240 ppi.
      {"xmp240.jpg",
       [&](const fs::path& f) {
         test::writeFile(f / "res.xmp",
                         R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF )"
                         R"(xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#"><rdf:Description )"
                         R"(rdf:about="" xmlns:tiff="http://ns.adobe.com/tiff/1.0/">)"
                         R"(<tiff:XResolution>2400000/10000</tiff:XResolution><tiff:ResolutionUnit>2)"
                         R"(</tiff:ResolutionUnit></rdf:Description></rdf:RDF></x:xmpmeta>)");
         run({"convert", base(f), "-strip", "-profile", (f / "res.xmp").string(), (f / "xmp240.jpg").string()});
       },
       "",
       60,
       40,
       "rgb",
       "jpeg",
       240,
       {{{3, 5}, kRed}, {{25, 5}, kWhite}}},
      // Only in Photoshop's resolution resource (APP13, in pixels per cm): 118.11 × 2.54 = 300 ppi.
      {"photoshop300.jpg",
       [&](const fs::path& f) {
         run({"vips", "copy", base(f), (f / "bare.jpg[strip]").string()});
         const std::string bare = test::readFile(f / "bare.jpg");
         // ResolutionInfo: 16.16 fixed resolution, unit 2 (per cm), width unit, twice.
         const std::string fixed = std::string("\x00\x76\x1C\x29", 4);  // 118.11
         const std::string info = fixed + std::string("\x00\x02\x00\x02", 4) + fixed + std::string("\x00\x02\x00\x02", 4);
         const std::string resource = "8BIM" + std::string("\x03\xED\x00\x00\x00\x00\x00\x10", 8) + info;
         const std::string app13 = std::string("Photoshop 3.0\0", 14) + resource;
         const std::size_t length = app13.size() + 2;
         const std::string segment = std::string("\xFF\xED", 2) + static_cast<char>(length >> 8) +
                                     static_cast<char>(length & 0xFF) + app13;
         test::writeFile(f / "photoshop300.jpg", bare.substr(0, 2) + segment + bare.substr(2));
       },
       "",
       60,
       40,
       "rgb",
       "jpeg",
       300,
       {{{3, 5}, kRed}, {{20, 5}, kWhite}}},
      {"cmyk.jpg",
       [](const fs::path& f) {
         run({"convert", "-size", "60x40", "xc:red", "-colorspace", "CMYK", (f / "cmyk.jpg").string()});
       },
       "",
       60,
       40,
       "cmyk",
       "jpeg",
       72,
       {}},
      // Extraneous bytes before a marker: libjpeg warns, the picture still has its size.
      {"stray.jpg",
       [&](const fs::path& f) {
         run({"convert", base(f), (f / "clean.jpg").string()});
         std::string bytes = test::readFile(f / "clean.jpg");
         const std::size_t app0 =
             4 + ((static_cast<unsigned char>(bytes[4]) << 8) | static_cast<unsigned char>(bytes[5]));
         bytes.insert(app0, std::string("\0\0\0", 3));
         test::writeFile(f / "stray.jpg", bytes);
       },
       "",
       60,
       40,
       "rgb",
       "jpeg",
       72,
       {{{8, 20}, kRed}}},
      // Vector files keep their own size too: a 100 × 50 point black box, not stretched to the frame.
      {"box.pdf",
       [](const fs::path& f) {
         test::writeFile(f / "box.ps",
                         "<< /PageSize [100 50] >> setpagedevice 0 0 100 50 rectfill showpage\n");
         run({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pdfwrite",
              "-sOutputFile=" + (f / "box.pdf").string(), (f / "box.ps").string()});
       },
       "",
       0,
       0,
       "",
       "",
       0,
       {{{95, 45}, {0, 0, 0}}, {{105, 55}, kWhite}, {{50, 60}, kWhite}}},
      {"box.eps",
       [](const fs::path& f) {
         test::writeFile(f / "box.eps",
                         "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 50\n0 0 100 50 rectfill\n%%EOF\n");
       },
       "",
       0,
       0,
       "",
       "",
       0,
       {{{95, 45}, {0, 0, 0}}, {{105, 55}, kWhite}, {{50, 60}, kWhite}}},
      // Can't be drawn.
      {"cut.png",
       [](const fs::path& f) {
         run({"convert", "-size", "200x200", "xc:", "+noise", "Random", (f / "noise.png").string()});
         cut(f / "noise.png", f / "cut.png", 0.5);
       },
       "cut.png",
       0,
       0,
       "",
       "",
       0,
       {}},
      {"cut.jpg",
       [](const fs::path& f) {
         run({"convert", "-size", "200x200", "xc:", "+noise", "Random", (f / "noise.jpg").string()});
         cut(f / "noise.jpg", f / "cut.jpg", 0.5);
       },
       "cut.jpg",
       0,
       0,
       "",
       "",
       0,
       {}},
      // The damaged PNG whose header once gave 97293039 × 1048810005 pixels.
      {"garbage.png",
       [&](const fs::path& f) {
         std::string bytes = test::readFile(base(f));
         bytes.replace(16, 8, std::string("\x05\xCC\xA0\xEF\x3E\x83\xF5\x15", 8));
         test::writeFile(f / "garbage.png", bytes);
       },
       "garbage.png",
       0,
       0,
       "",
       "",
       0,
       {}},
      {"notes.bin",
       [](const fs::path& f) { test::writeFile(f / "notes.bin", "plain words, no picture\n"); },
       "notes.bin",
       0,
       0,
       "",
       "",
       0,
       {}},
  };
}

class Pictures : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"vips", "convert", "pdfimages", "pdftoppm", "qpdf", "gs", "head"})
      if (tool(name).empty()) GTEST_SKIP() << name << " is not installed (scripts/install-deps.sh)";
    fs::create_directories(links());
    run({"convert", "-size", "30x40", "xc:red", "-size", "30x40", "xc:blue", "+append",
         (links() / "base.png").string()});
    std::string items;
    for (const Picture& p : cases_) {
      p.make(links());
      ASSERT_TRUE(fs::exists(links() / p.name)) << p.name;
      // One page each; the content has no bounds: it keeps the file's own size.
      items += std::string(items.empty() ? "" : ",") + R"({"pages": [{}], "items": [{"kind": "rectangle",
          "bounds": [0, 0, 200, 200], "content": {"link": {"path": "Links/)" +
               p.name + R"("}}}]})";
    }
    test::writeFile(document(), R"({"format": "korvex-document", "version": 1, "pageSize": [200, 200],
                                    "spreads": [)" +
                                    items + "]}");
  }

  fs::path links() const { return home_.scratch() / "Links"; }
  fs::path document() const { return home_.scratch() / "Pictures.indd"; }
  std::size_t undrawable() const {
    std::size_t n = 0;
    for (const Picture& p : cases_) n += p.reason.empty() ? 0 : 1;
    return n;
  }

  test::TempHome home_;
  std::vector<Picture> cases_ = pictures();
};

TEST_F(Pictures, PlacedDrawnOrReportedOnEveryPath) {
  const fs::path pdf = home_.scratch() / "out.pdf";
  auto exported = korvex({"export", document().string(), pdf.string()});
  EXPECT_EQ(exported.exitCode, 1) << "the PDF is incomplete: " << exported.out << exported.err;
  EXPECT_EQ(count(exported.err, "can't be drawn, left out"), undrawable()) << exported.err;
  EXPECT_EQ(count(exported.err, "\n"), undrawable()) << "one line per file and nothing from libraries:\n"
                                                     << exported.err;
  auto check = test::runProcess(tool("qpdf"), {"--check", pdf.string()});
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
  auto gs =
      test::runProcess(tool("gs"), {"-q", "-dSAFER", "-o", "/dev/null", "-sDEVICE=nullpage", pdf.string()});
  EXPECT_EQ(gs.exitCode, 0) << gs.out << gs.err;
  EXPECT_EQ(gs.out + gs.err, "");

  const auto images = listImages(pdf);
  for (std::size_t i = 0; i < cases_.size(); ++i) {
    const Picture& p = cases_[i];
    const int page = static_cast<int>(i) + 1;
    SCOPED_TRACE(p.name);
    if (!p.reason.empty()) {
      EXPECT_EQ(images.count(page), 0u);
      EXPECT_NE(exported.err.find(links().string() + "/" + p.name + ": can't be drawn"), std::string::npos);
      continue;
    }
    const Rendered rendered(pdf, page, home_.scratch());
    for (const auto& [point, colour] : p.samples) {
      const Rgb seen = rendered.at(point.first, point.second);
      EXPECT_TRUE(near(seen, colour, 8))
          << "at " << point.first << "," << point.second << ": " << seen.r << " " << seen.g << " " << seen.b;
    }
    if (p.width == 0) continue;  // PDF and EPS: drawn as vectors
    ASSERT_EQ(images.count(page), 1u);
    const ListedImage& image = images.find(page)->second;
    EXPECT_EQ(image.width, p.width);
    EXPECT_EQ(image.height, p.height);
    EXPECT_EQ(image.color, p.color);
    EXPECT_EQ(image.bpc, 8);
    EXPECT_EQ(image.enc, p.enc);
    EXPECT_EQ(image.xppi, p.ppi) << "placed at the file's own resolution";
    if (p.color == "cmyk") {
      // The ink values stay (Adobe's inverted samples read back through the Decode array): red is M and Y.
      auto ink = test::runProcess(
          tool("gs"), {"-q", "-dSAFER", "-o", "-", "-sDEVICE=inkcov", "-dFirstPage=" + std::to_string(page),
                       "-dLastPage=" + std::to_string(page), pdf.string()});
      std::istringstream coverage(ink.out);
      double c = -1, m = -1, y = -1, k = -1;
      coverage >> c >> m >> y >> k;
      EXPECT_LT(c, 0.01) << ink.out;
      EXPECT_GT(m, 0.05) << ink.out;
      EXPECT_GT(y, 0.05) << ink.out;
      EXPECT_LT(k, 0.01) << ink.out;
    }
  }

  // Print and preview report the same way.
  auto printed = korvex({"print", document().string(), "--to", (home_.scratch() / "out.ps").string()});
  EXPECT_EQ(printed.exitCode, 1);
  EXPECT_EQ(count(printed.err, "korvex: print: "), undrawable()) << printed.err;
  std::size_t garbagePage = 0;
  for (std::size_t i = 0; i < cases_.size(); ++i)
    if (cases_[i].name == "garbage.png") garbagePage = i + 1;
  auto preview = korvex({"preview", document().string(), (home_.scratch() / "p.jpg").string(), "--spread",
                         std::to_string(garbagePage)});
  EXPECT_EQ(preview.exitCode, 1);
  EXPECT_EQ(preview.err, "korvex: preview: " + (links() / "garbage.png").string() +
                             ": can't be drawn, left out: IHDR: CRC error\n");

  // doc check warns per file; preflight's "[Basic]" has a rule of its own.
  auto checked = korvex({"doc", "check", document().string()});
  EXPECT_EQ(checked.exitCode, 0);
  EXPECT_EQ(count(checked.out, ": can't be drawn: "), undrawable()) << checked.out;
  auto preflight = korvex({"preflight", document().string()});
  EXPECT_EQ(preflight.exitCode, 1);
  EXPECT_EQ(count(preflight.out, "Link can't be drawn: "), undrawable()) << preflight.out;

  // doc info tells what the host understood.
  auto info = korvex({"doc", "info", document().string(), "--json"});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  std::map<std::string, nlohmann::json> byName;
  const auto parsed = nlohmann::json::parse(info.out);
  for (const auto& link : parsed["links"])
    byName[fs::path(link["path"].get<std::string>()).filename().string()] = link;
  EXPECT_EQ(byName["exif6.jpg"]["orientation"], 6);
  EXPECT_EQ(byName["exif6.jpg"]["pixelWidth"], 40);
  EXPECT_EQ(byName["exif6.jpg"]["state"], "normal");
  EXPECT_EQ(byName["phys.png"]["resolution"], 150);
  EXPECT_EQ(byName["phys.png"]["effectiveResolution"], 150);
  EXPECT_EQ(byName["cmyk.jpg"]["colorSpace"], "CMYK");
  EXPECT_EQ(byName["lab.tif"]["colorSpace"], "Lab");
  EXPECT_EQ(byName["deep.tif"]["samples"], "16-bit");
  EXPECT_EQ(byName["float.tif"]["samples"], "32-bit float");
  EXPECT_EQ(byName["big.tif"]["format"], "tiff");
  EXPECT_EQ(byName["garbage.png"]["state"], "can't be drawn");
  EXPECT_FALSE(byName["garbage.png"]["reason"].get<std::string>().empty());
  EXPECT_EQ(byName["notes.bin"]["kind"], "image");
  auto text = korvex({"doc", "info", document().string()});
  EXPECT_NE(text.out.find("exif6.jpg: image (jpeg), 40 x 60 pixels, RGB 8-bit, 72 ppi, effective 72 ppi, "
                          "orientation 6, normal"),
            std::string::npos)
      << text.out;
}

TEST_F(Pictures, SmallestFileSizeResamplesAndConvertsToRgb) {
  const fs::path pdf = home_.scratch() / "small.pdf";
  auto exported = korvex({"export", document().string(), pdf.string(), "--style", "[Smallest File Size]"});
  EXPECT_EQ(exported.exitCode, 1) << exported.err;
  EXPECT_EQ(test::runProcess(tool("qpdf"), {"--check", pdf.string()}).exitCode, 0);
  const auto images = listImages(pdf);
  for (std::size_t i = 0; i < cases_.size(); ++i) {
    const int page = static_cast<int>(i) + 1;
    if (cases_[i].name == "exif300.jpg") {
      // 300 ppi above the 150 threshold: resampled by libvips to 100 ppi, still JPEG.
      ASSERT_EQ(images.count(page), 1u);
      EXPECT_EQ(images.find(page)->second.width, 20);
      EXPECT_EQ(images.find(page)->second.enc, "jpeg");
      EXPECT_EQ(images.find(page)->second.xppi, 100);
    }
    if (cases_[i].name == "cmyk.jpg") {
      ASSERT_EQ(images.count(page), 1u);
      EXPECT_EQ(images.find(page)->second.color, "rgb");
      const Rgb seen = Rendered(pdf, page, home_.scratch()).at(30, 20);
      EXPECT_GT(seen.r, 180);
      EXPECT_LT(seen.g, 90);
    }
  }
}

// A document that links damaged and unreadable files loads, exports what it
// can (the batch log names each file left out), saves and loads again.
TEST_F(Pictures, BatchLogsUndrawableFilesAndTheSavedDocumentOpens) {
  const fs::path chain = home_.scratch() / "chain.plist";
  test::writeFile(chain, R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><array>)"
                         R"(<dict><key>Action</key><string>PDF</string><key>Style</key>)"
                         R"(<string>[High Quality Print]</string></dict>)"
                         R"(<dict><key>Action</key><string>Save</string></dict></array></plist>)");
  // With the defaults the check before every action finds the undrawable links ("[Basic]") and skips.
  auto skipped = korvex({"run", "--chain", chain.string(), document().string()});
  EXPECT_EQ(skipped.exitCode, 0) << skipped.err;
  EXPECT_EQ(count(test::readFile(home_.documents() / "Tamrisk" / "Korvex.txt"), "\t\t####\tpreflight"), 2u);
  EXPECT_FALSE(fs::exists(home_.scratch() / "Pictures.pdf"));

  // A profile without the rule lets the actions run.
  test::writeFile(home_.dataHome() / "korvex-host/preflight-profiles/Loose.json",
                  R"({"undrawableLinks": false})");
  test::writeFile(
      home_.dataHome() / "Tamrisk/Korvex.plist",
      R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict><key>Options</key><dict>)"
      R"(<key>preflight</key><string>Loose</string></dict></dict></plist>)");
  const std::string before = test::readFile(document());
  auto result = korvex({"run", "--chain", chain.string(), document().string()});
  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
  const std::string log = test::readFile(home_.documents() / "Tamrisk" / "Korvex.txt");
  EXPECT_EQ(count(log, "\t####\tcan't be drawn: "), undrawable()) << log;
  EXPECT_NE(log.find("\t####\tcan't be drawn: " + (links() / "garbage.png").string() + " ("),
            std::string::npos)
      << log;
  EXPECT_TRUE(fs::exists(home_.scratch() / "Pictures.pdf"));
  EXPECT_NE(test::readFile(document()), before) << "saved";

  auto checked = korvex({"doc", "check", document().string()});
  EXPECT_EQ(checked.exitCode, 0) << checked.out << checked.err;
  EXPECT_EQ(count(checked.out, ": can't be drawn: "), undrawable()) << checked.out;
  // Placed sizes survived the save: the exported pictures are where they were.
  const fs::path again = home_.scratch() / "again.pdf";
  korvex({"export", document().string(), again.string()});
  std::size_t pictures = 0;
  for (const Picture& p : cases_) pictures += p.reason.empty() && p.width > 0 ? 1 : 0;
  EXPECT_EQ(listImages(again).size(), pictures);
}

}  // namespace
}  // namespace korvex
