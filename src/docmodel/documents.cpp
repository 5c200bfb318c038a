#include "docmodel/documents.h"

#include <vector>

#include "foundation/files.h"
#include "foundation/log.h"
#include "host/host_strings.h"
#include "host/session.h"

namespace korvex {

namespace {

Application* application() {
  Session* session = GetExecutionContextSession();
  return session ? session->application() : nullptr;
}

IDocument* openDocument(const UIDRef& reference) {
  return documentForRef(reference);
}

}  // namespace

// Looked up among the open documents rather than through the database: a
// reference may outlive the document it named, and its database with it.
IDocument* documentForRef(const UIDRef& reference) {
  IDataBase* db = reference.GetDataBase();
  if (!db || reference.GetUID() == kInvalidUID) return nullptr;
  IDocument* document = documentForDataBase(db);
  return document && document->GetUID() == reference.GetUID() ? document : nullptr;
}

IDocument* documentForDataBase(IDataBase* database) {
  Application* app = application();
  if (!database || !app) return nullptr;
  for (int i = 0; i < app->GetDocumentCount(); ++i)
    if (IDocument* document = app->GetNthDocument(i); document && document->GetDocDataBase() == database)
      return document;
  return nullptr;
}

bool documentIsOpen(const IDocument* document) {
  Application* app = application();
  return app && app->isOpen(document);
}

UIDRef refForDocument(const IDocument* document) {
  return document ? document->GetUIDRef() : UIDRef();
}

bool EnumDocs(DocCallback callback, void* data) {
  Application* app = application();
  if (!app) return true;
  const int count = app->GetDocumentCount();
  for (int i = 0; i < count; ++i) {
    IDocument* document = app->GetNthDocument(i);
    if (!document) continue;
    if (!callback(document, pathForDoc(document), data)) return false;
  }
  return true;
}

namespace {
struct PathSearch {
  StringArg path;
  IDocument* found = nullptr;
};
}  // namespace

IDocument* docForPath(StringArg path) {
  PathSearch search{path};
  EnumDocs(
      [](IDocument* document, const std::optional<std::string>& docPath, void* data) {
        auto* s = static_cast<PathSearch*>(data);
        if (!stringsAreEqual(docPath, s->path)) return true;
        s->found = document;
        return false;
      },
      &search);
  return search.found;
}

bool docIsOpen(StringArg path) {
  return docForPath(path) != nullptr;
}

UIDRef docRefForPath(StringArg path) {
  return refForDocument(docForPath(path));
}

int getNumberOfDocs() {
  int count = 0;
  EnumDocs(
      [](IDocument*, const std::optional<std::string>&, void* data) {
        ++*static_cast<int*>(data);
        return true;
      },
      &count);
  return count;
}

std::optional<std::string> pathForDoc(const UIDRef& reference) {
  IDataBase* db = reference.GetDataBase();
  if (!documentForDataBase(db)) return std::nullopt;
  if (!db->GetSysFile().empty()) return pathWithIDFile(db->GetSysFile());
  if (!db->GetFallbackSysFile().empty()) return pathWithIDFile(db->GetFallbackSysFile());
  return std::nullopt;
}

std::optional<std::string> pathForDoc(const IDocument* document) {
  if (!document) return std::nullopt;
  return pathForDoc(document->GetUIDRef());
}

IDocument* frontDoc() {
  Application* app = application();
  return app ? app->frontDocument() : nullptr;
}

UIDRef frontDocRef() {
  return refForDocument(frontDoc());
}

UIDRef openDoc1(const std::string& path) {
  Application* app = application();
  IDFile file = IDFileWithPath(path);
  if (!app || file.empty()) return {};
  IDocument* opened = nullptr;
  if (app->openDocument(file.path(), false, &opened) != kSuccess) return {};
  return refForDocument(opened);
}

UIDRef openDoc2(const std::string& path, bool withWindow) {
  Application* app = application();
  IDFile file = IDFileWithPath(path);
  if (!app || file.empty()) return {};
  IDocument* opened = nullptr;
  if (app->openDocument(file.path(), withWindow, &opened) != kSuccess) return {};
  return refForDocument(opened);
}

ErrorCode openWindowForDoc(const UIDRef& reference) {
  Application* app = application();
  if (IDocument* document = openDocument(reference); app && document) app->openWindow(document);
  return kSuccess;
}

ErrorCode saveDoc(const UIDRef& reference) {
  IDocument* document = openDocument(reference);
  if (!document) return -1;
  return application()->saveDocument(document);
}

namespace {

// Saving under a path the host can't make a file of fails like the host's own save.
ErrorCode saveUnderPath(const UIDRef& reference, const std::string& path,
                        ErrorCode (Application::*save)(IDocument*, const std::string&)) {
  IDocument* document = openDocument(reference);
  IDFile file = IDFileWithPath(path);
  if (!document) return -1;
  if (file.empty()) {
    ErrorUtils::PMSetGlobalErrorCode(kInvalidParameterError);
    return kInvalidParameterError;
  }
  return (application()->*save)(document, file.path());
}

}  // namespace

ErrorCode saveDocAs(const UIDRef& reference, const std::string& path) {
  return saveUnderPath(reference, path, &Application::saveDocumentAs);
}

ErrorCode saveCopyAs(const UIDRef& reference, const std::string& path) {
  return saveUnderPath(reference, path, &Application::saveDocumentCopy);
}

ErrorCode saveCopyAs(IDocument* document, const std::string& path) {
  return saveCopyAs(refForDocument(document), path);
}

void redrawDoc(IDocument* document) {
  Application* app = application();
  if (!app) return;
  if (!document) document = app->frontDocument();
  if (document && app->isOpen(document)) app->redrawViews(document);
}

void redrawDoc(IDataBase* database) { redrawDoc(documentForDataBase(database)); }
void redrawDoc(const UIDRef& reference) { redrawDoc(documentForRef(reference)); }

void redrawDocs() {
  EnumDocs(
      [](IDocument* document, const std::optional<std::string>&, void*) {
        redrawDoc(document);
        return true;
      },
      nullptr);
}

void notifyResponders(IDocument* document, ResponderServiceID service, const IDFile& file,
                      const std::string& formatName, int uiFlags) {
  Session* session = GetExecutionContextSession();
  if (!session) return;
  session->responders().signal(service, ResponderSignalData{document, file, formatName, uiFlags});
}

bool makeDocActive(IDocument* document) {
  MyLog("makeDocActive: %x", reinterpret_cast<std::uintptr_t>(document));
  Application* app = application();
  if (!document || !app || !app->isOpen(document)) return false;
  return app->bringToFront(document);
}

bool makeDocActive(IDataBase* database) {
  return makeDocActive(documentForDataBase(database));
}
bool makeDocActive(const UIDRef& reference) {
  return makeDocActive(documentForRef(reference));
}

void closeDoc(const UIDRef& reference) {
  if (IDocument* document = openDocument(reference)) application()->closeDocument(document);
}

void closeDoc(IDocument* document) {
  closeDoc(refForDocument(document));
}

void closeDocWindows(const UIDRef& reference) {
  if (IDocument* document = openDocument(reference)) application()->closeWindows(document);
}

void closeDoc2(const UIDRef& reference, bool deleteFile) {
  IDocument* document = openDocument(reference);
  if (!document) return;
  const std::optional<std::string> path = pathForDoc(reference);
  application()->closeWindows(document);
  application()->closeDocument(document);
  if (deleteFile && path) removeFile(*path);
}

void closeDoc2(IDocument* document) {
  closeDoc2(refForDocument(document), false);
}

void closeDocs() {
  // Collected first: closing while walking the list by index would pass over
  // the documents that move down into the closed one's place.
  std::vector<UIDRef> open;
  EnumDocs(
      [](IDocument* document, const std::optional<std::string>&, void* data) {
        static_cast<std::vector<UIDRef>*>(data)->push_back(refForDocument(document));
        return true;
      },
      &open);
  for (const UIDRef& document : open) closeDoc2(document, false);
}

bool closeDocIfOpen(const std::string& path, bool deleteFile) {
  bool closed = false;
  if (IDocument* document = docForPath(path)) {
    closeDoc2(refForDocument(document), false);
    closed = true;
  }
  if (deleteFile) return removeFile(path);
  return closed;
}

}  // namespace korvex
