#pragma once

// The little the host reads from a placed picture itself: kind, pixel size
// and whether it is grey or in colour (JPEG, PNG, TIFF headers).

#include <optional>
#include <string>

#include "host/host_object.h"
#include "host/page_item.h"

namespace korvex {

enum class PlacedFileKind { Image, PDF, EPS, Unknown };

PlacedFileKind placedFileKind(const std::string& path);
ClassID classForPlacedFile(PlacedFileKind kind);
// Image attributes of a JPEG, PNG or TIFF; none for other files or unreadable ones.
std::optional<ImageAttributes> readImageAttributes(const std::string& path);
// The placed size in points (pixels at the file's resolution, 72 dpi when none is given).
PMRect placedBoundsFor(const ImageAttributes& attributes);

}  // namespace korvex
