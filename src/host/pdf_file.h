#pragma once

// A placed PDF file as qpdf reads it: a damaged cross-reference table is
// rebuilt, a file encrypted with an empty user password is opened, and
// nothing is printed; what qpdf had to say is kept for the caller. A page's
// placed area is its crop box clipped to its media box, turned by /Rotate.

#include <memory>
#include <string>
#include <vector>

#include "foundation/result.h"
#include "host/host_types.h"

class QPDF;

namespace korvex {

// A box in the file's own user space (y up).
struct PdfBox {
  double left = 0, bottom = 0, right = 0, top = 0;
  double width() const { return right - left; }
  double height() const { return top - bottom; }
};

struct PdfPageArea {
  PdfBox box;       // the crop box, clipped to the media box
  int rotate = 0;   // 0, 90, 180 or 270, clockwise as the page is shown
  // The size as the page is shown, rotation applied: what placing it gives.
  PMRect placedSize() const;
};

class PdfFile {
 public:
  // Fails with the reason (not the path: the caller names the file it placed).
  static Result<std::unique_ptr<PdfFile>> open(const std::string& path);
  ~PdfFile();
  PdfFile(const PdfFile&) = delete;
  PdfFile& operator=(const PdfFile&) = delete;

  int pageCount() const { return pageCount_; }
  Result<PdfPageArea> pageArea(int index);
  // What qpdf had to repair to open the file (its first complaint); empty for a sound file.
  const std::string& repair() const { return repair_; }
  // What qpdf said since the last call: reading streams late can find more damage.
  std::vector<std::string> takeWarnings();

  QPDF& qpdf() { return *qpdf_; }

 private:
  PdfFile();
  std::unique_ptr<QPDF> qpdf_;
  int pageCount_ = 0;
  std::string repair_;
};

// qpdf's exception text without the file name and offset it starts with.
std::string pdfErrorReason(const std::exception& e);

}  // namespace korvex
