#include "workflows/grid_prefs.h"

#include "docmodel/documents.h"
#include "foundation/log.h"
#include "foundation/workspace.h"
#include "host/session.h"

namespace korvex {

namespace {

float logged(const char* format, double value) {
  // The host answers doubles; the comparison works on what is logged.
  const auto narrowed = static_cast<float>(value);
  MyLog(format, narrowed);
  return narrowed;
}

int logged(const char* format, int value) {
  MyLog(format, value);
  return value;
}

template <typename Value>
bool sameValue(const GridPrefs& a, const GridPrefs& b, Value (GridPrefs::*read)() const) {
  const Value first = (a.*read)();
  const Value second = (b.*read)();
  return first == second;
}

}  // namespace

GridPrefs::GridPrefs(IDocument* document) {
  if (!document || !documentIsOpen(document)) return;
  _grid = &document->documentGrid();
  _baselineGrid = &document->baselineGrid();
}

float GridPrefs::division() const {
  return _grid ? logged("division: %f", _grid->division) : 0;
}
float GridPrefs::horizontalDivision() const {
  return _grid ? logged("horizontalDivision: %f", _grid->horizontalSpacing) : 0;
}
float GridPrefs::verticalDivision() const {
  return _grid ? logged("verticalDivision: %f", _grid->verticalSpacing) : 0;
}
int GridPrefs::horizontalSubDivisions() const {
  return _grid ? logged("horizontalSubDivisions: %d", _grid->horizontalSubdivisions) : 0;
}
int GridPrefs::verticalSubDivisions() const {
  return _grid ? logged("verticalSubDivisions: %d", _grid->verticalSubdivisions) : 0;
}
float GridPrefs::baselineDivision() const {
  return _baselineGrid ? logged("baselineDivision: %f", _baselineGrid->increment) : 0;
}
float GridPrefs::baselineStart() const {
  return _baselineGrid ? logged("baselineStart: %f", _baselineGrid->start) : 0;
}
float GridPrefs::baselineLimit() const {
  return _baselineGrid ? logged("baselineLimit: %f", _baselineGrid->viewThreshold) : 0;
}
int GridPrefs::relativeOption() const {
  if (!_baselineGrid) return 0;
  return logged("relativeOption: %d", _baselineGrid->relativeTo == BaselineRelativeTo::TopMargin ? 1 : 0);
}

bool gridPrefsAreEqual(IDocument* first, IDocument* second) {
  const GridPrefs a(first);
  const GridPrefs b(second);
  if (a.hasGrid() && b.hasGrid()) {
    if (!sameValue(a, b, &GridPrefs::division) || !sameValue(a, b, &GridPrefs::horizontalDivision) ||
        !sameValue(a, b, &GridPrefs::verticalDivision) ||
        !sameValue(a, b, &GridPrefs::horizontalSubDivisions) ||
        !sameValue(a, b, &GridPrefs::verticalSubDivisions))
      return false;
  }
  if (a.hasBaselineGrid() && b.hasBaselineGrid()) {
    if (!sameValue(a, b, &GridPrefs::baselineDivision) || !sameValue(a, b, &GridPrefs::baselineStart) ||
        !sameValue(a, b, &GridPrefs::baselineLimit) || !sameValue(a, b, &GridPrefs::relativeOption))
      return false;
  }
  return true;
}

void deleteXMLContent(IDocument* document) {
  if (!document || !documentIsOpen(document)) return;
  MyLog("deleteXMLContent: %d", document->deleteXMLContent());
}

std::optional<bool> doGridPrefs() {
  const Application* app = GetExecutionContextSession()->application();
  switch (app->GetDocumentCount()) {
    case 2: {
      const bool equal = gridPrefsAreEqual(app->GetNthDocument(0), app->GetNthDocument(1));
      if (equal) beep();
      return equal;
    }
    case 1: deleteXMLContent(app->GetNthDocument(0)); return std::nullopt;
    default: return std::nullopt;
  }
}

}  // namespace korvex
