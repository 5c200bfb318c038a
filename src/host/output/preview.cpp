#include "host/output/preview.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <jpeglib.h>
#include <mupdf/fitz.h>
}

#include "foundation/output_file.h"
#include "host/document.h"
#include "host/output/pdf_export.h"

namespace korvex {

namespace {

// MuPDF reports errors by longjmp: this function holds no object with a
// destructor, so nothing is skipped when it jumps.
struct RawPixmap {
  int width;
  int height;
  int stride;
  int components;
  unsigned char* samples;  // owned by pixmap
  fz_pixmap* pixmap;
};

int renderWithMuPdf(fz_context* ctx, const unsigned char* data, size_t size, int pageNumber, float scale,
                    RawPixmap* out, char* error, size_t errorSize) {
  fz_buffer* buffer = nullptr;
  fz_stream* stream = nullptr;
  fz_document* doc = nullptr;
  fz_page* page = nullptr;
  fz_pixmap* pixmap = nullptr;
  fz_var(buffer);
  fz_var(stream);
  fz_var(doc);
  fz_var(page);
  fz_var(pixmap);
  fz_try(ctx) {
    buffer = fz_new_buffer_from_copied_data(ctx, data, size);
    stream = fz_open_buffer(ctx, buffer);
    doc = fz_open_document_with_stream(ctx, "application/pdf", stream);
    if (pageNumber < 0 || pageNumber >= fz_count_pages(ctx, doc))
      fz_throw(ctx, FZ_ERROR_GENERIC, "no such page");
    page = fz_load_page(ctx, doc, pageNumber);
    pixmap = fz_new_pixmap_from_page(ctx, page, fz_scale(scale, scale), fz_device_rgb(ctx), 0);
  }
  fz_always(ctx) {
    fz_drop_page(ctx, page);
    fz_drop_document(ctx, doc);
    fz_drop_stream(ctx, stream);
    fz_drop_buffer(ctx, buffer);
  }
  fz_catch(ctx) {
    std::snprintf(error, errorSize, "%s", fz_caught_message(ctx));
    fz_drop_pixmap(ctx, pixmap);
    return 0;
  }
  out->pixmap = pixmap;
  out->width = fz_pixmap_width(ctx, pixmap);
  out->height = fz_pixmap_height(ctx, pixmap);
  out->stride = static_cast<int>(fz_pixmap_stride(ctx, pixmap));
  out->components = fz_pixmap_components(ctx, pixmap);
  out->samples = fz_pixmap_samples(ctx, pixmap);
  return 1;
}

// libjpeg's errors also leave by longjmp.
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void jpegErrorExit(j_common_ptr info) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  (*info->err->format_message)(info, errors->message);
  std::longjmp(errors->jump, 1);
}

int compressJpeg(const unsigned char* pixels, int width, int height, int quality, int density,
                 unsigned char** outData, unsigned long* outSize, char* error, size_t errorSize) {
  jpeg_compress_struct info;
  JpegErrors errors;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = jpegErrorExit;
  errors.message[0] = 0;
  if (setjmp(errors.jump)) {
    std::snprintf(error, errorSize, "%s", errors.message);
    jpeg_destroy_compress(&info);
    return 0;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, outData, outSize);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  // Placed at this density the preview covers what it shows.
  info.density_unit = 1;
  info.X_density = static_cast<UINT16>(density);
  info.Y_density = static_cast<UINT16>(density);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels + static_cast<size_t>(info.next_scanline) * width * 3);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return 1;
}

}  // namespace

ErrorCode rasterisePdfPage(const std::string& pdfBytes, int page, double resolution, RgbImage& image,
                           std::string* message) {
  fz_context* ctx = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
  if (!ctx) {
    if (message) *message = "MuPDF could not start";
    return kFailure;
  }
  fz_register_document_handlers(ctx);
  RawPixmap raw{};
  char error[256] = {0};
  const int ok =
      renderWithMuPdf(ctx, reinterpret_cast<const unsigned char*>(pdfBytes.data()), pdfBytes.size(), page,
                      static_cast<float>(resolution / 72.0), &raw, error, sizeof error);
  if (ok) {
    image.width = raw.width;
    image.height = raw.height;
    image.resolution = resolution;
    image.pixels.resize(static_cast<size_t>(raw.width) * raw.height * 3);
    for (int y = 0; y < raw.height; ++y) {
      const unsigned char* row = raw.samples + static_cast<size_t>(y) * raw.stride;
      unsigned char* to = image.pixels.data() + static_cast<size_t>(y) * raw.width * 3;
      if (raw.components == 3) {
        std::memcpy(to, row, static_cast<size_t>(raw.width) * 3);
      } else {
        for (int x = 0; x < raw.width; ++x)
          std::memcpy(to + x * 3, row + static_cast<size_t>(x) * raw.components, 3);
      }
    }
    fz_drop_pixmap(ctx, raw.pixmap);
  }
  fz_drop_context(ctx);
  if (!ok) {
    if (message) *message = std::string("the PDF could not be rendered: ") + error;
    return kFailure;
  }
  return kSuccess;
}

ErrorCode encodeJpeg(const RgbImage& image, int quality, std::string& bytes, std::string* message) {
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<size_t>(image.width) * image.height * 3) {
    if (message) *message = "empty image";
    return kInvalidParameterError;
  }
  unsigned char* data = nullptr;
  unsigned long size = 0;
  char error[JMSG_LENGTH_MAX] = {0};
  const int ok = compressJpeg(image.pixels.data(), image.width, image.height, std::clamp(quality, 1, 100),
                              static_cast<int>(std::lround(std::clamp(image.resolution, 1.0, 65535.0))),
                              &data, &size, error, sizeof error);
  if (ok) bytes.assign(reinterpret_cast<const char*>(data), size);
  std::free(data);
  if (!ok) {
    if (message) *message = std::string("JPEG encoding failed: ") + error;
    return kFailure;
  }
  return kSuccess;
}

PreviewResult writeSpreadPreview(const IDocument& document, int spreadIndex, double resolution, int quality,
                                 const std::string& jpegPath, OlderOutput older) {
  PreviewResult result;
  auto fail = [&](ErrorCode code, std::string message) {
    result.error = code;
    result.message = std::move(message);
    return result;
  };
  const ISpread* spread = spreadIndex >= 0 ? document.spreadAt(spreadIndex) : nullptr;
  if (!spread)
    return fail(kInvalidParameterError, "no spread " + std::to_string(spreadIndex + 1) +
                                            " (the document has " +
                                            std::to_string(document.GetSpreadCount()) + ")");
  if (ErrorCode refused = checkOutputPath(jpegPath, &result.message); refused != kSuccess) {
    result.error = refused;
    return result;
  }
  if (!std::isfinite(resolution)) resolution = kMinPreviewResolution;
  resolution = std::clamp(resolution, kMinPreviewResolution, kMaxPreviewResolution);

  // No bleed, no marks, no downsampling: the spread as it is, pictures at full resolution.
  PdfExportStyle style;
  style.name = "preview";
  style.exportSpreads = true;
  PdfExportRequest request;
  request.items = UIDList(document.GetDocDataBase());
  request.items.Append(spread->GetUID());
  request.spreads = true;
  std::string pdf;
  PdfExportResult exported = renderPdf(document, style, request, pdf);
  if (exported.error != kSuccess) return fail(exported.error, exported.message);
  result.undrawable = std::move(exported.undrawable);

  RgbImage image;
  std::string why;
  if (ErrorCode code = rasterisePdfPage(pdf, 0, resolution, image, &why); code != kSuccess)
    return fail(code, why);
  std::string jpeg;
  if (ErrorCode code = encodeJpeg(image, quality, jpeg, &why); code != kSuccess) return fail(code, why);
  if (Status written = writeOutputFile(jpegPath, jpeg, older); !written)
    return fail(kFileWriteError, written.message());
  result.width = image.width;
  result.height = image.height;
  return result;
}

}  // namespace korvex
