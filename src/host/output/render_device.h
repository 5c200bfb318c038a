#pragma once

// What a page renderer draws into. Coordinates are the pasteboard's (points,
// y down); a device maps them onto its own page. The PDF writer is one
// device; a raster preview can be another.

#include <string>

#include "foundation/result.h"
#include "host/geometry.h"
#include "host/output/composer.h"
#include "host/output/image_data.h"
#include "host/output/paint.h"

namespace korvex {

struct OutputPage {
  PMRect trim;  // the page (or spread) in pasteboard coordinates
  PMReal bleed = 0;
  bool cropMarks = false;
  std::string label;
};

// A placed page that was drawn; a damaged file may have needed repairs to get there.
struct PlacedPdfPage {
  std::string repair;  // what was wrong with the file, empty when nothing was
};

class RenderDevice {
 public:
  virtual ~RenderDevice() = default;
  virtual void beginPage(const OutputPage& page) = 0;
  virtual void endPage() = 0;

  virtual void save() = 0;
  virtual void restore() = 0;
  // Intersects the clip with the paths (even-odd when asked).
  virtual void clip(const std::vector<Path>& paths, bool evenOdd) = 0;
  virtual void fill(const Path& path, const Paint& paint) = 0;
  virtual void stroke(const Path& path, const Paint& paint, PMReal width) = 0;
  // The picture fills the rectangle of its bounds under the transform.
  virtual void image(const ImageData& image, const PMRect& bounds, const PMMatrix& toPasteboard) = 0;
  // Whether the device keeps its own encoded copy of a picture it was given,
  // found again by the ImageData's address: the caller may then free the samples.
  virtual bool keepsPictures() const { return false; }
  // Page pageIndex of a PDF file, its crop box turned by its /Rotate and scaled onto bounds.
  // Fails with the reason, without the path (the caller names the file it placed).
  virtual Result<PlacedPdfPage> pdfPage(const std::string& path, int pageIndex, const PMRect& bounds,
                                        const PMMatrix& toPasteboard) = 0;
  // Glyphs in frame coordinates under the frame's transform.
  virtual void glyphs(const GlyphRun& run, const Paint& paint, const PMMatrix& toPasteboard) = 0;
};

}  // namespace korvex
