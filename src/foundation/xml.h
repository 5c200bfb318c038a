#pragma once

// The small XML functions over libxml2: documents parsed from
// XML or HTML, XPath queries, child elements used as "keys", attributes and a
// walk over the text nodes.
//
// Ownership: an XmlDocument owns its libxml2 document and every node in it;
// nodes are handed around as borrowed xmlNodePtr that live as long as their
// document. A node made by nodeWithName/nodeWithString belongs to no document
// and is returned as an XmlNode, which frees it when destroyed unless it was
// given away with appendChild (or release()).
//
// Parsing never loads external entities, external DTDs or anything from the
// network (XML_PARSE_NONET, no entity substitution, no DTD loading). Errors
// are logged with logError, never raised.

#include <libxml/tree.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvex {

// An owned libxml2 document.
class XmlDocument {
 public:
  XmlDocument() = default;
  explicit XmlDocument(xmlDocPtr doc) : doc_(doc) {}
  ~XmlDocument();
  XmlDocument(XmlDocument&& other) noexcept : doc_(std::exchange(other.doc_, nullptr)) {}
  XmlDocument& operator=(XmlDocument&& other) noexcept;
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  explicit operator bool() const { return doc_ != nullptr; }
  xmlDocPtr get() const { return doc_; }
  // The document as a node, for the XPath functions (its "/" is the document).
  xmlNodePtr node() const { return reinterpret_cast<xmlNodePtr>(doc_); }
  // The root element, or null.
  xmlNodePtr root() const;
  xmlDocPtr release() { return std::exchange(doc_, nullptr); }

 private:
  xmlDocPtr doc_ = nullptr;
};

// An element that belongs to no document yet: freed with this handle unless
// given away.
class XmlNode {
 public:
  XmlNode() = default;
  explicit XmlNode(xmlNodePtr node) : node_(node) {}
  ~XmlNode();
  XmlNode(XmlNode&& other) noexcept : node_(std::exchange(other.node_, nullptr)) {}
  XmlNode& operator=(XmlNode&& other) noexcept;
  XmlNode(const XmlNode&) = delete;
  XmlNode& operator=(const XmlNode&) = delete;

  explicit operator bool() const { return node_ != nullptr; }
  xmlNodePtr get() const { return node_; }
  xmlNodePtr release() { return std::exchange(node_, nullptr); }

 private:
  xmlNodePtr node_ = nullptr;
};

// ---- documents ---------------------------------------------------------------

// An XML document parsed from the text (ignorable blank text dropped, as the
// platform's tree does); a parse error is logged; none on failure.
std::optional<XmlDocument> xmlDocWithString(std::string_view text);
// The same from the file at the POSIX path (a read error is logged too).
std::optional<XmlDocument> xmlDocWithPath(const std::string& path);
// A document parsed from HTML with libxml2's forgiving HTML parser, then
// treated as XML (xmlString writes it as XML); errors logged; none on failure.
std::optional<XmlDocument> htmlDocWithString(std::string_view text);
std::optional<XmlDocument> htmlDocWithPath(const std::string& path);

// The document's XML text, pretty printed, as UTF-8.
std::string xmlString(const XmlDocument& doc);
// The element's XML text, pretty printed; "" for a null node.
std::string xmlString(xmlNodePtr element);

// ---- XPath ---------------------------------------------------------------------

// The nodes the XPath selects with the node as context (in document order);
// none, logged, when the expression is invalid or does not give a node set.
// Namespace nodes are left out (they are not xmlNode structures).
std::optional<std::vector<xmlNodePtr>> nodesForXPath(xmlNodePtr node, std::string_view xpath);
// The first of them, or null.
xmlNodePtr nodeForXPath(xmlNodePtr node, std::string_view xpath);

// ---- elements as keyed records ---------------------------------------------------

// The first child element with that (qualified) name, or null.
xmlNodePtr xmlElementForKey(xmlNodePtr element, std::string_view key);
// A new child element with the name and, when given, that string value,
// appended as the last child; a nil name (or null element) adds nothing and
// gives null.
xmlNodePtr addNode(xmlNodePtr element, std::optional<std::string_view> name,
                   std::optional<std::string_view> value = std::nullopt);
xmlNodePtr addNode(xmlNodePtr element, std::optional<std::string_view> name, int value);
// A new element with that name, not attached.
XmlNode nodeWithName(std::string_view name);
// A new element parsed from the first text (the second when the first is
// nil); when that gives nothing and a second text is given, parsed from the
// second. Never loads anything external.
XmlNode nodeWithString(std::optional<std::string_view> text, std::optional<std::string_view> fallback = std::nullopt);
// Appends an unattached node as the last child of the element and gives up
// its ownership; the attached node, or null (the node is then still freed).
xmlNodePtr appendChild(xmlNodePtr element, XmlNode node);

// The string value (all descendant text) of the first child element with that
// name; the default when there is none.
std::optional<std::string> stringForKey(xmlNodePtr element, std::string_view key,
                                        std::optional<std::string_view> defaultValue = std::nullopt);
// intValue of that string; the default when there is no such child.
int integerForKey(xmlNodePtr element, std::string_view key, int defaultValue);
int intForKey(xmlNodePtr element, std::string_view key, int defaultValue);
// That string with every "," made "." read with floatValue; else the default.
float floatForKey(xmlNodePtr element, std::string_view key, float defaultValue);
// Sets the string value of the first child element with that name (a nil
// value empties it); when there is none, appends one with addNode.
void setStringForKey(xmlNodePtr element, std::string_view key, std::optional<std::string_view> value);
// The first child element with that name; when there is none, a new empty one
// appended with addNode. The create flag is not consulted (as in the
// original): a missing child is always created.
xmlNodePtr nodeForKey(xmlNodePtr element, std::string_view key, bool create = true);

// ---- attributes --------------------------------------------------------------------

// The attribute's string value, or the default when the element has none.
std::optional<std::string> stringForAttribute(xmlNodePtr element, std::string_view name,
                                              std::optional<std::string_view> defaultValue = std::nullopt);
// intValue of the attribute's text; the default without the attribute.
int integerForAttribute(xmlNodePtr element, std::string_view name, int defaultValue);
// floatValue of the attribute's text (no comma replacement); else the default.
float floatForAttribute(xmlNodePtr element, std::string_view name, float defaultValue);
// Sets (adds or replaces) the attribute; nothing when the name or value is nil.
void setNodeAttribute(xmlNodePtr element, std::optional<std::string_view> name,
                      std::optional<std::string_view> value);
void setNodeAttribute(xmlNodePtr element, std::optional<std::string_view> name, int value);
void setNodeAttribute(xmlNodePtr element, std::optional<std::string_view> name, float value);
// The same on the first element the XPath selects below the element (an XPath
// error is logged); nothing when none is selected.
void setNodeAttribute(xmlNodePtr element, std::string_view xpath, std::optional<std::string_view> name,
                      std::optional<std::string_view> value);
void setNodeAttribute(xmlNodePtr element, std::string_view xpath, std::optional<std::string_view> name, int value);
void setNodeAttribute(xmlNodePtr element, std::string_view xpath, std::optional<std::string_view> name,
                      float value);

// ---- walking -------------------------------------------------------------------------

using XmlNodeCallback = unsigned char (*)(xmlNodePtr node, void* userData);
// Depth-first in document order: elements are descended into, every text (and
// CDATA) node is passed to the callback, other kinds are skipped. The
// callback's answer does not stop the walk.
void EnumXMLNodes(xmlNodePtr element, XmlNodeCallback callback, void* userData);

// The node's string value (text of all descendants), as the platform's stringValue.
std::string xmlStringValue(xmlNodePtr node);

}  // namespace korvex
