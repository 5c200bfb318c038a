#pragma once

// Pictures as the output devices take them: a JPEG file's bytes passed
// through as they are, or decoded 8-bit samples (grey, RGB or CMYK) that a
// device compresses losslessly. Downsampling per the export style.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvex {

struct ImageData {
  int width = 0;
  int height = 0;
  int components = 0;         // 1 grey, 3 RGB, 4 CMYK
  bool jpeg = false;          // bytes are a whole JPEG file, else raw samples row by row
  bool invertedCmyk = false;  // Adobe's CMYK JPEGs store inverted samples
  std::vector<std::uint8_t> bytes;
};

// JPEG kept as is; PNG and TIFF decoded (transparency composed onto white).
// None when the file can't be read; the reason goes to error.
std::optional<ImageData> loadImageFile(const std::string& path, std::string* error = nullptr);
std::optional<ImageData> decodeJpeg(const std::vector<std::uint8_t>& jpeg, std::string* error = nullptr);
std::vector<std::uint8_t> encodeJpeg(const ImageData& raw, int quality);

// The picture scaled down by a whole-pixel box filter so that it has about
// targetWidth × targetHeight pixels; a JPEG is decoded and re-encoded at quality.
ImageData downsample(const ImageData& image, int targetWidth, int targetHeight, int quality);

}  // namespace korvex
