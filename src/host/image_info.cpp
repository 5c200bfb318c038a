#include "host/image_info.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <tuple>

#include <lcms2.h>

#include "host/link.h"
#include "host/picture_decode.h"
#include "host/vector_bounds.h"
#include "host/vips_support.h"

namespace korvex {

namespace {

constexpr int kMaxPixels = 1000000;  // per side, as the document file holds them

bool isRegularFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

std::string readHead(const std::string& path, std::size_t limit) {
  if (!isRegularFile(path)) return {};
  std::ifstream in(path, std::ios::binary);
  std::string bytes(limit, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(limit));
  bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return bytes;
}

std::string extensionOf(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

PlacedFileKind vectorKind(std::string_view head) {
  if (head.starts_with("%PDF-")) return PlacedFileKind::PDF;
  if (head.starts_with("%!PS")) return PlacedFileKind::EPS;
  if (head.starts_with("\xC5\xD0\xD3\xC6")) return PlacedFileKind::EPS;  // DOS EPS binary header
  return PlacedFileKind::Unknown;
}

// libvips' loaders for pictures (its PDF, SVG and data-table loaders are not pictures here).
constexpr std::array<std::pair<std::string_view, std::string_view>, 10> kPictureLoaders{{
    {"jpegload", "jpeg"},
    {"pngload", "png"},
    {"tiffload", "tiff"},
    {"gifload", "gif"},
    {"webpload", "webp"},
    {"heifload", "heif"},
    {"jp2kload", "jpeg2000"},
    {"jxlload", "jpegxl"},
    {"ppmload", "ppm"},
    {"magickload", "magick"},
}};

// The short format name of the loader libvips picks for the file; empty when none is a picture loader.
std::string pictureFormat(const std::string& path) {
  if (!ensureVips()) return {};
  const char* loader = vips_foreign_find_load(path.c_str());
  if (!loader) {
    clearVipsMessages();
    return {};
  }
  const char* nickname = vips_nickname_find(g_type_from_name(loader));
  const std::string_view name = nickname ? nickname : "";
  for (const auto& [load, format] : kPictureLoaders)
    if (name == load) return std::string(format);
  return {};
}

std::string colorSpaceName(VipsInterpretation type, int colourBands) {
  switch (type) {
    case VIPS_INTERPRETATION_B_W:
    case VIPS_INTERPRETATION_GREY16: return "grey";
    case VIPS_INTERPRETATION_sRGB:
    case VIPS_INTERPRETATION_RGB16:
    case VIPS_INTERPRETATION_scRGB:
    case VIPS_INTERPRETATION_RGB: return "RGB";
    case VIPS_INTERPRETATION_CMYK: return "CMYK";
    case VIPS_INTERPRETATION_LAB:
    case VIPS_INTERPRETATION_LABQ:
    case VIPS_INTERPRETATION_LABS: return "Lab";
    default: break;
  }
  if (colourBands == 1) return "grey";
  if (colourBands == 3) return "RGB";
  if (colourBands == 4) return "CMYK";
  return "other";
}

std::string samplesName(VipsBandFormat format) {
  switch (format) {
    case VIPS_FORMAT_UCHAR:
    case VIPS_FORMAT_CHAR: return "8-bit";
    case VIPS_FORMAT_USHORT:
    case VIPS_FORMAT_SHORT: return "16-bit";
    case VIPS_FORMAT_UINT:
    case VIPS_FORMAT_INT: return "32-bit";
    case VIPS_FORMAT_FLOAT: return "32-bit float";
    case VIPS_FORMAT_DOUBLE: return "64-bit float";
    default: return "complex";
  }
}

// libvips gives pixels per millimetre, and exactly 1 when the file says nothing.
PMReal pixelsPerInch(double perMillimetre) {
  if (!std::isfinite(perMillimetre) || perMillimetre <= 0 || perMillimetre == 1.0) return 0;
  PMReal ppi = perMillimetre * 25.4;
  // pHYs stores whole pixels per metre: 5906 is 150.01 ppi.
  if (std::abs(ppi - std::round(ppi)) < 0.05) ppi = std::round(ppi);
  return ppi;
}

// Photoshop's ResolutionInfo resource (0x03ED) in an image resource block:
// horizontal and vertical resolution as 16.16 fixed point, units 1 = per inch, 2 = per cm.
std::optional<std::pair<PMReal, PMReal>> photoshopResolution(std::string_view block) {
  const auto u16 = [&](std::size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(block[at]) << 8 | static_cast<unsigned char>(block[at + 1]));
  };
  const auto u32 = [&](std::size_t at) { return std::uint32_t{u16(at)} << 16 | u16(at + 2); };
  for (std::size_t at = block.find("8BIM"); at != std::string_view::npos; at = block.find("8BIM", at + 4)) {
    std::size_t p = at + 6;
    if (p + 1 > block.size() || u16(at + 4) != 0x03ED) continue;
    const std::size_t nameLength = static_cast<unsigned char>(block[p]);
    p += (nameLength + 2) & ~std::size_t{1};  // a Pascal string padded to even length
    if (p + 4 + 16 > block.size() || u32(p) < 16) continue;
    p += 4;
    const auto ppi = [&](std::size_t value, std::size_t unit) {
      const PMReal r = u32(value) / 65536.0;
      return u16(unit) == 2 ? r * 2.54 : r;
    };
    return std::pair{ppi(p, p + 4), ppi(p + 8, p + 12)};
  }
  return std::nullopt;
}

// tiff:XResolution / YResolution / ResolutionUnit in an XMP packet, as
// attributes or as elements; rationals as "num/den".
std::optional<std::pair<PMReal, PMReal>> xmpResolution(std::string_view xmp) {
  const auto field = [&](std::string_view name) -> std::optional<PMReal> {
    const std::size_t at = xmp.find(name);
    if (at == std::string_view::npos) return std::nullopt;
    std::size_t p = at + name.size();
    while (p < xmp.size() && (xmp[p] == '=' || xmp[p] == '"' || xmp[p] == '\'' || xmp[p] == '>' || xmp[p] == ' '))
      ++p;
    const std::size_t end = xmp.find_first_of("\"'<", p);
    const std::string text(xmp.substr(p, end == std::string_view::npos ? 0 : end - p));
    char* rest = nullptr;
    const double num = std::strtod(text.c_str(), &rest);
    double den = 1;
    if (rest && *rest == '/') den = std::strtod(rest + 1, nullptr);
    if (!std::isfinite(num) || !std::isfinite(den) || den <= 0 || num <= 0) return std::nullopt;
    return num / den;
  };
  const auto x = field("tiff:XResolution");
  if (!x) return std::nullopt;
  const PMReal scale = field("tiff:ResolutionUnit").value_or(2) == 3 ? 2.54 : 1;
  return std::pair{*x * scale, field("tiff:YResolution").value_or(*x) * scale};
}

std::string_view blobOf(VipsImage* image, const char* name) {
  const void* data = nullptr;
  std::size_t size = 0;
  if (!vips_image_get_typeof(image, name) || vips_image_get_blob(image, name, &data, &size) != 0 || !data)
    return {};
  return {static_cast<const char*>(data), size};
}

}  // namespace

PlacedFileKind placedFileKind(const std::string& path) {
  if (!isRegularFile(path)) {
    // A file that is not there yet is judged by its name.
    const std::string ext = extensionOf(path);
    for (const char* e : {".jpg", ".jpeg", ".png", ".tif", ".tiff", ".psd", ".gif", ".webp", ".heic", ".jp2"})
      if (ext == e) return PlacedFileKind::Image;
    if (ext == ".pdf" || ext == ".ai") return PlacedFileKind::PDF;
    if (ext == ".eps") return PlacedFileKind::EPS;
    return PlacedFileKind::Unknown;
  }
  // Signatures at the start first: ImageMagick's loader would take PDF and EPS files for pictures.
  const std::string head = readHead(path, 1024);
  if (const PlacedFileKind vector = vectorKind(head); vector != PlacedFileKind::Unknown) return vector;
  if (!pictureFormat(path).empty()) return PlacedFileKind::Image;
  // PDF readers accept a header after some junk within the first kilobyte; a
  // picture's metadata could mention it too, so only once no loader took the file.
  return head.find("%PDF-") != std::string::npos ? PlacedFileKind::PDF : PlacedFileKind::Unknown;
}

ClassID classForPlacedFile(PlacedFileKind kind) {
  switch (kind) {
    case PlacedFileKind::PDF: return ClassID::kPDFItem;
    case PlacedFileKind::EPS: return ClassID::kEPSItem;
    default: return ClassID::kImageItem;
  }
}

Result<PictureHeader> readPictureHeader(const std::string& path) {
  if (!isRegularFile(path)) return fail(path + ": not a file");
  // What an earlier file left in libvips' error buffer is not this file's problem.
  clearVipsMessages();
  PictureHeader h;
  h.format = pictureFormat(path);
  if (h.format.empty()) return fail(path + ": not a picture format the host reads");
  VipsImagePtr image(vips_image_new_from_file(path.c_str(), "access", VIPS_ACCESS_SEQUENTIAL, nullptr));
  if (!image) return fail(path + ": " + takeVipsError("picture header can't be read"));
  VipsImage* in = image.get();
  h.width = in->Xsize;
  h.height = in->Ysize;
  h.bands = in->Bands;
  h.alpha = vips_image_hasalpha(in);
  h.colorSpace = colorSpaceName(in->Type, h.bands - (h.alpha ? 1 : 0));
  if (in->Coding == VIPS_CODING_LABQ) h.colorSpace = "Lab";
  h.samples = samplesName(in->BandFmt);
  h.xResolution = pixelsPerInch(in->Xres);
  h.yResolution = pixelsPerInch(in->Yres);
  // libvips reads JFIF, EXIF, TIFF and pHYs; without them it says nothing or
  // 72, and a Photoshop resource or the XMP packet may know better.
  if (h.xResolution == 0 || h.xResolution == 72) {
    auto found = photoshopResolution(blobOf(in, VIPS_META_PHOTOSHOP_NAME));
    if (!found) found = photoshopResolution(blobOf(in, VIPS_META_IPTC_NAME));
    if (!found) found = xmpResolution(blobOf(in, VIPS_META_XMP_NAME));
    if (found && found->first >= 1 && found->first <= 100000 && found->second >= 1 && found->second <= 100000)
      std::tie(h.xResolution, h.yResolution) = *found;
  }
  int orientation = 1;
  if (vips_image_get_typeof(in, VIPS_META_ORIENTATION) &&
      vips_image_get_int(in, VIPS_META_ORIENTATION, &orientation) == 0 && orientation >= 1 &&
      orientation <= 8)
    h.orientation = orientation;
  h.iccProfile = vips_image_get_typeof(in, VIPS_META_ICC_NAME) != 0;
  if (h.width <= 0 || h.height <= 0) return fail(path + ": picture has no pixels");
  return h;
}

Result<std::string> embeddedProfileName(const std::string& path) {
  if (!isRegularFile(path)) return fail(path + ": not a file");
  clearVipsMessages();
  if (pictureFormat(path).empty()) return fail(path + ": not a picture format the host reads");
  VipsImagePtr image(vips_image_new_from_file(path.c_str(), "access", VIPS_ACCESS_SEQUENTIAL, nullptr));
  if (!image) return fail(path + ": " + takeVipsError("picture header can't be read"));
  const std::string_view icc = blobOf(image.get(), VIPS_META_ICC_NAME);
  if (icc.empty()) return fail(path + ": no embedded colour profile");
  struct ProfileClose {
    void operator()(void* p) const { cmsCloseProfile(p); }
  };
  std::unique_ptr<void, ProfileClose> profile(
      cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())));
  if (!profile) return fail(path + ": the embedded colour profile is damaged");
  char name[256] = {};
  if (cmsGetProfileInfoASCII(profile.get(), cmsInfoDescription, "en", "US", name, sizeof name) == 0 || !name[0])
    return std::string("(unnamed profile)");
  return std::string(name);
}

std::optional<ImageAttributes> readImageAttributes(const std::string& path) {
  auto header = readPictureHeader(path);
  if (!header) return std::nullopt;
  ImageAttributes a;
  a.pixelWidth = header->shownWidth();
  a.pixelHeight = header->shownHeight();
  // What the document file could not hold back is not taken in.
  if (a.pixelWidth < 1 || a.pixelHeight < 1 || a.pixelWidth > kMaxPixels || a.pixelHeight > kMaxPixels)
    return std::nullopt;
  a.colorSpace = header->colorSpace == "grey" ? ImageColorSpace::Grey : ImageColorSpace::Colour;
  // Turned a quarter, the vertical resolution runs across.
  const PMReal across = header->orientation >= 5 ? header->yResolution : header->xResolution;
  a.resolution = across >= 1 && across <= 100000 ? across : 72;
  return a;
}

PMRect placedBoundsFor(const ImageAttributes& a) {
  const PMReal dpi = a.resolution > 0 ? a.resolution : 72;
  return {0, 0, a.pixelWidth * 72.0 / dpi, a.pixelHeight * 72.0 / dpi};
}

std::optional<std::string> undrawableReason(const std::string& path, ClassID kind) {
  const auto stamp = stampOfFile(path);
  if (!stamp) return "file not found";
  using Key = std::tuple<std::string, ClassID, std::uint64_t, std::int64_t>;
  static std::mutex mutex;
  static std::map<Key, std::optional<std::string>> known;
  const Key key{path, kind, stamp->size, stamp->modifiedMs};
  {
    std::lock_guard lock(mutex);
    if (auto it = known.find(key); it != known.end()) return it->second;
  }
  std::optional<std::string> reason;
  const auto withoutPath = [&path](const std::string& message) {
    return message.starts_with(path + ": ") ? message.substr(path.size() + 2) : message;
  };
  switch (kind) {
    case ClassID::kPDFItem:
      if (auto box = pdfCropBoxSize(path); !box) reason = box.message();
      break;
    case ClassID::kEPSItem:
      if (!epsBoundingBoxSize(path)) reason = "EPS file has no bounding box";
      break;
    default:
      if (auto header = readPictureHeader(path); !header) {
        reason = withoutPath(header.message());
      } else if (header->width > kMaxPixels || header->height > kMaxPixels) {
        reason = "pixel size " + std::to_string(header->width) + " x " + std::to_string(header->height) +
                 " is beyond " + std::to_string(kMaxPixels);
      } else if (Status decoded = checkPictureDecodes(path); !decoded) {
        reason = withoutPath(decoded.message());
      }
      break;
  }
  std::lock_guard lock(mutex);
  known[key] = reason;
  return reason;
}

}  // namespace korvex
