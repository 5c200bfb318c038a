#pragma once

// Spread previews: one spread rendered at a resolution with its graphics at
// full resolution (the host's PDF of the spread rasterised by MuPDF), written
// as a JPEG file.

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/output_file.h"
#include "host/host_types.h"
#include "host/output/page_renderer.h"

namespace korvex {

class IDocument;

inline constexpr double kMinPreviewResolution = 72;
inline constexpr double kMaxPreviewResolution = 600;

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // rows of width × 3 bytes, top down
  double resolution = 72;            // pixels per inch, written into the JPEG
};

struct PreviewResult {
  ErrorCode error = kSuccess;
  std::string message;  // why it failed, one line
  int width = 0;        // pixels
  int height = 0;
  std::vector<UndrawableFile> undrawable;  // linked files drawn without
};

// Renders the spread (index from 0) at the resolution, clamped to 72…600
// pixels per inch, and writes it to jpegPath (atomically) at the JPEG quality (1…100).
// A path that is not a file, or is an open document, is refused.
PreviewResult writeSpreadPreview(const IDocument& document, int spreadIndex, double resolution, int quality,
                                 const std::string& jpegPath, OlderOutput older = OlderOutput::replace);

// Rasterises one page (from 0) of a PDF in RGB without alpha.
ErrorCode rasterisePdfPage(const std::string& pdfBytes, int page, double resolution, RgbImage& image,
                           std::string* message);

// Baseline JPEG bytes of the image (libjpeg-turbo).
ErrorCode encodeJpeg(const RgbImage& image, int quality, std::string& bytes, std::string* message);

}  // namespace korvex
