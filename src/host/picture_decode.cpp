#include "host/picture_decode.h"

#include <array>

#include "host/image_info.h"

namespace korvex {

namespace {

// Takes ownership of what a libvips operation made; false (and the message) when it failed.
class Step {
 public:
  explicit Step(VipsImagePtr image) : image_(std::move(image)) {}
  VipsImage* get() const { return image_.get(); }
  bool ok() const { return image_ != nullptr; }
  template <typename Operation>
  bool then(Operation operation) {
    VipsImage* out = nullptr;
    if (operation(image_.get(), &out) != 0) {
      if (out) g_object_unref(out);
      image_.reset();
      return false;
    }
    image_.reset(out);
    return true;
  }
  VipsImagePtr release() { return std::move(image_); }

 private:
  VipsImagePtr image_;
};

bool isFloat(VipsBandFormat format) {
  return format == VIPS_FORMAT_FLOAT || format == VIPS_FORMAT_DOUBLE || format == VIPS_FORMAT_COMPLEX ||
         format == VIPS_FORMAT_DPCOMPLEX;
}

enum class Family { Grey, RGB, CMYK, Lab, Other };

Family familyOf(VipsInterpretation type, int colourBands) {
  switch (type) {
    case VIPS_INTERPRETATION_B_W:
    case VIPS_INTERPRETATION_GREY16: return Family::Grey;
    case VIPS_INTERPRETATION_sRGB:
    case VIPS_INTERPRETATION_RGB16:
    case VIPS_INTERPRETATION_scRGB:
    case VIPS_INTERPRETATION_RGB: return Family::RGB;
    case VIPS_INTERPRETATION_CMYK: return Family::CMYK;
    case VIPS_INTERPRETATION_LAB:
    case VIPS_INTERPRETATION_LABQ:
    case VIPS_INTERPRETATION_LABS:
    case VIPS_INTERPRETATION_LCH:
    case VIPS_INTERPRETATION_CMC:
    case VIPS_INTERPRETATION_XYZ:
    case VIPS_INTERPRETATION_YXY:
    case VIPS_INTERPRETATION_HSV: return Family::Lab;
    default: break;
  }
  // Untagged samples by their count.
  if (colourBands == 1) return Family::Grey;
  if (colourBands == 3) return Family::RGB;
  if (colourBands == 4) return Family::CMYK;
  return Family::Other;
}

}  // namespace

Result<VipsImagePtr> openPicture(const std::string& path, const PictureDecodeOptions& options) {
  auto header = readPictureHeader(path);
  if (!header) return header.failure();
  // Turning a picture, or measuring float samples before scaling them, reads the
  // pixels more than once or out of order; otherwise one pass from the top is enough.
  const bool onePass = header->orientation == 1 && header->samples.find("float") == std::string::npos;
  const VipsAccess access = onePass ? VIPS_ACCESS_SEQUENTIAL : VIPS_ACCESS_RANDOM;
  Step step(VipsImagePtr(
      vips_image_new_from_file(path.c_str(), "access", access, "fail_on", VIPS_FAIL_ON_ERROR, nullptr)));
  auto failed = [&path](const char* what) { return fail(path + ": " + takeVipsError(what)); };
  if (!step.ok()) return failed("can't be read");
  if (!step.then([](VipsImage* in, VipsImage** out) { return vips_autorot(in, out, nullptr); }))
    return failed("can't be turned upright");

  if (step.get()->Coding == VIPS_CODING_LABQ &&
      !step.then([](VipsImage* in, VipsImage** out) { return vips_LabQ2Lab(in, out, nullptr); }))
    return failed("Lab samples can't be unpacked");

  const bool alpha = vips_image_hasalpha(step.get());
  const int colourBands = step.get()->Bands - (alpha ? 1 : 0);
  const Family family = familyOf(vips_image_guess_interpretation(step.get()), colourBands);
  if (family == Family::Other)
    return fail(path + ": " + std::to_string(step.get()->Bands) + " channels are neither grey, RGB nor CMYK");

  // Float samples from print tools are the usual 0–1 values, not linear light.
  if (isFloat(step.get()->BandFmt) && family != Family::Lab) {
    double max = 0;
    if (vips_max(step.get(), &max, nullptr) != 0) return failed("can't be decoded");
    if (max <= 1.0 &&
        !step.then([](VipsImage* in, VipsImage** out) { return vips_linear1(in, out, 255.0, 0.0, nullptr); }))
      return failed("can't be decoded");
  }

  // Every depth to 8 bits in grey, RGB or CMYK; Lab and its relatives through libvips' own conversion.
  switch (family) {
    case Family::Grey:
    case Family::RGB:
    case Family::CMYK:
      if (step.get()->BandFmt == VIPS_FORMAT_USHORT || step.get()->BandFmt == VIPS_FORMAT_SHORT) {
        if (!step.then([](VipsImage* in, VipsImage** out) {
              return vips_cast(in, out, VIPS_FORMAT_UCHAR, "shift", TRUE, nullptr);
            }))
          return failed("can't be decoded");
      } else if (step.get()->BandFmt != VIPS_FORMAT_UCHAR) {
        if (!step.then([](VipsImage* in, VipsImage** out) {
              return vips_cast(in, out, VIPS_FORMAT_UCHAR, nullptr);
            }))
          return failed("can't be decoded");
      }
      break;
    case Family::Lab:
      if (!step.then([](VipsImage* in, VipsImage** out) {
            return vips_colourspace(in, out, VIPS_INTERPRETATION_sRGB, nullptr);
          }))
        return failed("Lab can't be converted to RGB");
      break;
    case Family::Other: break;
  }
  const Family drawn = family == Family::Lab ? Family::RGB : family;

  // Transparency onto the paper, in the picture's own (gamma-encoded) values as
  // layout programs do; libvips has already undone associated alpha.
  if (alpha) {
    const double paper = drawn == Family::CMYK ? 0 : 255;
    std::array<double, 4> background{paper, paper, paper, paper};
    VipsArrayDouble* white = vips_array_double_new(background.data(), colourBands);
    const bool flattened = step.then([white](VipsImage* in, VipsImage** out) {
      return vips_flatten(in, out, "background", white, "max_alpha", 255.0, nullptr);
    });
    vips_area_unref(VIPS_AREA(white));
    if (!flattened) return failed("transparency can't be composed");
    if (step.get()->BandFmt != VIPS_FORMAT_UCHAR && !step.then([](VipsImage* in, VipsImage** out) {
          return vips_cast(in, out, VIPS_FORMAT_UCHAR, nullptr);
        }))
      return failed("can't be decoded");
  }

  // The plain conversion the style uses for every other colour, without colour management:
  // each of R, G, B is (1 − C, M or Y) × (1 − K).
  if (drawn == Family::CMYK && options.toRGB) {
    VipsImage* k = nullptr;
    if (!step.then([](VipsImage* in, VipsImage** out) { return vips_invert(in, out, nullptr); }) ||
        vips_extract_band(step.get(), &k, 3, nullptr) != 0)
      return failed("CMYK can't be converted to RGB");
    VipsImagePtr paperK(k);
    if (!step.then(
            [](VipsImage* in, VipsImage** out) { return vips_extract_band(in, out, 0, "n", 3, nullptr); }) ||
        !step.then([&paperK](VipsImage* in, VipsImage** out) {
          return vips_multiply(in, paperK.get(), out, nullptr);
        }) ||
        !step.then(
            [](VipsImage* in, VipsImage** out) { return vips_linear1(in, out, 1.0 / 255, 0.0, nullptr); }) ||
        !step.then(
            [](VipsImage* in, VipsImage** out) { return vips_cast(in, out, VIPS_FORMAT_UCHAR, nullptr); }) ||
        !step.then([](VipsImage* in, VipsImage** out) {
          return vips_copy(in, out, "interpretation", VIPS_INTERPRETATION_sRGB, nullptr);
        }))
      return failed("CMYK can't be converted to RGB");
  }

  const int width = step.get()->Xsize, height = step.get()->Ysize;
  if (options.targetWidth > 0 && options.targetWidth < width && options.targetHeight > 0) {
    const double h = static_cast<double>(options.targetWidth) / width;
    const double v = static_cast<double>(options.targetHeight) / height;
    if (!step.then(
            [h, v](VipsImage* in, VipsImage** out) { return vips_resize(in, out, h, "vscale", v, nullptr); }))
      return failed("can't be resampled");
  }
  return step.release();
}

Status checkPictureDecodes(const std::string& path) {
  auto image = openPicture(path);
  if (!image) return image.failure();
  clearVipsMessages();
  double average = 0;
  if (vips_avg(image->get(), &average, nullptr) != 0)
    return fail(path + ": " + takeVipsError("can't be decoded"));
  return {};
}

}  // namespace korvex
