#include "foundation/property_list.h"

#include <plist/plist.h>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <unordered_set>
#include <vector>

#include "foundation/atomic_file.h"
#include "foundation/read_file.h"

namespace korvex {

namespace {

// ---- RAII ----------------------------------------------------------------

struct PlistDeleter {
  void operator()(plist_t p) const {
    if (p) plist_free(p);
  }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

struct MallocDeleter {
  void operator()(void* p) const { std::free(p); }
};
using MallocString = std::unique_ptr<char, MallocDeleter>;

// Property lists count seconds from 2001-01-01, Date from 1970-01-01.
constexpr double kPlistEpochOffset = 978307200.0;

// Limits that keep libplist's recursion and our conversion bounded.
constexpr int kMaxDepth = 256;
constexpr std::uint64_t kMaxExpandedNodes = 1'000'000;
constexpr std::size_t kMaxInputSize = 512u * 1024u * 1024u;

// ---- binary list checking -------------------------------------------------

// A structural check of a binary property list, stricter than libplist 2.2's
// own: every object reachable from the root lies between the header and the
// offset table, every length fits, every reference is in range, containers
// do not contain themselves, dictionary keys are strings, and the tree that
// shared references would expand to stays bounded.
class BinaryPlistChecker {
 public:
  explicit BinaryPlistChecker(std::span<const std::uint8_t> b) : b_(b) {}

  bool check() {
    static constexpr std::uint8_t kMagic[] = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    constexpr std::size_t kTrailer = 32;
    if (b_.size() < sizeof kMagic + kTrailer + 1) return false;
    if (!std::equal(std::begin(kMagic), std::end(kMagic), b_.begin())) return false;
    const std::size_t t = b_.size() - kTrailer;
    offsetSize_ = b_[t + 6];
    refSize_ = b_[t + 7];
    numObjects_ = readBE(t + 8, 8);
    const std::uint64_t root = readBE(t + 16, 8);
    tableStart_ = readBE(t + 24, 8);
    if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8) return false;
    if (numObjects_ < 1 || root >= numObjects_) return false;
    if (tableStart_ < 9 || tableStart_ > t) return false;
    if (numObjects_ > (t - tableStart_) / offsetSize_) return false;
    state_.assign(static_cast<std::size_t>(numObjects_), 0);
    expanded_.assign(static_cast<std::size_t>(numObjects_), 0);
    return visit(root, 0) != 0;
  }

 private:
  std::uint64_t readBE(std::uint64_t at, std::size_t n) const {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = (v << 8) | b_[static_cast<std::size_t>(at) + i];
    return v;
  }

  // Reads an object's length (the low nibble, or an integer object after the
  // marker when it is 15); the content starts at `content`. False when broken.
  bool length(std::uint64_t at, std::uint64_t& len, std::uint64_t& content) const {
    const std::uint8_t info = b_[static_cast<std::size_t>(at)] & 0x0F;
    if (info != 0x0F) {
      len = info;
      content = at + 1;
      return true;
    }
    if (at + 2 > tableStart_) return false;
    const std::uint8_t m = b_[static_cast<std::size_t>(at) + 1];
    if ((m & 0xF0) != 0x10 || (m & 0x0F) > 3) return false;
    const std::size_t n = std::size_t{1} << (m & 0x0F);
    if (at + 2 + n > tableStart_) return false;
    len = readBE(at + 2, n);
    content = at + 2 + n;
    return len <= tableStart_;
  }

  bool fits(std::uint64_t content, std::uint64_t bytes) const {
    return content <= tableStart_ && bytes <= tableStart_ - content;
  }

  static std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
    return a > kMaxExpandedNodes || b > kMaxExpandedNodes ? kMaxExpandedNodes + 1 : a + b;
  }

  bool validUtf16(std::uint64_t content, std::uint64_t units) const {
    bool wantLow = false;
    for (std::uint64_t i = 0; i < units; ++i) {
      const auto u = static_cast<std::uint16_t>(readBE(content + 2 * i, 2));
      const bool high = u >= 0xD800 && u <= 0xDBFF, low = u >= 0xDC00 && u <= 0xDFFF;
      if (wantLow != low) return false;
      wantLow = high;
    }
    return !wantLow;
  }

  bool hasZeroUnit(std::uint64_t content, std::uint64_t units, std::size_t width) const {
    for (std::uint64_t i = 0; i < units; ++i)
      if (readBE(content + i * width, width) == 0) return true;
    return false;
  }

  bool isStringObject(std::uint64_t obj) const {
    const std::uint64_t at = objectOffset(obj);
    if (at == 0) return false;
    const std::uint8_t type = b_[static_cast<std::size_t>(at)] >> 4;
    return type == 0x5 || type == 0x6;
  }

  // The object's offset, or 0 when it lies outside the object area.
  std::uint64_t objectOffset(std::uint64_t obj) const {
    const std::uint64_t at = readBE(tableStart_ + obj * offsetSize_, offsetSize_);
    return at >= 8 && at < tableStart_ ? at : 0;
  }

  // The number of nodes the object expands to (0 when it is broken).
  std::uint64_t visit(std::uint64_t obj, int depth) {
    if (depth > kMaxDepth) return 0;
    auto& state = state_[static_cast<std::size_t>(obj)];
    if (state == 1) return 0;  // a container that contains itself
    if (state == 2) return expanded_[static_cast<std::size_t>(obj)];
    const std::uint64_t at = objectOffset(obj);
    if (at == 0) return 0;
    const std::uint8_t marker = b_[static_cast<std::size_t>(at)];
    const std::uint8_t type = marker >> 4, info = marker & 0x0F;
    std::uint64_t count = 1;
    switch (type) {
      case 0x0:
        if (info != 0x8 && info != 0x9) return 0;
        break;
      case 0x1:
        if (info > 4 || !fits(at + 1, std::uint64_t{1} << info)) return 0;
        break;
      case 0x2:
        if ((info != 2 && info != 3) || !fits(at + 1, std::uint64_t{1} << info)) return 0;
        break;
      case 0x3:
        if (info != 3 || !fits(at + 1, 8)) return 0;
        break;
      case 0x8:
        if (info > 7 || !fits(at + 1, info + 1u)) return 0;
        break;
      case 0x4:
      case 0x5:
      case 0x6: {
        std::uint64_t len = 0, content = 0;
        if (!length(at, len, content)) return 0;
        const std::uint64_t bytes = type == 0x6 ? len * 2 : len;
        if (!fits(content, bytes)) return 0;
        if (type == 0x6 && !validUtf16(content, len)) return 0;
        // libplist asserts that strings hold no NUL.
        if (type != 0x4 && hasZeroUnit(content, len, type == 0x6 ? 2 : 1)) return 0;
        break;
      }
      case 0xA:
      case 0xC:
      case 0xD: {
        std::uint64_t len = 0, content = 0;
        if (!length(at, len, content)) return 0;
        const std::uint64_t refs = type == 0xD ? len * 2 : len;
        if (!fits(content, refs * refSize_)) return 0;
        state = 1;
        for (std::uint64_t i = 0; i < refs; ++i) {
          const std::uint64_t ref = readBE(content + i * refSize_, refSize_);
          if (ref >= numObjects_) return 0;
          if (type == 0xD && i < len && !isStringObject(ref)) return 0;
          const std::uint64_t sub = visit(ref, depth + 1);
          if (sub == 0) return 0;
          count = saturatingAdd(count, sub);
        }
        if (count > kMaxExpandedNodes) return 0;
        break;
      }
      default:
        return 0;
    }
    state = 2;
    expanded_[static_cast<std::size_t>(obj)] = count;
    return count;
  }

  std::span<const std::uint8_t> b_;
  std::uint8_t offsetSize_ = 0, refSize_ = 0;
  std::uint64_t numObjects_ = 0, tableStart_ = 0;
  std::vector<std::uint8_t> state_;  // 0 unvisited, 1 being visited, 2 checked
  std::vector<std::uint64_t> expanded_;
};

// ---- XML list checking ----------------------------------------------------

struct XmlDocFree {
  void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};

struct ParserContextFree {
  void operator()(xmlParserCtxtPtr c) const { xmlFreeParserCtxt(c); }
};

// libxml2's message for the first error, trimmed, with its line.
std::string xmlProblem(xmlParserCtxtPtr context) {
  const xmlError* error = context ? xmlCtxtGetLastError(context) : nullptr;
  if (!error || !error->message) return "not well-formed XML";
  std::string message = error->message;
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  // Some messages end in the line already.
  if (const std::string line = "line " + std::to_string(error->line);
      error->line > 0 && !message.ends_with(line))
    message += " (" + line + ")";
  return message;
}

// Well-formed XML (no network, no entity substitution, no DTD loading) whose
// root is <plist> or a plist value element, nested no deeper than kMaxDepth.
// Empty when it is; else why not.
std::string xmlListProblem(std::span<const std::uint8_t> b) {
  if (b.size() > INT_MAX) return "too large";
  xmlInitParser();
  std::unique_ptr<xmlParserCtxt, ParserContextFree> context(xmlNewParserCtxt());
  if (!context) return "out of memory";
  std::unique_ptr<xmlDoc, XmlDocFree> doc(
      xmlCtxtReadMemory(context.get(), reinterpret_cast<const char*>(b.data()), static_cast<int>(b.size()),
                        nullptr, nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (!doc || !context->wellFormed) return xmlProblem(context.get());
  xmlNodePtr root = xmlDocGetRootElement(doc.get());
  if (!root) return "no root element";
  // Depth of element nesting, iteratively.
  int depth = 0;
  for (xmlNodePtr n = root; n;) {
    if (n->type == XML_ENTITY_REF_NODE)  // libplist can't expand these
      return "an entity reference (line " + std::to_string(xmlGetLineNo(n)) + ")";
    if (n->children && n->type == XML_ELEMENT_NODE) {
      if (++depth > kMaxDepth)
        return "nested deeper than " + std::to_string(kMaxDepth) + " levels (line " +
               std::to_string(xmlGetLineNo(n)) + ")";
      n = n->children;
      continue;
    }
    while (n && !n->next) {
      n = n->parent;
      if (!n || n == reinterpret_cast<xmlNodePtr>(doc.get())) return {};
      --depth;
    }
    if (n) n = n->next;
  }
  return {};
}

// Text that XML 1.0 can carry: invalid UTF-8 and characters XML can't hold
// (controls other than tab, line feed and return; U+FFFE, U+FFFF) become
// U+FFFD, so that whatever is written reads back.
// Text is read the same way, so what loads saves and loads again alike.
std::string xmlSafeText(const std::string& s) {
  static const char kReplacement[] = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(s.size());
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const std::size_t n = s.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
        out += kReplacement;
      else
        out += static_cast<char>(c);
      ++i;
      continue;
    }
    std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    std::uint32_t cp = len == 4 ? c & 0x07u : len == 3 ? c & 0x0Fu : c & 0x1Fu;
    bool ok = len != 0 && c <= 0xF4 && i + len <= n;
    for (std::size_t k = 1; ok && k < len; ++k) {
      ok = (p[i + k] & 0xC0) == 0x80;
      cp = (cp << 6) | (p[i + k] & 0x3Fu);
    }
    ok = ok && !(len == 3 && cp < 0x800) && !(len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) &&
         !(cp >= 0xD800 && cp <= 0xDFFF) && cp != 0xFFFE && cp != 0xFFFF;
    if (ok) {
      out.append(s, i, len);
      i += len;
    } else {
      out += kReplacement;
      ++i;
    }
  }
  return out;
}

// ---- plist_t → Value -------------------------------------------------------

Value fromPlist(plist_t node, int depth) {
  if (!node || depth > kMaxDepth) return {};
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      std::uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return Value::boolean(b != 0);
    }
    case PLIST_UINT: {
      std::uint64_t u = 0;
      plist_get_uint_val(node, &u);
      return Value(static_cast<std::int64_t>(u));
    }
    case PLIST_UID: {
      std::uint64_t u = 0;
      plist_get_uid_val(node, &u);
      return Value(static_cast<std::int64_t>(u));
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return Value(d);
    }
    case PLIST_STRING:
    case PLIST_KEY: {
      char* s = nullptr;
      if (plist_get_node_type(node) == PLIST_STRING)
        plist_get_string_val(node, &s);
      else
        plist_get_key_val(node, &s);
      MallocString owned(s);
      return Value(xmlSafeText(s ? s : ""));
    }
    case PLIST_DATE: {
      std::int32_t sec = 0, usec = 0;
      plist_get_date_val(node, &sec, &usec);
      return Value(Date{static_cast<double>(sec) + kPlistEpochOffset + static_cast<double>(usec) / 1e6});
    }
    case PLIST_DATA: {
      char* data = nullptr;
      std::uint64_t len = 0;
      plist_get_data_val(node, &data, &len);
      MallocString owned(data);
      auto* p = reinterpret_cast<const std::uint8_t*>(data);
      return Value(data ? Bytes(p, p + len) : Bytes{});
    }
    case PLIST_ARRAY: {
      auto array = Array::make();
      const std::uint32_t n = plist_array_get_size(node);
      for (std::uint32_t i = 0; i < n; ++i) {
        Value item = fromPlist(plist_array_get_item(node, i), depth + 1);
        if (!item.isNil()) array->append(std::move(item));
      }
      return Value(array);
    }
    case PLIST_DICT: {
      auto dict = Dictionary::make();
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      if (!it) return Value(dict);
      for (;;) {
        char* key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, it, &key, &item);
        MallocString owned(key);
        if (!item) break;
        if (key) dict->set(xmlSafeText(key), fromPlist(item, depth + 1));
      }
      std::free(it);
      return Value(dict);
    }
    default:
      return {};
  }
}

// ---- Value → plist_t -------------------------------------------------------

// Null when the value can't be written (nil, or a container inside itself).
PlistPtr toPlist(const Value& v, bool forXml, std::unordered_set<const void*>& open, int depth) {
  if (depth > kMaxDepth) return nullptr;
  auto text = [forXml](const std::string& s) { return forXml ? xmlSafeText(s) : s; };
  switch (v.kind()) {
    case Value::Kind::Nil:
      return nullptr;
    case Value::Kind::String:
      return PlistPtr(plist_new_string(text(*v.string()).c_str()));
    case Value::Kind::Integer:
      return PlistPtr(plist_new_uint(static_cast<std::uint64_t>(*v.integer())));
    case Value::Kind::Real:
      return PlistPtr(plist_new_real(*v.real()));
    case Value::Kind::Boolean:
      return PlistPtr(plist_new_bool(*v.boolValue() ? 1 : 0));
    case Value::Kind::Date: {
      // Whole seconds, clamped to the range libplist can hold.
      double s = std::floor(v.date()->seconds - kPlistEpochOffset);
      if (std::isnan(s)) s = 0;
      s = std::fmax(std::fmin(s, static_cast<double>(INT32_MAX)), static_cast<double>(INT32_MIN));
      return PlistPtr(plist_new_date(static_cast<std::int32_t>(s), 0));
    }
    case Value::Kind::Data: {
      const Bytes& b = *v.data();
      return PlistPtr(plist_new_data(reinterpret_cast<const char*>(b.data()), b.size()));
    }
    case Value::Kind::Array: {
      ArrayPtr a = v.array();
      if (!open.insert(a.get()).second) return nullptr;
      PlistPtr out(plist_new_array());
      for (const Value& item : *a) {
        if (item.isNil()) continue;
        PlistPtr p = toPlist(item, forXml, open, depth + 1);
        if (!p) return nullptr;
        plist_array_append_item(out.get(), p.release());
      }
      open.erase(a.get());
      return out;
    }
    case Value::Kind::Dictionary: {
      DictPtr d = v.dictionary();
      if (!open.insert(d.get()).second) return nullptr;
      PlistPtr out(plist_new_dict());
      for (const auto& [key, item] : *d) {
        if (item.isNil()) continue;
        PlistPtr p = toPlist(item, forXml, open, depth + 1);
        if (!p) return nullptr;
        plist_dict_set_item(out.get(), text(key).c_str(), p.release());
      }
      open.erase(d.get());
      return out;
    }
  }
  return nullptr;
}

PlistPtr toPlist(const Value& v, bool forXml) {
  std::unordered_set<const void*> open;
  return toPlist(v, forXml, open, 0);
}

bool startsWith(std::span<const std::uint8_t> b, std::string_view prefix) {
  return b.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), b.begin());
}

}  // namespace

Result<Value> parsePropertyList(std::span<const std::uint8_t> bytes) {
  auto refuse = [](const std::string& why) { return fail("not a property list: " + why); };
  if (bytes.empty()) return refuse("the file is empty");
  if (bytes.size() > kMaxInputSize) return refuse("larger than " + std::to_string(kMaxInputSize) + " bytes");
  plist_t raw = nullptr;
  if (startsWith(bytes, "bplist")) {
    if (!BinaryPlistChecker(bytes).check()) return refuse("a damaged binary property list");
    plist_from_bin(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()), &raw);
  } else {
    if (std::string problem = xmlListProblem(bytes); !problem.empty()) return refuse(problem);
    plist_from_xml(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()), &raw);
  }
  PlistPtr root(raw);
  // Well-formed XML whose elements are not those of a property list.
  if (!root) return refuse("XML that holds no property list (unknown or misplaced elements)");
  Value v = fromPlist(root.get(), 0);
  if (v.isNil()) return refuse("no value at its root");
  return v;
}

std::optional<Value> readPropertyList(std::span<const std::uint8_t> bytes) {
  Result<Value> value = parsePropertyList(bytes);
  if (!value) return std::nullopt;
  return std::move(*value);
}

std::optional<Value> readPropertyList(std::string_view bytes) {
  return readPropertyList(
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

Result<Value> loadPropertyListFile(const std::string& path) {
  Result<std::string> bytes = readRegularFile(path, kMaxConfigFileBytes);
  if (!bytes) return bytes.failure();
  Result<Value> value = parsePropertyList(
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()));
  if (!value) return fail(path + ": " + value.message(), value.code());
  return value;
}

std::optional<Value> readPropertyListFile(const std::string& path) {
  Result<Value> value = loadPropertyListFile(path);
  if (!value) return std::nullopt;
  return std::move(*value);
}

std::optional<std::string> propertyListXML(const Value& value) {
  PlistPtr p = toPlist(value, true);
  if (!p) return std::nullopt;
  char* xml = nullptr;
  std::uint32_t len = 0;
  plist_to_xml(p.get(), &xml, &len);
  if (!xml) return std::nullopt;
  std::string out(xml, len);
  plist_to_xml_free(xml);
  return out;
}

std::optional<std::string> propertyListBinary(const Value& value) {
  PlistPtr p = toPlist(value, false);
  if (!p) return std::nullopt;
  char* bin = nullptr;
  std::uint32_t len = 0;
  plist_to_bin(p.get(), &bin, &len);
  if (!bin) return std::nullopt;
  std::string out(bin, len);
  plist_to_bin_free(bin);
  return out;
}

std::error_code writePropertyList(const std::string& path, const Value& value) {
  auto xml = propertyListXML(value);
  if (!xml) return std::make_error_code(std::errc::invalid_argument);
  return writeFileAtomically(path, *xml);
}

}  // namespace korvex
