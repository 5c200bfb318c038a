#pragma once

// The per-document database: owns every object of one document by UID,
// hands out new UIDs, and carries the modified flag and the document's files.

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>

#include "host/host_object.h"
#include "host/uid_ref.h"

namespace korvex {

class IDocument;

class IDataBase {
 public:
  IDataBase() = default;
  IDataBase(const IDataBase&) = delete;
  IDataBase& operator=(const IDataBase&) = delete;

  // The root document object (owned by the application, not by the database).
  IDocument* document() const { return document_; }
  UID GetRootUID() const { return rootUID_; }

  HostObject* object(UID uid) const;
  bool exists(UID uid) const { return object(uid) != nullptr; }
  template <typename T>
  T* instantiate(UID uid) const {
    return dynamic_cast<T*>(object(uid));
  }

  // A new object with a fresh UID, or with the given one when it is free.
  template <typename T, typename... Args>
  T* create(Args&&... args) {
    return createWithUID<T>(nextUID_, std::forward<Args>(args)...);
  }
  template <typename T, typename... Args>
  T* createWithUID(UID uid, Args&&... args) {
    // The largest UID stays unused so that the next one can't wrap to kInvalidUID.
    if (uid == kInvalidUID || uid == kLastUID || exists(uid)) return nullptr;
    auto owned = std::make_unique<T>(this, uid, std::forward<Args>(args)...);
    T* raw = owned.get();
    objects_.emplace(uid, std::move(owned));
    if (uid >= nextUID_) nextUID_ = uid + 1;
    return raw;
  }
  // Removes the object; references to it elsewhere are the caller's to clear.
  bool destroy(UID uid);
  // New objects get UIDs above uid (a loader reserves the UIDs a file names).
  void reserveThrough(UID uid) {
    if (uid < kLastUID && uid >= nextUID_) nextUID_ = uid + 1;
  }
  static constexpr UID kLastUID = 0xFFFFFFFFu;
  std::size_t objectCount() const { return objects_.size() + (document_ ? 1 : 0); }
  UID nextUID() const { return nextUID_; }

  bool IsModified() const { return modified_; }
  void SetModified(bool modified) {
    modified_ = modified;
    if (modified) ++changes_;
  }
  // Tells caches apart: a number no other database of the process has, and
  // a count that grows with every change.
  std::uint64_t serial() const { return serial_; }
  std::uint64_t changeCount() const { return changes_; }

  // The file the document was opened from or saved to, and the fallback
  // reference (the file it was converted from, or its last known place).
  const IDFile& GetSysFile() const { return file_; }
  void SetSysFile(IDFile file) { file_ = std::move(file); }
  const IDFile& GetFallbackSysFile() const { return fallbackFile_; }
  void SetFallbackSysFile(IDFile file) { fallbackFile_ = std::move(file); }

 private:
  friend class IDocument;
  void attachDocument(IDocument* document, UID uid);

  std::unordered_map<UID, std::unique_ptr<HostObject>> objects_;
  IDocument* document_ = nullptr;
  UID rootUID_ = kInvalidUID;
  UID nextUID_ = 1;
  bool modified_ = false;
  std::uint64_t serial_ = nextSerial();
  std::uint64_t changes_ = 0;
  static std::uint64_t nextSerial();
  IDFile file_;
  IDFile fallbackFile_;
};

}  // namespace korvex
