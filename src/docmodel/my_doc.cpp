#include "docmodel/my_doc.h"

#include "docmodel/documents.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "host/host_strings.h"
#include "host/session.h"

namespace korvex {

MyDoc::MyDoc(const UIDRef& reference)
    : _document(documentForRef(reference)),
      _database(reference.GetDataBase()),
      _path(pathForDoc(reference)) {}

MyDoc::MyDoc(IDocument* document) {
  if (!document) document = korvex::frontDoc();
  if (!document) return;
  _document = document;
  _database = document->GetDocDataBase();
}

std::unique_ptr<MyDoc> MyDoc::frontDoc(bool create) {
  if (!korvex::frontDoc()) {
    if (!create) return nullptr;
    Application* app = GetExecutionContextSession()->application();
    IDocument* created = app->newDocument(DocumentSetup{}, false);
    if (!created) return nullptr;
    openWindowForDoc(created->GetUIDRef());
    if (!korvex::frontDoc()) return nullptr;
  }
  return std::make_unique<MyDoc>(korvex::frontDoc());
}

std::unique_ptr<MyDoc> MyDoc::docWithPath(const std::string& path) {
  auto doc = std::make_unique<MyDoc>();
  if (doc->open(path) != kSuccess) return nullptr;
  return doc;
}

void MyDoc::init() {
  _document = nullptr;
  _database = nullptr;
  _path.reset();
}

ErrorCode MyDoc::open(const std::string& path) {
  IDFile file = IDFileWithPath(path);
  if (file.empty()) return -1;
  MyLog("MyDoc::open: %@", path);
  IDocument* opened = nullptr;
  const ErrorCode error =
      GetExecutionContextSession()->application()->openDocument(file.path(), true, &opened);
  if (error != kSuccess) return error;
  _document = korvex::frontDoc();
  _database = _document ? _document->GetDocDataBase() : nullptr;
  _path = path;
  return kSuccess;
}

UIDRef MyDoc::reference() const {
  // The document's UID is read only while it is open.
  IDocument* document = documentForDataBase(_database);
  return document == _document && document ? document->GetUIDRef() : UIDRef();
}

std::optional<std::string> MyDoc::getPath(bool folder) const {
  std::optional<std::string> path = _path ? _path : pathForDoc(reference());
  if (path && folder) return stringByDeletingLastPathComponent(*path);
  return path;
}

std::optional<std::string> MyDoc::getName(bool withExtension) const {
  std::optional<std::string> path = getPath();
  if (!path) return std::nullopt;
  return lastPathComponent(*path, withExtension);
}

ErrorCode MyDoc::save() {
  return saveDoc(reference());
}

ErrorCode MyDoc::saveAs(const std::string& path) {
  return saveDocAs(reference(), path);
}

ErrorCode MyDoc::saveACopy(const std::string& path) {
  removeFile(path);
  return saveCopyAs(reference(), path);
}

void MyDoc::close() {
  const UIDRef ref = reference();
  if (ref.isValid()) closeDoc(ref);
}

void MyDoc::redraw() { redrawDoc(_document); }

void MyDoc::notifyResponders(ResponderServiceID service, const IDFile& file, const std::string& formatName,
                             int uiFlags) {
  korvex::notifyResponders(_document, service, file, formatName, uiFlags);
}

void MyDoc::setModified(bool modified) {
  if (documentForDataBase(_database)) _database->SetModified(modified);
}

UID MyDoc::stockColorUID(int index) {
  IDocument* document = documentForDataBase(_database);
  return document ? document->stockColorUID(index) : kInvalidUID;
}

}  // namespace korvex
