#pragma once

// A colour as the output devices draw it: in the swatch's own model (CMYK,
// RGB, Lab, or a separation with its alternate), with the tint applied.

#include <optional>
#include <string>
#include <vector>

#include "host/host_types.h"
#include "host/output/pdf_style.h"

namespace korvex {

class IDocument;

enum class PaintSpace { DeviceCMYK, DeviceRGB, Lab, Separation };

struct Paint {
  PaintSpace space = PaintSpace::DeviceCMYK;
  // CMYK or RGB 0…1, Lab L a b; for a separation its alternate at full strength.
  std::vector<double> values;
  // Separations only.
  std::string separation;
  PaintSpace alternate = PaintSpace::DeviceCMYK;
  double tint = 1;  // 0…1
  friend bool operator==(const Paint&, const Paint&) = default;
};

// The paint of a swatch with an item's tint (percent, none = 100); none for
// the None swatch and unknown swatches. Tint swatches multiply with the item's tint.
std::optional<Paint> paintForSwatch(const IDocument& document, UID swatch, std::optional<double> tintPercent,
                                    PdfColorConversion conversion = PdfColorConversion::Keep);

// A plain conversion for when a style asks for RGB (no colour management).
std::vector<double> cmykToRgb(const std::vector<double>& cmyk);
std::vector<double> labToRgb(const std::vector<double>& lab);

}  // namespace korvex
