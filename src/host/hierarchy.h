#pragma once

// The page-item tree: spreads hold spread layers, spread layers hold pages
// and page items, groups and frames hold their children. Child 0 is the
// back-most. Each node carries its transform from inner to parent coordinates.

#include <unordered_set>
#include <vector>

#include "host/geometry.h"
#include "host/host_object.h"

namespace korvex {

class IHierarchy : public HostObject {
 public:
  using HostObject::HostObject;

  UID GetParentUID() const { return parent_; }
  int GetChildCount() const { return static_cast<int>(children_.size()); }
  UID GetChildUID(int index) const;
  const std::vector<UID>& children() const { return children_; }
  int GetChildIndex(UID child) const;

  const PMMatrix& transform() const { return transform_; }
  ErrorCode setTransform(const PMMatrix& m);

  // Tree edits keep both ends in step; index -1 (or past the end) appends in front.
  ErrorCode addChild(IHierarchy* child, int index = -1);
  ErrorCode removeChild(IHierarchy* child);
  // Detaches every listed child in one pass (the others keep their order);
  // hands the detached ones back, back-most first.
  std::vector<IHierarchy*> detachChildren(const std::unordered_set<UID>& which);

  // Inner coordinates to pasteboard coordinates (product up the parent chain).
  PMMatrix innerToPasteboard() const;
  IHierarchy* parent() const;

 private:
  UID parent_ = kInvalidUID;
  std::vector<UID> children_;
  PMMatrix transform_;
};

}  // namespace korvex
