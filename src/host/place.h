#pragma once

// Placing and importing files: file URIs, the place command (a new frame on a
// spread layer showing the file), imports into a document's database that
// are not on any page, and the frame-content fitting operations over lists.

#include <optional>
#include <string>
#include <string_view>

#include "host/document.h"

namespace korvex {

// A "file://" URI with the path's bytes outside the unreserved set percent-encoded.
class URI {
 public:
  URI() = default;
  explicit URI(std::string text) : text_(std::move(text)) {}
  const std::string& text() const { return text_; }
  bool empty() const { return text_.empty(); }
  friend bool operator==(const URI&, const URI&) = default;

 private:
  std::string text_;
};

namespace URIUtils {
URI IDFileToURI(const IDFile& file);
// The file of a "file:" URI; an empty file reference for anything else.
IDFile URIToIDFile(const URI& uri);
// The bytes of text with each "%XX" turned back into its byte.
std::string percentDecoded(std::string_view text);
}  // namespace URIUtils

// A new rectangle frame on the spread layer whose path bounds are the two
// pasteboard points, with the file placed in it (content at the frame's
// top-left corner, at its own size). On failure nothing is left behind.
ErrorCode placeFileInRect(IDocument& document, UID spreadLayer, PMPoint topLeft, PMPoint bottomRight,
                          const URI& uri, UID* frame);

// A frame the size of the file's content with the file placed in it, held by
// the database but on no spread. For the place gun or a later placement.
ErrorCode importFileToDatabase(IDocument& document, const URI& uri, UID* frame);

// The frame-content operations over lists of frames; the first failure's code.
namespace FrameContentFacade {
ErrorCode FitContentProp(const UIDList& frames);
ErrorCode CenterContent(const UIDList& frames);
ErrorCode FillFrameProp(const UIDList& frames);
ErrorCode FitFrameToContent(const UIDList& frames);
ErrorCode FitContentToFrame(const UIDList& frames);
}  // namespace FrameContentFacade

}  // namespace korvex
