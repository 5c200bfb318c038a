#pragma once

// Grid preferences: reading and comparing two documents' document-grid and
// baseline-grid values (every value read is logged), and stripping a
// document's XML content.

#include <optional>

#include "host/document.h"

namespace korvex {

// One document's grid preferences. The document keeps the preferences; the
// object borrows them for its lifetime (the document must stay open).
class GridPrefs {
 public:
  explicit GridPrefs(IDocument* document);

  bool hasGrid() const { return _grid != nullptr; }
  bool hasBaselineGrid() const { return _baselineGrid != nullptr; }

  // Each read logs one line ("division: %f", …). A value of a missing
  // preference is never read: it answers 0 and logs nothing.
  float division() const;
  float horizontalDivision() const;
  float verticalDivision() const;
  int horizontalSubDivisions() const;
  int verticalSubDivisions() const;
  float baselineDivision() const;
  float baselineStart() const;
  float baselineLimit() const;
  // 0: measured from the top of the page, 1: from the top margin.
  int relativeOption() const;

 private:
  const DocumentGrid* _grid = nullptr;
  const BaselineGrid* _baselineGrid = nullptr;
};

// Compares the nine values in order, reading the first document's value and
// then the second's; false at the first difference (nothing further is
// read). A preference group either document lacks is not compared.
bool gridPrefsAreEqual(IDocument* first, IDocument* second);

// Empties the document's XML root element; logs "deleteXMLContent: %d" with
// the host's result. Nothing for a null or closed document.
void deleteXMLContent(IDocument* document);

// With exactly two documents open: compares them and beeps when equal.
// With exactly one: deletes its XML content. Otherwise nothing. Answers the
// comparison's result when it compared.
std::optional<bool> doGridPrefs();

}  // namespace korvex
