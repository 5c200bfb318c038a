#include "host/idml/part_surgeon.h"

#include <libxml/parser.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "foundation/xml.h"
#include "host/idml/idml_xml.h"
#include "host/idml/item_writer.h"
#include "host/idml/package_writer.h"
#include "host/idml/story_surgeon.h"

namespace korvex::idml {

namespace {

bool sameNode(xmlNodePtr a, xmlNodePtr b) {
  if (!a || !b) return a == b;
  const auto dump = [](xmlNodePtr n) {
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlNodeDump(buffer, n->doc, n, 0, 0);
    std::string out(reinterpret_cast<const char*>(xmlBufferContent(buffer)), static_cast<std::size_t>(xmlBufferLength(buffer)));
    xmlBufferFree(buffer);
    return out;
  };
  return dump(a) == dump(b);
}

XmlDocument parseXml(const std::string& text) {
  return XmlDocument(xmlReadMemory(text.data(), static_cast<int>(text.size()), "part.xml", "UTF-8",
                                   XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

// The elements with a Self under node, by Self.
void indexBySelf(xmlNodePtr node, std::map<std::string, xmlNodePtr>& out) {
  for (xmlNodePtr c = node->children; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE) continue;
    if (const std::string self = attr(c, "Self"); !self.empty()) out.emplace(self, c);
    indexBySelf(c, out);
  }
}

// Replaces (or adds, or removes) the child element name of original's by
// the one of now, where it differs from the one of before.
void mergeChild(xmlNodePtr original, xmlNodePtr before, xmlNodePtr now, const char* name) {
  xmlNodePtr b = before ? childNamed(before, name) : nullptr;
  xmlNodePtr n = now ? childNamed(now, name) : nullptr;
  if (sameNode(b, n)) return;
  xmlNodePtr o = childNamed(original, name);
  xmlNodePtr copy = n ? xmlDocCopyNode(n, original->doc, 1) : nullptr;
  if (o && copy) {
    xmlNodePtr old = xmlReplaceNode(o, copy);
    xmlFreeNode(old);
  } else if (o) {
    xmlUnlinkNode(o);
    xmlFreeNode(o);
  } else if (copy) {
    xmlAddChild(original, copy);
  }
}

// The model's names of layers, masters, stories and swatches the package
// already had, and their Self there.
std::map<std::string, std::string> packageSelfs(const IDocument& doc, const SourcePackage& source) {
  std::map<std::string, std::string> bySelf;
  for (const auto& [self, uid] : source.selfs) {
    bySelf.emplace("u" + std::to_string(uid), self);
    if (doc.swatch(uid)) bySelf.emplace(swatchRef(doc, uid), self);
  }
  return bySelf;
}

// Element and everything in it name what the package had by its Self there.
void usePackageSelfs(xmlNodePtr element, const std::map<std::string, std::string>& bySelf) {
  for (const char* a : {"ItemLayer", "AppliedMaster", "ParentStory", "FillColor", "StrokeColor"})
    if (auto it = bySelf.find(attr(element, a)); it != bySelf.end()) setAttr(element, a, it->second);
  for (xmlNodePtr c = element->children; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE) usePackageSelfs(c, bySelf);
}

class Surgeon {
 public:
  Surgeon(const IDocument& doc, const SourcePackage& source) : doc_(doc), db_(doc.GetDocDataBase()), source_(source) {}

  // The part, edited to say what the model says now; the model's own form
  // where the part has nothing to edit.
  std::string edit(const std::string& name, const std::string& kind, const std::string& bytes) {
    XmlDocument original = parseXml(bytes);
    if (!original || !original.root()) return writePart(doc_, kind, objects(name, kind));
    XmlDocument before = parseXml(source_.projections.at(name));
    XmlDocument now = parseXml(writePart(doc_, kind, objects(name, kind)));
    if (kind == "designmap") {
      editDesignmap(original.root());
    } else if (kind == "Graphic") {
      editGraphic(original.root(), before.root(), now.root());
    } else if (kind == "Spread" || kind == "MasterSpread") {
      editItems(original.root(), before.root(), now.root());
    } else if (kind == "Story") {
      editStories(original.root(), before.root(), now.root());
    } else {
      return writePart(doc_, kind, objects(name, kind));
    }
    return serializeLikeOriginal(original.get());
  }

 private:
  std::vector<UID> objects(const std::string& name, const std::string&) const { return source_.objectsOf(name); }

  UID uidOf(const std::string& self) const {
    auto it = source_.selfs.find(self);
    return it == source_.selfs.end() ? kInvalidUID : it->second;
  }

  // Parts are written without reindenting: what was there keeps its layout.
  static std::string serializeLikeOriginal(xmlDocPtr doc) {
    xmlChar* buffer = nullptr;
    int size = 0;
    xmlDocDumpMemoryEnc(doc, &buffer, &size, "UTF-8");
    std::string out = buffer ? std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(size)) : "";
    if (buffer) xmlFree(buffer);
    return out;
  }

  static void setFlag(xmlNodePtr node, const char* name, bool value, bool defaultValue) {
    const std::string current = attr(node, name);
    const bool was = current.empty() ? defaultValue : current == "true";
    if (was != value) setAttr(node, name, value ? "true" : "false");
  }

  void editDesignmap(xmlNodePtr root) {
    std::set<UID> seen;
    for (xmlNodePtr c = root->children, next = nullptr; c; c = next) {
      next = c->next;
      if (!named(c, "Layer")) continue;
      const UID uid = uidOf(attr(c, "Self"));
      const auto* layer = db_->instantiate<IDocumentLayer>(uid);
      if (!layer) {
        if (uid != kInvalidUID) {  // deleted by the run
          xmlUnlinkNode(c);
          xmlFreeNode(c);
        }
        continue;
      }
      seen.insert(uid);
      if (attr(c, "Name") != layer->GetName()) setAttr(c, "Name", layer->GetName());
      setFlag(c, "Visible", layer->IsVisible(), true);
      setFlag(c, "Printable", layer->IsPrintable(), true);
      setFlag(c, "Locked", layer->IsLocked(), false);
    }
    // Layers the run made go in front of the others, in the host's order.
    xmlNodePtr first = nullptr;
    for (xmlNodePtr c = root->children; c && !first; c = c->next)
      if (named(c, "Layer")) first = c;
    for (UID u : doc_.layerList()) {
      const auto* layer = db_->instantiate<IDocumentLayer>(u);
      if (!layer || layer->isPagesLayer() || seen.count(u)) continue;
      xmlNodePtr l = xmlNewNode(nullptr, xmlChars("Layer"));
      writeLayerElement(l, *layer);
      first = first ? xmlAddPrevSibling(first, l) : xmlAddChild(root, l);
    }
    const std::string active = attr(root, "ActiveLayer");
    if (uidOf(active) != doc_.activeLayer()) {
      std::string self = "u" + std::to_string(doc_.activeLayer());
      for (const auto& [s, u] : source_.selfs)
        if (u == doc_.activeLayer()) self = s;
      setAttr(root, "ActiveLayer", self);
    }
    editLabels(root, doc_.labels());
  }

  // The element's Properties/Label, rewritten when it no longer says what labels do.
  static void editLabels(xmlNodePtr element, const LabelStore& labels) {
    xmlNodePtr properties = childNamed(element, "Properties");
    xmlNodePtr label = properties ? childNamed(properties, "Label") : nullptr;
    std::vector<std::pair<std::string, std::string>> had;
    if (label)
      for (xmlNodePtr p = label->children; p; p = p->next)
        if (named(p, "KeyValuePair")) had.emplace_back(attr(p, "Key"), attr(p, "Value"));
    std::vector<std::pair<std::string, std::string>> has(labels.entries().begin(), labels.entries().end());
    auto sortedHad = had;
    std::sort(sortedHad.begin(), sortedHad.end());
    std::sort(has.begin(), has.end());
    if (sortedHad == has) return;
    if (label) {
      xmlUnlinkNode(label);
      xmlFreeNode(label);
    }
    if (has.empty()) return;
    if (!properties) {
      properties = xmlNewNode(nullptr, xmlChars("Properties"));
      if (xmlNodePtr firstChild = xmlFirstElementChild(element))
        xmlAddPrevSibling(firstChild, properties);
      else
        xmlAddChild(element, properties);
    }
    writeLabelElement(properties, labels);
  }

  void editGraphic(xmlNodePtr root, xmlNodePtr before, xmlNodePtr now) {
    std::set<UID> present;
    for (xmlNodePtr c = root->children, next = nullptr; c; c = next) {
      next = c->next;
      if (!named(c, "Color") && !named(c, "Tint")) continue;
      const UID uid = uidOf(attr(c, "Self"));
      if (uid == kInvalidUID) continue;
      if (!doc_.swatch(uid)) {  // deleted by the run
        xmlUnlinkNode(c);
        xmlFreeNode(c);
        continue;
      }
      present.insert(uid);
    }
    // Swatches the run made (or changed: its generated element differs) follow.
    std::map<std::string, xmlNodePtr> was, is;
    if (before) indexBySelf(before, was);
    if (now) indexBySelf(now, is);
    for (const auto& [self, node] : is) {
      const Swatch* s = nullptr;
      for (UID u : doc_.swatchList())
        if (const Swatch* sw = doc_.swatch(u); sw && attr(node, "Name") == sw->name()) s = sw;
      if (!s || present.count(s->GetUID())) {
        // An existing swatch whose values changed: the new values on the old element.
        auto w = was.find(self);
        if (s && w != was.end() && !sameNode(w->second, node))
          for (xmlNodePtr c = root->children; c; c = c->next)
            if ((named(c, "Color") || named(c, "Tint")) && uidOf(attr(c, "Self")) == s->GetUID())
              for (const char* a : {"Model", "Space", "ColorValue", "TintValue"})
                if (attr(node, a) != attr(w->second, a) && !attr(node, a).empty()) setAttr(c, a, attr(node, a));
        continue;
      }
      if (was.count(self)) continue;
      xmlAddChild(root, xmlDocCopyNode(node, root->doc, 1));
    }
  }

  // Page items matched by Self: what changed between the model's form when
  // read and now goes onto the original element; deleted items leave.
  void editItems(xmlNodePtr root, xmlNodePtr before, xmlNodePtr now) {
    std::map<std::string, xmlNodePtr> was, is;
    if (before) indexBySelf(before, was);
    if (now) indexBySelf(now, is);
    std::vector<xmlNodePtr> items;
    const auto collect = [&](auto& self, xmlNodePtr node) -> void {
      for (xmlNodePtr c = node->children; c; c = c->next) {
        if (c->type != XML_ELEMENT_NODE) continue;
        if (named(c, "Group") || named(c, "GraphicLine") || named(c, "Rectangle") || named(c, "Oval") ||
            named(c, "Polygon") || named(c, "TextFrame"))
          items.push_back(c);
        self(self, c);
      }
    };
    collect(collect, root);
    std::vector<xmlNodePtr> gone;
    for (xmlNodePtr o : items) {
      const UID uid = uidOf(attr(o, "Self"));
      if (uid == kInvalidUID) continue;
      const std::string key = "u" + std::to_string(uid);
      auto w = was.find(key);
      auto n = is.find(key);
      if (w == was.end()) continue;
      if (n == is.end()) {
        if (!db_->instantiate<PageItem>(uid)) gone.push_back(o);
        continue;
      }
      mergeItem(o, w->second, n->second);
    }
    for (xmlNodePtr o : gone) {
      xmlUnlinkNode(o);
      xmlFreeNode(o);
    }
    if (before && now) addNewItems(root, now, was);
  }

  static bool isPageItem(xmlNodePtr node) {
    return named(node, "Group") || named(node, "GraphicLine") || named(node, "Rectangle") || named(node, "Oval") ||
           named(node, "Polygon") || named(node, "TextFrame");
  }

  // Items the run made on a spread the package had: copied from the model's
  // form into the spread (or the group that holds them), moved from the
  // writer's spread origin to the part's the way a page there was moved.
  void addNewItems(xmlNodePtr root, xmlNodePtr now,
                   const std::map<std::string, xmlNodePtr>& was) {
    xmlNodePtr spread = childNamed(root, "Spread");
    if (!spread) spread = childNamed(root, "MasterSpread");
    if (!spread) return;
    std::map<std::string, xmlNodePtr> originals;
    indexBySelf(root, originals);
    // How the reader moved this spread's items: an item of the part against
    // the same item as written from the model when read.
    std::optional<PMMatrix> shift;
    for (xmlNodePtr item = spread->children; item && !shift; item = item->next) {
      if (item->type != XML_ELEMENT_NODE || !isPageItem(item)) continue;
      const UID uid = uidOf(attr(item, "Self"));
      auto b = was.find("u" + std::to_string(uid));
      if (uid == kInvalidUID || b == was.end()) continue;
      if (const auto inverse = parseMatrix(attr(b->second, "ItemTransform")).inverse())
        shift = parseMatrix(attr(item, "ItemTransform")) * *inverse;
    }
    std::vector<xmlNodePtr> added;
    const auto walk = [&](auto& self, xmlNodePtr node) -> void {
      for (xmlNodePtr c = node->children; c; c = c->next) {
        if (c->type != XML_ELEMENT_NODE) continue;
        if (isPageItem(c) && !was.count(attr(c, "Self"))) {
          added.push_back(c);  // with everything inside it
          continue;
        }
        self(self, c);
      }
    };
    walk(walk, now);
    for (xmlNodePtr item : added) {
      // The group that holds it in the model, if the part has that group; else the spread.
      xmlNodePtr target = spread;
      if (item->parent && isPageItem(item->parent)) {
        for (const auto& [self, node] : originals)
          if (isPageItem(node) && "u" + std::to_string(uidOf(self)) == attr(item->parent, "Self")) target = node;
      }
      xmlNodePtr copy = xmlDocCopyNode(item, root->doc, 1);
      if (!copy) continue;
      renameClashingSelfs(copy, originals);
      usePackageSelfs(copy, packageSelfs(doc_, source_));
      if (shift && target == spread)
        setAttr(copy, "ItemTransform", matrixText(*shift * parseMatrix(attr(copy, "ItemTransform"))));
      xmlAddChild(target, copy);
      xmlReconciliateNs(root->doc, copy);
    }
  }

  // A Self the package already uses elsewhere gets a suffix, and the thread
  // links inside the copy follow it.
  static void renameClashingSelfs(xmlNodePtr copy, const std::map<std::string, xmlNodePtr>& originals) {
    std::map<std::string, std::string> renamed;
    const auto rename = [&](auto& self, xmlNodePtr node) -> void {
      if (node->type != XML_ELEMENT_NODE) return;
      if (std::string id = attr(node, "Self"); !id.empty() && originals.count(id)) {
        std::string fresh = id + "n";
        while (originals.count(fresh)) fresh += "n";
        renamed[id] = fresh;
        setAttr(node, "Self", fresh);
      }
      for (xmlNodePtr c = node->children; c; c = c->next) self(self, c);
    };
    rename(rename, copy);
    if (renamed.empty()) return;
    const auto relink = [&](auto& self, xmlNodePtr node) -> void {
      if (node->type != XML_ELEMENT_NODE) return;
      for (const char* link : {"PreviousTextFrame", "NextTextFrame"})
        if (auto it = renamed.find(attr(node, link)); it != renamed.end()) setAttr(node, link, it->second);
      for (xmlNodePtr c = node->children; c; c = c->next) self(self, c);
    };
    relink(relink, copy);
  }

  static void mergeItem(xmlNodePtr original, xmlNodePtr before, xmlNodePtr now) {
    if (sameNode(before, now)) return;
    for (xmlAttrPtr a = now->properties; a; a = a->next) {
      const char* name = reinterpret_cast<const char*>(a->name);
      const std::string value = attr(now, name);
      if (value == attr(before, name) || std::string(name) == "Self" || std::string(name) == "ItemLayer") continue;
      if (std::string(name) == "ItemTransform") {
        // The reader moved the item by the spread's origin: keep that offset.
        const PMMatrix x = parseMatrix(attr(original, name));
        const auto inverse = parseMatrix(attr(before, name)).inverse();
        if (inverse) {
          setAttr(original, name, matrixText(x * *inverse * parseMatrix(value)));
          continue;
        }
      }
      setAttr(original, name, value);
    }
    for (xmlAttrPtr a = before->properties; a; a = a->next)
      if (!xmlHasProp(now, a->name)) xmlUnsetProp(original, a->name);
    xmlNodePtr op = childNamed(original, "Properties");
    xmlNodePtr bp = childNamed(before, "Properties");
    xmlNodePtr np = childNamed(now, "Properties");
    if (np && !op) {
      op = xmlNewNode(nullptr, xmlChars("Properties"));
      if (xmlNodePtr first = xmlFirstElementChild(original))
        xmlAddPrevSibling(first, op);
      else
        xmlAddChild(original, op);
    }
    if (op) {
      mergeChild(op, bp, np, "PathGeometry");
      mergeChild(op, bp, np, "Label");
    }
    if (xmlNodePtr o = childNamed(original, "TextFramePreference"))
      if (xmlNodePtr n = childNamed(now, "TextFramePreference"))
        if (xmlNodePtr b = childNamed(before, "TextFramePreference"); b && !sameNode(b, n))
          for (xmlAttrPtr a = n->properties; a; a = a->next) {
            const char* name = reinterpret_cast<const char*>(a->name);
            if (attr(n, name) != attr(b, name)) setAttr(o, name, attr(n, name));
          }
  }

  // A story's changed text edited in place where it can be; else its text in
  // the model's form, the Story element keeping its own attributes and the
  // children that are no text (StoryPreference and the like).
  void editStories(xmlNodePtr root, xmlNodePtr before, xmlNodePtr now) {
    std::map<std::string, xmlNodePtr> was, is;
    if (before) indexBySelf(before, was);
    if (now) indexBySelf(now, is);
    const auto selfs = packageSelfs(doc_, source_);
    for (xmlNodePtr c = root->children, next = nullptr; c; c = next) {
      next = c->next;
      if (!named(c, "Story")) continue;
      const UID uid = uidOf(attr(c, "Self"));
      if (uid == kInvalidUID) continue;
      const std::string self = "u" + std::to_string(uid);
      auto n = is.find(self);
      if (n == is.end()) continue;
      if (auto b = was.find(self); b != was.end()) {
        if (sameNode(b->second, n->second)) continue;
        if (XmlNode edited = editedStory(c, b->second, n->second, selfs)) {
          xmlNodePtr old = xmlReplaceNode(c, edited.release());
          xmlFreeNode(old);
          continue;
        }
      }
      rewriteStory(c, n->second, selfs);
    }
  }

  void rewriteStory(xmlNodePtr story, xmlNodePtr now, const std::map<std::string, std::string>& selfs) {
    xmlNodePtr insertAt = nullptr;
    for (xmlNodePtr r = story->children, next = nullptr; r; r = next) {
      next = r->next;
      if (!named(r, "ParagraphStyleRange") && !named(r, "CharacterStyleRange") && !named(r, "XMLElement")) continue;
      if (!insertAt) insertAt = xmlNewNode(nullptr, xmlChars("Marker"));
      if (!insertAt->parent) xmlAddPrevSibling(r, insertAt);
      xmlUnlinkNode(r);
      xmlFreeNode(r);
    }
    for (xmlNodePtr r = now->children; r; r = r->next) {
      if (r->type != XML_ELEMENT_NODE) continue;
      xmlNodePtr copy = xmlDocCopyNode(r, story->doc, 1);
      usePackageSelfs(copy, selfs);
      if (insertAt)
        xmlAddPrevSibling(insertAt, copy);
      else
        xmlAddChild(story, copy);
    }
    if (insertAt) {
      xmlUnlinkNode(insertAt);
      xmlFreeNode(insertAt);
    }
  }

  const IDocument& doc_;
  IDataBase* db_;
  const SourcePackage& source_;
};

}  // namespace

std::string editPart(const IDocument& doc, const SourcePackage& source, const std::string& name,
                     const std::string& kind, const std::string& bytes) {
  return Surgeon(doc, source).edit(name, kind, bytes);
}

void usePackageSelfs(xmlNodePtr element, const IDocument& doc, const SourcePackage& source) {
  usePackageSelfs(element, packageSelfs(doc, source));
}

}  // namespace korvex::idml
