#pragma once

// The callback contract shared by every enumerator: the callback gets the
// visited object and the caller's data pointer unchanged and answers true to
// go on, false to stop at once. An enumerator answers false when a callback
// stopped it and true when it ran to the end. Interface pointers handed to a
// callback are valid only during the call.

#include <string>

#include "host/uid_ref.h"

namespace korvex {

class IDocumentLayer;
class ISpread;
class ISpreadLayer;
class ITextModel;
class IUsedFontList;
struct PMRect;

using ItemCallback = bool (*)(const UIDRef& item, void* data);
using SpreadCallback = bool (*)(ISpread* spread, void* data);
using DocLayerCallback = bool (*)(IDocumentLayer* layer, const std::string& name, void* data);
// The spread layer may be null when the spread has none for that document layer.
using SpreadLayerCallback = bool (*)(ISpread* spread, ISpreadLayer* layer, const std::string& name,
                                     void* data);
using PageRectCallback = bool (*)(PMRect& bounds, void* data);
using StoryCallback = bool (*)(ITextModel* story, void* data);
using FontCallback = bool (*)(IDataBase* database, IUsedFontList* fonts, UID font, void* data);
using AnchoredBoxCallback = bool (*)(const UIDRef& frame, const UIDRef& story, int textIndex, void* data);

}  // namespace korvex
