#pragma once

// A snapshot of one page item, taken before the layer separation starts
// moving items: kind, bounds relative to the first page, layer, stroke, fill
// and content colours, the story's text or the placed file and whether it is
// grey or in colour. The sorting decides on these snapshots without asking
// the host again; `description` is the frame's line in the log.

#include <optional>
#include <string>
#include <vector>

#include "docmodel/units.h"
#include "foundation/value.h"
#include "host/geometry.h"
#include "host/uid_ref.h"

namespace korvex {

// The process-wide logo table: "bw" and "color" list file names (last path
// components) of pictures that count as grey or as colour whatever they hold.
// Replaced by each call; null leaves an empty table.
void setLogos(const DictPtr& logos);

// Colour test of a swatch (database, colour-data UID, name): "Black" is no
// colour, "Paper" is one; without database or colour data none; CMYK counts
// when cyan, magenta or yellow is not 0; every other model counts.
bool colorIsColor(IDataBase* database, int colorDataUID, const std::string& name);

class KXFrame {
 public:
  enum Type { kOther = 0, kText = 1, kGraphics = 2, kLine = 3, kGroup = 4 };
  enum ColorSpaceKind { kSpaceUnknown = 0, kSpaceGrey = 1, kSpaceColor = 2 };

  explicit KXFrame(const UIDRef& frame);
  // The same, with the first page's top-left corner on the pasteboard given
  // (none: keep pasteboard coordinates), for many snapshots of one document.
  KXFrame(const UIDRef& frame, const std::optional<PMPoint>& firstPageOrigin);

  int type() const { return _type; }
  const MyRect& bounds() const { return _bounds; }
  void setBounds(const MyRect& bounds) { _bounds = bounds; }
  const std::string& strokeColorName() const { return _strokeColorName; }
  void setStrokeColorName(std::string name) { _strokeColorName = std::move(name); }
  float strokeColorTint() const { return _strokeColorTint; }
  int strokeColorDataUID() const { return _strokeColorUID; }
  const std::string& fillColorName() const { return _fillColorName; }
  void setFillColorName(std::string name) { _fillColorName = std::move(name); }
  float fillColorTint() const { return _fillColorTint; }
  int fillColorDataUID() const { return _fillColorUID; }
  const std::string& contentColorName() const { return _contentColorName; }
  int contentColorDataUID() const { return _contentColorUID; }
  const std::string& layerName() const { return _layerName; }
  const std::string& text() const { return _text; }
  const std::string& path() const { return _path; }
  int textStart() const { return _textStart; }
  int textSpan() const { return _textSpan; }
  int colorSpace() const { return _colorSpace; }
  void setColorSpace(int space) { _colorSpace = space; }

  bool isEmpty() const;
  bool isText() const { return _type == kText && !_text.empty(); }
  bool isGraphics() const { return _type == kGraphics; }
  bool isLine() const { return _type == kLine; }

  IDataBase* dataBase() const { return _database; }
  // The spread layer that holds the item, and that spread layer's document layer.
  UID layerUID() const { return _layerUID; }
  UID docLayerUID() const { return _docLayerUID; }
  UIDRef frameRef() const { return {_database, _frameUID}; }
  UID frameUID() const { return _frameUID; }
  UIDRef childRef() const;
  UIDRef storyRef() const { return {_database, _storyUID}; }

  // True when the two bounds overlap with an area (touching is not enough);
  // a null frame counts as the zero rectangle.
  bool sharesAreaWithFrame(const KXFrame* other) const;

  std::string description() const;
  std::string generalDescription() const;
  std::string textDescription() const;
  std::string spaceDescription() const;
  std::string typeDescription() const;
  std::string colorStr(int colorDataUID, const std::string& name, float tint) const;

 private:
  void setup(const UIDRef& frame, const std::optional<PMPoint>& firstPageOrigin);
  void setupText();
  void setupGraphics();
  void setupFillAndStrokeColor();
  void setupContentColor(const UIDRef& content);

  IDataBase* _database = nullptr;
  UID _frameUID = kInvalidUID;
  int _type = kOther;
  MyRect _bounds;
  UID _layerUID = kInvalidUID;
  UID _docLayerUID = kInvalidUID;
  std::string _layerName;
  std::string _strokeColorName;
  float _strokeColorTint = -1;
  int _strokeColorUID = 0;
  std::string _fillColorName;
  float _fillColorTint = -1;
  int _fillColorUID = 0;
  std::string _contentColorName;
  int _contentColorUID = 0;
  UID _storyUID = kInvalidUID;
  std::string _text;
  int _textStart = 0;
  int _textSpan = 0;
  std::string _path;
  int _colorSpace = kSpaceUnknown;
};

// The log's form of a frame list: "(", each frame's description on its own
// line indented four spaces, "," between, ")".
// Where the document's first page starts on the pasteboard; none without a page.
std::optional<PMPoint> firstPageOrigin(IDataBase* database);

std::string describeFrames(const std::vector<const KXFrame*>& frames);

}  // namespace korvex
