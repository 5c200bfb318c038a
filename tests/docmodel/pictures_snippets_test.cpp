#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "docmodel/adapter_fixture.h"
#include "docmodel/frame_content.h"
#include "docmodel/frames.h"
#include "docmodel/my_frame.h"
#include "docmodel/pictures.h"
#include "docmodel/snippets.h"
#include "host/host_test_support.h"
#include "host/vector_bounds.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

// An uncompressed 8-bit grey little-endian TIFF with the given resolution in pixels per inch.
std::string tiffBytes(int width, int height, int dpi) {
  std::string b = std::string("II*\0", 4);
  auto u16 = [&](int v) {
    b.push_back(static_cast<char>(v & 0xFF));
    b.push_back(static_cast<char>((v >> 8) & 0xFF));
  };
  auto u32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  u32(8);
  const int entries = 11;
  const std::uint32_t ifdEnd = 8 + 2 + entries * 12 + 4;
  const std::uint32_t resolutionAt = ifdEnd, pixelsAt = ifdEnd + 16;
  u16(entries);
  auto entry = [&](int tag, int type, std::uint32_t count, std::uint32_t value) {
    u16(tag);
    u16(type);
    u32(count);
    u32(value);
  };
  entry(256, 4, 1, static_cast<std::uint32_t>(width));
  entry(257, 4, 1, static_cast<std::uint32_t>(height));
  entry(258, 3, 1, 8);
  entry(259, 3, 1, 1);
  entry(262, 3, 1, 1);
  entry(273, 4, 1, pixelsAt);
  entry(277, 3, 1, 1);
  entry(278, 4, 1, static_cast<std::uint32_t>(height));
  entry(279, 4, 1, static_cast<std::uint32_t>(width * height));
  entry(282, 5, 1, resolutionAt);
  entry(296, 3, 1, 2);
  u32(0);
  u32(static_cast<std::uint32_t>(dpi));  // XResolution dpi / 1
  u32(1);
  u32(static_cast<std::uint32_t>(dpi));  // room for a YResolution
  u32(1);
  b += std::string(static_cast<std::size_t>(width * height), '\x80');
  return b;
}

// A one-page PDF whose page inherits a letter media box and has its own crop box.
std::string pdfBytes() {
  std::string b = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  auto object = [&](const std::string& body) {
    offsets.push_back(b.size());
    b += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
  };
  object("<< /Type /Catalog /Pages 2 0 R >>");
  object("<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 612 792] >>");
  object("<< /Type /Page /Parent 2 0 R /CropBox [10 20 210 120] >>");
  const std::size_t xref = b.size();
  b += "xref\n0 4\n0000000000 65535 f \n";
  for (std::size_t o : offsets) {
    char line[32];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", o);
    b += line;
  }
  b += "trailer\n<< /Size 4 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return b;
}

class Pictures : public test::LayoutTest {
 protected:
  void SetUp() override {
    LayoutTest::SetUp();
    openDocument(1);
  }
  std::string file(const std::string& name, const std::string& bytes) {
    const fs::path p = home.scratch() / name;
    test::writeFile(p, bytes);
    return p.string();
  }
  UIDRef place(const std::string& path, bool fit) {
    return placePicture(UIDRef(db, layer), path, PMRect{100, 100, 300, 250}, fit);
  }
  PMRect contentSize(const UIDRef& frame) {
    const PMRect b = boundsForFrame(getChildRef(frame));
    return {0, 0, b.width(), b.height()};
  }
};

TEST_F(Pictures, PlacingReadsThePicturesRealSize) {
  const UIDRef jpeg = place(file("a.jpg", test::jpegBytes(100, 50, 3)), false);
  ASSERT_TRUE(jpeg.isValid());
  EXPECT_EQ(boundsForFrame(jpeg), (PMRect{100, 100, 300, 250}))
      << "without fit the frame keeps the rectangle";
  EXPECT_EQ(contentSize(jpeg), (PMRect{0, 0, 100, 50}));
  EXPECT_EQ(boundsForFrame(getChildRef(jpeg)).left, 100) << "content at the frame's top-left corner";

  const UIDRef tiff = place(file("b.tif", tiffBytes(288, 144, 144)), true);
  ASSERT_TRUE(tiff.isValid());
  EXPECT_EQ(boundsForFrame(tiff), (PMRect{100, 100, 244, 172})) << "144 dpi: half the pixel count in points";

  const UIDRef png = place(file("c.png", test::pngBytes(30, 60, true)), true);
  EXPECT_EQ(boundsForFrame(png), (PMRect{100, 100, 130, 160}));

  const UIDRef pdf = place(file("d.pdf", pdfBytes()), true);
  ASSERT_TRUE(pdf.isValid());
  EXPECT_EQ(boundsForFrame(pdf), (PMRect{100, 100, 300, 200})) << "the crop box, not the media box";
  EXPECT_EQ(db->instantiate<PageItem>(getChildRef(pdf).GetUID())->GetClass(), ClassID::kPDFItem);

  const UIDRef eps = place(file("e.eps",
                                "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: (atend)\n%%EndComments\n"
                                "showpage\n%%Trailer\n%%BoundingBox: 0 0 80 40\n%%EOF\n"),
                           true);
  EXPECT_EQ(boundsForFrame(eps), (PMRect{100, 100, 180, 140}));
  EXPECT_EQ(epsBoundingBoxOfText("%!PS\n%%BoundingBox: 0 0 10 10\n%%HiResBoundingBox: 0 0 10.5 9.25\n"),
            (PMRect{0, 0, 10.5, 9.25}));
}

TEST_F(Pictures, FoldersMissingFilesAndBadLayersPlaceNothing) {
  const std::size_t before = doc->allPageItems().size();
  EXPECT_FALSE(place(home.scratch().string(), true).isValid());
  EXPECT_FALSE(place((home.scratch() / "missing.jpg").string(), true).isValid());
  EXPECT_FALSE(placePicture(UIDRef(db, doc->spreadAt(0)->GetUID()), file("x.png", test::pngBytes(2, 2, true)),
                            PMRect{0, 0, 10, 10}, false)
                   .isValid())
      << "a spread is no spread layer";
  // An existing file the host can't read: the place command fails and logs its code.
  EXPECT_FALSE(place(file("notes.txt", "plain text"), false).isValid());
  EXPECT_NE(logText().find("\t####\terr = "), std::string::npos);
  EXPECT_EQ(doc->allPageItems().size(), before) << "nothing left behind";
}

TEST_F(Pictures, ImportsAndThePlaceGun) {
  const std::string png = file("c.png", test::pngBytes(30, 60, true));
  const UID imported = importFile(db, png);
  ASSERT_NE(imported, kInvalidUID);
  EXPECT_TRUE(doc->allPageItems().empty()) << "nothing is placed on a page";
  EXPECT_EQ(boundsForFrame(UIDRef(db, imported)), (PMRect{0, 0, 30, 60}));
  EXPECT_EQ(importFile(db, (home.scratch() / "missing.png").string()), kInvalidUID);
  EXPECT_EQ(importFile(nullptr, png), kInvalidUID);

  const UIDRef gun = importFileWithPlaceGun(db, png);
  ASSERT_TRUE(gun.isValid());
  EXPECT_EQ(placeGun()->items().uids(), std::vector<UID>{gun.GetUID()});

  EXPECT_EQ(loadPlaceGun(UIDList(db)), 0);
  EXPECT_FALSE(placeGun()->isLoaded());
  EXPECT_EQ(loadPlaceGun(db, imported), 0);
  EXPECT_EQ(placeGun()->items().uids(), std::vector<UID>{imported});
  const std::string log = logText();
  EXPECT_NE(log.find("loadPlaceGun: 0\n"), std::string::npos);
  EXPECT_NE(log.find("loadPlaceGun: 1\n"), std::string::npos);
}

TEST_F(Pictures, DeletePageItemsAndLibraries) {
  const UIDRef frame(db, rect(*doc, layer, {0, 0, 10, 10}));
  deletePageItems(UIDList(frame));
  EXPECT_FALSE(db->exists(frame.GetUID()));
  EXPECT_TRUE(workspace().beeps() == 0);
  deletePageItems(UIDList(frame));
  EXPECT_EQ(workspace().beeps(), 1) << "a failed delete beeps";

  struct Names {
    std::vector<std::string> names;
    std::size_t stopAfter = 100;
  } seen;
  auto collect = [](ILibrary*, const std::string& name, void* data) {
    auto* s = static_cast<Names*>(data);
    s->names.push_back(name);
    return s->names.size() < s->stopAfter;
  };
  EXPECT_TRUE(EnumLibraries(collect, &seen)) << "no library service: nothing to walk";
  EXPECT_EQ(logText().find("libs:"), std::string::npos);

  LibraryService* service = installLibraryService();
  EXPECT_TRUE(EnumLibraries(collect, &seen));
  EXPECT_NE(logText().find("libs: 0\n"), std::string::npos);
  EXPECT_FALSE(service->openLibrary((home.scratch() / "none.indl").string()));
  service->openLibrary(file("Logos.indl", "lib"));
  service->openLibrary(file("Icons.v2.indl", "lib"));
  EXPECT_TRUE(EnumLibraries(collect, &seen));
  EXPECT_EQ(seen.names, (std::vector<std::string>{"Logos", "Icons.v2"}));
  seen = {{}, 1};
  EXPECT_FALSE(EnumLibraries(collect, &seen));
  EXPECT_EQ(seen.names.size(), 1u);
}

TEST_F(Pictures, SnippetRoundTrip) {
  doc->createColor("Spot Orange", ColorModel::Spot, ColorSpace::CMYK, {0, 0.5, 1, 0});
  const UIDRef box(db, rect(*doc, layer, {50, 60, 150, 110}));
  setFillColor(box, StringArg("Spot Orange"));
  setStrokeWidth(box, 2);
  setStringForKey(box, "Name", "Box & <Co>");
  const std::string png = file("pic.png", test::pngBytes(40, 20, false));
  const UIDRef picture = place(png, true);
  const UIDRef text(db, rect(*doc, layer, {0, 300, 100, 400}));
  ASSERT_EQ(doc->makeTextFrame(text.GetUID()), kSuccess);
  ITextModel* story = doc->story(storyForFrame(text).GetUID());
  story->Insert(0, "Grüße");
  const UID orange = doc->findSwatch("Spot Orange")->GetUID();
  story->ApplyAttributes(1, 2, {{AttributeClass::kTextColor, orange}, {AttributeClass::kPointSize, 14.0}});
  setNumberOfColumnsForFrame(text, 2, 8);
  const UIDRef group = groupFrames(box, picture);

  UIDList frames(group);
  frames.Append(text.GetUID());
  const std::string indd = (home.scratch() / "Box.indd").string();
  EXPECT_EQ(saveSnippetForFrames(doc, frames, indd), kSuccess);
  const fs::path snippet = home.scratch() / "Box.idms";
  ASSERT_TRUE(fs::exists(snippet)) << "the extension becomes idms";
  EXPECT_NE(test::readFile(snippet).find("<Document"), std::string::npos);

  // Into another document: same places, label, colour, link, text and columns.
  IDocument* other = newDoc(1);
  IDataBase* odb = other->GetDocDataBase();
  EXPECT_EQ(importSnippet(UIDRef(odb, other->GetUID()), snippet.string()), kSuccess);
  const std::vector<UID> items = other->spreadAt(0)->QueryLayer(other->layerList()[1])->children();
  ASSERT_EQ(items.size(), 2u);
  const UIDRef g(odb, items[0]), t(odb, items[1]);
  ASSERT_TRUE(isGroupFrame(g));
  const UIDList members = MyFrame(g).children();
  ASSERT_EQ(members.size(), 2u);
  const UIDRef newBox = members.GetRef(0), newPicture = members.GetRef(1);
  EXPECT_EQ(boundsForFrame(newBox), (PMRect{50, 60, 150, 110}));
  EXPECT_EQ(fillColorNameForFrame(newBox), "Spot Orange");
  EXPECT_EQ(other->findSwatch("Spot Orange")->model(), ColorModel::Spot);
  EXPECT_FLOAT_EQ(getStrokeWidth(newBox), 0) << "the stroke colour was None";
  EXPECT_EQ(stringForKey(newBox, "Name", std::nullopt), "Box & <Co>");
  EXPECT_EQ(boundsForFrame(newPicture), boundsForFrame(picture));
  EXPECT_EQ(pathForLink(linkForFrame(newPicture)), png);
  EXPECT_EQ(boundsForFrame(getChildRef(newPicture)), boundsForFrame(getChildRef(picture)));
  EXPECT_TRUE(isTextFrame(t));
  const ITextModel* copy = other->story(storyForFrame(t).GetUID());
  EXPECT_EQ(copy->text(), "Grüße");
  // Character attributes travel with the text, colours by name.
  const auto colour = copy->QueryRun(AttributeClass::kTextColor, 1);
  ASSERT_TRUE(colour);
  EXPECT_EQ(colour->length, 2);
  EXPECT_EQ(std::get<UID>(colour->value), other->findSwatch("Spot Orange")->GetUID());
  EXPECT_EQ(std::get<double>(copy->QueryRun(AttributeClass::kPointSize, 2)->value), 14.0);
  EXPECT_NE(copy->QueryRun(AttributeClass::kPointSize, 0)->value, AttributeValue(14.0));
  EXPECT_EQ(numberOfColumnsForFrame(t), 2);
  EXPECT_NE(logText().find("importSnippet: " + snippet.string() + "\n"), std::string::npos);

  // No document, or no file: 0 and nothing imported.
  EXPECT_EQ(importSnippet(UIDRef(), snippet.string()), 0);
  EXPECT_EQ(importSnippet(UIDRef(odb, other->GetUID()), (home.scratch() / "none.idms").string()), 0);
  EXPECT_EQ(other->spreadAt(0)->QueryLayer(other->layerList()[1])->children().size(), 2u);
  // A file that is no snippet is an error, logged.
  EXPECT_NE(importSnippet(UIDRef(odb, other->GetUID()), file("bad.idms", "not xml")), kSuccess);
  EXPECT_NE(logText().find("\t####\terr: "), std::string::npos);
  // An unwritable place gives 1.
  EXPECT_EQ(saveSnippetForFrames(doc, frames, (home.scratch() / "no/such/folder/x.indd").string()), 1);
}

}  // namespace
}  // namespace korvex
