#pragma once

// Spreadsheet workbooks without a spreadsheet application: the sheet names
// and the used range of a sheet as tab-separated text, which is all the
// table reader asks of a workbook. .xlsx and .ods are read from their XML
// parts (libzip, libxml2), .xls through FreeXL; the kind is taken from the
// file's content, not its name.
//
// Cell text: strings as they are, numbers in shortest form ("1", not "1.0"),
// booleans TRUE/FALSE, dates as yyyy-mm-dd when the cell's format is a date
// format, formulas by their cached value; line breaks inside a cell become
// LF and tabs blanks. The used range runs from the first to the last
// non-empty row and column; its rows are separated by CR.

#include <string>
#include <vector>

#include "foundation/result.h"

namespace korvex {

// The worksheet names in workbook order.
Result<std::vector<std::string>> workbookSheetNames(const std::string& path);

// The used range of the named worksheet: cells separated by tabs, rows by
// CR. Empty for an empty sheet; a failure for a sheet the workbook lacks.
Result<std::string> workbookUsedRange(const std::string& path, const std::string& sheet);

}  // namespace korvex
