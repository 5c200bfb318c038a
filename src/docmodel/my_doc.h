#pragma once

// MyDoc: the plug-in's handle on a host document. It borrows the document:
// destroying a handle leaves the document open.

#include <memory>
#include <optional>
#include <string>

#include "host/document.h"
#include "host/uid_ref.h"

namespace korvex {

class MyDoc {
 public:
  // An empty handle.
  MyDoc() = default;
  explicit MyDoc(const UIDRef& reference);
  // Null means the front document; with none the handle stays empty.
  explicit MyDoc(IDocument* document);

  // A handle on the front document; with none, a new document (and its
  // window) when create is true, else null.
  static std::unique_ptr<MyDoc> frontDoc(bool create);
  // A handle on which open(path) succeeded, else null.
  static std::unique_ptr<MyDoc> docWithPath(const std::string& path);

  // Empties the handle.
  void init();
  // Logs "MyDoc::open: %@" and opens the document; the host's error code
  // (0 success). The handle is unchanged on failure.
  ErrorCode open(const std::string& path);

  IDocument* document() const { return _document; }
  IDataBase* database() const { return _database; }
  UIDRef reference() const;
  bool isEmpty() const { return _document == nullptr; }

  // The handle's path, else the document's; with folder, its folder.
  std::optional<std::string> getPath(bool folder = false) const;
  std::optional<std::string> getName(bool withExtension = true) const;

  ErrorCode save();
  ErrorCode saveAs(const std::string& path);
  // Replaces any file at path by a copy of the document.
  ErrorCode saveACopy(const std::string& path);
  void close();
  void setModified(bool modified);
  UID stockColorUID(int index);

 private:
  IDocument* _document = nullptr;
  IDataBase* _database = nullptr;
  std::optional<std::string> _path;
};

}  // namespace korvex
