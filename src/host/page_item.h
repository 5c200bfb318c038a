#pragma once

// Page items: groups, spline items (rectangles, ovals, polygons) that are
// empty, hold placed content or show text, graphic lines; and the objects
// inside frames (placed content, the multi-column item and its text columns,
// the inline item that anchors a frame in text).

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/hierarchy.h"

namespace korvex {

// Fill and stroke, as the host's graphic-attribute utilities see them.
// A tint of nullopt means "no tint value" (full strength).
struct GraphicAttributes {
  UID fillSwatch = kInvalidUID;
  std::optional<PMReal> fillTint;
  UID strokeSwatch = kInvalidUID;
  std::optional<PMReal> strokeTint;
  PMReal strokeWeight = 0;
  StrokeAlignment strokeAlignment = StrokeAlignment::Center;
  PMReal cornerRadius = 0;
  bool nonPrinting = false;
  friend bool operator==(const GraphicAttributes&, const GraphicAttributes&) = default;
};

enum class TextWrapMode { None = 0, BoundingBox = 1, Contour = 2, JumpObject = 3, NextColumn = 4 };

struct TextWrapSettings {
  TextWrapMode mode = TextWrapMode::None;
  PMRect offsets;  // left, top, right, bottom
  int side = 0;
  int contour = 0;
  bool inverted = false;
  bool ignoredByTextBeneath = false;
  friend bool operator==(const TextWrapSettings&, const TextWrapSettings&) = default;
};

// Ordered string-to-string labels; an empty value counts as absent.
class LabelStore {
 public:
  std::optional<std::string> get(const std::string& key) const;
  void set(const std::string& key, std::string value);
  bool remove(const std::string& key);
  const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }
  bool empty() const { return entries_.empty(); }

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
};

class PageItem : public IHierarchy {
 public:
  using IHierarchy::IHierarchy;

  const GraphicAttributes& graphicAttributes() const { return attributes_; }
  ErrorCode setGraphicAttributes(const GraphicAttributes& attributes);
  const TextWrapSettings& textWrap() const { return textWrap_; }
  ErrorCode setTextWrap(const TextWrapSettings& wrap);
  const LabelStore& labels() const { return labels_; }
  ErrorCode setLabel(const std::string& key, std::string value);
  ErrorCode removeLabel(const std::string& key);
  const std::string& objectStyle() const { return objectStyle_; }
  ErrorCode setObjectStyle(std::string name);

  // The item's own outline in inner coordinates; none for groups.
  virtual const Path* path() const { return nullptr; }
  virtual ErrorCode setPath(Path) { return kInvalidParameterError; }

 private:
  GraphicAttributes attributes_;
  TextWrapSettings textWrap_;
  LabelStore labels_;
  std::string objectStyle_;
};

class Group : public PageItem {
 public:
  using PageItem::PageItem;
  ClassID GetClass() const override { return ClassID::kGroupItem; }
};

enum class SplineShape { Rectangle, Oval, Polygon };

// A frame: empty, or holding placed content or a multi-column item as child 0.
class SplineItem : public PageItem {
 public:
  SplineItem(IDataBase* db, UID uid, SplineShape shape = SplineShape::Rectangle, Path p = {})
      : PageItem(db, uid), shape_(shape), path_(std::move(p)) {}
  ClassID GetClass() const override { return ClassID::kSplineItem; }

  SplineShape shape() const { return shape_; }
  const Path* path() const override { return &path_; }
  ErrorCode setPath(Path p) override;

  // The multi-column item of a text frame, else kInvalidUID.
  UID textContentUID() const;
  // The placed content (image, PDF, EPS), else kInvalidUID.
  UID placedContentUID() const;

 private:
  SplineShape shape_;
  Path path_;
};

class GraphicLine : public PageItem {
 public:
  GraphicLine(IDataBase* db, UID uid, Path p = {}) : PageItem(db, uid), path_(std::move(p)) {}
  ClassID GetClass() const override { return ClassID::kGraphicLine; }
  const Path* path() const override { return &path_; }
  ErrorCode setPath(Path p) override;

 private:
  Path path_;
};

enum class ImageColorSpace { Unknown = 0, Grey = 1, Colour = 2 };

// What the host records about a placed image, read from the file itself.
struct ImageAttributes {
  ImageColorSpace colorSpace = ImageColorSpace::Unknown;
  int pixelWidth = 0;
  int pixelHeight = 0;
  PMReal resolution = 72;
  friend bool operator==(const ImageAttributes&, const ImageAttributes&) = default;
};

// Placed content inside a frame. Its bounds are the placed file's size in
// points; its transform positions it in the frame.
class PlacedContent : public PageItem {
 public:
  PlacedContent(IDataBase* db, UID uid, ClassID kind, PMRect bounds = {})
      : PageItem(db, uid), kind_(kind), path_(Path::rectangle(bounds)) {}
  ClassID GetClass() const override { return kind_; }
  const Path* path() const override { return &path_; }
  ErrorCode setPath(Path p) override;

  // The link of the placed file; an item may hold further links beside it.
  UID linkUID() const { return link_; }
  void setLinkUID(UID link) { link_ = link; }
  // A relinked file may be of another kind.
  ErrorCode setKind(ClassID kind);
  // Only images carry image attributes.
  const std::optional<ImageAttributes>& imageAttributes() const { return imageAttributes_; }
  ErrorCode setImageAttributes(std::optional<ImageAttributes> attributes);
  // Colour management "use the embedded profile": the profile's name when
  // set, none when the document's working space applies.
  const std::optional<std::string>& embeddedProfile() const { return embeddedProfile_; }
  ErrorCode setEmbeddedProfile(std::optional<std::string> name);

 private:
  ClassID kind_;
  Path path_;
  UID link_ = kInvalidUID;
  std::optional<ImageAttributes> imageAttributes_;
  std::optional<std::string> embeddedProfile_;
};

enum class VerticalJustification { Top = 0, Center = 1, Bottom = 2, Justify = 3 };

struct TextFrameSettings {
  int columnCount = 1;
  PMReal gutter = 12;
  PMRect inset;  // left, top, right, bottom
  VerticalJustification verticalJustification = VerticalJustification::Top;
  friend bool operator==(const TextFrameSettings&, const TextFrameSettings&) = default;
};

// The text side of a text frame: it knows its story and holds one text
// column per column of the frame.
class MultiColumnItem : public IHierarchy {
 public:
  MultiColumnItem(IDataBase* db, UID uid, UID story) : IHierarchy(db, uid), story_(story) {}
  ClassID GetClass() const override { return ClassID::kMultiColumnItem; }

  UID storyUID() const { return story_; }
  void setStoryUID(UID story) { story_ = story; }
  const TextFrameSettings& settings() const { return settings_; }
  // Changes the column count too (text columns are created or removed).
  ErrorCode setSettings(const TextFrameSettings& settings);

 private:
  UID story_;
  TextFrameSettings settings_;
};

// One column of a text frame; what it shows is its story's to say.
class TextColumn : public IHierarchy {
 public:
  using IHierarchy::IHierarchy;
  ClassID GetClass() const override { return ClassID::kTextColumn; }
  UID storyUID() const;
  // First character shown and their number.
  int TextStart() const;
  int TextSpan() const;
};

// Anchors a frame in a story: the frame is its only child.
class InlineItem : public IHierarchy {
 public:
  InlineItem(IDataBase* db, UID uid, UID story) : IHierarchy(db, uid), story_(story) {}
  ClassID GetClass() const override { return ClassID::kInlineItem; }
  UID storyUID() const { return story_; }

 private:
  UID story_;
};

}  // namespace korvex
