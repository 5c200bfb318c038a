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

  // The row's dictionary itself (changes to it are the table's).
  DictPtr mappingForRow(int row);
  std::optional<std::string> stringForKey(const std::string& key, int row) const;
  int colForKey(const std::string& key) const;
  // None for an index outside the key list.
  std::optional<std::string> key(int column) const;
  int numberOfRows() const;
  std::vector<std::string> keys2() const;
  std::string description();

  const std::optional<std::string>& path() const { return path_; }
  const std::vector<std::string>& sheets() const { return sheets_; }
  const std::optional<std::string>& sheet() const { return sheet_; }
  double modTime() const { return modTime_; }
  const std::string& separator() const { return separator_; }
  void setSeparator(std::string separator) { separator_ = std::move(separator); }
  const std::vector<std::string>& keys() const { return keys_; }
  // The rows as dictionaries, the table's own (mutable) array.
  const ArrayPtr& rows();
  // The last problem of a read ("FILE: PROBLEM"); empty after a clean read.
  const std::string& lastError() const { return lastError_; }

 private:
  std::optional<std::string> path_;
  std::vector<std::string> sheets_;
  std::optional<std::string> sheet_;
  double modTime_ = 0;
  std::string separator_ = "\t";
  std::vector<std::string> keys_;
  void parseText(std::string text);
  void clearRows();
  // Makes the dictionaries of the rows still kept as fields.
  void materializeRows();
  std::string_view field(std::size_t row, std::size_t column) const;
  bool lastRowIsBlank() const;
  void removeLastRow();

  // Rows, as dictionaries once asked for; rows read from text are kept as
  // their fields first (spans of the text, fieldKeys_.size() a row): a large
  // file read is not a million maps until someone wants them.
  ArrayPtr rows_ = std::make_shared<Array>();
  std::string fieldText_;
  std::vector<std::pair<std::size_t, std::size_t>> fieldSpans_;
  std::vector<std::string> fieldKeys_;
  std::size_t fieldRows_ = 0;
  std::string lastError_;
};

// The file's modification time in seconds since 1970; 0 when it has none.
double modificationTime(const std::string& path);

// The text of a table file: the automatic detection, then the German byte scan.
std::optional<std::string> tableText(const std::string& path);

}  // namespace korvex
