#pragma once

// What the host keeps about the user's interaction with the front document:
// the active context, the layout and text selection, the clipboard, the
// place gun, the registry of host actions and the open libraries.
//
// All of it belongs to the current session; a new session starts empty.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/document.h"
#include "host/session.h"

namespace korvex {

// The document the user works in: the front document, when there is one.
struct ActiveContext {
  IDocument* document = nullptr;
};
std::optional<ActiveContext> activeContext();

// Scroll option of a select call.
enum class SelectionScroll { None = 0, ScrollIntoView = 2 };

struct TextSelection {
  UID story = kInvalidUID;
  int start = 0;
  int end = 0;
  friend bool operator==(const TextSelection&, const TextSelection&) = default;
};

// The selection of the active context. Selected items that were deleted drop out.
class ActiveSelection {
 public:
  explicit ActiveSelection(IDocument* document) : document_(document) {}
  IDocument* document() const { return document_; }

  // Layout selection.
  void deselectAll();
  // Adds the items of the document's database; others are refused.
  ErrorCode select(const UIDList& items, SelectionScroll scroll);
  UIDList selectedItems() const;
  SelectionScroll lastScroll() const { return scroll_; }

  // Text selection of one story range; a range outside the story is clamped.
  ErrorCode selectText(UID story, int start, int end);
  std::optional<TextSelection> textSelection() const;

 private:
  IDocument* document_;
  std::vector<UID> items_;
  SelectionScroll scroll_ = SelectionScroll::None;
  std::optional<TextSelection> text_;
};

// The selection of the active context; null without an active context.
ActiveSelection* activeSelection();

// The clipboard holds copied page items as a snippet (see snippet.h).
class Clipboard {
 public:
  bool empty() const { return content_.empty(); }
  const std::string& content() const { return content_; }
  void setContent(std::string snippet) { content_ = std::move(snippet); }
  void clear() { content_.clear(); }

 private:
  std::string content_;
};
Clipboard* activeClipboard();

// Cut and paste of the selection through the clipboard.
namespace ScrapSuite {
// 1 when the active selection holds page items that can be cut.
int CanCut();
// Copies the selection to the clipboard and deletes it; 1 on success, 0 otherwise.
int Cut(Clipboard& clipboard);
// 1 when the clipboard holds page items and there is an active context.
int CanPaste(const Clipboard& clipboard);
// Pastes the clipboard's items onto the active layer of the context document's
// first spread (at their former pasteboard place) and selects them; 1 on success.
int Paste(Clipboard& clipboard, const ActiveContext& context);
}  // namespace ScrapSuite

// Items imported and waiting to be placed.
class PlaceGun {
 public:
  void load(const UIDList& items, bool replace);
  const UIDList& items() const { return items_; }
  bool isLoaded() const { return !items_.empty(); }
  void clear() { items_ = UIDList(); }

 private:
  UIDList items_;
};
PlaceGun* placeGun();

// Host actions by identifier, as menu entries invoke them. Unknown identifiers do nothing.
class ActionManager {
 public:
  using Action = std::function<void(const ActiveContext&)>;
  void registerAction(int actionID, Action action);
  // True when the action is known and was run.
  bool performAction(int actionID, const ActiveContext& context, PMPoint mousePosition, int flags);
  bool isKnown(int actionID) const { return actions_.count(actionID) != 0; }

 private:
  std::map<int, Action> actions_;
};
ActionManager* actionManager();

// An open library file.
class ILibrary {
 public:
  explicit ILibrary(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }
  // The file name with its extension.
  std::string GetName() const;

 private:
  std::string path_;
};

// The session's library service: the library files the user opened, none at first.
class LibraryService : public Service {
 public:
  std::string name() const override { return "Libraries"; }
  // False when the file does not exist; opening an open library again changes nothing.
  bool openLibrary(const std::string& path);
  bool closeLibrary(const std::string& path);
  const std::vector<std::unique_ptr<ILibrary>>& libraries() const { return libraries_; }

 private:
  std::vector<std::unique_ptr<ILibrary>> libraries_;
};
// The service installed in the session, null when none is.
LibraryService* libraryService();
// Installs the library service when the session has none and returns it.
LibraryService* installLibraryService();

}  // namespace korvex
