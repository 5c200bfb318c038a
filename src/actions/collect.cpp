#include "actions/collect.h"

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "docmodel/documents.h"
#include "docmodel/frame_content.h"
#include "docmodel/traversal.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/files.h"
#include "foundation/folder_values.h"
#include "foundation/log.h"
#include "foundation/output_file.h"
#include "foundation/paths.h"
#include "host/used_fonts.h"
#include "run/run_values.h"
#include "strings/string_table.h"

namespace korvex {

namespace {

bool flag(const DictPtr& action, std::string_view key, int defaultValue) {
  return integerForKey(action, key, defaultValue) == 1;
}

void appendOnce(std::vector<std::string>& list, const std::string& item) {
  if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

bool sameModificationDate(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && S_ISREG(sa.st_mode) &&
         S_ISREG(sb.st_mode) && sa.st_mtim.tv_sec == sb.st_mtim.tv_sec && sa.st_mtim.tv_nsec == sb.st_mtim.tv_nsec;
}

// Delivers a real copy of a regular file (a link's target, never the link):
// a target with the source's modification date counts as collected already,
// an older different one goes to the Trash once the copy is complete.
void deliver(const std::string& file, const std::string& folder) {
  MyLog("\t\t%@ --> %@", file, folder);
  const std::string target = stringByAppendingPathComponent(folder, lastPathComponent(file));
  if (sameModificationDate(file, target)) return;
  if (Status copied = copyOutputFile(file, target, OlderOutput::toTrash); !copied)
    MyLog("\t\t#### %@", copied.message());
}

void copyInto(const std::vector<std::string>& files, const std::string& folder) {
  for (const std::string& file : files) deliver(file, folder);
}

// The sub-folder named after the document: a name of "", "." or ".." (from
// "...indd") would deliver beside or above the destination, so such a
// document's whole file name is taken instead.
std::string deliveryName(const std::string& docPath) {
  std::string name = lastPathComponent(docPath, false);
  if (name.empty() || name == "." || name == "..") name = lastPathComponent(docPath, true);
  return name;
}

std::vector<std::string> linkedFiles(IDocument* document) {
  std::vector<std::string> paths;
  EnumLinks(
      document,
      [](const UIDRef& link, void* data) {
        if (std::optional<std::string> path = pathForLink(link))
          appendOnce(*static_cast<std::vector<std::string>*>(data), *path);
        return true;
      },
      &paths);
  return paths;
}

std::vector<std::string> fontFiles(IDocument* document) {
  std::vector<std::string> paths;
  EnumFonts(
      document,
      [](IDataBase*, IUsedFontList* fonts, UID uid, void* data) {
        auto& list = *static_cast<std::vector<std::string>*>(data);
        const UsedFont* family = fonts ? fonts->font(uid) : nullptr;
        if (!family) return true;
        for (const std::string& style : family->styles) {
          if (std::optional<std::string> file = fontFilePath(family->family, style)) {
            appendOnce(list, *file);
          } else {
            // The variant's name, cut to 255 bytes as the host's font names are.
            MyLog("\t####\tfont path not found: %s", style.substr(0, 255));
          }
        }
        return true;
      },
      &paths);
  return paths;
}

}  // namespace

bool collectDocResources(IDocument* document, const DictPtr& action) {
  const std::string docPath = pathForDoc(document).value_or("");
  std::optional<std::string> folder = folderForKey(action, "Folder");
  if (folder && !folder->empty() && flag(action, "SubFolders", 0) && !docPath.empty())
    folder = stringByAppendingPathComponent(*folder, deliveryName(docPath));
  if (folder && !folder->empty()) createDir(*folder);
  if (!folder || folder->empty() || !pathIsFolder(*folder)) {
    MyLog("\t\t####\tdestination folder not found: %@", folder);
    setShowLog(true);
    return false;
  }
  const std::string& destination = *folder;

  if (flag(action, "Docs", 0) && !docPath.empty()) {
    deliver(docPath, destination);
  }
  if (flag(action, "Picts", 1)) {
    const std::string images = stringByAppendingPathComponent(destination, stringForKey("images"));
    createDir(images);
    copyInto(linkedFiles(document), images);
  }
  if (flag(action, "Fonts", 1)) {
    const std::string fonts = stringByAppendingPathComponent(destination, stringForKey("fonts"));
    createDir(fonts);
    copyInto(fontFiles(document), fonts);
  }
  return true;
}

}  // namespace korvex
