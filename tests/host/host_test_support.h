#pragma once

// Small builders shared by the host tests.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/document.h"
#include "host/vips_support.h"
#include "support/temp_home.h"

namespace korvex::test {

inline DocumentSetup setup(int pages, std::vector<std::string> layers = {"Layer 1"}, bool facing = false) {
  DocumentSetup s;
  s.pages = pages;
  s.layers = std::move(layers);
  s.facingPages = facing;
  return s;
}

// Pictures encoded by libvips (a black image of that size): a PNG in grey or
// RGB, a JPEG with 1, 3 or 4 (CMYK) components at 72 ppi.
inline std::string vipsEncoded(int width, int height, int bands, const char* format) {
  if (!ensureVips()) return {};
  VipsImage* black = nullptr;
  if (vips_black(&black, width, height, "bands", bands, nullptr) != 0) return {};
  VipsImagePtr image(black);
  VipsImage* typed = nullptr;
  const VipsInterpretation type = bands == 1   ? VIPS_INTERPRETATION_B_W
                                  : bands == 4 ? VIPS_INTERPRETATION_CMYK
                                               : VIPS_INTERPRETATION_sRGB;
  if (vips_copy(image.get(), &typed, "interpretation", type, "format", VIPS_FORMAT_UCHAR, "xres", 72 / 25.4,
                "yres", 72 / 25.4, nullptr) != 0)
    return {};
  image.reset(typed);
  VipsImage* cast = nullptr;
  if (vips_cast(image.get(), &cast, VIPS_FORMAT_UCHAR, nullptr) != 0) return {};
  image.reset(cast);
  void* buffer = nullptr;
  std::size_t length = 0;
  if (vips_image_write_to_buffer(image.get(), format, &buffer, &length, nullptr) != 0) return {};
  std::string bytes(static_cast<const char*>(buffer), length);
  g_free(buffer);
  return bytes;
}

inline std::string pngBytes(int width, int height, bool grey) {
  return vipsEncoded(width, height, grey ? 1 : 3, ".png");
}

inline std::string jpegBytes(int width, int height, int components) {
  return vipsEncoded(width, height, components, ".jpg");
}

// The spread layer of the document layer at layerIndex (0: the pages layer) on
// the spread at spreadIndex; by default the first content layer of the first spread.
inline UID spreadLayer(const IDocument& doc, int layerIndex = 1, int spreadIndex = 0) {
  return doc.spreadAt(spreadIndex)
      ->QueryLayer(doc.layerList()[static_cast<std::size_t>(layerIndex)])
      ->GetUID();
}

}  // namespace korvex::test
