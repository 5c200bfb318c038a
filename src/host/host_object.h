#pragma once

// The base of every persistent object of a document: it knows its database
// and its UID, and reports changes to the database's modified flag.

#include "host/host_types.h"

namespace korvex {

class IDataBase;

// What kind of object a UID names (the host's class of the object).
enum class ClassID : int {
  kDocument = 1,
  kDocumentLayer,
  kSpread,
  kSpreadLayer,
  kPage,
  kGroupItem,
  kSplineItem,
  kGraphicLine,
  kImageItem,
  kPDFItem,
  kEPSItem,
  kMultiColumnItem,
  kTextColumn,
  kInlineItem,
  kTextStory,
  kLink,
  kLinkResource,
  kSwatch,
  kStyle,
  kLanguage,
  kFontFamily,
};

class HostObject {
 public:
  HostObject(IDataBase* db, UID uid) : db_(db), uid_(uid) {}
  virtual ~HostObject() = default;
  HostObject(const HostObject&) = delete;
  HostObject& operator=(const HostObject&) = delete;

  virtual ClassID GetClass() const = 0;
  IDataBase* GetDataBase() const { return db_; }
  UID GetUID() const { return uid_; }

 protected:
  // Every successful change calls this.
  void markModified() const;

 private:
  IDataBase* db_;
  UID uid_;
};

}  // namespace korvex
