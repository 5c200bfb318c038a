#pragma once

// Page items ("frames") by reference: classification, hierarchy, geometry,
// grouping, selection, deletion, cut and paste, creation. A reference with a
// null database gives the empty result (invalid reference, kInvalidUID, an
// empty rectangle, none, false) and logs nothing.
//
// Geometry is in points of pasteboard coordinates; where a millimetre flag is
// taken, the value 1 means millimetres and anything else points.

#include <optional>
#include <string>

#include "docmodel/units.h"
#include "host/document.h"
#include "host/uid_ref.h"

namespace korvex {

// Classification.
bool isGroupFrame(const UIDRef& frame);
// A frame that shows no text (empty or with placed content).
bool isGraphicsFrame(const UIDRef& frame);
bool isTextFrame(const UIDRef& frame);
// An item anchored in text (the inline item itself or the frame it holds).
bool isInlineFrame(const UIDRef& frame);
// An item with path geometry that is a line (two points, open).
bool isLineFrame(const UIDRef& frame);
// False only for the null reference (both parts compared).
bool isValidFrame(const UIDRef& frame);

// Hierarchy.
UIDRef getParentRef(const UIDRef& frame);
UIDRef getChildRef(const UIDRef& frame);
UID spreadLayerUIDForFrame(const UIDRef& frame);
UID docLayerUIDForFrame(const UIDRef& frame);
std::optional<std::string> layerNameForFrame(const UIDRef& frame);

// Callback of EnumFrames: answers false to stop.
using FrameCallback = unsigned char (*)(UIDRef& frame, void* data);
// Calls back for each entry in list order; false when a callback stopped it.
bool EnumFrames(const UIDList* frames, FrameCallback callback, void* data);
bool EnumFrames(const UIDList& frames, FrameCallback callback, void* data);

// Conversions between the two rectangle forms.
PMRect pmRectWithMyRect(const MyRect& rect);
MyRect myRectWithPMRect(const PMRect& rect);

// Geometry.
PMRect boundsForFrame(const UIDRef& frame, unsigned char inMillimetres = 0);
PMRect strokeBoundsForFrame(const UIDRef& frame, unsigned char inMillimetres = 0);
MyRect myRectForFrame(const UIDRef& frame);
PMRect boundsForFrames(const UIDList* frames);
PMRect boundsForFrames(const UIDList& frames);
MyRect myRectForFrames(const UIDList& frames);
// With the flag 1 the caller's rectangle is converted to points in place first.
ErrorCode setBoundsForFrame(const UIDRef& frame, PMRect& bounds, unsigned char inMillimetres = 0);
ErrorCode setStrokeBoundsForFrame(const UIDRef& frame, PMRect& bounds);
ErrorCode setMyRectForFrame(const UIDRef& frame, const MyRect& rect);
ErrorCode offsetFrame(const UIDRef& frame, PMReal dx, PMReal dy);
void moveFrameBy(const UIDRef& frame, float dx, float dy);
void moveFrameBy(const UIDRef& frame, PMReal dx, PMReal dy);
ErrorCode moveFramesBy(const UIDList& frames, PMReal dx, PMReal dy);
// Logs "moveFrame: [%.1f %.1f] --> [%.1f %.1f]" and moves the top-left corner to (x, y).
void moveFrameTo(const UIDRef& frame, PMReal x, PMReal y);
void moveFrameTo(const UIDRef& frame, const PMPoint& point);
// The source fitted proportionally into the target less the margin on every
// side, centred on the free axis.
PMRect scaleRect(const PMRect& target, const PMRect& source, float margin);
MyRect scaleRect(const MyRect& target, const MyRect& source, float margin);
// Frame-content fitting of one frame; the host's result, nothing logged.
ErrorCode fitContentProp(const UIDRef& frame);
ErrorCode centerContent(const UIDRef& frame);
ErrorCode fillContentProp(const UIDRef& frame);
ErrorCode fitFrameToContent(const UIDRef& frame);
ErrorCode fitContentToFrame(const UIDRef& frame);

// Grouping. The new group, or the invalid reference (fewer than 2 items, or
// "\t####\tgrouping failed!" logged).
UIDRef groupFrames(const UIDList& frames);
UIDRef groupFrames(const UIDRef& first, const UIDRef& second);
// Logs "\t####\tungrouping failed!" on an error.
void ungroupFrames(const UIDList& groups);
void ungroupFrame(const UIDRef& group);

// Selection in the active context; nothing without one.
void selectFrames(const UIDList& frames, unsigned char scrollIntoView);
void selectFrame(const UIDRef& frame, unsigned char scrollIntoView);
void deselectAll();

// Deleting, cutting and pasting.
ErrorCode deleteFrames(const UIDList& frames);
ErrorCode deleteFrame(const UIDRef& frame);
int cutFrame(const UIDRef& frame);
int pasteFrame();

// The kind of default attributes a new page item gets.
enum class GraphicAttrType {
  kDefaultGraphicAttributes,  // no fill, 1 pt black stroke
  kDefaultTextAttributes,     // no fill, no stroke
  kNoGraphicAttributes,       // the document's bare defaults
};
// A rectangle in the parent (a spread layer), bounds in the parent's coordinates.
UIDRef createRectangle(const UIDRef& parent, const PMRect& bounds, GraphicAttrType attributes);

// Diagnostics.
void dumpUIDs(const UIDList* frames);
void dumpUID(const UIDRef& frame);
void dumpUID(UID uid);

// A host command: something that changes the document when processed.
class ICommand {
 public:
  virtual ~ICommand() = default;
  virtual ErrorCode Do() = 0;
};
// Processes the command; its error code (the class is not used).
ErrorCode processCmd(ICommand* command, ClassID classID);

}  // namespace korvex
