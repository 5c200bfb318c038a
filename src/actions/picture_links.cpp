#include "actions/picture_links.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/action_files.h"
#include "docmodel/frame_content.h"
#include "docmodel/traversal.h"
#include "foundation/atomic_file.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/files.h"
#include "foundation/folder_enum.h"
#include "foundation/format.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "platform/file_index.h"
#include "run/run_values.h"
#include "tables/my_tab_data2.h"

namespace korvex {

namespace {

constexpr const char* kMissingList = "Fehlende Bilder.txt";

// A menu command passes no dictionary: the action's own file, else nothing.
DictPtr parametersFor(const char* name, const DictPtr& action) {
  if (action) return action;
  DictPtr dict = dictForAction(name, std::make_shared<Dictionary>());
  return dict ? dict : std::make_shared<Dictionary>();
}

// Copies source into folder under its own name, or name_2 … name_99 when
// that is taken.
bool copyWithUniqueName(const std::string& source, const std::string& folder) {
  const std::string fileName = lastPathComponent(source);
  std::string target = stringByAppendingPathComponent(folder, fileName);
  const std::string stem = stringByDeletingPathExtension(fileName);
  const std::string extension = pathExtension(fileName);
  for (int n = 2; pathExists(target); ++n) {
    if (n > 99) {
      MyLog("\t####\terror getting suffix for %@", fileName);
      return false;
    }
    std::string name = stringWithFormat("%@_%@", stem, std::to_string(n));
    if (!extension.empty()) name += "." + extension;
    target = stringByAppendingPathComponent(folder, name);
  }
  MyLog("\t\t\t%@ --> %@", source, target);
  if (!copyItemToPath(source, target)) {
    MyLog("\t\t####\tcopy error");
    return false;
  }
  return true;
}

// --- AddLinks

// Tables by path: a chain that names another "Links" file gets that file's
// table, and each run, hot-folder document and menu command reads afresh.
std::map<std::string, std::unique_ptr<MyTabData2>>& linkTables() {
  static std::map<std::string, std::unique_ptr<MyTabData2>> tables;
  return tables;
}

const MyTabData2* linkTable(const std::string& path) {
  auto& tables = linkTables();
  if (auto it = tables.find(path); it != tables.end()) return it->second.get();
  if (!pathIsFile(path)) setError(stringWithFormat("\t####\tAddLinks: %@: no such file", path));
  return (tables[path] = MyTabData2::tabDataWithFile(path, 4)).get();
}

struct AddLinksState {
  const MyTabData2* table;
};

bool addLinkProc(const UIDRef& link, void* data) {
  const MyTabData2& table = *static_cast<AddLinksState*>(data)->table;
  const std::optional<std::string> path = pathForLink(link);
  if (!path) return true;
  const std::optional<std::string> value = table[lastPathComponent(*path, false)];
  if (!value || value->empty()) return true;
  const UIDRef frame = frameForLink(link, 1);
  UIDRef object;
  if (createLinkObject(frame, &object) != kSuccess) return true;
  UIDRef resource;
  if (createLinkResource(frame.GetDataBase(), *value, &resource) != kSuccess) return true;
  UIDRef added;
  [[maybe_unused]] const ErrorCode error = createLink(object, resource, &added);
  return true;
}

// --- Bildaktualisierung

std::vector<std::string> folderEntries(const std::string& folder) {
  std::vector<std::string> names;
  EnumFolderFlat(folder, [&](const std::string& path) {
    names.push_back(lastPathComponent(path));
    return true;
  });
  return names;
}

// The file of the name in the first folder that has one; name.tif first within a folder.
std::optional<std::string> replacementFor(const std::string& name, const std::string& root,
                                          const std::vector<std::string>& folders) {
  for (const std::string& folderName : folders) {
    const std::string folder = stringByAppendingPathComponent(root, folderName);
    const std::vector<std::string> entries = folderEntries(folder);
    const std::string tif = name + ".tif";
    for (const std::string& entry : entries)
      if (entry == tif) return stringByAppendingPathComponent(folder, entry);
    for (const std::string& entry : entries)
      if (stringByDeletingPathExtension(entry) == name) return stringByAppendingPathComponent(folder, entry);
  }
  return std::nullopt;
}

struct UpdateState {
  std::string root;
  std::vector<std::string> folders;
};

bool updatePictureProc(const UIDRef& link, void* data) {
  const auto& state = *static_cast<UpdateState*>(data);
  const std::optional<std::string> path = pathForLink(link);
  if (!path) return true;
  MyLog("\t%@", *path);
  const std::optional<std::string> file = replacementFor(lastPathComponent(*path, false), state.root, state.folders);
  if (!file) return true;
  MyLog("\t\t<--> %@", *file);
  // A relink that failed changed nothing: there is nothing to save for it.
  if (const ErrorCode error = updateLinkWithFile(link, *file); error != kSuccess) {
    setError(stringWithFormat("\t\t####\trelink failed (err: %d): %@", error, *file));
    return true;
  }
  setSaveProject(true);
  return true;
}

}  // namespace

bool collectPictures(MyDoc& doc, const DictPtr& action) {
  const std::optional<std::string> src = stringForKey(action, "SrcFolder");
  MyLog("\t\tsrcPath: %@", src);
  if (!src || !pathIsFolder(*src)) {
    MyLog("\t####\tinvalid folder");
    return false;
  }
  const std::optional<std::string> dst = stringForKey(action, "DstFolder");
  MyLog("\t\tdstPath: %@", dst);
  if (!dst || !pathIsFolder(*dst)) {
    MyLog("\t####\tinvalid folder");
    return false;
  }
  std::vector<std::string> names;
  for (const std::string& path : doc.picturePaths()) {
    names.push_back(lastPathComponent(path));
    MyLog("\t\t\t%@", names.back());
  }
  const std::optional<std::string> docPath = doc.getPath();
  const std::optional<std::string> docName = doc.getName(false);
  if (!docPath || !docName) {
    MyLog("\t####\terror copying src doc");
    return false;
  }
  const std::string target = stringByAppendingPathComponent(*dst, *docName);
  createDir(target);
  MyLog("\t\tdstPath: %@", target);
  if (!copyWithUniqueName(*docPath, target)) {
    MyLog("\t####\terror copying src doc");
    return false;
  }
  const std::string missingList = stringByAppendingPathComponent(target, kMissingList);
  std::string missing;
  if (std::error_code error = writeFileAtomically(missingList, missing))
    setError(stringWithFormat("\t####\t%@: %@", missingList, error.message()));
  for (const std::string& name : names) {
    // The whole list first: the copies of this name are never found again.
    const std::vector<std::string> found = findEntriesNamedLike(*src, name, target);
    for (const std::string& path : found)
      if (!copyWithUniqueName(path, target)) break;
    if (found.empty()) {
      MyLog("\t\tMissing: %@", name);
      missing += name + "\n";
      if (std::error_code error = writeFileAtomically(missingList, missing))
        setError(stringWithFormat("\t####\t%@: %@", missingList, error.message()));
    }
  }
  return true;
}

bool doUpdatePictures(IDocument* document, const DictPtr& action) {
  MyDoc doc(document);
  const UIDRef reference = doc.reference();
  const std::optional<std::string> path = doc.getPath();
  if (!reference.isValid() || !path || !pathIsFile(*path)) return false;
  UpdateState state;
  state.root = stringByDeletingLastPathComponent(stringByDeletingLastPathComponent(*path));
  const Value logos = parametersFor("Bildaktualisierung", action)->get("Logos");
  if (const ArrayPtr folders = logos.array())
    for (const Value& folder : *folders)
      if (const std::string* name = folder.string()) state.folders.push_back(*name);
  EnumLinks(reference, updatePictureProc, &state);
  return true;
}

bool addLinks(IDocument* document, const DictPtr& action) {
  const std::optional<std::string> path = stringForKey(parametersFor("AddLinks", action), "Links");
  // An empty "Links" names no table: nothing is added.
  if (!document || !path || path->empty()) return true;
  AddLinksState state{linkTable(*path)};
  if (state.table) EnumLinks(document, addLinkProc, &state);
  return true;
}

void cleanupAddLinks() {
  linkTables().clear();
}

bool setEmbeddedProfileForLink(const UIDRef& link, void*) {
  const UIDRef item = frameForLink(link, 0);
  std::string message;
  const ErrorCode error = setImageToEmbeddedProfile(item, &message);
  // PDF and EPS files have no image profile; an image that has none, or
  // can't be read, is said so.
  if (error == kFileReadError) MyLog("\t\t%@", message);
  return true;
}

bool doSetEmbeddedProfile(IDocument* document, const DictPtr&) {
  EnumLinks(document, setEmbeddedProfileForLink, nullptr);
  return true;
}

}  // namespace korvex
