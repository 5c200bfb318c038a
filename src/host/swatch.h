#pragma once

// Swatches: the four reserved ones (None, Paper, Black, Registration),
// process and spot colours in CMYK, RGB or Lab, and tints of other swatches.

#include <string>
#include <vector>

#include "host/host_object.h"

namespace korvex {

// Numbering as the host's colour data reports it.
enum class ColorSpace { RGB = 2, CMYK = 6, Lab = 7 };
enum class ColorModel { Process, Spot, Registration };
enum class SwatchKind { None = 0, Color = 1, Tint = 2 };

class Swatch : public HostObject {
 public:
  Swatch(IDataBase* db, UID uid, std::string name, SwatchKind kind)
      : HostObject(db, uid), name_(std::move(name)), kind_(kind) {}
  ClassID GetClass() const override { return ClassID::kSwatch; }

  const std::string& name() const { return name_; }
  ErrorCode setName(std::string name);
  SwatchKind kind() const { return kind_; }
  // None, Paper, Black and Registration can be neither renamed nor deleted.
  bool isReserved() const { return reserved_; }
  void setReserved(bool reserved) { reserved_ = reserved; }

  // Colour swatches: model, space and components (CMYK and RGB 0…1, Lab L 0…100, a and b -128…127).
  ColorModel model() const { return model_; }
  ColorSpace space() const { return space_; }
  const std::vector<double>& components() const { return components_; }
  ErrorCode setColor(ColorModel model, ColorSpace space, std::vector<double> components);

  // Tint swatches: the base swatch and the percentage.
  UID baseSwatch() const { return base_; }
  double tintPercent() const { return tint_; }
  ErrorCode setTint(UID base, double percent);

  // Stock colours of the session carry their number, else -1.
  int stockIndex() const { return stockIndex_; }
  void setStockIndex(int index) { stockIndex_ = index; }

 private:
  std::string name_;
  SwatchKind kind_;
  bool reserved_ = false;
  ColorModel model_ = ColorModel::Process;
  ColorSpace space_ = ColorSpace::CMYK;
  std::vector<double> components_;
  UID base_ = kInvalidUID;
  double tint_ = 100;
  int stockIndex_ = -1;
};

// Checks components for a space: count and range. Empty text when valid.
std::string validateColorComponents(ColorSpace space, const std::vector<double>& components);

}  // namespace korvex
