#include "docmodel/pictures.h"

#include "docmodel/my_frame.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/workspace.h"

namespace korvex {

UIDRef placePicture(ISpreadLayer* layer, const URI& uri, const std::vector<PMPoint>& points, bool fit) {
  if (!layer || points.size() < 2) return {};
  IDataBase* db = layer->GetDataBase();
  IDocument* doc = db ? db->document() : nullptr;
  UID frame = kInvalidUID;
  const ErrorCode error = doc ? placeFileInRect(*doc, layer->GetUID(), points[0], points[1], uri, &frame)
                              : ErrorCode{kInvalidParameterError};
  if (error != kSuccess) {
    MyLog("\t####\terr = %d", error);
    return {};
  }
  const UIDRef placed(db, frame);
  if (fit) MyFrame(placed).fitFrameToContent();
  return placed;
}

UIDRef placePicture(ISpreadLayer* layer, const std::string& path, const std::vector<PMPoint>& points,
                    bool fit) {
  if (!pathIsFile(path)) return {};
  return placePicture(layer, URIUtils::IDFileToURI(IDFile(path)), points, fit);
}

UIDRef placePicture(ISpreadLayer* layer, const std::string& path, const PMRect& rect, bool fit) {
  return placePicture(layer, path, std::vector<PMPoint>{{rect.left, rect.top}, {rect.right, rect.bottom}},
                      fit);
}

UIDRef placePicture(const UIDRef& layer, const std::string& path, const PMRect& rect, bool fit) {
  IDataBase* db = layer.GetDataBase();
  auto* spreadLayer = db ? db->instantiate<ISpreadLayer>(layer.GetUID()) : nullptr;
  if (!spreadLayer) return {};
  return placePicture(spreadLayer, path, rect, fit);
}

UID importFile(IDataBase* database, const std::string& path) {
  IDocument* doc = database ? database->document() : nullptr;
  if (!doc) return kInvalidUID;
  UID item = kInvalidUID;
  if (importFileToDatabase(*doc, URIUtils::IDFileToURI(IDFile(path)), &item) != kSuccess) return kInvalidUID;
  return item;
}

UIDRef importFileWithPlaceGun(IDataBase* database, const std::string& path) {
  const UID item = importFile(database, path);
  if (item == kInvalidUID) return {};
  placeGun()->load(UIDList(UIDRef(database, item)), true);
  return {database, item};
}

int loadPlaceGun(const UIDList* items) {
  MyLog("loadPlaceGun: %d", items ? items->Length() : 0);
  placeGun()->load(items ? *items : UIDList(), true);
  return 0;
}

int loadPlaceGun(const UIDList& items) {
  return loadPlaceGun(&items);
}

int loadPlaceGun(IDataBase* database, UID item) {
  const UIDList list(UIDRef(database, item));
  return loadPlaceGun(&list);
}

void deletePageItems(const UIDList& items) {
  IDataBase* db = items.GetDataBase();
  IDocument* doc = db ? db->document() : nullptr;
  if (!doc || doc->deleteItems(items) != kSuccess) beep();
}

bool EnumLibraries(LibraryCallback callback, void* data) {
  LibraryService* service = libraryService();
  if (!service) return true;
  const auto& libraries = service->libraries();
  MyLog("libs: %d", static_cast<int>(libraries.size()));
  if (!callback) return true;
  for (const auto& library : libraries)
    if (!callback(library.get(), stringByDeletingPathExtension(library->GetName()), data)) return false;
  return true;
}

}  // namespace korvex
