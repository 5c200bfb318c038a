#include "host/idml/package_writer.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "foundation/atomic_file.h"
#include "foundation/json_node.h"
#include "foundation/xml.h"
#include "host/idml/item_writer.h"
#include "host/idml/package.h"
#include "host/idml/part_surgeon.h"
#include "host/place.h"

namespace korvex::idml {

namespace {

constexpr const char* kPackagingNs = "http://ns.adobe.com/AdobeInDesign/idml/1.0/packaging";
constexpr const char* kDomVersion = "8.0";
// Entries get one fixed time, so the same document gives the same bytes.
constexpr time_t kEntryTime = 946684800;  // 2000-01-01

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

std::string uidRef(UID uid) {
  return "u" + std::to_string(uid);
}

// Only a part's root is in the packaging namespace; elements made under it
// inherit it, so they are taken out.
void dropInheritedNamespace(xmlNodePtr node) {
  for (xmlNodePtr c = node->children; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE) continue;
    c->ns = nullptr;
    dropInheritedNamespace(c);
  }
}

std::string serialize(xmlDocPtr doc) {
  if (xmlNodePtr root = xmlDocGetRootElement(doc); root && root->ns) dropInheritedNamespace(root);
  xmlChar* buffer = nullptr;
  int size = 0;
  xmlDocDumpFormatMemoryEnc(doc, &buffer, &size, "UTF-8", 1);
  std::string out = buffer ? std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(size)) : "";
  if (buffer) xmlFree(buffer);
  return out;
}

// <idPkg:KIND xmlns:idPkg=… DOMVersion="8.0">
xmlNodePtr newPart(DocPtr& doc, const std::string& kind) {
  doc.reset(xmlNewDoc(xmlChars("1.0")));
  xmlDocSetRootElement(doc.get(), xmlNewDocNode(doc.get(), nullptr, xmlChars(kind.c_str()), nullptr));
  xmlNodePtr root = xmlDocGetRootElement(doc.get());
  xmlNsPtr ns = xmlNewNs(root, xmlChars(kPackagingNs), xmlChars("idPkg"));
  xmlSetNs(root, ns);
  setAttr(root, "DOMVersion", kDomVersion);
  return root;
}

xmlNodePtr lastElement(xmlNodePtr parent) {
  xmlNodePtr last = xmlGetLastChild(parent);
  while (last && last->type != XML_ELEMENT_NODE) last = last->prev;
  return last;
}

// "XMLTag/Titel%20Zeile": everything but letters, digits, '-', '_' and '.' percent-encoded.
std::string markupTag(const std::string& tag) {
  std::string out = "XMLTag/";
  for (unsigned char c : tag) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

class PartWriter {
 public:
  explicit PartWriter(const IDocument& doc) : doc_(doc), db_(doc.GetDocDataBase()) {}

  std::string write(const std::string& kind, const std::vector<UID>& objects) {
    if (kind == "designmap") return designmap({});
    if (kind == "Graphic") return graphic();
    if (kind == "Fonts") return fonts();
    if (kind == "Styles") return styles();
    if (kind == "Preferences") return preferences();
    if (kind == "Tags") return tags();
    if (kind == "BackingStory") return backingStory();
    if (kind == "MasterSpread" || kind == "Spread") return spreads(kind, objects);
    if (kind == "Story") return stories(objects);
    return {};
  }

  // refs: (element, src) of the parts, in order.
  std::string designmap(const std::vector<std::pair<std::string, std::string>>& refs) {
    DocPtr doc(xmlNewDoc(xmlChars("1.0")));
    xmlAddChild(reinterpret_cast<xmlNodePtr>(doc.get()),
                xmlNewDocPI(doc.get(), xmlChars("aid"),
                            xmlChars("style=\"50\" type=\"document\" readerVersion=\"6.0\" featureSet=\"257\" "
                                     "product=\"8.0(370)\"")));
    xmlNodePtr root = xmlNewDocNode(doc.get(), nullptr, xmlChars("Document"), nullptr);
    xmlDocSetRootElement(doc.get(), root);
    xmlNsPtr ns = xmlNewNs(root, xmlChars(kPackagingNs), xmlChars("idPkg"));
    setAttr(root, "DOMVersion", kDomVersion);
    setAttr(root, "Self", "d");
    if (doc_.activeLayer() != kInvalidUID) setAttr(root, "ActiveLayer", uidRef(doc_.activeLayer()));
    if (!doc_.labels().empty()) writeLabelElement(xmlNewChild(root, nullptr, xmlChars("Properties"), nullptr), doc_.labels());
    const auto ref = [&](const std::string& element, const std::string& src) {
      xmlNodePtr r = xmlNewChild(root, ns, xmlChars(element.c_str()), nullptr);
      setAttr(r, "src", src);
    };
    // Resources first, then the layers, then the rest, as the application orders them.
    std::size_t i = 0;
    for (; i < refs.size() && refs[i].first != "MasterSpread" && refs[i].first != "Spread" &&
           refs[i].first != "Story" && refs[i].first != "BackingStory";
         ++i)
      ref(refs[i].first, refs[i].second);
    // The host lists layers back to front; IDML front first.
    for (auto it = doc_.layerList().rbegin(); it != doc_.layerList().rend(); ++it) {
      const auto* layer = db_->instantiate<IDocumentLayer>(*it);
      if (!layer || layer->isPagesLayer()) continue;
      writeLayerElement(xmlNewChild(root, nullptr, xmlChars("Layer"), nullptr), *layer);
    }
    for (; i < refs.size(); ++i) ref(refs[i].first, refs[i].second);
    return serialize(doc.get());
  }

  std::string graphic() {
    DocPtr doc;
    xmlNodePtr root = newPart(doc, "Graphic");
    ItemWriter writer(doc_);
    for (UID u : doc_.swatchList()) writer.useSwatch(u);
    writer.writeSwatches(root);
    xmlNodePtr none = xmlNewChild(root, nullptr, xmlChars("Swatch"), nullptr);
    setAttr(none, "Self", "Swatch/None");
    setAttr(none, "Name", "None");
    return serialize(doc.get());
  }

  std::string fonts() {
    DocPtr doc;
    xmlNodePtr root = newPart(doc, "Fonts");
    std::map<std::string, xmlNodePtr> families;
    int n = 0;
    for (const IDocument::DeclaredFont& f : doc_.declaredFonts()) {
      xmlNodePtr& family = families[f.family];
      if (!family) {
        family = xmlNewChild(root, nullptr, xmlChars("FontFamily"), nullptr);
        setAttr(family, "Self", "di" + std::to_string(++n));
        setAttr(family, "Name", f.family);
      }
      xmlNodePtr font = xmlNewChild(family, nullptr, xmlChars("Font"), nullptr);
      setAttr(font, "Self", "di" + std::to_string(++n));
      setAttr(font, "FontFamily", f.family);
      setAttr(font, "Name", f.family + "\t" + f.style);
      setAttr(font, "FontStyleName", f.style);
    }
    return serialize(doc.get());
  }

  std::string styles() {
    DocPtr doc;
    xmlNodePtr root = newPart(doc, "Styles");
    const std::tuple<const char*, const char*, StyleKind> groups[] = {
        {"RootCharacterStyleGroup", "CharacterStyle", StyleKind::Character},
        {"RootParagraphStyleGroup", "ParagraphStyle", StyleKind::Paragraph},
        {"RootCellStyleGroup", "CellStyle", StyleKind::Cell},
        {"RootTableStyleGroup", "TableStyle", StyleKind::Table},
        {"RootObjectStyleGroup", "ObjectStyle", StyleKind::Object}};
    static const std::set<std::string> kSkipped = {"Self", "Name", "Imported", "KeyboardShortcut"};
    for (const auto& [group, element, kind] : groups) {
      xmlNodePtr g = xmlNewChild(root, nullptr, xmlChars(group), nullptr);
      setAttr(g, "Self", std::string("u") + group);
      for (UID u : doc_.styleGroup(kind).styles()) {
        const auto* style = db_->instantiate<Style>(u);
        if (!style) continue;
        xmlNodePtr s = xmlNewChild(g, nullptr, xmlChars(element), nullptr);
        const std::string self = styleSelf(kind, style->name());
        setAttr(s, "Self", self);
        setAttr(s, "Name", self.substr(self.find('/') + 1));
        for (const auto& [key, value] : style->properties())
          if (!kSkipped.count(key) && xmlValidateName(xmlChars(key.c_str()), 0) == 0) setAttr(s, key.c_str(), value);
        if (const auto* parent = db_->instantiate<Style>(style->basedOn())) {
          xmlNodePtr p = xmlNewChild(s, nullptr, xmlChars("Properties"), nullptr);
          xmlNodePtr b = xmlNewTextChild(p, nullptr, xmlChars("BasedOn"), xmlChars(styleSelf(kind, parent->name()).c_str()));
          setAttr(b, "type", "object");
        }
      }
    }
    return serialize(doc.get());
  }

  std::string preferences() {
    DocPtr doc;
    xmlNodePtr root = newPart(doc, "Preferences");
    xmlNodePtr d = xmlNewChild(root, nullptr, xmlChars("DocumentPreference"), nullptr);
    setAttr(d, "PageWidth", formatNumber(doc_.defaultPageWidth()));
    setAttr(d, "PageHeight", formatNumber(doc_.defaultPageHeight()));
    setAttr(d, "FacingPages", doc_.facingPages() ? "true" : "false");
    const BaselineGrid& b = doc_.baselineGrid();
    const DocumentGrid& g = doc_.documentGrid();
    xmlNodePtr grid = xmlNewChild(root, nullptr, xmlChars("GridPreference"), nullptr);
    setAttr(grid, "BaselineStart", formatNumber(b.start));
    setAttr(grid, "BaselineDivision", formatNumber(b.increment));
    setAttr(grid, "BaselineGridViewThreshold", formatNumber(b.viewThreshold));
    setAttr(grid, "BaselineGridRelativeOption", b.relativeTo == BaselineRelativeTo::TopMargin
                                                    ? "TopOfMarginOfBaselineGridRelativeOption"
                                                    : "TopOfPageOfBaselineGridRelativeOption");
    setAttr(grid, "HorizontalGridlineDivision", formatNumber(g.horizontalSpacing));
    setAttr(grid, "HorizontalGridSubdivision", std::to_string(g.horizontalSubdivisions));
    setAttr(grid, "VerticalGridlineDivision", formatNumber(g.verticalSpacing));
    setAttr(grid, "VerticalGridSubdivision", std::to_string(g.verticalSubdivisions));
    setAttr(grid, "GridsInBack", g.inBack ? "true" : "false");
    return serialize(doc.get());
  }

  std::string tags() {
    DocPtr doc;
    xmlNodePtr root = newPart(doc, "Tags");
    std::set<std::string> seen;
    const auto walk = [&](auto& self, const XMLElement& e) -> void {
      if (seen.insert(e.tag).second) {
        xmlNodePtr t = xmlNewChild(root, nullptr, xmlChars("XMLTag"), nullptr);
        setAttr(t, "Self", markupTag(e.tag));
        setAttr(t, "Name", e.tag);
      }
      for (const XMLElement& c : e.children) self(self, c);
    };
    walk(walk, doc_.xmlRoot());
    return serialize(doc.get());
  }

  std::string backingStory() {
    DocPtr doc;
    xmlNodePtr root = newPart(doc, "BackingStory");
    xmlNodePtr story = xmlNewChild(root, nullptr, xmlChars("XmlStory"), nullptr);
    setAttr(story, "Self", "ux");
    xmlNodePtr range = xmlNewChild(xmlNewChild(story, nullptr, xmlChars("ParagraphStyleRange"), nullptr), nullptr,
                                   xmlChars("CharacterStyleRange"), nullptr);
    int n = 0;
    const auto walk = [&](auto& self, xmlNodePtr parent, const XMLElement& e) -> void {
      xmlNodePtr x = xmlNewChild(parent, nullptr, xmlChars("XMLElement"), nullptr);
      setAttr(x, "Self", "di" + std::to_string(++n));
      setAttr(x, "MarkupTag", markupTag(e.tag));
      for (const auto& [name, value] : e.attributes) {
        xmlNodePtr a = xmlNewChild(x, nullptr, xmlChars("XMLAttribute"), nullptr);
        setAttr(a, "Self", "di" + std::to_string(++n));
        setAttr(a, "Name", name);
        setAttr(a, "Value", value);
      }
      if (!e.content.empty()) xmlNewTextChild(x, nullptr, xmlChars("Content"), xmlChars(e.content.c_str()));
      for (const XMLElement& c : e.children) self(self, x, c);
    };
    walk(walk, range, doc_.xmlRoot());
    return serialize(doc.get());
  }

  std::string spreads(const std::string& kind, const std::vector<UID>& uids) {
    DocPtr doc;
    xmlNodePtr root = newPart(doc, kind);
    ItemWriter writer(doc_);
    for (UID u : uids) writeSpread(root, kind, u, writer);
    return serialize(doc.get());
  }

  std::string stories(const std::vector<UID>& uids) {
    DocPtr doc;
    xmlNodePtr root = newPart(doc, "Story");
    ItemWriter writer(doc_);
    for (UID u : uids) writer.writeStory(root, u);
    return serialize(doc.get());
  }

 private:
  void writeSpread(xmlNodePtr root, const std::string& kind, UID uid, ItemWriter& writer) {
    const auto* spread = db_->instantiate<ISpread>(uid);
    if (!spread) return;
    xmlNodePtr s = xmlNewChild(root, nullptr, xmlChars(kind.c_str()), nullptr);
    setAttr(s, "Self", uidRef(uid));
    if (kind == "MasterSpread") setAttr(s, "Name", spread->masterName());
    setAttr(s, "PageCount", std::to_string(spread->GetNumPages()));
    setAttr(s, "ItemTransform", "1 0 0 1 0 0");
    for (const Page* page : spread->pages()) {
      xmlNodePtr p = xmlNewChild(s, nullptr, xmlChars("Page"), nullptr);
      setAttr(p, "Self", uidRef(page->GetUID()));
      if (!page->name().empty()) setAttr(p, "Name", page->name());
      setAttr(p, "GeometricBounds", formatNumbers({0, 0, page->height(), page->width()}));
      setAttr(p, "ItemTransform", matrixText(page->transform()));
      setAttr(p, "AppliedMaster", page->appliedMaster() == kInvalidUID ? "n" : uidRef(page->appliedMaster()));
      const PageMargins& m = page->margins();
      xmlNodePtr mp = xmlNewChild(p, nullptr, xmlChars("MarginPreference"), nullptr);
      setAttr(mp, "Top", formatNumber(m.top));
      setAttr(mp, "Left", formatNumber(m.left));
      setAttr(mp, "Bottom", formatNumber(m.bottom));
      setAttr(mp, "Right", formatNumber(m.right));
      const std::vector<PMReal> columns = page->hasExplicitColumns() ? page->columns() : std::vector<PMReal>{};
      setAttr(mp, "ColumnCount", std::to_string(std::max<std::size_t>(1, columns.size() / 2)));
      if (!columns.empty()) {
        std::string positions;
        for (PMReal c : columns) positions += (positions.empty() ? "" : " ") + formatNumber(c - m.left);
        setAttr(mp, "ColumnsPositions", positions);
      }
    }
    for (UID layer : doc_.layerList()) {
      const ISpreadLayer* sl = spread->QueryLayer(layer);
      const auto* documentLayer = db_->instantiate<IDocumentLayer>(layer);
      if (!sl || !documentLayer || documentLayer->isPagesLayer()) continue;
      for (UID child : sl->children()) {
        xmlNodePtr before = lastElement(s);
        writer.writeItem(s, child, TransformSpace::Parent);
        if (xmlNodePtr item = lastElement(s); item && item != before) setAttr(item, "ItemLayer", uidRef(layer));
      }
    }
    threadFrames(s);
  }

  // PreviousTextFrame/NextTextFrame from each story's thread.
  void threadFrames(xmlNodePtr node) {
    for (xmlNodePtr c = node->children; c; c = c->next) {
      if (c->type != XML_ELEMENT_NODE) continue;
      if (named(c, "TextFrame")) {
        const std::string self = attr(c, "Self");
        const auto* frame = db_->instantiate<SplineItem>(static_cast<UID>(std::strtoul(self.c_str() + 1, nullptr, 10)));
        const auto* mc = frame ? db_->instantiate<MultiColumnItem>(frame->textContentUID()) : nullptr;
        const ITextModel* story = mc ? doc_.story(mc->storyUID()) : nullptr;
        if (story) {
          const auto& frames = story->threadedFrames();
          const auto at = std::find(frames.begin(), frames.end(), mc->GetUID());
          const auto frameOf = [&](UID multiColumn) {
            const auto* m = db_->instantiate<MultiColumnItem>(multiColumn);
            return m ? uidRef(m->GetParentUID()) : std::string("n");
          };
          if (at != frames.end()) {
            setAttr(c, "PreviousTextFrame", at == frames.begin() ? "n" : frameOf(*(at - 1)));
            setAttr(c, "NextTextFrame", at + 1 == frames.end() ? "n" : frameOf(*(at + 1)));
          }
        }
      }
      threadFrames(c);
    }
  }

  const IDocument& doc_;
  IDataBase* db_;
};

// ---- the ZIP ----

struct Entry {
  std::string name;
  std::string bytes;          // new content, unless copied
  zip_int64_t copyFrom = -1;  // else: the source archive's entry, copied as it is stored
  bool stored = false;
};

Status failure(const std::string& path, const std::string& problem) {
  return fail(oneLine(path + ": " + problem));
}

// Writes the entries into a temporary beside path, then renames it over path.
Status writeZip(const std::string& path, const std::vector<Entry>& entries, zip_t* source) {
  std::error_code ec;
  const std::filesystem::path target(path);
  const std::string folder = target.has_parent_path() ? target.parent_path().string() : std::string(".");
  if (std::filesystem::is_directory(target, ec)) return failure(path, "is a folder");
  removeStaleTemporaries(folder);
  const std::string temporary = temporaryPathIn(folder, "idml");
  int error = 0;
  zip_t* archive = zip_open(temporary.c_str(), ZIP_CREATE | ZIP_EXCL, &error);
  if (!archive) {
    zip_error_t e;
    zip_error_init_with_code(&e, error);
    const std::string reason = zip_error_strerror(&e);
    zip_error_fini(&e);
    return failure(path, "can't be written (" + reason + ")");
  }
  const auto abandon = [&](const std::string& problem) {
    zip_discard(archive);
    std::filesystem::remove(temporary, ec);
    return failure(path, problem);
  };
  for (const Entry& e : entries) {
    zip_source_t* src = e.copyFrom >= 0
                            ? zip_source_zip(archive, source, static_cast<zip_uint64_t>(e.copyFrom), 0, 0, -1)
                            : zip_source_buffer(archive, e.bytes.data(), e.bytes.size(), 0);
    if (!src) return abandon(e.name + ": " + zip_strerror(archive));
    const zip_int64_t index = zip_file_add(archive, e.name.c_str(), src, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
      zip_source_free(src);
      return abandon(e.name + ": " + zip_strerror(archive));
    }
    const auto i = static_cast<zip_uint64_t>(index);
    if (zip_set_file_compression(archive, i, e.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0) != 0 ||
        zip_file_set_mtime(archive, i, kEntryTime, 0) != 0)
      return abandon(e.name + ": " + zip_strerror(archive));
  }
  if (zip_close(archive) != 0) return abandon(std::string("can't be written (") + zip_strerror(archive) + ")");
  std::filesystem::rename(temporary, target, ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    return failure(path, "can't be written (" + ec.message() + ")");
  }
  return {};
}

std::vector<std::pair<std::string, std::string>> freshParts(const IDocument& doc) {
  std::vector<std::pair<std::string, std::string>> refs = {{"Graphic", "Resources/Graphic.xml"},
                                                           {"Fonts", "Resources/Fonts.xml"},
                                                           {"Styles", "Resources/Styles.xml"},
                                                           {"Preferences", "Resources/Preferences.xml"},
                                                           {"Tags", "XML/Tags.xml"}};
  for (UID u : doc.masterSpreadList()) refs.emplace_back("MasterSpread", "MasterSpreads/MasterSpread_u" + std::to_string(u) + ".xml");
  for (UID u : doc.spreadList()) refs.emplace_back("Spread", "Spreads/Spread_u" + std::to_string(u) + ".xml");
  for (UID u : doc.storyList()) refs.emplace_back("Story", "Stories/Story_u" + std::to_string(u) + ".xml");
  refs.emplace_back("BackingStory", "XML/BackingStory.xml");
  return refs;
}

constexpr const char* kContainer = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">
  <rootfiles>
    <rootfile full-path="designmap.xml" media-type="text/xml">
    </rootfile>
  </rootfiles>
</container>
)";

Status writeFresh(const IDocument& doc, const std::string& path) {
  PartWriter writer(doc);
  const auto refs = freshParts(doc);
  std::vector<Entry> entries;
  entries.push_back({"mimetype", std::string(kIdmlMimeType), -1, true});
  entries.push_back({"META-INF/container.xml", kContainer, -1, false});
  entries.push_back({"designmap.xml", writer.designmap(refs), -1, false});
  for (const auto& [kind, name] : refs) {
    std::vector<UID> objects;
    if (kind == "MasterSpread" || kind == "Spread" || kind == "Story") {
      const std::string digits = name.substr(name.rfind("_u") + 2);
      objects.push_back(static_cast<UID>(std::stoul(digits)));
    }
    entries.push_back({name, writer.write(kind, objects), -1, false});
  }
  return writeZip(path, entries, nullptr);
}

XmlDocument parseXml(const std::string& text) {
  return XmlDocument(xmlReadMemory(text.data(), static_cast<int>(text.size()), "part.xml", "UTF-8",
                                   XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}


// Spreads, masters and stories the run made get parts of their own; a part
// whose spreads or stories are all gone is left out.
struct PartChanges {
  std::set<std::string> gone;
  std::vector<std::pair<std::string, std::string>> added;  // (kind, name) in the document's order
  std::map<std::string, std::vector<UID>> objects;         // of the added parts
  bool empty() const { return gone.empty() && added.empty(); }
};

PartChanges partChanges(const IDocument& doc, const SourcePackage& source, const Package& package) {
  PartChanges c;
  std::set<UID> known;
  for (const auto& [name, uids] : source.objects) {
    const bool story = source.kinds.at(name) == "Story";
    bool any = false;
    for (UID u : uids) {
      known.insert(u);
      any = any || (story ? doc.story(u) != nullptr : doc.GetDocDataBase()->instantiate<ISpread>(u) != nullptr);
    }
    if (!any && !uids.empty()) c.gone.insert(name);
  }
  const auto add = [&](const char* kind, const std::string& stem, const std::vector<UID>& uids) {
    for (UID u : uids) {
      if (known.count(u)) continue;
      std::string name = stem + "_u" + std::to_string(u) + ".xml";
      for (int n = 2; source.kinds.count(name) || package.has(name); ++n)
        name = stem + "_u" + std::to_string(u) + "_" + std::to_string(n) + ".xml";
      c.added.emplace_back(kind, name);
      c.objects[name] = {u};
    }
  };
  add("MasterSpread", "MasterSpreads/MasterSpread", doc.masterSpreadList());
  add("Spread", "Spreads/Spread", doc.spreadList());
  add("Story", "Stories/Story", doc.storyList());
  return c;
}

// A new part names what the package already had by its Self there.
std::string withPackageSelfs(const std::string& part, const IDocument& doc, const SourcePackage& source) {
  XmlDocument xml = parseXml(part);
  if (!xml) return part;
  usePackageSelfs(xml.root(), doc, source);
  return serialize(xml.get());
}

// The designmap's idPkg references: gone parts removed, added ones after the
// last of their kind (spreads before the next spread the package had).
void editReferences(xmlNodePtr root, const PartChanges& changes, const IDocument& doc, const SourcePackage& source) {
  const auto isRef = [](xmlNodePtr n) {
    return n->type == XML_ELEMENT_NODE && n->ns && n->ns->prefix && xmlStrcmp(n->ns->prefix, xmlChars("idPkg")) == 0;
  };
  std::map<std::string, xmlNodePtr> refs;
  for (xmlNodePtr c = root->children, next = nullptr; c; c = next) {
    next = c->next;
    if (!isRef(c)) continue;
    if (changes.gone.count(attr(c, "src"))) {
      xmlUnlinkNode(c);
      xmlFreeNode(c);
    } else {
      refs[attr(c, "src")] = c;
    }
  }
  std::map<UID, std::string> partOf;
  for (const auto& [name, uids] : source.objects)
    for (UID u : uids) partOf[u] = name;
  for (const auto& [kind, name] : changes.added) {
    xmlNodePtr ref = xmlNewNode(nullptr, xmlChars(kind.c_str()));
    xmlNsPtr ns = xmlSearchNs(root->doc, root, xmlChars("idPkg"));
    xmlSetNs(ref, ns);
    setAttr(ref, "src", name);
    xmlNodePtr before = nullptr;
    if (kind == "Spread") {
      const auto& list = doc.spreadList();
      const UID uid = changes.objects.at(name).front();
      for (auto it = std::find(list.begin(), list.end(), uid); it != list.end() && !before; ++it)
        if (auto p = partOf.find(*it); p != partOf.end() && refs.count(p->second)) before = refs.at(p->second);
    }
    xmlNodePtr after = nullptr;
    for (xmlNodePtr c = root->children; c; c = c->next)
      if (isRef(c) && named(c, kind.c_str())) after = c;
    if (before)
      xmlAddPrevSibling(before, ref);
    else if (after)
      xmlAddNextSibling(after, ref);
    else
      xmlAddChild(root, ref);
  }
}

Status writeFromSource(const IDocument& doc, const SourcePackage& source, const std::string& path) {
  Result<Package> package = Package::open(source.bytes, path);
  if (!package) return failure(path, "the package the document was opened from can't be read again: " + package.message());
  zip_t* archive = package->archive();
  const PartChanges changes = partChanges(doc, source, *package);
  std::vector<Entry> entries;
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  // mimetype first and stored, whatever the original did; the rest in their order.
  for (int pass = 0; pass < 2; ++pass)
    for (zip_int64_t i = 0; i < count; ++i) {
      zip_stat_t st;
      zip_stat_init(&st);
      if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st) != 0) continue;
      const std::string name = st.name;
      if ((name == "mimetype") != (pass == 0) || changes.gone.count(name)) continue;
      const bool stored = name == "mimetype" || ((st.valid & ZIP_STAT_COMP_METHOD) && st.comp_method == ZIP_CM_STORE);
      auto kind = source.kinds.find(name);
      if (kind == source.kinds.end()) {
        entries.push_back({name, {}, i, stored});
        continue;
      }
      const bool designmap = kind->second == "designmap";
      const bool same = PartWriter(doc).write(kind->second, source.objectsOf(name)) == source.projections.at(name);
      if (same && !(designmap && !changes.empty())) {
        entries.push_back({name, {}, i, stored});
        continue;
      }
      Result<std::string> bytes = package->read(name);
      if (!bytes) return bytes.failure();
      std::string edited = same ? *bytes : editPart(doc, source, name, kind->second, *bytes);
      if (designmap && !changes.empty()) {
        XmlDocument d = parseXml(edited);
        if (d && d.root()) {
          editReferences(d.root(), changes, doc, source);
          xmlChar* buffer = nullptr;
          int size = 0;
          xmlDocDumpMemoryEnc(d.get(), &buffer, &size, "UTF-8");
          if (buffer) edited.assign(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(size));
          if (buffer) xmlFree(buffer);
        }
      }
      entries.push_back({name, std::move(edited), -1, stored});
    }
  for (const auto& [kind, name] : changes.added)
    entries.push_back({name, withPackageSelfs(PartWriter(doc).write(kind, changes.objects.at(name)), doc, source), -1, false});
  return writeZip(path, entries, archive);
}

}  // namespace

void writeLayerElement(xmlNodePtr l, const IDocumentLayer& layer) {
  setAttr(l, "Self", uidRef(layer.GetUID()));
  setAttr(l, "Name", layer.GetName());
  setAttr(l, "Visible", layer.IsVisible() ? "true" : "false");
  setAttr(l, "Locked", layer.IsLocked() ? "true" : "false");
  setAttr(l, "Printable", layer.IsPrintable() ? "true" : "false");
  std::string color;
  for (char c : layer.GetColor())
    if (c != ' ') color += c;
  if (!color.empty()) {
    xmlNodePtr p = xmlNewChild(l, nullptr, xmlChars("Properties"), nullptr);
    xmlNodePtr lc = xmlNewTextChild(p, nullptr, xmlChars("LayerColor"), xmlChars(color.c_str()));
    setAttr(lc, "type", "enumeration");
  }
}

void writeLabelElement(xmlNodePtr properties, const LabelStore& labels) {
  xmlNodePtr label = xmlNewChild(properties, nullptr, xmlChars("Label"), nullptr);
  for (const auto& [key, value] : labels.entries()) {
    xmlNodePtr pair = xmlNewChild(label, nullptr, xmlChars("KeyValuePair"), nullptr);
    setAttr(pair, "Key", key);
    setAttr(pair, "Value", value);
  }
}

std::string writePart(const IDocument& doc, const std::string& kind, const std::vector<UID>& objects) {
  return PartWriter(doc).write(kind, objects);
}

Status writePackage(const IDocument& doc, const std::string& path) {
  if (const auto& source = doc.sourcePackage()) return writeFromSource(doc, *source, path);
  return writeFresh(doc, path);
}

}  // namespace korvex::idml
