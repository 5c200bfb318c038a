#pragma once

// What the host understands of a placed file: its kind by content (libvips'
// loaders for pictures, the PDF and PostScript signatures for vector files),
// a picture's attributes read from its header, and whether the file can be
// drawn at all.

#include <optional>
#include <string>

#include "foundation/result.h"
#include "host/host_object.h"
#include "host/page_item.h"

namespace korvex {

enum class PlacedFileKind { Image, PDF, EPS, Unknown };

// By content; a file that is not there yet is judged by its name.
PlacedFileKind placedFileKind(const std::string& path);
ClassID classForPlacedFile(PlacedFileKind kind);

// A picture's header as libvips reads it.
struct PictureHeader {
  std::string format;  // the loader's short name: "jpeg", "png", "tiff", "gif", "heif", "magick", …
  int width = 0;       // pixels as stored, before the orientation is applied
  int height = 0;
  PMReal xResolution = 0;  // pixels per inch; 0 when the file gives none
  PMReal yResolution = 0;
  int orientation = 1;  // EXIF/TIFF 1–8
  int bands = 0;
  std::string colorSpace;  // "grey", "RGB", "CMYK", "Lab" or "other"
  bool alpha = false;
  bool iccProfile = false;
  std::string samples;  // "8-bit", "16-bit", "32-bit float", …
  // Width and height as the picture is seen: 5–8 turn it a quarter.
  int shownWidth() const { return orientation >= 5 ? height : width; }
  int shownHeight() const { return orientation >= 5 ? width : height; }
};

// The header of a picture file libvips can read; the failure says why not.
Result<PictureHeader> readPictureHeader(const std::string& path);

// The description of the colour profile embedded in a picture (lcms2 reads
// it); the failure says why there is none.
Result<std::string> embeddedProfileName(const std::string& path);

// The attributes recorded in the document, checked against what the document
// file can hold: shown pixel size, grey or colour, the horizontal resolution
// (72 when the file gives none). None for anything else.
std::optional<ImageAttributes> readImageAttributes(const std::string& path);
// The placed size in points (pixels at the file's resolution, 72 dpi when none is given).
PMRect placedBoundsFor(const ImageAttributes& attributes);

// Why a file placed as kind can't be drawn, or none when it can: a picture
// must decode without error, a PDF have a page, an EPS a bounding box.
// Remembered per file, size and modification time.
std::optional<std::string> undrawableReason(const std::string& path, ClassID kind);

}  // namespace korvex
