#include "platform/workbook.h"

#include <freexl.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>

#include "foundation/text_encoding.h"
#include "foundation/value.h"
#include "platform/isolated_call.h"

namespace korvex {

namespace {

// Excel's own limits; nothing beyond them is a cell.
constexpr long kMaxRows = 1048576;
constexpr long kMaxColumns = 16384;
// No real part comes near this; a ZIP bomb does.
constexpr std::uint64_t kMaxPartBytes = 512u * 1024u * 1024u;
constexpr int kXmlOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE;

// Row → column → text; only non-empty cells are kept.
using Grid = std::map<long, std::map<long, std::string>>;

struct Sheets {
  std::vector<std::string> names;
};

Failure problem(const std::string& path, const std::string& what) {
  return fail(path + ": " + what);
}

// Line breaks of any kind become LF, tabs blanks: a cell stays one field of one line.
std::string cellText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\t') {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

void put(Grid& grid, long row, long column, std::string text) {
  if (text.empty() || row < 0 || column < 0 || row >= kMaxRows || column >= kMaxColumns) return;
  grid[row][column] = cellText(text);
}

std::string usedRange(const Grid& grid) {
  if (grid.empty()) return {};
  long first = LONG_MAX;
  long last = -1;
  for (const auto& [row, cells] : grid) {
    first = std::min(first, cells.begin()->first);
    last = std::max(last, cells.rbegin()->first);
  }
  std::string out;
  long previous = grid.begin()->first;
  for (const auto& [row, cells] : grid) {
    // Empty rows inside the range are lines of empty cells.
    for (long r = previous; r < row; ++r) {
      out += std::string(static_cast<std::size_t>(last - first), '\t');
      out += '\r';
    }
    long column = first;
    for (const auto& [c, text] : cells) {
      out.append(static_cast<std::size_t>(c - column), '\t');
      out += text;
      column = c;
    }
    out.append(static_cast<std::size_t>(last - column), '\t');
    out += '\r';
    previous = row + 1;
  }
  out.pop_back();
  return out;
}

std::string numberText(double value) {
  if (value == 0) return "0";  // no "-0"
  return shortestText(value);
}

// Days since the epoch of the workbook's date system, as yyyy-mm-dd.
std::optional<std::string> serialDate(double serial, bool from1904) {
  if (!std::isfinite(serial) || serial < 0 || serial > 2958466) return std::nullopt;
  using namespace std::chrono;
  long days = static_cast<long>(std::floor(serial));
  sys_days date;
  if (from1904) {
    date = sys_days(year(1904) / January / 1) + std::chrono::days(days);
  } else {
    // Serial 60 is the 29 February 1900 that never was; serial 1 is 1 January 1900.
    if (days == 60) return std::string("1900-02-29");
    date = sys_days(year(1899) / December / (days < 60 ? 31 : 30)) + std::chrono::days(days);
  }
  const year_month_day ymd(date);
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
  return std::string(buffer);
}

// A number format that shows a date: a day or year code outside quoted text,
// brackets and escapes, or a month code without hours or seconds.
bool isDateFormatCode(std::string_view code) {
  bool day = false, year = false, month = false, clock = false;
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (c == '"') {
      const std::size_t end = code.find('"', i + 1);
      if (end == std::string_view::npos) break;
      i = end;
    } else if (c == '[') {
      const std::size_t end = code.find(']', i + 1);
      if (end == std::string_view::npos) break;
      i = end;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;
    } else if (c == ';') {
      break;  // the first section decides
    } else {
      switch (c) {
        case 'd': case 'D': day = true; break;
        case 'y': case 'Y': year = true; break;
        case 'm': case 'M': month = true; break;
        case 'h': case 'H': case 's': case 'S': clock = true; break;
        default: break;
      }
    }
  }
  return day || year || (month && !clock);
}

bool isBuiltInDateFormat(long id) {
  return (id >= 14 && id <= 17) || id == 22 || (id >= 27 && id <= 36) || (id >= 50 && id <= 58);
}

// --- XML helpers

struct DocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
using XmlDoc = std::unique_ptr<xmlDoc, DocFree>;

bool named(const xmlNode* node, const char* name) {
  return node && node->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

std::optional<std::string> attribute(const xmlNode* node, const char* name) {
  for (const xmlAttr* a = node->properties; a; a = a->next) {
    if (std::strcmp(reinterpret_cast<const char*>(a->name), name) != 0) continue;
    xmlChar* value = xmlNodeGetContent(reinterpret_cast<const xmlNode*>(a));
    std::string text = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
  }
  return std::nullopt;
}

std::optional<long> longAttribute(const xmlNode* node, const char* name) {
  const std::optional<std::string> text = attribute(node, name);
  if (!text || text->empty()) return std::nullopt;
  char* end = nullptr;
  const long value = std::strtol(text->c_str(), &end, 10);
  if (*end != '\0') return std::nullopt;
  return value;
}

std::string content(const xmlNode* node) {
  xmlChar* value = xmlNodeGetContent(node);
  std::string text = value ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return text;
}

// --- ZIP packages (.xlsx, .ods)

class Zip {
 public:
  static Result<Zip> open(const std::string& path) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!archive) return problem(path, "not a readable ZIP archive");
    Zip zip;
    zip.archive_.reset(archive);
    zip.path_ = path;
    return zip;
  }
  bool has(const std::string& part) const { return zip_name_locate(archive_.get(), part.c_str(), 0) >= 0; }
  Result<std::string> read(const std::string& part) const {
    std::unique_ptr<zip_file_t, FileClose> file(zip_fopen(archive_.get(), part.c_str(), 0));
    if (!file) return problem(path_, part + ": missing or unreadable");
    std::string out;
    char buffer[65536];
    for (;;) {
      const zip_int64_t n = zip_fread(file.get(), buffer, sizeof buffer);
      if (n < 0) return problem(path_, part + ": can't be inflated");
      if (n == 0) break;
      if (out.size() + static_cast<std::uint64_t>(n) > kMaxPartBytes) return problem(path_, part + ": too large");
      out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
  }
  Result<XmlDoc> parse(const std::string& part) const {
    Result<std::string> bytes = read(part);
    if (!bytes) return bytes.failure();
    if (bytes->size() > static_cast<std::size_t>(INT_MAX)) return problem(path_, part + ": too large");
    XmlDoc doc(xmlReadMemory(bytes->data(), static_cast<int>(bytes->size()), part.c_str(), nullptr, kXmlOptions));
    if (!doc || !xmlDocGetRootElement(doc.get())) return problem(path_, part + ": not well-formed XML");
    return doc;
  }

 private:
  struct ZipClose {
    void operator()(zip_t* z) const { zip_discard(z); }
  };
  struct FileClose {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
  };
  Zip() = default;
  std::unique_ptr<zip_t, ZipClose> archive_;
  std::string path_;
};

// --- .xlsx

// "_x000D_" and friends: characters XML can't carry, escaped by the writer.
std::string unescapeOoxml(const std::string& text) {
  if (text.find("_x") == std::string::npos) return text;
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "_x") == 0 && i + 6 < text.size() && text[i + 6] == '_' &&
        std::all_of(text.begin() + static_cast<long>(i) + 2, text.begin() + static_cast<long>(i) + 6,
                    [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
      const unsigned long code = std::stoul(text.substr(i + 2, 4), nullptr, 16);
      if (code < 0x80) {
        out += static_cast<char>(code);
      } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
      } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
      }
      i += 6;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The text of a string item: its <t> runs, phonetic runs left out.
std::string stringItemText(const xmlNode* item) {
  std::string text;
  for (const xmlNode* child = item->children; child; child = child->next) {
    if (named(child, "t")) text += content(child);
    else if (named(child, "r")) text += stringItemText(child);
  }
  return unescapeOoxml(text);
}

// "BC12" → (row 11, column 54); none when it isn't a reference.
std::optional<std::pair<long, long>> cellReference(const std::string& ref) {
  long column = 0;
  std::size_t i = 0;
  while (i < ref.size() && std::isalpha(static_cast<unsigned char>(ref[i]))) {
    column = column * 26 + (std::toupper(static_cast<unsigned char>(ref[i])) - 'A' + 1);
    if (column > kMaxColumns) return std::nullopt;
    ++i;
  }
  if (i == 0 || i == ref.size()) return std::nullopt;
  long row = 0;
  for (; i < ref.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(ref[i]))) return std::nullopt;
    row = row * 10 + (ref[i] - '0');
    if (row > kMaxRows) return std::nullopt;
  }
  if (row == 0) return std::nullopt;
  return std::make_pair(row - 1, column - 1);
}

class XlsxBook {
 public:
  static Result<XlsxBook> open(const std::string& path) {
    Result<Zip> zip = Zip::open(path);
    if (!zip) return zip.failure();
    XlsxBook book(std::move(*zip), path);
    if (Status s = book.readWorkbook(); !s) return s.failure();
    return book;
  }
  const std::vector<std::string>& names() const { return names_; }

  Result<Grid> grid(const std::string& sheet) {
    const auto it = std::find(names_.begin(), names_.end(), sheet);
    if (it == names_.end()) return problem(path_, "no worksheet named '" + sheet + "'");
    if (Status s = readSharedParts(); !s) return s.failure();
    Result<XmlDoc> doc = zip_.parse(parts_[static_cast<std::size_t>(it - names_.begin())]);
    if (!doc) return doc.failure();
    Grid grid;
    const xmlNode* root = xmlDocGetRootElement(doc->get());
    for (const xmlNode* data = root->children; data; data = data->next) {
      if (!named(data, "sheetData")) continue;
      long row = -1;
      for (const xmlNode* r = data->children; r; r = r->next) {
        if (!named(r, "row")) continue;
        const std::optional<long> number = longAttribute(r, "r");
        row = number ? *number - 1 : row + 1;
        long column = -1;
        for (const xmlNode* c = r->children; c; c = c->next) {
          if (!named(c, "c")) continue;
          const std::optional<std::string> ref = attribute(c, "r");
          const auto place = ref ? cellReference(*ref) : std::nullopt;
          if (place) {
            row = place->first;
            column = place->second;
          } else {
            ++column;
          }
          put(grid, row, column, cellValue(c));
        }
      }
    }
    return grid;
  }

 private:
  XlsxBook(Zip zip, std::string path) : zip_(std::move(zip)), path_(std::move(path)) {}

  Status readWorkbook() {
    Result<XmlDoc> workbook = zip_.parse("xl/workbook.xml");
    if (!workbook) return workbook.failure();
    std::unordered_map<std::string, std::string> targets;
    if (zip_.has("xl/_rels/workbook.xml.rels")) {
      Result<XmlDoc> rels = zip_.parse("xl/_rels/workbook.xml.rels");
      if (!rels) return rels.failure();
      for (const xmlNode* n = xmlDocGetRootElement(rels->get())->children; n; n = n->next) {
        if (!named(n, "Relationship")) continue;
        const auto id = attribute(n, "Id");
        auto target = attribute(n, "Target");
        if (!id || !target) continue;
        targets[*id] = target->starts_with('/') ? target->substr(1) : "xl/" + *target;
      }
    }
    for (const xmlNode* n = xmlDocGetRootElement(workbook->get())->children; n; n = n->next) {
      if (named(n, "workbookPr")) {
        const auto date1904 = attribute(n, "date1904");
        from1904_ = date1904 && (*date1904 == "1" || *date1904 == "true");
      }
      if (!named(n, "sheets")) continue;
      for (const xmlNode* s = n->children; s; s = s->next) {
        if (!named(s, "sheet")) continue;
        const auto name = attribute(s, "name");
        const auto id = attribute(s, "id");  // r:id, namespace prefix dropped
        if (!name || !id || !targets.contains(*id)) return problem(path_, "xl/workbook.xml: a sheet without its part");
        names_.push_back(*name);
        parts_.push_back(targets[*id]);
      }
    }
    return {};
  }

  Status readSharedParts() {
    if (sharedRead_) return {};
    sharedRead_ = true;
    if (zip_.has("xl/sharedStrings.xml")) {
      Result<XmlDoc> doc = zip_.parse("xl/sharedStrings.xml");
      if (!doc) return doc.failure();
      for (const xmlNode* si = xmlDocGetRootElement(doc->get())->children; si; si = si->next)
        if (named(si, "si")) strings_.push_back(stringItemText(si));
    }
    if (zip_.has("xl/styles.xml")) {
      Result<XmlDoc> doc = zip_.parse("xl/styles.xml");
      if (!doc) return doc.failure();
      std::set<long> customDates;
      const xmlNode* root = xmlDocGetRootElement(doc->get());
      for (const xmlNode* n = root->children; n; n = n->next) {
        if (!named(n, "numFmts")) continue;
        for (const xmlNode* f = n->children; f; f = f->next) {
          const auto id = named(f, "numFmt") ? longAttribute(f, "numFmtId") : std::nullopt;
          const auto code = id ? attribute(f, "formatCode") : std::nullopt;
          if (code && isDateFormatCode(*code)) customDates.insert(*id);
        }
      }
      for (const xmlNode* n = root->children; n; n = n->next) {
        if (!named(n, "cellXfs")) continue;
        for (const xmlNode* xf = n->children; xf; xf = xf->next) {
          if (!named(xf, "xf")) continue;
          const long id = longAttribute(xf, "numFmtId").value_or(0);
          dateStyles_.push_back(customDates.contains(id) || (id < 164 && isBuiltInDateFormat(id)));
        }
      }
    }
    return {};
  }

  std::string cellValue(const xmlNode* c) const {
    const std::string type = attribute(c, "t").value_or("n");
    std::optional<std::string> v;
    for (const xmlNode* child = c->children; child; child = child->next) {
      if (named(child, "v")) v = content(child);
      if (named(child, "is")) return stringItemText(child);
    }
    if (!v) return {};
    if (type == "s") {
      char* end = nullptr;
      const unsigned long index = std::strtoul(v->c_str(), &end, 10);
      return *end == '\0' && index < strings_.size() ? strings_[index] : std::string();
    }
    if (type == "b") return *v == "1" || *v == "true" ? "TRUE" : "FALSE";
    if (type == "str" || type == "e" || type == "inlineStr") return unescapeOoxml(*v);
    if (type == "d") return v->substr(0, 10);
    char* end = nullptr;
    const double number = std::strtod(v->c_str(), &end);
    if (end == v->c_str() || *end != '\0') return *v;
    const long style = longAttribute(c, "s").value_or(0);
    if (style >= 0 && static_cast<std::size_t>(style) < dateStyles_.size() && dateStyles_[static_cast<std::size_t>(style)])
      if (auto date = serialDate(number, from1904_)) return *date;
    return numberText(number);
  }

  Zip zip_;
  std::string path_;
  std::vector<std::string> names_;
  std::vector<std::string> parts_;
  bool from1904_ = false;
  bool sharedRead_ = false;
  std::vector<std::string> strings_;
  std::vector<bool> dateStyles_;  // per cell format: shows a date
};

// --- .ods

// The text of a cell's paragraphs: spaces (text:s), tabs as blanks, line
// breaks and paragraph ends as LF.
void odsText(const xmlNode* node, std::string& out) {
  for (const xmlNode* child = node->children; child; child = child->next) {
    if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
      out += reinterpret_cast<const char*>(child->content);
    } else if (named(child, "s")) {
      out.append(static_cast<std::size_t>(std::clamp(longAttribute(child, "c").value_or(1), 1L, 1000L)), ' ');
    } else if (named(child, "tab")) {
      out += ' ';
    } else if (named(child, "line-break")) {
      out += '\n';
    } else if (named(child, "annotation")) {
      // a comment is not the cell's text
    } else if (child->type == XML_ELEMENT_NODE) {
      odsText(child, out);
    }
  }
}

std::string odsCellValue(const xmlNode* cell) {
  const std::string type = attribute(cell, "value-type").value_or("");
  if (type == "float" || type == "percentage" || type == "currency") {
    if (const auto value = attribute(cell, "value")) {
      char* end = nullptr;
      const double number = std::strtod(value->c_str(), &end);
      if (end != value->c_str() && *end == '\0') return numberText(number);
    }
  } else if (type == "date") {
    if (const auto value = attribute(cell, "date-value")) return value->substr(0, 10);
  } else if (type == "boolean") {
    if (const auto value = attribute(cell, "boolean-value")) return *value == "true" ? "TRUE" : "FALSE";
  }
  std::string text;
  bool first = true;
  for (const xmlNode* p = cell->children; p; p = p->next) {
    if (!named(p, "p") && !named(p, "h")) continue;
    if (!first) text += '\n';
    first = false;
    odsText(p, text);
  }
  return text;
}

void odsRows(const xmlNode* parent, Grid& grid, long& row) {
  for (const xmlNode* r = parent->children; r && row < kMaxRows; r = r->next) {
    if (named(r, "table-header-rows") || named(r, "table-row-group") || named(r, "table-rows")) {
      odsRows(r, grid, row);
      continue;
    }
    if (!named(r, "table-row")) continue;
    const long rowRepeat = std::clamp(longAttribute(r, "number-rows-repeated").value_or(1), 1L, kMaxRows);
    std::map<long, std::string> cells;
    long column = 0;
    for (const xmlNode* c = r->children; c && column < kMaxColumns; c = c->next) {
      if (!named(c, "table-cell") && !named(c, "covered-table-cell")) continue;
      const long repeat = std::clamp(longAttribute(c, "number-columns-repeated").value_or(1), 1L, kMaxColumns);
      std::string text = odsCellValue(c);
      if (!text.empty())
        for (long i = 0; i < repeat && column + i < kMaxColumns; ++i) cells[column + i] = text;
      column += repeat;
    }
    if (!cells.empty())
      for (long i = 0; i < rowRepeat && row + i < kMaxRows; ++i)
        for (const auto& [col, text] : cells) put(grid, row + i, col, text);
    row += rowRepeat;
  }
}

class OdsBook {
 public:
  static Result<OdsBook> open(const std::string& path) {
    Result<Zip> zip = Zip::open(path);
    if (!zip) return zip.failure();
    Result<XmlDoc> doc = zip->parse("content.xml");
    if (!doc) return doc.failure();
    OdsBook book;
    book.doc_ = std::move(*doc);
    const xmlNode* root = xmlDocGetRootElement(book.doc_.get());
    for (const xmlNode* body = root->children; body; body = body->next) {
      if (!named(body, "body")) continue;
      for (const xmlNode* s = body->children; s; s = s->next) {
        if (!named(s, "spreadsheet")) continue;
        for (const xmlNode* t = s->children; t; t = t->next)
          if (named(t, "table")) book.tables_.push_back(t);
      }
    }
    for (const xmlNode* t : book.tables_) book.names_.push_back(attribute(t, "name").value_or(""));
    return book;
  }
  const std::vector<std::string>& names() const { return names_; }
  Result<Grid> grid(const std::string& path, const std::string& sheet) const {
    const auto it = std::find(names_.begin(), names_.end(), sheet);
    if (it == names_.end()) return problem(path, "no worksheet named '" + sheet + "'");
    Grid grid;
    long row = 0;
    odsRows(tables_[static_cast<std::size_t>(it - names_.begin())], grid, row);
    return grid;
  }

 private:
  XmlDoc doc_;
  std::vector<const xmlNode*> tables_;
  std::vector<std::string> names_;
};

// --- .xls

class Xls {
 public:
  static Result<Xls> open(const std::string& path) {
    const void* handle = nullptr;
    const int error = freexl_open(path.c_str(), &handle);
    Xls xls;
    xls.handle_.reset(handle);
    if (error != FREEXL_OK) return problem(path, "not a readable Excel 97-2003 workbook (FreeXL error " + std::to_string(error) + ")");
    unsigned int count = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK) return problem(path, "no worksheets");
    for (unsigned short i = 0; i < count; ++i) {
      const char* name = nullptr;
      if (freexl_get_worksheet_name(handle, i, &name) != FREEXL_OK || !name) return problem(path, "a worksheet without a name");
      xls.names_.emplace_back(name);
    }
    return xls;
  }
  const std::vector<std::string>& names() const { return names_; }
  Result<Grid> grid(const std::string& path, const std::string& sheet) const {
    const auto it = std::find(names_.begin(), names_.end(), sheet);
    if (it == names_.end()) return problem(path, "no worksheet named '" + sheet + "'");
    const void* handle = handle_.get();
    if (freexl_select_active_worksheet(handle, static_cast<unsigned short>(it - names_.begin())) != FREEXL_OK)
      return problem(path, "worksheet '" + sheet + "' can't be read");
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
      return problem(path, "worksheet '" + sheet + "' can't be read");
    Grid grid;
    for (unsigned int r = 0; r < rows && r < kMaxRows; ++r) {
      for (unsigned short c = 0; c < columns; ++c) {
        FreeXL_CellValue cell;
        if (freexl_get_cell_value(handle, r, c, &cell) != FREEXL_OK) continue;
        switch (cell.type) {
          case FREEXL_CELL_INT: put(grid, r, c, std::to_string(cell.value.int_value)); break;
          case FREEXL_CELL_DOUBLE: put(grid, r, c, numberText(cell.value.double_value)); break;
          case FREEXL_CELL_TEXT:
          case FREEXL_CELL_SST_TEXT:
          case FREEXL_CELL_TIME:
            if (cell.value.text_value) put(grid, r, c, cell.value.text_value);
            break;
          case FREEXL_CELL_DATE:
          case FREEXL_CELL_DATETIME:
            if (cell.value.text_value) put(grid, r, c, std::string(cell.value.text_value).substr(0, 10));
            break;
          default: break;
        }
      }
    }
    return grid;
  }

 private:
  struct Close {
    void operator()(const void* h) const { freexl_close(h); }
  };
  std::unique_ptr<const void, Close> handle_;
  std::vector<std::string> names_;
};

enum class BookKind { Xlsx, Ods, Xls };

Result<BookKind> kindOf(const std::string& path) {
  std::error_code error;
  std::optional<std::string> bytes = readFileBytes(path, &error);
  if (!bytes) return problem(path, error ? error.message() : "can't be read");
  if (bytes->starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return BookKind::Xls;
  if (bytes->starts_with("PK\x03\x04")) {
    Result<Zip> zip = Zip::open(path);
    if (!zip) return zip.failure();
    if (zip->has("xl/workbook.xml")) return BookKind::Xlsx;
    if (zip->has("content.xml")) {
      Result<std::string> mime = zip->has("mimetype") ? zip->read("mimetype") : Result<std::string>(std::string());
      if (mime && mime->starts_with("application/vnd.oasis.opendocument.spreadsheet")) return BookKind::Ods;
    }
    return problem(path, "a ZIP archive, but neither an .xlsx nor an .ods workbook");
  }
  return problem(path, "not a workbook (.xlsx, .ods or .xls)");
}

}  // namespace

Result<std::vector<std::string>> workbookSheetNames(const std::string& path) {
  Result<BookKind> kind = kindOf(path);
  if (!kind) return kind.failure();
  switch (*kind) {
    case BookKind::Xlsx: {
      Result<XlsxBook> book = XlsxBook::open(path);
      if (!book) return book.failure();
      return book->names();
    }
    case BookKind::Ods: {
      Result<OdsBook> book = OdsBook::open(path);
      if (!book) return book.failure();
      return book->names();
    }
    case BookKind::Xls: {
      // FreeXL faults on some damaged workbooks; it runs where it can't take us down.
      Result<std::string> joined = runIsolated(
          [&path]() -> Result<std::string> {
            Result<Xls> book = Xls::open(path);
            if (!book) return book.failure();
            std::string names;
            for (const std::string& name : book->names()) names += name + '\0';
            return names;
          },
          path);
      if (!joined) return joined.failure();
      std::vector<std::string> names;
      for (std::size_t start = 0, end; (end = joined->find('\0', start)) != std::string::npos; start = end + 1)
        names.push_back(joined->substr(start, end - start));
      return names;
    }
  }
  return problem(path, "not a workbook");
}

Result<std::string> workbookUsedRange(const std::string& path, const std::string& sheet) {
  Result<BookKind> kind = kindOf(path);
  if (!kind) return kind.failure();
  Result<Grid> grid = problem(path, "not a workbook");
  switch (*kind) {
    case BookKind::Xlsx: {
      Result<XlsxBook> book = XlsxBook::open(path);
      if (!book) return book.failure();
      grid = book->grid(sheet);
      break;
    }
    case BookKind::Ods: {
      Result<OdsBook> book = OdsBook::open(path);
      if (!book) return book.failure();
      grid = book->grid(path, sheet);
      break;
    }
    case BookKind::Xls:
      return runIsolated(
          [&path, &sheet]() -> Result<std::string> {
            Result<Xls> book = Xls::open(path);
            if (!book) return book.failure();
            Result<Grid> cells = book->grid(path, sheet);
            if (!cells) return cells.failure();
            return usedRange(*cells);
          },
          path);
  }
  if (!grid) return grid.failure();
  return usedRange(*grid);
}

}  // namespace korvex
