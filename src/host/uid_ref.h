#pragma once

// References to persistent objects: one (database, UID) pair, or a list of
// UIDs of one database.

#include <cstddef>
#include <vector>

#include "host/host_types.h"

namespace korvex {

class IDataBase;

class UIDRef {
 public:
  UIDRef() = default;
  UIDRef(IDataBase* db, UID uid) : db_(db), uid_(uid) {}
  static UIDRef gNull() { return {}; }

  IDataBase* GetDataBase() const { return db_; }
  UID GetUID() const { return uid_; }
  bool isValid() const { return db_ != nullptr && uid_ != kInvalidUID; }
  friend bool operator==(const UIDRef&, const UIDRef&) = default;

 private:
  IDataBase* db_ = nullptr;
  UID uid_ = kInvalidUID;
};

class UIDList {
 public:
  UIDList() = default;
  explicit UIDList(IDataBase* db) : db_(db) {}
  explicit UIDList(const UIDRef& ref) : db_(ref.GetDataBase()) {
    if (ref.GetUID() != kInvalidUID) uids_.push_back(ref.GetUID());
  }

  IDataBase* GetDataBase() const { return db_; }
  std::size_t size() const { return uids_.size(); }
  int Length() const { return static_cast<int>(uids_.size()); }
  bool empty() const { return uids_.empty(); }
  void Append(UID uid) { uids_.push_back(uid); }
  UID operator[](std::size_t i) const { return uids_[i]; }
  UIDRef GetRef(std::size_t i) const { return i < uids_.size() ? UIDRef(db_, uids_[i]) : UIDRef(); }
  bool contains(UID uid) const;
  const std::vector<UID>& uids() const { return uids_; }
  auto begin() const { return uids_.begin(); }
  auto end() const { return uids_.end(); }

 private:
  IDataBase* db_ = nullptr;
  std::vector<UID> uids_;
};

inline bool UIDList::contains(UID uid) const {
  for (UID u : uids_)
    if (u == uid) return true;
  return false;
}

}  // namespace korvex
