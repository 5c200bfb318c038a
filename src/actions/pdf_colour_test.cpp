#include "actions/pdf_colour_test.h"

#include <cstdlib>

#include "foundation/read_file.h"
#include "host/output/page_inks.h"
#include "platform/icc_profiles.h"

namespace korvex {

namespace {

constexpr std::size_t kMaxElementText = 199;

// The integer at the start of the text (after blanks), as strtol reads it; 0 when none.
long leadingInteger(const std::string& text) {
  return std::strtol(text.c_str(), nullptr, 10);
}

// The profile bytes to draw in, from the PDF's XMP.
std::optional<std::string> profileForXmp(const std::string& xmp) {
  std::optional<std::string> mode = xmpElementText(xmp, "photoshop:ColorMode");
  if (!mode || leadingInteger(*mode) != 4) return std::nullopt;
  std::optional<std::string> name = xmpElementText(xmp, "photoshop:ICCProfile");
  if (!name) return std::nullopt;
  std::optional<ICCColorSpace> space = createColorSpaceWithICCProfile(*name);
  // A gray or RGB profile can't hold a CMYK bitmap: device CMYK instead.
  if (!space || !space->cmyk) return std::nullopt;
  return space->profile;
}

}  // namespace

std::optional<std::string> xmpElementText(const std::string& xmp, const std::string& name) {
  const std::string open = "<" + name + ">";
  const std::string close = "</" + name + ">";
  const std::size_t at = xmp.find(open);
  if (at == std::string::npos) return std::nullopt;
  const std::size_t start = at + open.size();
  const std::size_t end = xmp.find(close, start);
  if (end == std::string::npos || end - start > kMaxElementText) return std::nullopt;
  return xmp.substr(start, end - start);
}

std::optional<ICCColorSpace> createColorSpaceWithICCProfile(const std::string& description) {
  std::optional<InstalledProfile> found = findInstalledProfile(description);
  if (!found) return std::nullopt;
  ICCColorSpace space;
  space.description = found->description;
  space.path = found->path.string();
  space.profile = std::move(found->data);
  space.cmyk = found->space == ProfileSpace::cmyk;
  return space;
}

int colorSpaceForDoc(const std::string& path) {
  Result<std::string> bytes = readRegularFile(path, kMaxDocumentFileBytes);
  if (!bytes || bytes->size() < 33 || bytes->compare(0, 4, "%PDF") != 0) return 0;
  const PageInkScan scan = scanFirstPageInks(*bytes, profileForXmp);
  switch (scan.inks) {
    case PageInks::colour: return 2;
    case PageInks::blackOnly: return 1;
    case PageInks::unreadable: break;
  }
  return 0;
}

}  // namespace korvex
