#pragma once

// Pictures as the output devices take them: a JPEG file's bytes passed
// through as they are, or 8-bit samples (grey, RGB or CMYK) that a device
// compresses losslessly; resampled JPEGs stay JPEG.

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/result.h"

namespace korvex {

struct ImageData {
  int width = 0;
  int height = 0;
  int components = 0;         // 1 grey, 3 RGB, 4 CMYK
  bool jpeg = false;          // bytes are a whole JPEG file, else raw samples row by row
  bool invertedCmyk = false;  // Adobe's CMYK JPEGs store inverted samples
  std::vector<std::uint8_t> bytes;
};

struct ImageLoadOptions {
  // About this many pixels when fewer than the picture has; 0 keeps every pixel.
  int targetWidth = 0;
  int targetHeight = 0;
  int jpegQuality = 90;
  bool toRGB = false;  // CMYK pictures become RGB
};

// Any picture libvips reads, upright and composed onto white. An upright JPEG
// that needs no change keeps its bytes once it decoded without error; a
// resampled JPEG is encoded again at the quality. The failure says why the
// file can't be drawn.
Result<ImageData> loadImageFile(const std::string& path, const ImageLoadOptions& options = {});
// Raw 8-bit samples as a JPEG file at quality (1–100).
std::vector<std::uint8_t> encodeJpeg(const ImageData& raw, int quality);

}  // namespace korvex
