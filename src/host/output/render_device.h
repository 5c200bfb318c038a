#pragma once

// What a page renderer draws into. Coordinates are the pasteboard's (points,
// y down); a device maps them onto its own page. The PDF writer is one
// device; a raster preview can be another.

#include <string>

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
  // Page pageIndex of a PDF file, its crop box scaled onto bounds.
  // False when the file can't be used (the caller draws a placeholder).
  virtual bool pdfPage(const std::string& path, int pageIndex, const PMRect& bounds,
                       const PMMatrix& toPasteboard) = 0;
  // Glyphs in frame coordinates under the frame's transform.
  virtual void glyphs(const GlyphRun& run, const Paint& paint, const PMMatrix& toPasteboard) = 0;
};

}  // namespace korvex
