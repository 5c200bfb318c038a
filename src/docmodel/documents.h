#pragma once

// Finding, opening, saving, activating and closing the host's open documents.
// Documents are passed as the host document, as a UIDRef (database and the
// document's UID) or as a database; the overloads convert and forward.
// Paths are POSIX paths; none stands for a document without a file.

#include <optional>
#include <string>

#include "foundation/strings.h"
#include "host/document.h"
#include "host/session.h"
#include "host/uid_ref.h"

namespace korvex {

// Conversions between the forms a document is passed in; null / invalid when
// the reference or database names no open document.
IDocument* documentForRef(const UIDRef& reference);
IDocument* documentForDataBase(IDataBase* database);
UIDRef refForDocument(const IDocument* document);

// True while the document is one of the open documents (it is gone once closed).
bool documentIsOpen(const IDocument* document);

// Callback of EnumDocs: answers false to stop.
using DocCallback = bool (*)(IDocument* document, const std::optional<std::string>& path, void* data);
// Visits the open documents in list order; false when the callback stopped it.
bool EnumDocs(DocCallback callback, void* data);

// Path equality is exact; none equals only none (an unsaved document).
bool docIsOpen(StringArg path);
// The first open document with the path, else null / the invalid reference.
IDocument* docForPath(StringArg path);
UIDRef docRefForPath(StringArg path);
int getNumberOfDocs();

// The document's file, else its fallback file, else none.
std::optional<std::string> pathForDoc(const UIDRef& reference);
std::optional<std::string> pathForDoc(const IDocument* document);

IDocument* frontDoc();
UIDRef frontDocRef();

// Opens without a window; the opened document's reference or the invalid one.
UIDRef openDoc1(const std::string& path);
// Opens, with a window when asked; the invalid reference when it failed.
UIDRef openDoc2(const std::string& path, bool withWindow);
// Opens a window on the document; always 0.
ErrorCode openWindowForDoc(const UIDRef& reference);

// Saves under the document's own file / under path / a copy to path (the
// document keeps its file). The host's error code; -1 without a document.
ErrorCode saveDoc(const UIDRef& reference);
ErrorCode saveDocAs(const UIDRef& reference, const std::string& path);
ErrorCode saveCopyAs(const UIDRef& reference, const std::string& path);
ErrorCode saveCopyAs(IDocument* document, const std::string& path);

// Redraws the document's views; null means the front document, and with
// none nothing happens.
void redrawDoc(IDocument* document);
void redrawDoc(IDataBase* database);
void redrawDoc(const UIDRef& reference);
void redrawDocs();

// Signals the responders registered for the service with the document, the
// file, the format name and the UI flags.
void notifyResponders(IDocument* document, ResponderServiceID service, const IDFile& file,
                      const std::string& formatName, int uiFlags);

// Logs "makeDocActive: %x"; brings a window of the document to the front.
bool makeDocActive(IDocument* document);
bool makeDocActive(IDataBase* database);
bool makeDocActive(const UIDRef& reference);

// Closes the document without saving; nothing when it is not open.
void closeDoc(const UIDRef& reference);
void closeDoc(IDocument* document);
// Closes the document's windows; the document stays open.
void closeDocWindows(const UIDRef& reference);
// Closes windows and document; deletes the document's file when asked.
void closeDoc2(const UIDRef& reference, bool deleteFile);
void closeDoc2(IDocument* document);
void closeDocs();
// Closes an open document with the path, then deletes the file when asked
// (open or not). The deletion's result when asked to delete, else the close's.
bool closeDocIfOpen(const std::string& path, bool deleteFile);

}  // namespace korvex
