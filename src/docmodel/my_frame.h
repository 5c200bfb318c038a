#pragma once

// MyFrame: a page item by value (database and UID) with a label buffer. The
// methods are the frame functions applied to the frame's own reference.

#include <cstddef>
#include <optional>
#include <string>

#include "foundation/strings.h"
#include "host/document.h"
#include "host/uid_ref.h"

namespace korvex {

class MyFrame {
 public:
  static constexpr std::size_t kLabelBufferSize = 2048;

  MyFrame() = default;
  explicit MyFrame(const UIDRef& reference);
  // The entry at index; invalid for a missing, empty list or an index outside it.
  MyFrame(const UIDList* list, int index);
  MyFrame(const UIDList& list, int index) : MyFrame(&list, index) {}
  MyFrame(IDataBase* database, UID uid);
  explicit MyFrame(const HostObject* object);

  IDataBase* database() const { return _database; }
  UID uid() const { return _uid; }
  UIDRef ref() const { return {_database, _uid}; }

  bool isGraphicFrame() const;
  bool isTextFrame() const;
  bool isGroup() const;
  UID getParent() const;
  UIDRef getChild() const;
  UIDList children() const;
  UIDRef storyRef() const;

  // Inner bounds under the inner-to-pasteboard matrix; empty without geometry.
  PMRect getRect() const;
  ErrorCode setRect(PMRect& rect);
  PMRect bounds(unsigned char inMillimetres) const;
  ErrorCode setBounds(PMRect& rect, unsigned char inMillimetres);

  // The first link's path of the first child (flag 1) or of the frame itself.
  std::optional<std::string> getPath(unsigned char ofContent) const;

  std::optional<std::string> getTag(const char* key) const;
  int getInt(const char* key) const;
  void setTag(const char* key, StringArg value);
  void setTag(const std::string& key, StringArg value);
  void setInt(const char* key, int value);
  // The value as UTF-8 in the label buffer (cut at a character boundary when
  // longer than the buffer); null when empty or absent. Valid until the next call.
  const char* stringForKey(const char* key);
  void setStringForKey(const char* key, const char* value);

  short relink(const IDFile& file);
  short relink(const std::string& path);

  // Log "\t####\tfitContentToFrame: %d" / "\t####\tfitFrameToContent: %d" on failure.
  short fitContentToFrame();
  ErrorCode fitFrameToContent();

  long numberOfColumns() const;
  ErrorCode setNumberOfColumns(long columns);

  // Deletes the item (its frame kind of delete); beeps on failure.
  void remove();
  void removeChild();

  std::optional<std::string> fillColorName() const;
  UID fillColor() const;
  void setFillColor(UID color);

  // "db: %08x, uid: %d".
  void log() const;

 private:
  IDataBase* _database = nullptr;
  UID _uid = kInvalidUID;
  char _label[kLabelBufferSize] = {};
};

}  // namespace korvex
