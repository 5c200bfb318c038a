#pragma once

// MyDoc: the plug-in's handle on a host document. It borrows the document:
// destroying a handle leaves the document open.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "docmodel/enumerators.h"
#include "host/document.h"
#include "host/session.h"
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
  void redraw();
  void setModified(bool modified);
  void notifyResponders(ResponderServiceID service, const IDFile& file, const std::string& formatName,
                        int uiFlags);
  UID stockColorUID(int index);

  // Traversal (docmodel/traversal.h has the order rules).
  bool enumSpread(ISpread* spread, ItemCallback callback, void* data) const;
  bool enumSpreads(SpreadCallback callback, void* data) const;
  // Page items of one document layer across all spreads; an invalid
  // reference or one without a document layer gives false.
  bool enumSpreads(IDocumentLayer* layer, ItemCallback callback, void* data) const;
  bool enumSpreads(const UIDRef& layer, ItemCallback callback, void* data) const;
  bool enumBoxes(ItemCallback callback, void* data) const;
  bool enumVisibleBoxes(ItemCallback callback, void* data) const;
  // The first child of each item of the named layer on the first spread,
  // first item first (the invalid reference for an item without children).
  bool enumDocLayer(const std::string& layerName, ItemCallback callback, void* data) const;
  bool enumDocLayers(DocLayerCallback callback, void* data) const;
  bool enumSpreadLayers(int spreadIndex, SpreadLayerCallback callback, void* data) const;
  // Page bounds in millimetres, in page order.
  bool enumPages(PageRectCallback callback, void* data) const;
  bool enumLinks(ItemCallback callback, void* data) const;
  bool enumStories(StoryCallback callback, void* data) const;
  // Paths of all links in link order; links without a path are left out.
  std::vector<std::string> picturePaths() const;
  int getNumPages() const;
  int getNumSpreads() const;
  UIDRef getSpreadRef(int spreadIndex) const;
  UIDList spreadList() const;
  // Pages numbered first to last counting from 1; first below 1 counts as 1,
  // last is cut to the page count.
  UIDList pageRange(int first, int last) const;
  // The page at pageIndex, its spread and its index within that spread; the
  // null reference (outputs untouched) when there is no such page.
  UIDRef getPageRef(int pageIndex, UIDRef* spreadOut = nullptr, int* indexInSpreadOut = nullptr) const;
  // The rectangle enclosing the spread's pages in spread coordinates; empty
  // (and a page count of 0) when there is no such spread.
  PMRect getSpreadBounds(int spreadIndex, int* pageCountOut = nullptr) const;

  // Layers (docmodel/layers.h).
  UID docLayerByName(const std::string& name, bool create);
  UIDRef getLayer(const std::string& name) const;
  UID createDocLayer(const std::string& name, bool visible, bool printable, bool locked);
  void removeLayer(const std::string& name);
  // The named layer's spread layer on the first spread; logs
  // "\tInvalid spreadLayer: %@" when no document layer has that name.
  UIDRef getSpreadLayer(const std::string& name) const;
  // Copies the source layer's items on the first spread onto the target layer; -1 when either is unknown.
  ErrorCode duplicateLayer(const std::string& sourceName, const std::string& targetName);
  // Shows the named layer when hidden and makes it the active layer.
  void activateLayer(const std::string& name);

  // Styles and languages (docmodel/styles_colors_pages.h).
  UID getParaStyle(const std::string& name) const;
  UID getCharStyle(const std::string& name) const;
  // None means "Neutral"; a language only the session knows is added to the document.
  UID getLanguage(const std::optional<std::string>& name);

  // The document while it is open, else null.
  IDocument* liveDocument() const;

 private:
  IDocument* _document = nullptr;
  IDataBase* _database = nullptr;
  std::optional<std::string> _path;
};

}  // namespace korvex
