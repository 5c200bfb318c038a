#include "host/output/image_data.h"

#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>

// jpeglib needs stdio first.
#include <jpeglib.h>

#include "host/image_info.h"
#include "host/picture_decode.h"

namespace korvex {

namespace {

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

void onJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void quietJpeg(j_common_ptr, int) {}

// Whether a CMYK JPEG carries Adobe's marker, whose samples are stored inverted;
// libjpeg knows, libvips keeps it to itself.
bool hasAdobeMarker(const std::vector<std::uint8_t>& bytes) {
  jpeg_decompress_struct info{};
  JpegError jerr{};
  info.err = jpeg_std_error(&jerr.manager);
  jerr.manager.error_exit = onJpegError;
  jerr.manager.emit_message = quietJpeg;
  if (setjmp(jerr.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), bytes.size());
  jpeg_read_header(&info, TRUE);
  const bool adobe = info.saw_Adobe_marker;
  jpeg_destroy_decompress(&info);
  return adobe;
}

Result<std::vector<std::uint8_t>> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail(path + ": can't be read");
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

Result<std::vector<std::uint8_t>> jpegOf(VipsImage* image, int quality) {
  void* buffer = nullptr;
  std::size_t length = 0;
  if (vips_jpegsave_buffer(image, &buffer, &length, "Q", quality, "strip", TRUE, nullptr) != 0)
    return fail(takeVipsError("JPEG can't be encoded"));
  std::vector<std::uint8_t> bytes(static_cast<std::uint8_t*>(buffer),
                                  static_cast<std::uint8_t*>(buffer) + length);
  g_free(buffer);
  return bytes;
}

}  // namespace

Result<ImageData> loadImageFile(const std::string& path, const ImageLoadOptions& options) {
  auto header = readPictureHeader(path);
  if (!header) return header.failure();
  PictureDecodeOptions decode;
  decode.targetWidth = options.targetWidth;
  decode.targetHeight = options.targetHeight;
  decode.toRGB = options.toRGB;
  auto picture = openPicture(path, decode);
  if (!picture) return picture.failure();
  VipsImage* image = picture->get();
  ImageData out;
  out.width = image->Xsize;
  out.height = image->Ysize;
  out.components = image->Bands;
  const bool resampled = options.targetWidth > 0 && options.targetWidth < header->shownWidth();
  const bool converted = header->colorSpace == "CMYK" && options.toRGB;
  const bool keepsJpeg = header->format == "jpeg" && header->orientation == 1 && !resampled && !converted &&
                         !header->alpha &&
                         (header->bands == 1 || header->bands == 3 || header->bands == 4);
  if (keepsJpeg) {
    // Passed through only after every scan decoded without error.
    if (Status decoded = checkPictureDecodes(path); !decoded) return decoded.failure();
    auto bytes = readBytes(path);
    if (!bytes) return bytes.failure();
    out.bytes = std::move(*bytes);
    out.jpeg = true;
    out.invertedCmyk = out.components == 4 && hasAdobeMarker(out.bytes);
    return out;
  }
  // A JPEG whose samples change anyway stays JPEG; one only turned upright stays lossless.
  if (header->format == "jpeg" && (resampled || converted)) {
    auto bytes = jpegOf(image, options.jpegQuality);
    if (!bytes) return fail(path + ": " + bytes.message());
    out.bytes = std::move(*bytes);
    out.jpeg = true;
    out.invertedCmyk = out.components == 4 && hasAdobeMarker(out.bytes);
    return out;
  }
  std::size_t length = 0;
  void* memory = vips_image_write_to_memory(image, &length);
  if (!memory) return fail(path + ": " + takeVipsError("can't be decoded"));
  out.bytes.assign(static_cast<std::uint8_t*>(memory), static_cast<std::uint8_t*>(memory) + length);
  g_free(memory);
  return out;
}

std::vector<std::uint8_t> encodeJpeg(const ImageData& raw, int quality) {
  if (!ensureVips() || raw.jpeg || raw.width <= 0 || raw.height <= 0) return {};
  VipsImagePtr image(vips_image_new_from_memory(raw.bytes.data(), raw.bytes.size(), raw.width, raw.height,
                                                raw.components, VIPS_FORMAT_UCHAR));
  if (!image) {
    clearVipsMessages();
    return {};
  }
  image->Type = raw.components == 4   ? VIPS_INTERPRETATION_CMYK
                : raw.components == 1 ? VIPS_INTERPRETATION_B_W
                                      : VIPS_INTERPRETATION_sRGB;
  auto bytes = jpegOf(image.get(), quality);
  return bytes ? std::move(*bytes) : std::vector<std::uint8_t>{};
}

}  // namespace korvex
