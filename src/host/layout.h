#pragma once

// Layers, spreads and pages. Every spread has one spread layer per document
// layer, in the same order; the pages live on the spread layer of the pages
// layer (document layer 0), so a page's grandparent is its spread.

#include <string>
#include <vector>

#include "host/hierarchy.h"

namespace korvex {

class IDocumentLayer : public HostObject {
 public:
  IDocumentLayer(IDataBase* db, UID uid, std::string name, bool pagesLayer = false)
      : HostObject(db, uid), name_(std::move(name)), pagesLayer_(pagesLayer) {}
  ClassID GetClass() const override { return ClassID::kDocumentLayer; }

  const std::string& GetName() const { return name_; }
  ErrorCode SetName(std::string name);
  bool IsVisible() const { return visible_; }
  ErrorCode SetVisible(bool visible);
  bool IsPrintable() const { return printable_; }
  ErrorCode SetPrintable(bool printable);
  bool IsLocked() const { return locked_; }
  ErrorCode SetLocked(bool locked);
  const std::string& GetColor() const { return color_; }
  ErrorCode SetColor(std::string color);
  // The colour of the session's stock colour number index (from 0).
  ErrorCode SetStockColor(int index);
  bool isPagesLayer() const { return pagesLayer_; }

 private:
  std::string name_;
  bool pagesLayer_;
  bool visible_ = true;
  bool printable_ = true;
  bool locked_ = false;
  std::string color_ = "Light Blue";
};

class ISpreadLayer : public IHierarchy {
 public:
  ISpreadLayer(IDataBase* db, UID uid, UID documentLayer)
      : IHierarchy(db, uid), documentLayer_(documentLayer) {}
  ClassID GetClass() const override { return ClassID::kSpreadLayer; }
  UID documentLayerUID() const { return documentLayer_; }

 private:
  UID documentLayer_;
};

// Margins hold left, top, right, bottom widths.
struct PageMargins {
  PMReal left = 36, top = 36, right = 36, bottom = 36;
  friend bool operator==(const PageMargins&, const PageMargins&) = default;
};

class Page : public IHierarchy {
 public:
  Page(IDataBase* db, UID uid, PMReal width, PMReal height)
      : IHierarchy(db, uid), width_(width), height_(height) {}
  ClassID GetClass() const override { return ClassID::kPage; }

  PMReal width() const { return width_; }
  PMReal height() const { return height_; }
  ErrorCode setSize(PMReal width, PMReal height);
  // (0, 0, width, height) in the page's inner coordinates.
  PMRect innerBounds() const { return {0, 0, width_, height_}; }
  const std::string& name() const { return name_; }
  ErrorCode setName(std::string name);
  const PageMargins& margins() const { return margins_; }
  ErrorCode setMargins(const PageMargins& margins);
  // Column edges as (left, right) pairs in page coordinates; empty means the
  // single column between the margins.
  std::vector<PMReal> columns() const;
  ErrorCode setColumns(std::vector<PMReal> pairs);
  bool hasExplicitColumns() const { return !columns_.empty(); }
  // The master spread whose items show beneath the page's own, else kInvalidUID.
  UID appliedMaster() const { return master_; }
  ErrorCode setAppliedMaster(UID masterSpread);

 private:
  PMReal width_, height_;
  UID master_ = kInvalidUID;
  std::string name_;
  PageMargins margins_;
  std::vector<PMReal> columns_;
};

class ISpread : public IHierarchy {
 public:
  using IHierarchy::IHierarchy;
  ClassID GetClass() const override { return ClassID::kSpread; }

  // The spread layer that belongs to the document layer, or null.
  ISpreadLayer* QueryLayer(UID documentLayer) const;
  ISpreadLayer* pagesLayer() const;
  std::vector<Page*> pages() const;
  int GetNumPages() const;
  // Union of the pages' bounds in spread coordinates (or pasteboard when asked).
  PMRect GetPagesBounds(bool inPasteboard = false) const;
  // Master spreads only: "A-Master"; document spreads have none.
  const std::string& masterName() const { return masterName_; }
  void setMasterName(std::string name) { masterName_ = std::move(name); }

 private:
  std::string masterName_;
};

}  // namespace korvex
