#pragma once

// A placed picture as the host draws it, built lazily by libvips: the
// orientation applied, transparency composed onto white, every sample depth
// brought to 8 bits in grey, RGB or CMYK, resampled when asked.

#include <string>

#include "foundation/result.h"
#include "host/vips_support.h"

namespace korvex {

struct PictureDecodeOptions {
  // Resampled (libvips' Lanczos kernel) to about this size when smaller than the picture; 0 keeps it.
  int targetWidth = 0;
  int targetHeight = 0;
  // CMYK pictures become RGB.
  bool toRGB = false;
};

// The pipeline over the file; nothing is decoded until pixels are asked for,
// and a decoding error (a damaged or cut file) fails that request.
Result<VipsImagePtr> openPicture(const std::string& path, const PictureDecodeOptions& options = {});

// Decodes the whole picture through the pipeline without keeping its pixels.
Status checkPictureDecodes(const std::string& path);

}  // namespace korvex
