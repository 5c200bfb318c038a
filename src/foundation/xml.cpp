#include "foundation/xml.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>

#include "foundation/log.h"
#include "foundation/value.h"

namespace korvex {

namespace {

void initLibxml() {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
}

const xmlChar* xc(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }

struct XmlFree {
  void operator()(void* p) const { xmlFree(p); }
};
using XmlString = std::unique_ptr<xmlChar, XmlFree>;

std::string toString(const xmlChar* s) { return s ? std::string(reinterpret_cast<const char*>(s)) : std::string(); }

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// The message of libxml2's last error, or a general one.
std::string lastErrorMessage(const char* fallback) {
  const xmlError* e = xmlGetLastError();
  if (e && e->message) return trimmed(e->message);
  return fallback;
}

std::optional<std::string> readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    logError(std::error_code(errno ? errno : ENOENT, std::generic_category()), path);
    return std::nullopt;
  }
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    logError(std::make_error_code(std::errc::io_error), path);
    return std::nullopt;
  }
  return bytes;
}

constexpr int kXmlOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOBLANKS;
constexpr int kHtmlOptions =
    HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_RECOVER | HTML_PARSE_NOBLANKS;

bool isElement(xmlNodePtr n) { return n && n->type == XML_ELEMENT_NODE; }

std::string qualifiedName(xmlNodePtr n) {
  std::string name = toString(n->name);
  if (n->ns && n->ns->prefix) return toString(n->ns->prefix) + ":" + name;
  return name;
}

std::string decimalText(int i) { return std::to_string(i); }

}  // namespace

// ---- handles -------------------------------------------------------------------------

XmlDocument::~XmlDocument() {
  if (doc_) xmlFreeDoc(doc_);
}

XmlDocument& XmlDocument::operator=(XmlDocument&& other) noexcept {
  if (this != &other) {
    if (doc_) xmlFreeDoc(doc_);
    doc_ = std::exchange(other.doc_, nullptr);
  }
  return *this;
}

xmlNodePtr XmlDocument::root() const { return doc_ ? xmlDocGetRootElement(doc_) : nullptr; }

XmlNode::~XmlNode() {
  if (node_) xmlFreeNode(node_);
}

XmlNode& XmlNode::operator=(XmlNode&& other) noexcept {
  if (this != &other) {
    if (node_) xmlFreeNode(node_);
    node_ = std::exchange(other.node_, nullptr);
  }
  return *this;
}

// ---- documents -------------------------------------------------------------------------

std::optional<XmlDocument> xmlDocWithString(std::string_view text) {
  initLibxml();
  if (text.size() > INT_MAX) {
    logError(std::optional<std::string>("XML text too large"));
    return std::nullopt;
  }
  xmlResetLastError();
  xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, kXmlOptions);
  if (!doc) {
    logError(std::optional<std::string>(lastErrorMessage("XML parse error")));
    return std::nullopt;
  }
  return XmlDocument(doc);
}

std::optional<XmlDocument> xmlDocWithPath(const std::string& path) {
  auto text = readWholeFile(path);
  if (!text) return std::nullopt;
  return xmlDocWithString(*text);
}

std::optional<XmlDocument> htmlDocWithString(std::string_view text) {
  initLibxml();
  if (text.size() > INT_MAX) {
    logError(std::optional<std::string>("HTML text too large"));
    return std::nullopt;
  }
  xmlResetLastError();
  htmlDocPtr doc = htmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8", kHtmlOptions);
  if (!doc || !xmlDocGetRootElement(doc)) {
    if (doc) xmlFreeDoc(doc);
    logError(std::optional<std::string>(lastErrorMessage("HTML parse error")));
    return std::nullopt;
  }
  // The platform tidies HTML into an XML document; the tree is the same, and
  // as an XML document it is written as XML.
  doc->type = XML_DOCUMENT_NODE;
  return XmlDocument(doc);
}

std::optional<XmlDocument> htmlDocWithPath(const std::string& path) {
  auto text = readWholeFile(path);
  if (!text) return std::nullopt;
  return htmlDocWithString(*text);
}

std::string xmlString(const XmlDocument& doc) {
  if (!doc) return {};
  xmlChar* mem = nullptr;
  int size = 0;
  xmlDocDumpFormatMemoryEnc(doc.get(), &mem, &size, "UTF-8", 1);
  XmlString owned(mem);
  return mem ? std::string(reinterpret_cast<const char*>(mem), static_cast<std::size_t>(size)) : std::string();
}

std::string xmlString(xmlNodePtr element) {
  if (!element) return {};
  std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buf(xmlBufferCreate(), &xmlBufferFree);
  if (!buf) return {};
  if (xmlNodeDump(buf.get(), element->doc, element, 0, 1) < 0) return {};
  return toString(xmlBufferContent(buf.get()));
}

// ---- XPath -------------------------------------------------------------------------------

namespace {

struct XPathErrors {
  std::string message;
  static void collect(void* user, xmlErrorPtr error) {
    auto* self = static_cast<XPathErrors*>(user);
    if (self->message.empty() && error && error->message) self->message = trimmed(error->message);
  }
};

}  // namespace

std::optional<std::vector<xmlNodePtr>> nodesForXPath(xmlNodePtr node, std::string_view xpath) {
  initLibxml();
  if (!node) {
    logError(std::optional<std::string>("XPath without a context node"));
    return std::nullopt;
  }
  std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> ctx(xmlXPathNewContext(node->doc),
                                                                       &xmlXPathFreeContext);
  if (!ctx) return std::nullopt;
  XPathErrors errors;
  ctx->error = &XPathErrors::collect;
  ctx->userData = &errors;
  const std::string expr(xpath);
  std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
      xmlXPathNodeEval(node, xc(expr), ctx.get()), &xmlXPathFreeObject);
  if (!result) {
    logError(std::optional<std::string>(
        stringWithFormat("XPath error: %@ in \"%@\"", errors.message.empty() ? "invalid expression" : errors.message, expr)));
    return std::nullopt;
  }
  if (result->type != XPATH_NODESET) {
    logError(std::optional<std::string>(stringWithFormat("XPath result is not a node set: \"%@\"", expr)));
    return std::nullopt;
  }
  std::vector<xmlNodePtr> nodes;
  if (xmlNodeSetPtr set = result->nodesetval) {
    for (int i = 0; i < set->nodeNr; ++i) {
      xmlNodePtr n = set->nodeTab[i];
      if (n && n->type != XML_NAMESPACE_DECL) nodes.push_back(n);
    }
  }
  return nodes;
}

xmlNodePtr nodeForXPath(xmlNodePtr node, std::string_view xpath) {
  auto nodes = nodesForXPath(node, xpath);
  return nodes && !nodes->empty() ? nodes->front() : nullptr;
}

// ---- elements as keyed records ---------------------------------------------------------------

xmlNodePtr xmlElementForKey(xmlNodePtr element, std::string_view key) {
  if (!element) return nullptr;
  for (xmlNodePtr c = element->children; c; c = c->next)
    if (isElement(c) && qualifiedName(c) == key) return c;
  return nullptr;
}

std::string xmlStringValue(xmlNodePtr node) {
  if (!node) return {};
  XmlString content(xmlNodeGetContent(node));
  return toString(content.get());
}

namespace {

void setStringValue(xmlNodePtr node, std::string_view value) {
  // Drop the children, then one text node: the value is text, never markup.
  xmlNodeSetContent(node, nullptr);
  if (value.empty()) return;
  const std::string text(value);
  xmlNodePtr t = xmlNewDocText(node->doc, xc(text));
  if (t && !xmlAddChild(node, t)) xmlFreeNode(t);
}

}  // namespace

xmlNodePtr addNode(xmlNodePtr element, std::optional<std::string_view> name, std::optional<std::string_view> value) {
  if (!element || !name) return nullptr;
  const std::string n(*name);
  xmlNodePtr child = xmlNewDocNode(element->doc, nullptr, xc(n), nullptr);
  if (!child) return nullptr;
  if (value) setStringValue(child, *value);
  if (!xmlAddChild(element, child)) {
    xmlFreeNode(child);
    return nullptr;
  }
  return child;
}

xmlNodePtr addNode(xmlNodePtr element, std::optional<std::string_view> name, int value) {
  return addNode(element, name, std::optional<std::string_view>(decimalText(value)));
}

XmlNode nodeWithName(std::string_view name) {
  const std::string n(name);
  return XmlNode(xmlNewNode(nullptr, xc(n)));
}

namespace {

XmlNode parseElement(std::string_view text) {
  if (text.size() > INT_MAX) return {};
  xmlResetLastError();
  XmlDocument doc(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, kXmlOptions));
  if (!doc || !doc.root()) return {};
  return XmlNode(xmlDocCopyNode(doc.root(), nullptr, 1));
}

}  // namespace

XmlNode nodeWithString(std::optional<std::string_view> text, std::optional<std::string_view> fallback) {
  initLibxml();
  XmlNode node = parseElement(text ? *text : fallback ? *fallback : std::string_view());
  if (!node && fallback) node = parseElement(*fallback);
  return node;
}

xmlNodePtr appendChild(xmlNodePtr element, XmlNode node) {
  if (!element || !node) return nullptr;
  xmlNodePtr child = node.get();
  if (!xmlAddChild(element, child)) return nullptr;  // node still owned: freed on return
  node.release();
  return child;
}

std::optional<std::string> stringForKey(xmlNodePtr element, std::string_view key,
                                        std::optional<std::string_view> defaultValue) {
  if (xmlNodePtr child = xmlElementForKey(element, key)) return xmlStringValue(child);
  if (defaultValue) return std::string(*defaultValue);
  return std::nullopt;
}

int integerForKey(xmlNodePtr element, std::string_view key, int defaultValue) {
  xmlNodePtr child = xmlElementForKey(element, key);
  return child ? Value(xmlStringValue(child)).intValue() : defaultValue;
}

int intForKey(xmlNodePtr element, std::string_view key, int defaultValue) {
  return integerForKey(element, key, defaultValue);
}

float floatForKey(xmlNodePtr element, std::string_view key, float defaultValue) {
  xmlNodePtr child = xmlElementForKey(element, key);
  if (!child) return defaultValue;
  std::string text = xmlStringValue(child);
  std::replace(text.begin(), text.end(), ',', '.');
  return Value(std::move(text)).floatValue();
}

void setStringForKey(xmlNodePtr element, std::string_view key, std::optional<std::string_view> value) {
  if (!element) return;
  if (xmlNodePtr child = xmlElementForKey(element, key))
    setStringValue(child, value.value_or(std::string_view()));
  else
    addNode(element, key, value);
}

xmlNodePtr nodeForKey(xmlNodePtr element, std::string_view key, bool /*create*/) {
  if (xmlNodePtr child = xmlElementForKey(element, key)) return child;
  return addNode(element, key);
}

// ---- attributes ------------------------------------------------------------------------------------

std::optional<std::string> stringForAttribute(xmlNodePtr element, std::string_view name,
                                              std::optional<std::string_view> defaultValue) {
  if (isElement(element)) {
    const std::string n(name);
    if (XmlString v{xmlGetProp(element, xc(n))}) return toString(v.get());
  }
  if (defaultValue) return std::string(*defaultValue);
  return std::nullopt;
}

int integerForAttribute(xmlNodePtr element, std::string_view name, int defaultValue) {
  auto text = stringForAttribute(element, name);
  return text ? Value(std::move(*text)).intValue() : defaultValue;
}

float floatForAttribute(xmlNodePtr element, std::string_view name, float defaultValue) {
  auto text = stringForAttribute(element, name);
  return text ? Value(std::move(*text)).floatValue() : defaultValue;
}

void setNodeAttribute(xmlNodePtr element, std::optional<std::string_view> name, std::optional<std::string_view> value) {
  if (!isElement(element) || !name || !value) return;
  const std::string n(*name), v(*value);
  xmlSetProp(element, xc(n), xc(v));
}

void setNodeAttribute(xmlNodePtr element, std::optional<std::string_view> name, int value) {
  setNodeAttribute(element, name, std::optional<std::string_view>(decimalText(value)));
}

void setNodeAttribute(xmlNodePtr element, std::optional<std::string_view> name, float value) {
  setNodeAttribute(element, name, std::optional<std::string_view>(shortestText(value)));
}

void setNodeAttribute(xmlNodePtr element, std::string_view xpath, std::optional<std::string_view> name,
                      std::optional<std::string_view> value) {
  if (!element) return;
  setNodeAttribute(nodeForXPath(element, xpath), name, value);
}

void setNodeAttribute(xmlNodePtr element, std::string_view xpath, std::optional<std::string_view> name, int value) {
  setNodeAttribute(element, xpath, name, std::optional<std::string_view>(decimalText(value)));
}

void setNodeAttribute(xmlNodePtr element, std::string_view xpath, std::optional<std::string_view> name,
                      float value) {
  setNodeAttribute(element, xpath, name, std::optional<std::string_view>(shortestText(value)));
}

// ---- walking ---------------------------------------------------------------------------------------

void EnumXMLNodes(xmlNodePtr element, XmlNodeCallback callback, void* userData) {
  if (!element || !callback) return;
  // Iterative pre-order walk below `element` (deep trees can't overflow the stack).
  xmlNodePtr n = element;
  while (n) {
    if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) callback(n, userData);
    if (n->type == XML_ELEMENT_NODE && n->children) {
      n = n->children;
      continue;
    }
    while (n != element && !n->next) n = n->parent;
    if (n == element) break;
    n = n->next;
  }
}

}  // namespace korvex
