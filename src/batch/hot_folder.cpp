#include "batch/hot_folder.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "batch/action_dispatch.h"
#include "config/action_files.h"
#include "config/settings_store.h"
#include "dialogs/run_loop.h"
#include "docmodel/documents.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/files.h"
#include "foundation/folder_enum.h"
#include "foundation/paths.h"
#include "host/database.h"
#include "run/run_values.h"

namespace korvex {

namespace {

HotfolderStopCheck gStopCheck = nullptr;

bool stopRequested() {
  return gStopCheck && gStopCheck();
}

// The "Options" values a hot-folder chain replaces for the time of one
// document; put back exactly as they were (a missing key stays missing) when
// the object goes, whatever the chain did.
class TemporaryOptions {
 public:
  TemporaryOptions(DictPtr options, const DictPtr& firstAction) : _options(std::move(options)) {
    if (!_options) return;
    _savedModifiedLinks = _options->get("modifiedLinks");
    _savedPreflight = _options->get("preflight");
    int modifiedLinks = integerForKey(_options, "modifiedLinks", 1);
    std::string preflight = stringForKey(_options, "preflight", "").value_or("");
    if (firstAction) {
      modifiedLinks = integerForKey(firstAction, "modifiedLinks", modifiedLinks);
      preflight = stringForKey(firstAction, "preflight", preflight).value_or(preflight);
    }
    setIntegerForKey(_options, "modifiedLinks", modifiedLinks);
    setStringForKey(_options, "preflight", preflight);
  }
  ~TemporaryOptions() {
    if (!_options) return;
    _options->set("modifiedLinks", _savedModifiedLinks);
    _options->set("preflight", _savedPreflight);
  }
  TemporaryOptions(const TemporaryOptions&) = delete;
  TemporaryOptions& operator=(const TemporaryOptions&) = delete;

 private:
  DictPtr _options;
  Value _savedModifiedLinks;
  Value _savedPreflight;
};

DictPtr firstDictionary(const ArrayPtr& chain) {
  if (!chain || chain->empty()) return nullptr;
  return chain->at(0).dictionary();
}

void processDocument(const std::string& path, const ArrayPtr& chain) {
  UIDRef document = openDoc2(path, true);
  if (!document.isValid()) return;
  {
    KorvexSettings* settings = prefs();
    TemporaryOptions options(settings ? settings->options() : nullptr, firstDictionary(chain));
    processDocWithActions(document, chain);
  }
  closeDocWindows(document);
  IDataBase* database = document.GetDataBase();
  if (getSaveProject() && database && database->IsModified()) saveDocAs(document, path);
  closeDoc(document);
}

// One entry of a subfolder; always lets the enumeration go on unless a stop
// was asked for.
bool processEntry(const std::string& entry, const ArrayPtr& chain, const std::string& outFolder) {
  if (stopRequested()) return false;
  if (!pathIsFile(entry)) return true;
  // Only a file that really reached "Out" is processed: after a failed move
  // an older file of the same name may be sitting there.
  std::string moved = stringByAppendingPathComponent(outFolder, lastPathComponent(entry));
  if (!moveItemToPath(entry, moved)) return true;
  if (pathEndsWith(moved, "indd")) processDocument(moved, chain);
  return true;
}

bool processSubfolder(const std::string& entry) {
  if (stopRequested()) return false;
  if (!pathIsFolder(entry)) return true;
  ArrayPtr chain = actionsForName(lastPathComponent(entry));
  if (!chain || chain->empty()) return true;
  std::string outFolder = stringByAppendingPathComponent(entry, "Out");
  if (!pathIsFolder(outFolder) && !createDir(outFolder)) return true;
  EnumFolderFlat(entry, [&](const std::string& file) { return processEntry(file, chain, outFolder); });
  return true;
}

void hotfolderTimerProc(void*) {
  scanHotfolder();
  runTimerProc(hotfolderTimerProc, kHotfolderInterval, nullptr);
}

}  // namespace

void scanHotfolder() {
  // A failing file-system call ends this scan only; the next one runs as usual.
  try {
    KorvexSettings* settings = prefs();
    if (!settings) return;
    std::optional<std::string> folder = settings->hotFolder();
    if (!folder || folder->empty() || !pathIsFolder(*folder)) return;
    EnumFolderFlat(*folder, [](const std::string& entry) { return processSubfolder(entry); });
  } catch (const std::system_error&) {
  }
}

void setupHotfolder() {
  runTimerProc(hotfolderTimerProc, kHotfolderInterval, nullptr);
}

void setHotfolderStopCheck(HotfolderStopCheck check) {
  gStopCheck = check;
}

}  // namespace korvex
