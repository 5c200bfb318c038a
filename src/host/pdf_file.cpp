#include "host/pdf_file.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFLogger.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

namespace korvex {

namespace {

std::optional<PdfBox> boxOf(QPDFObjectHandle object) {
  if (!object.isRectangle()) return std::nullopt;
  const auto r = object.getArrayAsRectangle();
  PdfBox box{std::min(r.llx, r.urx), std::min(r.lly, r.ury), std::max(r.llx, r.urx), std::max(r.lly, r.ury)};
  if (!std::isfinite(box.left) || !std::isfinite(box.bottom) || !std::isfinite(box.right) ||
      !std::isfinite(box.top))
    return std::nullopt;
  return box;
}

}  // namespace

PMRect PdfPageArea::placedSize() const {
  const bool turned = rotate == 90 || rotate == 270;
  return {0, 0, turned ? box.height() : box.width(), turned ? box.width() : box.height()};
}

std::string pdfErrorReason(const std::exception& e) {
  if (const auto* q = dynamic_cast<const QPDFExc*>(&e)) {
    if (q->getErrorCode() == qpdf_e_password) return "is encrypted with a password";
    if (!q->getMessageDetail().empty()) return q->getMessageDetail();
  }
  return e.what();
}

PdfFile::PdfFile() : qpdf_(std::make_unique<QPDF>()) {}
PdfFile::~PdfFile() = default;

Result<std::unique_ptr<PdfFile>> PdfFile::open(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return fail("no such file");
  std::unique_ptr<PdfFile> file(new PdfFile);
  QPDF& q = *file->qpdf_;
  // qpdf's own voice goes nowhere; its warnings are kept and become our messages.
  auto quiet = QPDFLogger::create();
  quiet->setInfo(quiet->discard());
  quiet->setWarn(quiet->discard());
  quiet->setError(quiet->discard());
  q.setLogger(quiet);
  q.setSuppressWarnings(true);
  q.setAttemptRecovery(true);
  try {
    q.processFile(path.c_str(), "");
    file->pageCount_ = static_cast<int>(QPDFPageDocumentHelper(q).getAllPages().size());
  } catch (const std::exception& e) {
    const std::string reason = pdfErrorReason(e);
    const auto* refusal = dynamic_cast<const QPDFExc*>(&e);
    return fail(refusal && refusal->getErrorCode() == qpdf_e_password ? reason : "can't be read as PDF: " + reason);
  }
  if (auto said = file->takeWarnings(); !said.empty()) file->repair_ = said.front();
  if (file->pageCount_ == 0) return fail("has no pages");
  return file;
}

std::vector<std::string> PdfFile::takeWarnings() {
  std::vector<std::string> said;
  for (const QPDFExc& w : qpdf_->getWarnings())
    said.push_back(w.getMessageDetail().empty() ? std::string(w.what()) : w.getMessageDetail());
  return said;
}

Result<PdfPageArea> PdfFile::pageArea(int index) {
  if (index < 0 || index >= pageCount_) return fail("has no page " + std::to_string(index + 1));
  try {
    QPDFPageObjectHelper page = QPDFPageDocumentHelper(*qpdf_).getAllPages()[static_cast<std::size_t>(index)];
    auto media = boxOf(page.getMediaBox());
    if (!media || media->width() <= 0 || media->height() <= 0)
      return fail("page " + std::to_string(index + 1) + " has no valid media box");
    PdfPageArea area;
    area.box = *media;
    // A crop box reaching outside the media box is cut to it; one that misses it entirely is ignored.
    if (auto crop = boxOf(page.getAttribute("/CropBox", false))) {
      const PdfBox cut{std::max(crop->left, media->left), std::max(crop->bottom, media->bottom),
                       std::min(crop->right, media->right), std::min(crop->top, media->top)};
      if (cut.width() > 0 && cut.height() > 0) area.box = cut;
    }
    QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
    if (rotate.isInteger()) {
      const long long degrees = ((rotate.getIntValue() % 360) + 360) % 360;
      // Anything but a multiple of 90 is invalid, and readers show such pages upright.
      if (degrees % 90 == 0) area.rotate = static_cast<int>(degrees);
    }
    if (auto said = takeWarnings(); !said.empty() && repair_.empty()) repair_ = said.front();
    return area;
  } catch (const std::exception& e) {
    return fail("page " + std::to_string(index + 1) + " can't be read: " + pdfErrorReason(e));
  }
}

}  // namespace korvex
