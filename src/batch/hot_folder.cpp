#include "batch/hot_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "actions/picture_links.h"
#include "batch/action_dispatch.h"
#include "config/action_files.h"
#include "config/settings_store.h"
#include "dialogs/run_loop.h"
#include "docmodel/documents.h"
#include "foundation/dictionary_accessors.h"
#include "foundation/file_descriptor.h"
#include "foundation/files.h"
#include "foundation/folder_enum.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/trash.h"
#include "host/database.h"
#include "host/document_formats.h"
#include "host/session.h"
#include "run/run_values.h"

namespace korvex {

namespace {

HotfolderStopCheck gStopCheck = nullptr;
HotfolderHandOff gHandOff;

bool stopRequested() {
  return gStopCheck && gStopCheck();
}

std::string errnoText(int error) {
  return std::generic_category().message(error);
}

bool isRealFolder(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isLink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  return ::lstat(a.c_str(), &sa) == 0 && ::lstat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// ---- settling: a file is taken when two scans saw it unchanged ----

struct Look {
  dev_t device;
  ino_t inode;
  off_t size;
  time_t seconds;
  long nanoseconds;
  bool operator==(const Look&) const = default;
};

// What the previous scan saw, and what this one sees so far.
std::map<std::string, Look> gPreviousLooks;
std::map<std::string, Look> gLooks;

bool settled(const std::string& path, const struct stat& st) {
  const Look look{st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
  auto previous = gPreviousLooks.find(path);
  if (previous != gPreviousLooks.end() && previous->second == look) return true;
  gLooks[path] = look;
  return false;
}

// ---- claims: files in hand, in the subfolder's working folder ----

// Serialises the claims and recoveries of one working folder among
// processes, so that none sees a claim between its rename and its lock.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder)
      : fd_(::open(stringByAppendingPathComponent(folder, ".lock").c_str(),
                   O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {
    if (!fd_) return;
    int result;
    while ((result = ::flock(fd_.get(), LOCK_EX)) != 0 && errno == EINTR) {
    }
    held_ = result == 0;
  }
  bool held() const { return held_; }

 private:
  FileDescriptor fd_;
  bool held_ = false;
};

// A file in hand: its name in the working folder, open and locked for as
// long as this process works on it. When the process dies the lock goes
// with it and the file, still there, is taken again by a later scan.
class Claim {
 public:
  Claim(std::string path, FileDescriptor fd) : path_(std::move(path)), fd_(std::move(fd)) {}
  const std::string& path() const { return path_; }
  int fd() const { return fd_.get(); }
  std::string name() const { return lastPathComponent(path_); }

 private:
  std::string path_;
  FileDescriptor fd_;
};

// Locks a regular file of the working folder; none when another process
// holds it, or finished it between our open and our lock.
std::optional<Claim> lockClaim(const std::string& path) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat opened {};
  if (!fd || ::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) return std::nullopt;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return std::nullopt;
  struct stat there {};
  if (::lstat(path.c_str(), &there) != 0 || there.st_dev != opened.st_dev || there.st_ino != opened.st_ino)
    return std::nullopt;
  return Claim(path, std::move(fd));
}

// Never replaces: a namesake in hand stays in hand.
bool renameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: the folder lock keeps other Korvex processes out.
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
}

std::optional<Claim> claimFile(const std::string& file, const std::string& workFolder) {
  if (::mkdir(workFolder.c_str(), 0777) != 0 && errno != EEXIST) {
    MyLog("\t####\t%@: %@", workFolder, errnoText(errno));
    return std::nullopt;
  }
  // A link in its place would take the documents out of the tree.
  if (!isRealFolder(workFolder)) return std::nullopt;
  FolderLock lock(workFolder);
  if (!lock.held()) return std::nullopt;
  const std::string claimed = stringByAppendingPathComponent(workFolder, lastPathComponent(file));
  if (!renameNoReplace(file, claimed)) {
    // Gone: another process took it. There already: a namesake is in hand, this one waits.
    if (errno != ENOENT && errno != EEXIST) MyLog("\t####\t%@: %@", file, errnoText(errno));
    return std::nullopt;
  }
  return lockClaim(claimed);
}

// The files that a process left in hand when it died.
std::vector<Claim> abandonedClaims(const std::string& workFolder) {
  std::vector<Claim> claims;
  if (!isRealFolder(workFolder)) return claims;
  FolderLock lock(workFolder);
  if (!lock.held()) return claims;
  EnumFolderFlat(workFolder, [&claims](const std::string& path) {
    if (std::optional<Claim> claim = lockClaim(path)) claims.push_back(std::move(*claim));
    return true;
  });
  return claims;
}

// Back where it was dropped, for a later scan; when a namesake was dropped
// meanwhile it stays in hand and a later scan takes it from there.
void putBack(const Claim& claim, const std::string& dropped) {
  renameNoReplace(claim.path(), dropped);
}

// The chain is done with it: "Out" holds it now.
void release(const Claim& claim) {
  if (::unlink(claim.path().c_str()) != 0 && errno != ENOENT)
    MyLog("\t####\t%@: %@", claim.path(), errnoText(errno));
}

// ---- one document ----

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

// Read from the claimed file, but named by its place in "Out" and with its
// relative links taken from the folder it was dropped into: the move must
// not cost it its pictures.
DocumentLoadResult readDocument(const Claim& claim, const std::string& path, const std::string& linkFolder) {
  std::string bytes;
  char buffer[65536];
  for (off_t offset = 0;;) {
    const ssize_t got = ::pread(claim.fd(), buffer, sizeof buffer, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return documentRefusal(kFileReadError, path, "cannot be read: " + errnoText(errno));
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
    offset += got;
  }
  return parseDocument(bytes, path, linkFolder);
}

// The newcomer takes the name; the older file there goes to the Trash.
bool makeRoom(const std::string& target, const Claim& claim) {
  Status aside = moveAsideToTrash(target, claim.path());
  if (!aside) setError("\t####\t" + aside.message());
  return aside.ok();
}

// The document's file in "Out" while the claim keeps the original for a
// restart: a second name for the same file, else a copy.
bool placeInOut(const Claim& claim, const std::string& target) {
  if (sameFile(claim.path(), target)) return true;
  if (::link(claim.path().c_str(), target.c_str()) == 0) return true;
  return copyItemToPath(claim.path(), target);
}

void runDocument(std::unique_ptr<IDocument> loaded, DocumentFileKind kind, const std::string& path,
                 const ArrayPtr& chain) {
  IDataBase* loadedBase = loaded->GetDocDataBase();
  // A package read in is untitled: the package is where it came from, not its file.
  if (kind == DocumentFileKind::IDMLPackage)
    loadedBase->SetFallbackSysFile(IDFile(path));
  else
    loadedBase->SetSysFile(IDFile(path));
  loaded->SetName(lastPathComponent(path));
  loadedBase->SetModified(false);
  UIDRef document =
      refForDocument(GetExecutionContextSession()->application()->adoptDocument(std::move(loaded), true));
  if (!document.isValid()) return;
  {
    KorvexSettings* settings = prefs();
    TemporaryOptions options(settings ? settings->options() : nullptr, firstDictionary(chain));
    processDocWithActions(document, chain);
  }
  // The next document reads its tables afresh: edits between drops count.
  cleanupAddLinks();
  closeDocWindows(document);
  IDataBase* database = document.GetDataBase();
  if (getSaveProject() && database && database->IsModified()) saveDocAs(document, path);
  closeDoc(document);
}

struct Subfolder {
  std::string path;
  std::string outFolder;
  std::string workFolder;
  ArrayPtr chain;
};

// The document is in "Out"; its chain runs elsewhere. Refused, it goes back.
void handOff(const Claim& claim, const Subfolder& subfolder, const std::string& dropped, const std::string& target) {
  const Status queued = gHandOff(target, subfolder.chain, lastPathComponent(subfolder.path));
  if (!queued) {
    setError("\t####\tnot queued: " + queued.message());
    if (sameFile(claim.path(), target)) ::unlink(target.c_str());
    putBack(claim, dropped);
    return;
  }
  MyLog("\tqueued: %@", target);
  release(claim);
}

void takeClaim(const Claim& claim, const Subfolder& subfolder) {
  const std::string name = claim.name();
  const std::string dropped = stringByAppendingPathComponent(subfolder.path, name);
  const std::string target = stringByAppendingPathComponent(subfolder.outFolder, name);
  const ArrayPtr& chain = subfolder.chain;
  if (!pathEndsWith(name, std::vector<std::string>{"indd", "idml"})) {
    if (!makeRoom(target, claim) || !moveItemToPath(claim.path(), target)) putBack(claim, dropped);
    return;
  }
  if (gHandOff) {
    if (!makeRoom(target, claim) || !placeInOut(claim, target))
      putBack(claim, dropped);
    else
      handOff(claim, subfolder, dropped, target);
    return;
  }
  DocumentLoadResult loaded = readDocument(claim, target, subfolder.path);
  if (!makeRoom(target, claim) || !placeInOut(claim, target)) {
    putBack(claim, dropped);
    return;
  }
  if (loaded.document)
    runDocument(std::move(loaded.document), loaded.kind, target, chain);
  else
    setError("\t####\tcould not open: " + (loaded.message.empty() ? target : loaded.message));
  release(claim);
}

// ---- the scan ----

// One entry of a subfolder; always lets the enumeration go on unless a stop
// was asked for.
bool processEntry(const std::string& entry, const Subfolder& subfolder) {
  if (stopRequested()) return false;
  // Only regular files: a link would take the chain out of the tree.
  struct stat st {};
  if (::lstat(entry.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return true;
  if (!settled(entry, st)) return true;
  if (std::optional<Claim> claim = claimFile(entry, subfolder.workFolder))
    takeClaim(*claim, subfolder);
  return true;
}

bool processSubfolder(const std::string& entry) {
  if (stopRequested()) return false;
  // A linked folder is not entered: its documents are outside the tree.
  if (!isRealFolder(entry)) return true;
  Subfolder subfolder{entry, stringByAppendingPathComponent(entry, "Out"),
                      stringByAppendingPathComponent(entry, kHotfolderWorkFolder),
                      actionsForName(lastPathComponent(entry))};
  if (!subfolder.chain || subfolder.chain->empty()) return true;
  if (isLink(subfolder.outFolder)) return true;
  // createDir is content with a file of that name; the documents are not.
  if (!pathIsFolder(subfolder.outFolder) &&
      (!createDir(subfolder.outFolder) || !pathIsFolder(subfolder.outFolder)))
    return true;
  for (const Claim& claim : abandonedClaims(subfolder.workFolder)) {
    if (stopRequested()) return false;
    takeClaim(claim, subfolder);
  }
  EnumFolderFlat(entry, [&subfolder](const std::string& file) { return processEntry(file, subfolder); });
  return true;
}

void hotfolderTimerProc(void*) {
  scanHotfolder();
  runTimerProc(hotfolderTimerProc, kHotfolderInterval, nullptr);
}

// What a scan saw is the next scan's "before", however the scan ends.
class ScanLooks {
 public:
  ScanLooks() { gLooks.clear(); }
  ~ScanLooks() { gPreviousLooks = std::move(gLooks); }
  ScanLooks(const ScanLooks&) = delete;
  ScanLooks& operator=(const ScanLooks&) = delete;
};

}  // namespace

void scanHotfolder() {
  ScanLooks looks;
  // A failing file-system call ends this scan only; the next one runs as usual.
  try {
    KorvexSettings* settings = prefs();
    if (!settings) return;
    std::optional<std::string> folder = settings->hotFolder();
    if (!folder || folder->empty() || !pathIsFolder(*folder)) return;
    std::error_code ec;
    const std::string absolute = std::filesystem::absolute(*folder, ec).lexically_normal().string();
    EnumFolderFlat(ec ? *folder : absolute, [](const std::string& entry) { return processSubfolder(entry); });
  } catch (const std::system_error&) {
  }
}

void scanHotfolderSettled() {
  scanHotfolder();
  if (stopRequested()) return;
  std::this_thread::sleep_for(kHotfolderSettleTime);
  scanHotfolder();
}

void setupHotfolder() {
  runTimerProc(hotfolderTimerProc, kHotfolderInterval, nullptr);
}

void setHotfolderStopCheck(HotfolderStopCheck check) {
  gStopCheck = check;
}

HotfolderHandOff setHotfolderHandOff(HotfolderHandOff handOff) {
  return std::exchange(gHandOff, std::move(handOff));
}

}  // namespace korvex
