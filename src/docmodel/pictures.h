#pragma once

// Placing picture files into new frames on a spread layer, importing files
// into a document's database, the place gun, deleting page items and the
// open libraries.

#include <optional>
#include <string>
#include <vector>

#include "host/interaction.h"
#include "host/layout.h"
#include "host/place.h"
#include "host/uid_ref.h"

namespace korvex {

// The new frame, fitted to its picture when fit is true; the invalid
// reference (and "\t####\terr = %d" logged) on failure. points holds the
// frame's top-left and bottom-right corners.
UIDRef placePicture(ISpreadLayer* layer, const URI& uri, const std::vector<PMPoint>& points, bool fit);
// Nothing happens unless path is an existing file.
UIDRef placePicture(ISpreadLayer* layer, const std::string& path, const std::vector<PMPoint>& points,
                    bool fit);
UIDRef placePicture(ISpreadLayer* layer, const std::string& path, const PMRect& rect, bool fit);
UIDRef placePicture(const UIDRef& layer, const std::string& path, const PMRect& rect, bool fit);

// The imported item's UID, kInvalidUID on failure. Nothing is placed on a page.
UID importFile(IDataBase* database, const std::string& path);
UIDRef importFileWithPlaceGun(IDataBase* database, const std::string& path);
// Logs "loadPlaceGun: %d" and loads the items into the place gun; always 0.
int loadPlaceGun(const UIDList* items);
int loadPlaceGun(const UIDList& items);
int loadPlaceGun(IDataBase* database, UID item);

// Deletes the items; beeps on failure.
void deletePageItems(const UIDList& items);

// Callback of EnumLibraries with the library's name without its extension; false stops.
using LibraryCallback = bool (*)(ILibrary* library, const std::string& name, void* data);
// Logs "libs: %d"; false when a callback stopped it, true otherwise (also with no library service).
bool EnumLibraries(LibraryCallback callback, void* data);

}  // namespace korvex
