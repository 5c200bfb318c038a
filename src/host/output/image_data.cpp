#include "host/output/image_data.h"

#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

// jpeglib needs stdio first.
#include <jpeglib.h>

namespace korvex {

namespace {

bool fail(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void onJpegError(j_common_ptr info) {
  auto* error = reinterpret_cast<JpegError*>(info->err);
  (*info->err->format_message)(info, error->message);
  std::longjmp(error->jump, 1);
}

std::optional<std::vector<std::uint8_t>> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Header only: the size and components a JPEG will show, without decoding.
std::optional<ImageData> jpegHeader(std::vector<std::uint8_t> bytes, std::string* error) {
  jpeg_decompress_struct info{};
  JpegError jerr{};
  info.err = jpeg_std_error(&jerr.manager);
  jerr.manager.error_exit = onJpegError;
  if (setjmp(jerr.jump)) {
    jpeg_destroy_decompress(&info);
    fail(error, jerr.message);
    return std::nullopt;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), bytes.size());
  jpeg_read_header(&info, TRUE);
  ImageData image;
  image.width = static_cast<int>(info.image_width);
  image.height = static_cast<int>(info.image_height);
  image.components = info.num_components;
  image.invertedCmyk = info.num_components == 4 && info.saw_Adobe_marker;
  jpeg_destroy_decompress(&info);
  if (image.components != 1 && image.components != 3 && image.components != 4) {
    fail(error, "unsupported JPEG colour components");
    return std::nullopt;
  }
  image.jpeg = true;
  image.bytes = std::move(bytes);
  return image;
}

std::optional<ImageData> loadPng(const std::string& path, std::string* error) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    fail(error, png.message);
    return std::nullopt;
  }
  const bool grey = (png.format & PNG_FORMAT_FLAG_COLOR) == 0;
  png.format = grey ? PNG_FORMAT_GRAY : PNG_FORMAT_RGB;
  ImageData image;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.components = grey ? 1 : 3;
  image.bytes.resize(PNG_IMAGE_SIZE(png));
  png_color white{255, 255, 255};
  // Transparent pixels are composed onto the paper.
  if (!png_image_finish_read(&png, &white, image.bytes.data(), 0, nullptr)) {
    fail(error, png.message);
    png_image_free(&png);
    return std::nullopt;
  }
  return image;
}

struct TiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};

void quietTiff(const char*, const char*, va_list) {}

std::optional<ImageData> loadTiff(const std::string& path, std::string* error) {
  TIFFSetWarningHandler(quietTiff);
  TIFFSetErrorHandler(quietTiff);
  std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(path.c_str(), "r"));
  if (!tiff) {
    fail(error, "not a readable TIFF");
    return std::nullopt;
  }
  uint32_t width = 0, height = 0;
  uint16_t photometric = 0, samples = 1, bits = 8, planar = PLANARCONFIG_CONTIG;
  TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PLANARCONFIG, &planar);
  if (width == 0 || height == 0 || width > 65535 || height > 65535) {
    fail(error, "TIFF size out of range");
    return std::nullopt;
  }
  ImageData image;
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  // CMYK stays CMYK: prepress pictures must not pass through RGB.
  if (photometric == PHOTOMETRIC_SEPARATED && samples == 4 && bits == 8 && planar == PLANARCONFIG_CONTIG) {
    image.components = 4;
    image.bytes.resize(std::size_t(width) * height * 4);
    for (uint32_t row = 0; row < height; ++row) {
      if (TIFFReadScanline(tiff.get(), image.bytes.data() + std::size_t(row) * width * 4, row) < 0) {
        fail(error, "TIFF scanline can't be read");
        return std::nullopt;
      }
    }
    return image;
  }
  std::vector<uint32_t> rgba(std::size_t(width) * height);
  if (!TIFFReadRGBAImageOriented(tiff.get(), width, height, rgba.data(), ORIENTATION_TOPLEFT, 0)) {
    fail(error, "TIFF can't be decoded");
    return std::nullopt;
  }
  const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
  image.components = grey ? 1 : 3;
  image.bytes.reserve(rgba.size() * image.components);
  for (uint32_t pixel : rgba) {
    const unsigned a = TIFFGetA(pixel);
    auto over = [a](unsigned c) { return static_cast<std::uint8_t>((c * a + 255 * (255 - a)) / 255); };
    if (grey) {
      image.bytes.push_back(over(TIFFGetR(pixel)));
    } else {
      image.bytes.push_back(over(TIFFGetR(pixel)));
      image.bytes.push_back(over(TIFFGetG(pixel)));
      image.bytes.push_back(over(TIFFGetB(pixel)));
    }
  }
  return image;
}

}  // namespace

std::optional<ImageData> loadImageFile(const std::string& path, std::string* error) {
  auto bytes = readBytes(path);
  if (!bytes || bytes->size() < 8) {
    fail(error, "can't be read");
    return std::nullopt;
  }
  const auto& b = *bytes;
  if (b[0] == 0xFF && b[1] == 0xD8) return jpegHeader(std::move(*bytes), error);
  if (b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G') return loadPng(path, error);
  if ((b[0] == 'I' && b[1] == 'I') || (b[0] == 'M' && b[1] == 'M')) return loadTiff(path, error);
  fail(error, "not a JPEG, PNG or TIFF picture");
  return std::nullopt;
}

std::optional<ImageData> decodeJpeg(const std::vector<std::uint8_t>& jpeg, std::string* error) {
  jpeg_decompress_struct info{};
  JpegError jerr{};
  info.err = jpeg_std_error(&jerr.manager);
  jerr.manager.error_exit = onJpegError;
  ImageData image;  // filled before any longjmp can skip its destructor's use
  if (setjmp(jerr.jump)) {
    jpeg_destroy_decompress(&info);
    fail(error, jerr.message);
    return std::nullopt;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, jpeg.data(), jpeg.size());
  jpeg_read_header(&info, TRUE);
  const bool inverted = info.num_components == 4 && info.saw_Adobe_marker;
  jpeg_start_decompress(&info);
  image.width = static_cast<int>(info.output_width);
  image.height = static_cast<int>(info.output_height);
  image.components = info.output_components;
  image.bytes.resize(std::size_t(image.width) * image.height * image.components);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image.bytes.data() + std::size_t(info.output_scanline) * image.width * image.components;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  if (inverted)
    for (auto& v : image.bytes) v = static_cast<std::uint8_t>(255 - v);
  return image;
}

std::vector<std::uint8_t> encodeJpeg(const ImageData& raw, int quality) {
  jpeg_compress_struct info{};
  JpegError jerr{};
  info.err = jpeg_std_error(&jerr.manager);
  jerr.manager.error_exit = onJpegError;
  unsigned char* out = nullptr;
  unsigned long size = 0;
  std::vector<std::uint8_t> result;
  if (setjmp(jerr.jump)) {
    jpeg_destroy_compress(&info);
    std::free(out);
    return {};
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = static_cast<JDIMENSION>(raw.width);
  info.image_height = static_cast<JDIMENSION>(raw.height);
  info.input_components = raw.components;
  info.in_color_space = raw.components == 1 ? JCS_GRAYSCALE : raw.components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, std::clamp(quality, 1, 100), TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row =
        const_cast<JSAMPROW>(raw.bytes.data() + std::size_t(info.next_scanline) * raw.width * raw.components);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  result.assign(out, out + size);
  std::free(out);
  return result;
}

ImageData downsample(const ImageData& image, int targetWidth, int targetHeight, int quality) {
  if (targetWidth <= 0 || targetHeight <= 0 || targetWidth >= image.width || targetHeight >= image.height)
    return image;
  ImageData source = image;
  if (image.jpeg) {
    auto decoded = decodeJpeg(image.bytes);
    if (!decoded) return image;
    source = std::move(*decoded);
  }
  const int n = source.components;
  ImageData out;
  out.width = targetWidth;
  out.height = targetHeight;
  out.components = n;
  out.bytes.resize(std::size_t(targetWidth) * targetHeight * n);
  for (int y = 0; y < targetHeight; ++y) {
    const int y0 = int(std::int64_t(y) * source.height / targetHeight);
    const int y1 = std::max(y0 + 1, int(std::int64_t(y + 1) * source.height / targetHeight));
    for (int x = 0; x < targetWidth; ++x) {
      const int x0 = int(std::int64_t(x) * source.width / targetWidth);
      const int x1 = std::max(x0 + 1, int(std::int64_t(x + 1) * source.width / targetWidth));
      for (int c = 0; c < n; ++c) {
        unsigned sum = 0;
        for (int sy = y0; sy < y1; ++sy)
          for (int sx = x0; sx < x1; ++sx) sum += source.bytes[(std::size_t(sy) * source.width + sx) * n + c];
        out.bytes[(std::size_t(y) * targetWidth + x) * n + c] =
            static_cast<std::uint8_t>(sum / unsigned((y1 - y0) * (x1 - x0)));
      }
    }
  }
  if (image.jpeg) {
    // CMYK JPEGs go back in Adobe's inverted convention, as libjpeg marks them.
    if (n == 4)
      for (auto& v : out.bytes) v = static_cast<std::uint8_t>(255 - v);
    out.invertedCmyk = n == 4;
    out.bytes = encodeJpeg(out, quality);
    out.jpeg = !out.bytes.empty();
    if (!out.jpeg) return image;
  }
  return out;
}

}  // namespace korvex
