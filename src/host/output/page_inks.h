#pragma once

// Which inks the first page of a PDF puts on paper: the page drawn by MuPDF
// into a CMYK bitmap at one pixel per point, then scanned for cyan, magenta
// or yellow.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace korvex {

enum class PageInks { unreadable, blackOnly, colour };

// Larger pages are drawn scaled down to this many pixels (100 MB of CMYK):
// a 1 m × 1 m page at one pixel per point is about 8 megapixels.
inline constexpr std::int64_t kMaxInkScanPixels = 25'000'000;

struct PageInkScan {
  PageInks inks = PageInks::unreadable;
  int width = 0;  // of the bitmap drawn, pixels
  int height = 0;
  bool iccProfileUsed = false;
  std::string message;  // why it is unreadable
};

// Chooses the CMYK output profile (its bytes) to draw in from the text of the
// document catalog's metadata stream (empty when there is none); none draws
// in device CMYK.
using InkProfileChooser = std::function<std::optional<std::string>(const std::string& xmp)>;

// Page 1's crop box, as MuPDF bounds it, sets the bitmap: normalised, truncated
// to whole points, scaled down above maxPixels. An empty box draws nothing and
// is black only. Gray and RGB colours are converted into the chosen profile
// with lcms2 (relative colorimetric); CMYK colours pass as they are.
PageInkScan scanFirstPageInks(const std::string& pdfBytes, const InkProfileChooser& chooseProfile,
                              std::int64_t maxPixels = kMaxInkScanPixels);

}  // namespace korvex
