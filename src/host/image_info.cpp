#include "host/image_info.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace korvex {

namespace {

std::vector<std::uint8_t> readHead(const std::string& path, std::size_t limit) {
  // Only regular files: a device or a pipe could block or never end.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return {};
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(limit);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(limit));
  bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return bytes;
}

std::uint32_t be16(const std::vector<std::uint8_t>& b, std::size_t i) {
  return (std::uint32_t{b[i]} << 8) | b[i + 1];
}
std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t i) {
  return (be16(b, i) << 16) | be16(b, i + 2);
}

std::optional<ImageAttributes> jpegAttributes(const std::string& path) {
  const auto b = readHead(path, 1 << 20);
  ImageAttributes a;
  std::size_t i = 2;
  while (i + 4 <= b.size()) {
    if (b[i] != 0xFF) return std::nullopt;
    const std::uint8_t marker = b[i + 1];
    if (marker == 0xFF) {
      ++i;
      continue;
    }
    const std::size_t length = be16(b, i + 2);
    if (marker == 0xE0 && i + 18 <= b.size() &&
        std::equal(b.begin() + static_cast<long>(i) + 4, b.begin() + static_cast<long>(i) + 9, "JFIF")) {
      const std::uint32_t unit = b[i + 11], x = be16(b, i + 12);
      if (unit == 1 && x > 0) a.resolution = x;
      if (unit == 2 && x > 0) a.resolution = x * 2.54;
    }
    // Start-of-frame markers (not DHT, JPG or DAC) carry size and component count.
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      if (i + 10 > b.size()) return std::nullopt;
      a.pixelHeight = static_cast<int>(be16(b, i + 5));
      a.pixelWidth = static_cast<int>(be16(b, i + 7));
      a.colorSpace = b[i + 9] == 1 ? ImageColorSpace::Grey : ImageColorSpace::Colour;
      return a;
    }
    i += 2 + length;
  }
  return std::nullopt;
}

std::optional<ImageAttributes> pngAttributes(const std::string& path) {
  const auto b = readHead(path, 33);
  if (b.size() < 26) return std::nullopt;
  ImageAttributes a;
  a.pixelWidth = static_cast<int>(be32(b, 16));
  a.pixelHeight = static_cast<int>(be32(b, 20));
  const std::uint8_t type = b[25];
  // Colour types 0 (grey) and 4 (grey with alpha); a palette counts as colour.
  a.colorSpace = type == 0 || type == 4 ? ImageColorSpace::Grey : ImageColorSpace::Colour;
  return a;
}

std::optional<ImageAttributes> tiffAttributes(const std::string& path) {
  const auto b = readHead(path, 1 << 20);
  if (b.size() < 8) return std::nullopt;
  const bool little = b[0] == 'I';
  auto u16 = [&](std::size_t i) -> std::uint32_t {
    if (i + 2 > b.size()) return 0;
    return little ? (std::uint32_t{b[i + 1]} << 8 | b[i]) : be16(b, i);
  };
  auto u32 = [&](std::size_t i) -> std::uint32_t {
    if (i + 4 > b.size()) return 0;
    return little ? (u16(i + 2) << 16 | u16(i)) : be32(b, i);
  };
  const std::size_t ifd = u32(4);
  const std::uint32_t count = u16(ifd);
  if (ifd == 0 || ifd + 2 + count * 12 > b.size()) return std::nullopt;
  ImageAttributes a;
  std::uint32_t photometric = 2;
  double xResolution = 0;
  std::uint32_t resolutionUnit = 2;  // inches unless the file says otherwise
  for (std::uint32_t e = 0; e < count; ++e) {
    const std::size_t at = ifd + 2 + e * 12;
    const std::uint32_t tag = u16(at), type = u16(at + 2);
    const std::uint32_t value = type == 3 ? u16(at + 8) : u32(at + 8);
    if (tag == 256) a.pixelWidth = static_cast<int>(value);
    if (tag == 257) a.pixelHeight = static_cast<int>(value);
    if (tag == 262) photometric = value;
    // XResolution is a rational stored at an offset.
    if (tag == 282 && type == 5) {
      const std::uint32_t num = u32(value), den = u32(value + 4);
      if (num > 0 && den > 0) xResolution = static_cast<double>(num) / den;
    }
    if (tag == 296) resolutionUnit = value;
  }
  a.colorSpace = photometric <= 1 ? ImageColorSpace::Grey : ImageColorSpace::Colour;
  if (xResolution > 0 && resolutionUnit == 2) a.resolution = xResolution;
  if (xResolution > 0 && resolutionUnit == 3) a.resolution = xResolution * 2.54;
  return a;
}

std::string extensionOf(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

}  // namespace

PlacedFileKind placedFileKind(const std::string& path) {
  const auto b = readHead(path, 8);
  if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return PlacedFileKind::Image;
  if (b.size() >= 8 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G')
    return PlacedFileKind::Image;
  if (b.size() >= 4 &&
      ((b[0] == 'I' && b[1] == 'I' && b[2] == 42) || (b[0] == 'M' && b[1] == 'M' && b[3] == 42)))
    return PlacedFileKind::Image;
  if (b.size() >= 5 && std::equal(b.begin(), b.begin() + 5, "%PDF-")) return PlacedFileKind::PDF;
  if (b.size() >= 4 && std::equal(b.begin(), b.begin() + 4, "%!PS")) return PlacedFileKind::EPS;
  if (b.size() >= 4 && b[0] == 0xC5 && b[1] == 0xD0 && b[2] == 0xD3 && b[3] == 0xC6)
    return PlacedFileKind::EPS;
  // A file that is not there yet is judged by its name.
  if (b.empty()) {
    const std::string ext = extensionOf(path);
    if (ext == ".jpg" || ext == ".jpeg" || ext == ".png" || ext == ".tif" || ext == ".tiff" || ext == ".psd")
      return PlacedFileKind::Image;
    if (ext == ".pdf" || ext == ".ai") return PlacedFileKind::PDF;
    if (ext == ".eps") return PlacedFileKind::EPS;
  }
  return PlacedFileKind::Unknown;
}

ClassID classForPlacedFile(PlacedFileKind kind) {
  switch (kind) {
    case PlacedFileKind::PDF: return ClassID::kPDFItem;
    case PlacedFileKind::EPS: return ClassID::kEPSItem;
    default: return ClassID::kImageItem;
  }
}

std::optional<ImageAttributes> readImageAttributes(const std::string& path) {
  const auto b = readHead(path, 4);
  if (b.size() < 4) return std::nullopt;
  std::optional<ImageAttributes> a;
  if (b[0] == 0xFF && b[1] == 0xD8)
    a = jpegAttributes(path);
  else if (b[0] == 0x89 && b[1] == 'P')
    a = pngAttributes(path);
  else if ((b[0] == 'I' && b[1] == 'I') || (b[0] == 'M' && b[1] == 'M'))
    a = tiffAttributes(path);
  if (a && (a->pixelWidth <= 0 || a->pixelHeight <= 0)) return std::nullopt;
  return a;
}

PMRect placedBoundsFor(const ImageAttributes& a) {
  const PMReal dpi = a.resolution > 0 ? a.resolution : 72;
  return {0, 0, a.pixelWidth * 72.0 / dpi, a.pixelHeight * 72.0 / dpi};
}

}  // namespace korvex
