#pragma once

// Links of placed content: the link object on the content and the link
// resource with the file's path and what the file was like when placed.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/host_object.h"

namespace korvex {

struct FileStamp {
  std::uint64_t size = 0;
  std::int64_t modifiedMs = 0;  // milliseconds since 1970 (UTC)
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The size and modification time of a file on disk; none when it is not a regular file.
std::optional<FileStamp> stampOfFile(const std::string& path);

class LinkResource : public HostObject {
 public:
  LinkResource(IDataBase* db, UID uid, std::string path) : HostObject(db, uid), path_(std::move(path)) {}
  ClassID GetClass() const override { return ClassID::kLinkResource; }

  const std::string& path() const { return path_; }
  const FileStamp& stamp() const { return stamp_; }
  bool isEmbedded() const { return embedded_; }
  const std::vector<std::uint8_t>& embeddedData() const { return data_; }

  // Points the resource at a file and records its current stamp; fails when the file is not there.
  ErrorCode relink(const std::string& path);
  // Records the file's current stamp (an update after the file changed).
  ErrorCode update();
  // Copies the file's bytes into the document.
  ErrorCode embed();
  ErrorCode unembed();
  // For the file loader: set what was recorded without touching the disk.
  void restore(std::string path, FileStamp stamp, bool embedded, std::vector<std::uint8_t> data);

 private:
  std::string path_;
  FileStamp stamp_;
  bool embedded_ = false;
  std::vector<std::uint8_t> data_;
};

class ILink : public HostObject {
 public:
  enum ResourceModificationState { kResourceModified = 0, kResourceMissing = 1, kResourceNormal = 2 };

  ILink(IDataBase* db, UID uid, UID object, UID resource)
      : HostObject(db, uid), object_(object), resource_(resource) {}
  ClassID GetClass() const override { return ClassID::kLink; }

  UID GetObject() const { return object_; }
  UID GetResource() const { return resource_; }
  LinkResource* resource() const;
  // Missing when the file is gone, modified when its size or time differ, else normal.
  // Embedded links are always normal.
  ResourceModificationState GetResourceModificationState() const;
  // Why the linked file, though there, can't be drawn (damaged, a format the
  // host can't read, a PDF without a readable page); none when it can be
  // drawn, is missing or is embedded. Beside the modification state, which it
  // leaves as it is.
  std::optional<std::string> undrawableReason() const;

 private:
  UID object_;
  UID resource_;
};

}  // namespace korvex
