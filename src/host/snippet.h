#pragma once

// Snippets: page items written as an IDML snippet (one XML package part) and
// read back into a document. A snippet carries the items with their
// geometry, placed content and links, text frames with their stories' text,
// labels, fill and stroke, and the colours and tints they use.

#include <string>
#include <string_view>

#include "host/document.h"

namespace korvex {

// The items (top-level positions on the pasteboard kept) as snippet XML.
ErrorCode exportSnippet(const IDocument& document, const UIDList& items, std::string& xml);
// Creates the snippet's items in parent (a spread layer or a group) at their
// former pasteboard places; swatches are matched by name and created when
// missing. created receives the new top-level items in snippet order.
ErrorCode importSnippet(IDocument& document, UID parent, std::string_view xml, UIDList* created = nullptr);

}  // namespace korvex
