#pragma once

// Whether a placed PDF file prints with colour inks or with black only, and
// the installed colour profiles its metadata may name.

#include <optional>
#include <string>

namespace korvex {

// A colour space made from an installed ICC profile.
struct ICCColorSpace {
  std::string description;  // the profile's description, as looked up
  std::string path;         // where it is installed
  std::string profile;      // the profile's bytes
  bool cmyk = false;        // a CMYK profile (a CMYK bitmap can be drawn in it)
};

// The first installed profile whose description equals the text exactly
// (folders: platform/icc_profiles.h); none for an empty text or no match.
std::optional<ICCColorSpace> createColorSpaceWithICCProfile(const std::string& description);

// Page 1 of the PDF file drawn into a CMYK bitmap at one pixel per point:
// 0 not a readable PDF / page 1 unrenderable, 1 black only, 2 colour.
// Drawn in the profile the metadata names when its photoshop:ColorMode is 4
// (CMYK) and that CMYK profile is installed, else in device CMYK.
int colorSpaceForDoc(const std::string& path);

// The text between <name> and </name> in XMP, when the closing tag follows
// within 199 bytes; none otherwise.
std::optional<std::string> xmpElementText(const std::string& xmp, const std::string& name);

}  // namespace korvex
