#pragma once

// KorvexTabData: a row table read from tab- or semicolon-separated text
// (quoted runs may hold line breaks and separators), XML, JSON or a
// spreadsheet workbook: the column names (keys) and one dictionary per row.
// It remembers the file's modification time and reads the file again when
// it has changed.
//
// Beside what the reading always did, a table keeps the last problem it met
// (lastError): a workbook, XML or JSON file it could not read leaves the
// rows as the reading rules say, and the caller can still tell why.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/value.h"

namespace korvex {

class KorvexTabData {
 public:
  KorvexTabData() = default;

  // Null when there is no path; otherwise a table read from the file.
  static std::unique_ptr<KorvexTabData> tabDataWithFile(const std::optional<std::string>& path,
                                                        const std::optional<std::string>& sheet);
  static std::unique_ptr<KorvexTabData> tabDataWithString(const std::string& text);

  void initWithFile(const std::string& path, const std::optional<std::string>& sheet);
  void initWithString(const std::string& text);

  void setupWithFile(const std::string& path, const std::optional<std::string>& sheet);
  // Appends the rows of the text, split at the current separator; replaces the keys.
  void setupWithString(const std::string& text);
  void setupWithXLSX(const std::string& path, const std::optional<std::string>& sheet);
  void setupWithXMLData(const std::string& path);
  void setupWithJSONData(const std::string& path);
  void reloadWithSheet(const std::optional<std::string>& sheet);

  // Reads the file again when it is newer than the last read.
  bool wasModified();

  DictPtr mappingForRow(int row) const;
  std::optional<std::string> stringForKey(const std::string& key, int row) const;
  int colForKey(const std::string& key) const;
  // None for an index outside the key list.
  std::optional<std::string> key(int column) const;
  int numberOfRows() const;
  std::vector<std::string> keys2() const;
  std::string description() const;

  const std::optional<std::string>& path() const { return path_; }
  const std::vector<std::string>& sheets() const { return sheets_; }
  const std::optional<std::string>& sheet() const { return sheet_; }
  double modTime() const { return modTime_; }
  const std::string& separator() const { return separator_; }
  void setSeparator(std::string separator) { separator_ = std::move(separator); }
  const std::vector<std::string>& keys() const { return keys_; }
  const ArrayPtr& rows() const { return rows_; }
  // The last problem of a read ("FILE: PROBLEM"); empty after a clean read.
  const std::string& lastError() const { return lastError_; }

 private:
  std::optional<std::string> path_;
  std::vector<std::string> sheets_;
  std::optional<std::string> sheet_;
  double modTime_ = 0;
  std::string separator_ = "\t";
  std::vector<std::string> keys_;
  ArrayPtr rows_ = std::make_shared<Array>();
  std::string lastError_;
};

// The file's modification time in seconds since 1970; 0 when it has none.
double modificationTime(const std::string& path);

// The text of a table file: the automatic detection, then the German byte scan.
std::optional<std::string> tableText(const std::string& path);

}  // namespace korvex
