#include <gtest/gtest.h>

#include <filesystem>

#include "host/host_test_support.h"
#include "host/image_info.h"
#include "host/interaction.h"
#include "host/place.h"
#include "host/session.h"
#include "host/vector_bounds.h"
#include "support/run_process.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

TEST(PlaceURI, RoundTripsPathsAndRefusesOthers) {
  const IDFile file("/tmp/Bilder & Fotos/Grüße 100%.jpg");
  const URI uri = URIUtils::IDFileToURI(file);
  EXPECT_EQ(uri.text(), "file:///tmp/Bilder%20%26%20Fotos/Gr%C3%BC%C3%9Fe%20100%25.jpg");
  EXPECT_EQ(URIUtils::URIToIDFile(uri), file);
  EXPECT_TRUE(URIUtils::URIToIDFile(URI("http://example.com/a.jpg")).empty());
  EXPECT_TRUE(URIUtils::URIToIDFile(URI("file:///tmp/a%00b")).empty()) << "no NUL inside a path";
  EXPECT_TRUE(URIUtils::URIToIDFile(URI("file:relative")).empty());
  EXPECT_TRUE(URIUtils::IDFileToURI(IDFile()).empty());
}

TEST(PlaceFitting, FillCoversTheFrameAndFitShowsAll) {
  test::TempHome home;
  const fs::path picture = home.scratch() / "wide.png";
  test::writeFile(picture, test::pngBytes(200, 100, false));
  auto doc = IDocument::createNew(test::setup(1));
  IDataBase* db = doc->GetDocDataBase();
  const UID layer = test::spreadLayer(*doc);
  UID frame = kInvalidUID;
  ASSERT_EQ(placeFileInRect(*doc, layer, {0, 0}, {100, 100}, URIUtils::IDFileToURI(IDFile(picture.string())),
                            &frame),
            kSuccess);
  const UID content = db->instantiate<SplineItem>(frame)->placedContentUID();
  const UIDList frames(UIDRef(db, frame));

  ASSERT_EQ(FrameContentFacade::FillFrameProp(frames), kSuccess);
  EXPECT_EQ(*doc->pathBounds(content), (PMRect{-50, 0, 150, 100}));
  ASSERT_EQ(FrameContentFacade::FitContentProp(frames), kSuccess);
  EXPECT_EQ(*doc->pathBounds(content), (PMRect{0, 25, 100, 75}));
  ASSERT_EQ(FrameContentFacade::FitFrameToContent(frames), kSuccess);
  EXPECT_EQ(*doc->pathBounds(frame), (PMRect{0, 25, 100, 75}));
  EXPECT_NE(FrameContentFacade::CenterContent(UIDList(UIDRef(db, layer))), kSuccess);
  EXPECT_NE(FrameContentFacade::FitContentToFrame(UIDList()), kSuccess);

  // Corners in either order; an empty rectangle places nothing.
  const std::size_t before = doc->allPageItems().size();
  EXPECT_NE(
      placeFileInRect(*doc, layer, {5, 5}, {5, 50}, URIUtils::IDFileToURI(IDFile(picture.string())), nullptr),
      kSuccess);
  EXPECT_EQ(doc->allPageItems().size(), before);
}

TEST(PlaceSizes, TiffResolutionAndDosEps) {
  test::TempHome home;
  // A TIFF by libvips with 100 pixels per centimetre.
  ASSERT_TRUE(ensureVips());
  VipsImage* black = nullptr;
  ASSERT_EQ(vips_black(&black, 254, 127, nullptr), 0);
  VipsImagePtr image(black);
  const fs::path tiffPath = home.scratch() / "cm.tif";
  fs::create_directories(home.scratch());
  ASSERT_EQ(vips_tiffsave(image.get(), tiffPath.c_str(), "xres", 10.0, "yres", 10.0, "resunit",
                          VIPS_FOREIGN_TIFF_RESUNIT_CM, nullptr),
            0);
  const auto attributes = readImageAttributes(tiffPath.string());
  ASSERT_TRUE(attributes);
  EXPECT_DOUBLE_EQ(attributes->resolution, 254);
  EXPECT_EQ(placedBoundsFor(*attributes), (PMRect{0, 0, 72, 36}));

  // A DOS EPS: binary header pointing at the PostScript section.
  const std::string ps = "%!PS-Adobe-3.0 EPSF-3.0\r%%BoundingBox: 10 10 110 60\r%%EndComments\r";
  std::string eps = "\xC5\xD0\xD3\xC6";
  auto le32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) eps.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  le32(30);
  le32(static_cast<std::uint32_t>(ps.size()));
  eps += std::string(18, '\0');
  eps += ps;
  const fs::path epsPath = home.scratch() / "dos.eps";
  test::writeFile(epsPath, eps);
  EXPECT_EQ(epsBoundingBoxSize(epsPath.string()), (PMRect{0, 0, 100, 50}));
  test::writeFile(epsPath, "%!PS\n%%BoundingBox: 0 0 0 0\n");
  EXPECT_EQ(epsBoundingBoxSize(epsPath.string()), std::nullopt);
  test::writeFile(home.scratch() / "broken.pdf", "%PDF-1.4\nnothing else");
  auto broken = pdfCropBoxSize((home.scratch() / "broken.pdf").string());
  ASSERT_FALSE(broken);
  EXPECT_NE(broken.message().find("can't be read as PDF"), std::string::npos) << broken.message();

  // A page turned by /Rotate is placed as it is shown; one with an empty user password opens.
  const fs::path program = home.scratch() / "wide.ps", wide = home.scratch() / "wide.pdf",
                 turned = home.scratch() / "turned.pdf", encrypted = home.scratch() / "encrypted.pdf";
  test::writeFile(program, "%!PS\n<< /PageSize [200 100] >> setpagedevice 0 0 10 10 rectfill showpage\n");
  ASSERT_EQ(test::runProcess("/usr/bin/gs", {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pdfwrite",
                                             "-sOutputFile=" + wide.string(), program.string()})
                .exitCode,
            0);
  ASSERT_EQ(test::runProcess("/usr/bin/qpdf", {"--rotate=+90", wide.string(), turned.string()}).exitCode, 0);
  ASSERT_EQ(test::runProcess("/usr/bin/qpdf", {"--encrypt", "", "o", "256", "--", wide.string(), encrypted.string()})
                .exitCode,
            0);
  auto size = pdfCropBoxSize(wide.string());
  ASSERT_TRUE(size) << size.message();
  EXPECT_EQ(*size, (PMRect{0, 0, 200, 100}));
  size = pdfCropBoxSize(turned.string());
  ASSERT_TRUE(size) << size.message();
  EXPECT_EQ(*size, (PMRect{0, 0, 100, 200}));
  size = pdfCropBoxSize(encrypted.string());
  ASSERT_TRUE(size) << size.message();
  EXPECT_EQ(*size, (PMRect{0, 0, 200, 100}));
}

TEST(Interaction, ActionsPlaceGunAndSelection) {
  resetExecutionContextSession();
  int runs = 0;
  actionManager()->registerAction(42, [&](const ActiveContext&) { ++runs; });
  EXPECT_FALSE(actionManager()->performAction(7, ActiveContext{}, {-32767, -32767}, 0));
  EXPECT_TRUE(actionManager()->performAction(42, ActiveContext{}, {-32767, -32767}, 0));
  EXPECT_EQ(runs, 1);

  EXPECT_EQ(activeSelection(), nullptr) << "no document, no active context";
  IDocument* doc = GetExecutionContextSession()->application()->newDocument(test::setup(1), false);
  IDataBase* db = doc->GetDocDataBase();
  const UID a = doc->createRectangle(test::spreadLayer(*doc), {0, 0, 10, 10})->GetUID();
  ActiveSelection* selection = activeSelection();
  ASSERT_NE(selection, nullptr);
  UIDList list(UIDRef(db, a));
  list.Append(doc->pageAt(0)->GetUID());
  EXPECT_NE(selection->select(list, SelectionScroll::None), kSuccess) << "pages are not page items";
  EXPECT_TRUE(selection->selectedItems().empty());
  EXPECT_EQ(selection->select(UIDList(UIDRef(db, a)), SelectionScroll::None), kSuccess);
  doc->deleteItems(UIDList(UIDRef(db, a)));
  EXPECT_TRUE(selection->selectedItems().empty()) << "deleted items drop out";

  placeGun()->load(UIDList(UIDRef(db, 5)), true);
  placeGun()->load(UIDList(UIDRef(db, 6)), false);
  EXPECT_EQ(placeGun()->items().uids(), (std::vector<UID>{5, 6}));
  placeGun()->load(UIDList(UIDRef(db, 7)), true);
  EXPECT_EQ(placeGun()->items().uids(), std::vector<UID>{7});
  resetExecutionContextSession();
  EXPECT_FALSE(placeGun()->isLoaded());
  EXPECT_FALSE(actionManager()->isKnown(42));
}

}  // namespace
}  // namespace korvex
