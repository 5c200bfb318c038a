#pragma once

// Snippet files (".idms") of page items: written from a document, read back
// into a spread layer, a group, a spread or a document.

#include <string>

#include "host/document.h"
#include "host/uid_ref.h"

namespace korvex {

// Writes the frames to path with its extension replaced by "idms"; the
// writer's result, 1 when the file can't be written.
ErrorCode saveSnippetForFrames(IDocument* document, const UIDList& frames, const std::string& path);

// Logs "importSnippet: %@" and reads the snippet into the target: a spread
// layer or a group as it is; a spread on the spread layer of the document's
// active layer; a document on its first spread. 0 for success and also
// when there is no document or no readable file; a failed import is logged
// as "\t####\terr: %d" and returned.
ErrorCode importSnippet(const UIDRef& target, const std::string& path);

}  // namespace korvex
