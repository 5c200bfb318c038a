#include "tables/korvex_tab_data.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <exception>

#include "dialogs/message_box.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/files.h"
#include "foundation/json.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/strings.h"
#include "foundation/text_encoding.h"
#include "foundation/unicode.h"
#include "foundation/xml.h"
#include "platform/workbook.h"
#include "tables/tab_text.h"

namespace korvex {

namespace {

bool rowIsBlank(const Value& row) {
  const DictPtr dict = row.dictionary();
  if (!dict) return true;
  for (const auto& [name, value] : *dict) {
    const std::string* text = value.string();
    if (!text || !text->empty()) return false;
  }
  return true;
}

}  // namespace

double modificationTime(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return 0;
  return static_cast<double>(st.st_mtim.tv_sec) + static_cast<double>(st.st_mtim.tv_nsec) / 1e9;
}

std::optional<std::string> tableText(const std::string& path) {
  return stringWithContentsOfFile(path);
}

std::unique_ptr<KorvexTabData> KorvexTabData::tabDataWithFile(const std::optional<std::string>& path,
                                                              const std::optional<std::string>& sheet) {
  if (!path) return nullptr;
  auto table = std::make_unique<KorvexTabData>();
  table->initWithFile(*path, sheet);
  return table;
}

std::unique_ptr<KorvexTabData> KorvexTabData::tabDataWithString(const std::string& text) {
  auto table = std::make_unique<KorvexTabData>();
  table->initWithString(text);
  return table;
}

void KorvexTabData::initWithFile(const std::string& path, const std::optional<std::string>& sheet) {
  path_ = path;
  sheet_ = sheet;
  setupWithFile(path, sheet);
}

void KorvexTabData::initWithString(const std::string& text) {
  clearRows();
  separator_ = "\t";
  setupWithString(text);
}

void KorvexTabData::setupWithFile(const std::string& path, const std::optional<std::string>& sheet) {
  if (!pathIsFile(path)) {
    lastError_ = path + ": no such file";
    setMsg2(std::optional<std::string>(path));
    msgBox("pathNotFoundErr");
    return;
  }
  lastError_.clear();
  modTime_ = modificationTime(path);
  clearRows();
  const std::string extension = toLower(pathExtension(path));
  // .ods goes the workbook's way too: read as text it would be noise.
  if (extension == "xls" || extension == "xlsx" || extension == "ods") {
    setupWithXLSX(path, sheet);
    return;
  }
  separator_ = pathExtension(path) == "csv" ? ";" : "\t";
  std::optional<std::string> text = tableText(path);
  if (!text) {
    lastError_ = path + ": can't be read";
    return;
  }
  // In place: a large file is held once, not once per step.
  collapseCRLFInPlace(*text);
  processQuotesInPlace(*text, separator_.front());
  parseText(std::move(*text));
}

void KorvexTabData::setupWithString(const std::string& text) {
  parseText(text);
}

void KorvexTabData::parseText(std::string text) {
  if (separator_.empty()) separator_ = "\t";
  std::size_t lineEnd = text.find('\r');
  keys_ = headerNames(std::string_view(text).substr(0, lineEnd), separator_);
  // Rows already read become dictionaries: the new ones may have other keys.
  materializeRows();
  // Fields stay where they are in the text when their bytes can be restored
  // in place (a one-byte separator); otherwise each row is a dictionary.
  const bool asFields = rows_->empty() && separator_.size() == 1;
  const char separator = separator_.front();
  const std::size_t width = keys_.size();
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  if (asFields) spans.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\r')) * width);
  std::size_t rowCount = 0;
  while (lineEnd != std::string::npos) {
    const std::size_t lineStart = lineEnd + 1;
    lineEnd = text.find('\r', lineStart);
    const std::size_t lineStop = lineEnd == std::string::npos ? text.size() : lineEnd;
    try {
      if (asFields) {
        char* const data = text.data();
        std::size_t start = lineStart;
        std::size_t k = 0;
        for (; k < width; ++k) {
          const void* found = std::memchr(data + start, separator, lineStop - start);
          const std::size_t end = found ? static_cast<std::size_t>(static_cast<const char*>(found) - data) : lineStop;
          spans.emplace_back(start, end);
          if (end >= lineStop) {
            ++k;
            break;
          }
          start = end + 1;
        }
        for (; k < width; ++k) spans.emplace_back(0, 0);
        // Split first, then the line breaks and separators of quoted runs come back.
        for (const char hidden : {'\n', '\f'}) {
          const char restored = hidden == '\n' ? '\r' : separator;
          char* at = data + lineStart;
          char* const stop = data + lineStop;
          while (at < stop && (at = static_cast<char*>(std::memchr(at, hidden, static_cast<std::size_t>(stop - at)))))
            *at++ = restored;
        }
        ++rowCount;
      } else {
        const std::string_view line = std::string_view(text).substr(lineStart, lineStop - lineStart);
        std::vector<std::string_view> fields = splitText(line, separator_);
        fields.resize(width);
        auto row = std::make_shared<Dictionary>();
        for (std::size_t k = 0; k < width; ++k) row->set(keys_[k], Value(restoreField(fields[k], separator_)));
        rows_->append(Value(std::move(row)));
      }
    } catch (const std::exception& e) {
      // The description is shown, never used as the format.
      msgBox(std::string("%@"), std::string(e.what()));
      break;
    }
  }
  if (asFields && rowCount > 0) {
    fieldKeys_ = keys_;
    fieldSpans_ = std::move(spans);
    fieldRows_ = rowCount;
    fieldText_ = std::move(text);
  }
}

void KorvexTabData::clearRows() {
  rows_ = std::make_shared<Array>();
  fieldText_.clear();
  fieldText_.shrink_to_fit();
  fieldSpans_.clear();
  fieldSpans_.shrink_to_fit();
  fieldKeys_.clear();
  fieldRows_ = 0;
}

std::string_view KorvexTabData::field(std::size_t row, std::size_t column) const {
  const auto [start, end] = fieldSpans_[row * fieldKeys_.size() + column];
  return std::string_view(fieldText_).substr(start, end - start);
}

void KorvexTabData::materializeRows() {
  if (fieldRows_ == 0) return;
  auto rows = std::make_shared<Array>();
  for (std::size_t r = 0; r < fieldRows_; ++r) {
    auto row = std::make_shared<Dictionary>();
    for (std::size_t k = 0; k < fieldKeys_.size(); ++k) row->set(fieldKeys_[k], Value(field(r, k)));
    rows->append(Value(std::move(row)));
  }
  for (const Value& row : *rows_) rows->append(row);
  const ArrayPtr done = rows;
  clearRows();
  rows_ = done;
}

bool KorvexTabData::lastRowIsBlank() const {
  if (!rows_->empty()) return rowIsBlank(rows_->at(rows_->size() - 1));
  for (std::size_t k = 0; k < fieldKeys_.size(); ++k)
    if (!field(fieldRows_ - 1, k).empty()) return false;
  return true;
}

void KorvexTabData::removeLastRow() {
  if (!rows_->empty()) {
    rows_->removeAt(rows_->size() - 1);
    return;
  }
  --fieldRows_;
  fieldSpans_.resize(fieldRows_ * fieldKeys_.size());
}

const ArrayPtr& KorvexTabData::rows() {
  materializeRows();
  return rows_;
}

void KorvexTabData::setupWithXLSX(const std::string& path, const std::optional<std::string>& sheet) {
  Result<std::vector<std::string>> names = workbookSheetNames(path);
  if (!names) {
    lastError_ = names.message();
    MyLog("\t####\t%@", lastError_);
  } else {
    sheets_ = std::move(*names);
  }
  if (!sheets_.empty()) {
    sheet_ = sheet && std::find(sheets_.begin(), sheets_.end(), *sheet) != sheets_.end() ? *sheet : sheets_.front();
    Result<std::string> range = workbookUsedRange(path, *sheet_);
    if (range) {
      MyLog("stringWithUsedRange: %@", *range);
      separator_ = "\t";
      parseText(std::move(*range));
    } else {
      lastError_ = range.message();
      MyLog("\t####\t%@", lastError_);
    }
  }
  while (numberOfRows() > 0 && lastRowIsBlank()) removeLastRow();
}

void KorvexTabData::setupWithXMLData(const std::string& path) {
  const std::optional<std::string> text = tableText(path);
  std::optional<XmlDocument> doc = text ? xmlDocWithString(*text) : std::nullopt;
  xmlNodePtr root = doc ? doc->root() : nullptr;
  if (!root) {
    lastError_ = path + ": not well-formed XML";
    return;
  }
  lastError_.clear();
  std::vector<DictPtr> records;
  // Only elements are records: the white space between them is text.
  for (xmlNodePtr child = root->children; child; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    auto record = std::make_shared<Dictionary>();
    for (xmlAttrPtr a = child->properties; a; a = a->next) {
      xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(a));
      record->set(reinterpret_cast<const char*>(a->name), Value(std::string(value ? reinterpret_cast<const char*>(value) : "")));
      xmlFree(value);
    }
    records.push_back(std::move(record));
  }
  if (records.empty()) return;
  std::vector<std::string> names = records.front()->keys();
  std::sort(names.begin(), names.end(), NumericLess());
  keys_ = std::move(names);
  clearRows();
  for (std::size_t i = 1; i < records.size(); ++i) rows_->append(Value(records[i]));
}

void KorvexTabData::setupWithJSONData(const std::string& path) {
  std::optional<std::string> bytes = readFileBytes(path);
  std::optional<Value> root = bytes ? valueWithJsonData(*bytes) : std::nullopt;
  const ArrayPtr array = root ? root->array() : nullptr;
  const bool allObjects =
      array && std::all_of(array->begin(), array->end(), [](const Value& v) { return v.isDictionary(); });
  if (!allObjects) {
    lastError_ = path + (bytes ? ": not a JSON array of objects" : ": can't be read");
    return;
  }
  lastError_.clear();
  if (array->empty()) return;
  keys_ = array->at(0).dictionary()->keys();
  array->removeAt(0);
  clearRows();
  rows_ = array;
}

void KorvexTabData::reloadWithSheet(const std::optional<std::string>& sheet) {
  if (path_) setupWithFile(*path_, sheet);
}

bool KorvexTabData::wasModified() {
  if (!path_) return false;
  if (modificationTime(*path_) <= modTime_) return false;
  setupWithFile(*path_, sheet_);
  return true;
}

DictPtr KorvexTabData::mappingForRow(int row) {
  if (row < 0 || row >= numberOfRows()) return nullptr;
  return rows()->at(static_cast<std::size_t>(row)).dictionary();
}

std::optional<std::string> KorvexTabData::stringForKey(const std::string& key, int row) const {
  if (row < 0 || row >= numberOfRows()) return std::nullopt;
  if (fieldRows_ == 0) return korvex::stringForKey(rows_->at(static_cast<std::size_t>(row)).dictionary(), key);
  // The later of two columns of one name holds the value, as in the dictionary.
  for (std::size_t k = fieldKeys_.size(); k-- > 0;)
    if (fieldKeys_[k] == key) return std::string(field(static_cast<std::size_t>(row), k));
  return std::nullopt;
}

int KorvexTabData::colForKey(const std::string& key) const {
  const auto it = std::find(keys_.begin(), keys_.end(), key);
  return it == keys_.end() ? -1 : static_cast<int>(it - keys_.begin());
}

std::optional<std::string> KorvexTabData::key(int column) const {
  if (column < 0 || static_cast<std::size_t>(column) >= keys_.size()) return std::nullopt;
  return keys_[static_cast<std::size_t>(column)];
}

int KorvexTabData::numberOfRows() const {
  return static_cast<int>(fieldRows_ + rows_->size());
}

std::vector<std::string> KorvexTabData::keys2() const {
  std::vector<std::string> names;
  for (const std::string& name : keys_)
    if (!name.empty()) names.push_back(name);
  return names;
}

std::string KorvexTabData::description() {
  return Value(rows()).description();
}

}  // namespace korvex
