#pragma once

// The placed size of vector files: a PDF's first page, an EPS
// file's bounding box. Sizes in points, with the origin at (0, 0).

#include <optional>
#include <string>

#include "foundation/result.h"
#include "host/host_types.h"

namespace korvex {

// The first page's crop box (clipped to its media box) as the page is shown, /Rotate applied;
// else why the file can't be placed, without its path.
Result<PMRect> pdfCropBoxSize(const std::string& path);
// The high-resolution box when there is one, else %%BoundingBox; "(atend)" is
// followed to the trailer. DOS EPS files with a binary header are read too.
std::optional<PMRect> epsBoundingBoxSize(const std::string& path);
// The bounding box comments of PostScript text (exposed for tests).
std::optional<PMRect> epsBoundingBoxOfText(const std::string& text);

}  // namespace korvex
