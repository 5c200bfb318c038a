#include "host/output/paint.h"

#include <algorithm>
#include <cmath>

#include "host/document.h"

namespace korvex {

std::vector<double> cmykToRgb(const std::vector<double>& v) {
  if (v.size() != 4) return {0, 0, 0};
  const double k = 1 - v[3];
  return {(1 - v[0]) * k, (1 - v[1]) * k, (1 - v[2]) * k};
}

std::vector<double> labToRgb(const std::vector<double>& lab) {
  if (lab.size() != 3) return {0, 0, 0};
  // Lab (D50) → XYZ → linear sRGB (Bradford-adapted matrix) → sRGB.
  const double fy = (lab[0] + 16) / 116, fx = fy + lab[1] / 500, fz = fy - lab[2] / 200;
  auto inv = [](double t) { return t > 6.0 / 29 ? t * t * t : 3 * (6.0 / 29) * (6.0 / 29) * (t - 4.0 / 29); };
  const double x = 0.9642 * inv(fx), y = inv(fy), z = 0.8249 * inv(fz);
  double r = 3.1339 * x - 1.6169 * y - 0.4906 * z;
  double g = -0.9788 * x + 1.9161 * y + 0.0335 * z;
  double b = 0.0719 * x - 0.2290 * y + 1.4052 * z;
  auto gamma = [](double c) {
    c = std::clamp(c, 0.0, 1.0);
    return c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
  };
  return {gamma(r), gamma(g), gamma(b)};
}

namespace {

PaintSpace spaceOf(ColorSpace space) {
  switch (space) {
    case ColorSpace::RGB: return PaintSpace::DeviceRGB;
    case ColorSpace::Lab: return PaintSpace::Lab;
    case ColorSpace::CMYK: break;
  }
  return PaintSpace::DeviceCMYK;
}

// Process colours take their tint into the values: less ink, or closer to white.
std::vector<double> tinted(PaintSpace space, std::vector<double> values, double tint) {
  if (tint >= 1) return values;
  switch (space) {
    case PaintSpace::DeviceCMYK:
      for (double& v : values) v *= tint;
      break;
    case PaintSpace::DeviceRGB:
      for (double& v : values) v = 1 - tint * (1 - v);
      break;
    case PaintSpace::Lab:
      if (values.size() == 3) values = {100 - tint * (100 - values[0]), values[1] * tint, values[2] * tint};
      break;
    case PaintSpace::Separation: break;
  }
  return values;
}

std::vector<double> toRgb(PaintSpace space, const std::vector<double>& values) {
  if (space == PaintSpace::DeviceCMYK) return cmykToRgb(values);
  if (space == PaintSpace::Lab) return labToRgb(values);
  return values;
}

}  // namespace

std::optional<Paint> paintForSwatch(const IDocument& document, UID swatchUID,
                                    std::optional<double> tintPercent, PdfColorConversion conversion) {
  const Swatch* swatch = document.swatch(swatchUID);
  double tint = std::clamp(tintPercent.value_or(100), 0.0, 100.0) / 100;
  // Tints of tints resolve down to their colour.
  for (int depth = 0; swatch && swatch->kind() == SwatchKind::Tint && depth < 16; ++depth) {
    tint *= std::clamp(swatch->tintPercent(), 0.0, 100.0) / 100;
    swatch = document.swatch(swatch->baseSwatch());
  }
  if (!swatch || swatch->kind() != SwatchKind::Color || swatch->GetUID() == document.noneSwatch())
    return std::nullopt;

  Paint paint;
  if (swatch->GetUID() == document.paperSwatch()) {
    paint.values = {0, 0, 0, 0};
  } else if (swatch->model() == ColorModel::Registration ||
             swatch->GetUID() == document.registrationSwatch()) {
    paint.space = PaintSpace::Separation;
    paint.separation = "All";
    paint.values = {1, 1, 1, 1};
    paint.tint = tint;
  } else if (swatch->model() == ColorModel::Spot) {
    paint.space = PaintSpace::Separation;
    paint.separation = swatch->name();
    paint.alternate = spaceOf(swatch->space());
    paint.values = swatch->components();
    paint.tint = tint;
  } else {
    paint.space = spaceOf(swatch->space());
    paint.values = tinted(paint.space, swatch->components(), tint);
  }

  if (conversion == PdfColorConversion::ToRGB && paint.space != PaintSpace::DeviceRGB) {
    if (paint.space == PaintSpace::Separation) {
      paint.values = tinted(PaintSpace::DeviceRGB, toRgb(paint.alternate, paint.values), paint.tint);
    } else {
      paint.values = toRgb(paint.space, paint.values);
    }
    paint = Paint{.space = PaintSpace::DeviceRGB,
                  .values = paint.values,
                  .separation = {},
                  .alternate = PaintSpace::DeviceCMYK,
                  .tint = 1};
  }
  return paint;
}

}  // namespace korvex
