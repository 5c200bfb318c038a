#include "host/snippet.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>

#include "foundation/xml.h"
#include "host/idml/idml_xml.h"
#include "host/idml/item_reader.h"
#include "host/idml/item_writer.h"

namespace korvex {

using idml::named;
using idml::setAttr;
using idml::xmlChars;

namespace {

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

}  // namespace

ErrorCode exportSnippet(const IDocument& document, const UIDList& items, std::string& xml) {
  if (items.GetDataBase() != document.GetDocDataBase()) return kInvalidParameterError;
  DocPtr doc(xmlNewDoc(xmlChars("1.0")));
  xmlNodePtr pi = xmlNewDocPI(doc.get(), xmlChars("aid"),
                              xmlChars("style=\"50\" type=\"snippet\" readerVersion=\"6.0\" "
                                       "featureSet=\"513\" product=\"8.0(370)\""));
  xmlAddChild(reinterpret_cast<xmlNodePtr>(doc.get()), pi);
  xmlNodePtr pi2 = xmlNewDocPI(doc.get(), xmlChars("aid"), xmlChars("SnippetType=\"PageItem\""));
  xmlAddChild(reinterpret_cast<xmlNodePtr>(doc.get()), pi2);
  xmlNodePtr root = xmlNewDocNode(doc.get(), nullptr, xmlChars("Document"), nullptr);
  xmlDocSetRootElement(doc.get(), root);
  setAttr(root, "DOMVersion", "8.0");
  setAttr(root, "Self", "d");
  idml::ItemWriter writer(document);
  // Items go into a holder first so that swatches and stories can precede them.
  XmlNode holder(xmlNewNode(nullptr, xmlChars("Holder")));
  for (UID uid : items) {
    if (!document.GetDocDataBase()->instantiate<PageItem>(uid)) return kObjectNotFoundError;
    writer.writeItem(holder.get(), uid, idml::TransformSpace::Pasteboard);
  }
  XmlNode stories(xmlNewNode(nullptr, xmlChars("Holder")));
  for (UID story : writer.stories()) writer.writeStory(stories.get(), story);
  writer.writeSwatches(root);
  for (xmlNodePtr from : {stories.get(), holder.get()})
    while (xmlNodePtr c = from->children) {
      xmlUnlinkNode(c);
      xmlAddChild(root, c);
    }
  xmlChar* buffer = nullptr;
  int size = 0;
  xmlDocDumpFormatMemoryEnc(doc.get(), &buffer, &size, "UTF-8", 1);
  if (!buffer) return kFailure;
  xml.assign(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(size));
  xmlFree(buffer);
  return kSuccess;
}

ErrorCode importSnippet(IDocument& document, UID parent, std::string_view xml, UIDList* created) {
  IDataBase* db = document.GetDocDataBase();
  auto* target = db->instantiate<IHierarchy>(parent);
  if (!target || !(target->GetClass() == ClassID::kSpreadLayer || target->GetClass() == ClassID::kGroupItem))
    return kInvalidParameterError;
  DocPtr doc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "snippet.idms", "UTF-8",
                           XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (!doc) return kFileReadError;
  xmlNodePtr root = xmlDocGetRootElement(doc.get());
  if (!root || !named(root, "Document")) return kFileReadError;
  idml::ItemReader reader(document);
  reader.readDefinitions(root);
  UIDList made(db);
  for (xmlNodePtr n = root->children; n; n = n->next)
    if (idml::ItemReader::isItem(n))
      if (UID uid = reader.readItem(n, parent, idml::TransformSpace::Pasteboard); uid != kInvalidUID)
        made.Append(uid);
  if (created) *created = made;
  return kSuccess;
}

}  // namespace korvex
