#include "host/vector_bounds.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "host/pdf_file.h"

namespace korvex {

Result<PMRect> pdfCropBoxSize(const std::string& path) {
  auto file = PdfFile::open(path);
  if (!file) return file.failure();
  auto area = (*file)->pageArea(0);
  if (!area) return area.failure();
  return area->placedSize();
}

namespace {

std::optional<PMRect> boxOfLine(const std::string& rest) {
  std::istringstream in(rest);
  double llx, lly, urx, ury;
  if (!(in >> llx >> lly >> urx >> ury)) return std::nullopt;
  if (urx <= llx || ury <= lly) return std::nullopt;
  return PMRect{0, 0, urx - llx, ury - lly};
}

}  // namespace

std::optional<PMRect> epsBoundingBoxOfText(const std::string& text) {
  std::optional<PMRect> plain, hires;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // A header written with old Mac line ends is one "line": split at CR as well.
    std::istringstream parts(line);
    std::string part;
    while (std::getline(parts, part, '\r')) {
      static const std::string kBox = "%%BoundingBox:", kHiRes = "%%HiResBoundingBox:";
      if (part.rfind(kHiRes, 0) == 0) {
        if (auto b = boxOfLine(part.substr(kHiRes.size()))) hires = b;
      } else if (part.rfind(kBox, 0) == 0) {
        // "(atend)" gives nothing here; the trailer's line comes later and counts.
        if (auto b = boxOfLine(part.substr(kBox.size()))) plain = b;
      }
    }
  }
  return hires ? hires : plain;
}

std::optional<PMRect> epsBoundingBoxSize(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() >= 12 && static_cast<unsigned char>(bytes[0]) == 0xC5 &&
      static_cast<unsigned char>(bytes[1]) == 0xD0 && static_cast<unsigned char>(bytes[2]) == 0xD3 &&
      static_cast<unsigned char>(bytes[3]) == 0xC6) {
    auto le32 = [&](std::size_t i) {
      std::uint32_t v = 0;
      for (int k = 3; k >= 0; --k)
        v = (v << 8) | static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
      return v;
    };
    const std::size_t offset = le32(4), length = le32(8);
    if (offset > bytes.size() || length > bytes.size() - offset) return std::nullopt;
    bytes = bytes.substr(offset, length);
  }
  if (bytes.rfind("%!PS", 0) != 0) return std::nullopt;
  return epsBoundingBoxOfText(bytes);
}

}  // namespace korvex
