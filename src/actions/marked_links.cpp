#include "actions/marked_links.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>

#include "actions/pdf_action.h"
#include "dialogs/modal_windows.h"
#include "docmodel/layers.h"
#include "docmodel/my_doc.h"
#include "foundation/atomic_file.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/unicode.h"
#include "platform/image_properties.h"
#include "strings/string_table.h"

namespace korvex {

namespace fs = std::filesystem;

namespace {

constexpr const char* kJobPdfStyle = "[Kleinste Dateigröße]";
constexpr const char* kHiddenLayers[] = {"Grauebene", "FR"};

// The path as the file system sees it, for comparing two names of one file.
fs::path sameFileKey(const fs::path& path) {
  std::error_code ec;
  fs::path key = fs::weakly_canonical(path, ec);
  return ec ? path.lexically_normal() : key;
}

bool isSameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

bool leadsTo(const fs::path& folder, const fs::path& file) {
  auto [end, rest] = std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
  return end == folder.end() && rest != file.end();
}

// The folder job/relative emptied except for the document's own pictures.
std::string clearedFolder(const std::string& job, const std::string& relative,
                          const std::vector<std::string>& links) {
  const std::string folder = stringByAppendingPathComponent(job, relative);
  emptyFolderKeeping(folder, links);
  createDir(folder);
  return folder;
}

// Copies the picture into the folder unless it is already there.
void copyPicture(const std::string& picture, const std::string& folder) {
  const std::string target = stringByAppendingPathComponent(folder, lastPathComponent(picture));
  if (isSameFile(picture, target)) return;
  copyFileObject(picture, folder);
}

}  // namespace

void emptyFolderKeeping(const std::string& folder, const std::vector<std::string>& keep) {
  std::vector<fs::path> kept;
  for (const std::string& path : keep) kept.push_back(sameFileKey(path));
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return;
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
    entries.push_back(it->path());
  if (ec) {
    MyLog("\t####\t%@: %@", folder, ec.message());
    return;
  }
  for (const fs::path& entry : entries) {
    const fs::path key = sameFileKey(entry);
    bool keepIt = false;
    bool holdsKept = false;
    for (const fs::path& file : kept) {
      keepIt = keepIt || key == file;
      holdsKept = holdsKept || leadsTo(key, file);
    }
    if (keepIt) continue;
    if (holdsKept && fs::is_directory(entry, ec) && !fs::is_symlink(entry, ec))
      emptyFolderKeeping(entry.string(), keep);
    else
      removeItemAtPath(entry.string());
  }
}

unsigned char collectMarkedLinks(IDocument* document) {
  MyDoc doc(document);
  const std::optional<std::string> docPath = doc.getPath();
  const std::optional<std::string> name = doc.getName(false);
  if (doc.isEmpty() || !docPath || !name) return 1;

  OpenPanelRequest request;
  request.title = localizeString("Zielordner auswählen");
  request.buttonTitle = localizeString("Auswählen");
  request.chooseFolders = true;
  request.canCreateFolders = true;
  std::optional<std::vector<std::string>> chosen = runOpenPanel(request);
  if (!chosen || chosen->empty() || chosen->front().empty()) return 1;

  const std::string job = createDir(chosen->front(), *name);
  MyLog("collect marked links: %@ --> %@", *docPath, job);
  createDir(job, "DSM");
  createDir(job, "Umfaerber");
  // Chosen where the document already is: it is its own copy.
  if (!isSameFile(*docPath, stringByAppendingPathComponent(job, lastPathComponent(*docPath))))
    copyFileObject(*docPath, job);
  // Notes someone may have written in an earlier run are kept.
  const std::string notes = stringByAppendingPathComponent(job, *name + ".txt");
  if (!pathExists(notes)) {
    if (std::error_code error = writeFileAtomically(notes, ""))
      MyLog("\t####\t%@: %@", notes, error.message());
  }

  // The document's own pictures may be linked from the two folders that are
  // emptied: those files stay.
  const std::vector<std::string> links = doc.picturePaths();
  createDir(job, "Neubilder/Bearbeitet");
  const std::string uncorrected = clearedFolder(job, kUncorrectedFolder, links);
  createDir(job, "Uebernahmebilder/Retuschen");
  const std::string corrected = clearedFolder(job, kCorrectedFolder, links);

  int copied = 0;
  for (const std::string& picture : links) {
    Result<std::map<std::string, std::string>> properties = iptcPropertiesForImage(picture);
    if (!properties) {
      MyLog("\t####\t%@", properties.message());
      continue;
    }
    const auto source = properties->find("Source");
    if (source == properties->end() || source->second.empty()) continue;
    const std::string mark = toLower(source->second);
    if (mark == "auskorrigiert") {
      copyPicture(picture, corrected);
      ++copied;
    } else if (mark == "unkorrigiert") {
      copyPicture(picture, uncorrected);
      ++copied;
    }
  }
  MyLog("\t%d of %d pictures marked", copied, static_cast<int>(links.size()));

  for (const char* layerName : kHiddenLayers) {
    const UID layer = docLayerByName(document, layerName, false);
    if (layer != kInvalidUID) setLayerPrintable(document, layer, false);
  }
  const std::string pdf = stringByAppendingPathComponent(job, *name + ".pdf");
  const std::optional<PdfExportStyle> style = getPDFStyle(std::string(kJobPdfStyle));
  if (!style) MyLog("\t####\tno PDF style %@: default settings", std::string(kJobPdfStyle));
  saveAsPDF(document, pdf, style, 1);
  return 1;
}

}  // namespace korvex
