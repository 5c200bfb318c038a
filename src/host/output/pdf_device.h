#pragma once

// The PDF writer as a render device (qpdf for the file's objects, content
// streams written here): colours stay in their model (DeviceCMYK,
// DeviceRGB, Lab, Separation with its alternate), fonts are embedded as
// subsets (Type 0 with Identity-H, ToUnicode for text extraction), JPEG
// pictures are passed through, other pictures compressed losslessly, pages
// of placed PDF files imported by qpdf as vector form objects. The output has
// no dates and a deterministic ID, so the same document always gives the same bytes.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/output/render_device.h"

namespace korvex {

struct PdfDocumentInfo {
  std::string title;
  std::string pdfVersion = "1.6";
};

class PdfDevice : public RenderDevice {
 public:
  explicit PdfDevice(PdfDocumentInfo info);
  ~PdfDevice() override;

  void beginPage(const OutputPage& page) override;
  void endPage() override;
  void save() override;
  void restore() override;
  void clip(const std::vector<Path>& paths, bool evenOdd) override;
  void fill(const Path& path, const Paint& paint) override;
  void stroke(const Path& path, const Paint& paint, PMReal width) override;
  void image(const ImageData& image, const PMRect& bounds, const PMMatrix& toPasteboard) override;
  bool keepsPictures() const override { return true; }
  Result<PlacedPdfPage> pdfPage(const std::string& path, int pageIndex, const PMRect& bounds,
                                const PMMatrix& toPasteboard) override;
  void glyphs(const GlyphRun& run, const Paint& paint, const PMMatrix& toPasteboard) override;

  int pageCount() const;
  // Embeds the fonts and gives the file's bytes; none with the reason when
  // anything failed on the way (the device is spent either way).
  std::optional<std::string> finish(std::string* error);
  // What writing found wrong in placed files (damage met only when their streams were read).
  const std::vector<std::string>& warnings() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// A number as content streams want it: fixed point, no trailing zeros.
std::string pdfNumber(double value);

}  // namespace korvex
