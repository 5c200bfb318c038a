#include "docmodel/snippets.h"

#include <fstream>
#include <iterator>

#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "host/snippet.h"

namespace korvex {

namespace {

// Where a snippet read into the target goes; kInvalidUID when it has no such place.
UID importDestination(IDocument& doc, const UIDRef& target) {
  IDataBase* db = target.GetDataBase();
  auto* object = db->object(target.GetUID());
  if (!object && target.GetUID() != doc.GetUID()) return kInvalidUID;
  const ClassID kind = object ? object->GetClass() : ClassID::kDocument;
  if (kind == ClassID::kSpreadLayer || kind == ClassID::kGroupItem) return target.GetUID();
  ISpread* spread = nullptr;
  if (kind == ClassID::kSpread) spread = db->instantiate<ISpread>(target.GetUID());
  if (kind == ClassID::kDocument) spread = doc.spreadAt(0);
  if (!spread) return kInvalidUID;
  UID layer = doc.activeLayer();
  // The pages layer holds no page items; the first content layer stands in.
  if (IDocumentLayer* l = db->instantiate<IDocumentLayer>(layer); !l || l->isPagesLayer())
    layer = doc.GetLayerCount() > 1 ? doc.layerAt(1)->GetUID() : kInvalidUID;
  ISpreadLayer* spreadLayer = spread->QueryLayer(layer);
  return spreadLayer ? spreadLayer->GetUID() : kInvalidUID;
}

}  // namespace

ErrorCode saveSnippetForFrames(IDocument* document, const UIDList& frames, const std::string& path) {
  if (!document) return kInvalidParameterError;
  const std::string target = stringByReplacingPathExtension(path, "idms");
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  if (!out) return 1;
  std::string xml;
  const ErrorCode result = exportSnippet(*document, frames, xml);
  out << xml;
  out.close();
  // A snippet that could not be written whole is not left behind.
  if (result != kSuccess || !out) {
    removeFile(target);
    return result != kSuccess ? result : 1;
  }
  return kSuccess;
}

ErrorCode importSnippet(const UIDRef& target, const std::string& path) {
  MyLog("importSnippet: %@", path);
  IDataBase* db = target.GetDataBase();
  IDocument* doc = db ? db->document() : nullptr;
  if (!doc) return 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) return 0;
  const std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const UID destination = importDestination(*doc, target);
  if (destination == kInvalidUID) return 0;
  const ErrorCode error = korvex::importSnippet(*doc, destination, xml);
  if (error != kSuccess) MyLog("\t####\terr: %d", error);
  return error;
}

}  // namespace korvex
