#pragma once

// The content side of a page item: its story and the frames of a story,
// threading, columns, inset and vertical justification, text selection; the
// link of a picture frame; fill, stroke and corner; the printing flag; labels
// (key/value strings on page items); object styles; page and spread.
// Results are host error codes (0 success) unless stated; a reference with a
// null database gives the empty result.

#include <optional>
#include <string>

#include "foundation/strings.h"
#include "host/document.h"
#include "host/link.h"
#include "host/uid_ref.h"

namespace korvex {

// Text.
UIDRef storyForFrame(const UIDRef& frame);
UIDList frameListForStory(const UIDRef& story);
UIDRef firstFrameForStory(const UIDRef& story);
UIDRef lastFrameForStory(const UIDRef& story);
UIDRef frameForTextModel(const ITextModel* story);
void setVerticalJustificationForStory(const UIDRef& story, VerticalJustification justification);
// Left plus right inset.
float textInsetForFrame(const UIDRef& frame);
float textInsetForStory(const UIDRef& story);
ErrorCode setTextInsetForFrame(const UIDRef& frame, float inset);
long numberOfColumnsForFrame(const UIDRef& frame);
// The gutter changes only when it is above 0; logs "\t####\tsetNumberOfColumns failed!".
ErrorCode setNumberOfColumnsForFrame(const UIDRef& frame, long columns, float gutter);
// 1 when either item is no text frame.
ErrorCode linkTextFrames(const UIDRef& first, const UIDRef& second, unsigned char flag);
void linkTextFrames(const UIDList& frames);
void selectText(const UIDRef& story, long start, long length);

// Links.
UIDRef linkForFrame(const UIDRef& frame);
UIDRef frameForLink(const UIDRef& link, unsigned char parentFrame);
// POSIX path, or HFS with the flag 1; the state is stored first when asked for.
std::optional<std::string> pathForLink(const UIDRef& link, ILink::ResourceModificationState* state = nullptr,
                                       unsigned char hfs = 0);
std::optional<std::string> pathForFrame(const UIDRef& frame, unsigned char hfs = 0);
bool isMissingLink(const UIDRef& link);
bool isModifiedLink(const UIDRef& link);
ErrorCode updateLink(const UIDRef& link);
ErrorCode deleteLinks(const UIDList& links);
// The caller's reference becomes the frame's first child.
void embedLinkForFrame(UIDRef& frame);
ErrorCode updateLinkWithFile(const UIDRef& link, const IDFile& file);
ErrorCode updateLinkWithFile(const UIDRef& link, const std::string& path);
ErrorCode updateFrameWithFile(const UIDRef& frame, const std::string& path);
// The link utilities: a link object for a page item, a link resource for a
// file path in a database, and the link of the one to the other (a further
// link of the item beside its placed file's).
ErrorCode createLinkObject(const UIDRef& item, UIDRef* object);
ErrorCode createLinkResource(IDataBase* database, const std::string& path, UIDRef* resource);
ErrorCode createLink(const UIDRef& object, const UIDRef& resource, UIDRef* link);
// The image colour-management utility: the placed image uses the profile its file embeds.
// A failure says why in message when asked.
ErrorCode setImageToEmbeddedProfile(const UIDRef& item, std::string* message = nullptr);

// Colours, strokes, corners.
std::optional<std::string> fillColorNameForFrame(const UIDRef& frame);
std::optional<std::string> strokeColorNameForFrame(const UIDRef& frame);
UID getColorUID(IDataBase* database, StringArg name);
ErrorCode setFillColor(const UIDList& frames, UID color);
void setFillColor(const UIDRef& frame, UID color);
ErrorCode setFillColor(const UIDList& frames, StringArg name);
ErrorCode setStrokeColor(const UIDList& frames, StringArg name);
void setFillColor(const UIDRef& frame, StringArg name);
void setStrokeColor(const UIDRef& frame, StringArg name);
float getStrokeWidth(const UIDRef& frame);
ErrorCode setStrokeWidth(const UIDRef& frame, float width);
ErrorCode setStrokeAlignment(const UIDRef& frame, StrokeAlignment alignment);
float cornerRadiusForFrame(const UIDRef& frame);
int applyBGColor(const UIDRef& frame, StringArg name);

// Printing flag.
bool frameIsPrinting(const UIDRef& frame);
ErrorCode setFramePrinting(const UIDList& frames, unsigned char printing);
ErrorCode setFramePrinting(const UIDRef& frame, unsigned char printing);

// Labels. An empty value counts as absent.
std::optional<std::string> stringForKey(const UIDRef& item, const char* key,
                                        const std::optional<std::string>& defaultValue);
std::optional<std::string> stringForKey(const UIDRef& item, const std::string& key,
                                        const std::optional<std::string>& defaultValue);
std::optional<std::string> stringForKey(const HostObject* item, const char* key,
                                        const std::optional<std::string>& defaultValue);
int intForKey(const UIDRef& item, const char* key, int defaultValue);
float floatForKey(const UIDRef& item, const char* key, float defaultValue);
// None or an item without labels changes nothing.
void setStringForKey(const UIDRef& item, const char* key, StringArg value);
void setStringForKey(const UIDRef& item, const std::string& key, StringArg value);
void setStringForKey(const HostObject* item, const char* key, StringArg value);
void setIntForKey(const UIDRef& item, const char* key, int value);
void setFloatForKey(const UIDRef& item, const char* key, float value);
// The platform's decimal text of a number ("42", "2.5").
std::string numberText(int value);
std::string numberText(float value);

// Object styles, pages, spreads. 1 when the name is none or unknown.
ErrorCode applyObjectStyle(const UIDRef& item, StringArg name);
ErrorCode applyObjectStyle(IDataBase* database, UID item, StringArg name);
UID pageUIDForFrame(const UIDRef& item);
UID pageUIDForObj(const HostObject* object);
UID spreadUIDForFrame(const UIDRef& item);

}  // namespace korvex
