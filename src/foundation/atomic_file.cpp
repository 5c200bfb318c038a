#include "foundation/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include "foundation/file_descriptor.h"

namespace korvex {

namespace {

class FileErrorCategory : public std::error_category {
 public:
  const char* name() const noexcept override { return "korvex.file"; }
  std::string message(int) const override { return "not a regular file"; }
};

constexpr std::string_view kTemporaryPrefix = ".korvex-";

std::error_code lastError() {
  return {errno, std::generic_category()};
}

std::string folderOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

void syncFolder(const std::string& folder) {
  FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
}

// Where the file is to be written, and with which permissions: a replaced
// file keeps its own, a new one gets the usual ones.
std::error_code prepareTarget(std::string& path, mode_t& mode) {
  if (std::error_code ec = followLinks(path)) return ec;
  struct stat old {};
  if (::stat(path.c_str(), &old) != 0) {
    mode = 0644;
    return {};
  }
  if (!S_ISREG(old.st_mode)) return notARegularFileError();
  mode = old.st_mode & 07777;
  return {};
}

std::error_code fillAndSync(int fd, std::string_view bytes, mode_t mode) {
  if (std::error_code ec = writeAll(fd, bytes)) return ec;
  if (::fchmod(fd, mode) != 0) return lastError();
  if (::fsync(fd) != 0) return lastError();
  return {};
}

// Gives the unnamed file fd a name; false when this system can't.
bool linkUnnamed(int fd, const std::string& name, std::error_code& ec) {
  const std::string proc = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno == EEXIST) {
    ec = lastError();
    return true;
  }
  if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return true;
  if (errno == EEXIST) {
    ec = lastError();
    return true;
  }
  return false;
}

enum class Written { Done, Unsupported };

// The unnamed-file way. Unsupported means nothing was done and the caller
// should take the named way.
Written writeThroughUnnamedFile(const std::string& path, std::string_view bytes, mode_t mode,
                                std::error_code& ec) {
  const std::string folder = folderOf(path);
  FileDescriptor fd(openUnnamedFile(folder));
  if (fd.get() < 0) return Written::Unsupported;
  if ((ec = fillAndSync(fd.get(), bytes, mode))) return Written::Done;
  // A new file takes its name at once; an existing one is replaced by a
  // rename, which needs a name of its own for that moment.
  std::error_code exists;
  if (!linkUnnamed(fd.get(), path, exists)) return Written::Unsupported;
  if (exists) {
    for (int attempt = 0;; ++attempt) {
      const std::string temp = temporaryPathIn(folder, "tmp");
      std::error_code taken;
      if (!linkUnnamed(fd.get(), temp, taken)) return Written::Unsupported;
      if (taken) {
        if (attempt < 100) continue;
        ec = taken;
        return Written::Done;
      }
      if (::rename(temp.c_str(), path.c_str()) != 0) {
        ec = lastError();
        ::unlink(temp.c_str());
        return Written::Done;
      }
      break;
    }
  }
  syncFolder(folder);
  return Written::Done;
}

std::error_code writeThroughNamedFile(const std::string& path, std::string_view bytes, mode_t mode) {
  const std::string folder = folderOf(path);
  removeStaleTemporaries(folder);  // a no-op when already done for this write
  std::string temp;
  int raw = -1;
  for (int attempt = 0; raw < 0; ++attempt) {
    temp = temporaryPathIn(folder, "tmp");
    raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (raw < 0 && (errno != EEXIST || attempt >= 100)) return lastError();
  }
  FileDescriptor fd(raw);
  std::error_code ec = fillAndSync(fd.get(), bytes, mode);
  if (!ec && ::close(fd.release()) != 0) ec = lastError();
  if (!ec && ::rename(temp.c_str(), path.c_str()) != 0) ec = lastError();
  if (ec) {
    ::unlink(temp.c_str());
    return ec;
  }
  syncFolder(folder);
  return {};
}

// When this process started, in wall-clock time: a temporary changed before
// that can't be one this process is writing.
struct timespec processStart() {
  static std::pair<pid_t, struct timespec> cached{0, {}};
  if (cached.first == ::getpid()) return cached.second;
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  struct timespec start = now;
  std::ifstream in("/proc/self/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Field 22, counted after the command name in parentheses (field 2).
  if (auto close = stat.rfind(')'); close != std::string::npos) {
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
      if (i != 22) continue;
      const long ticks = ::sysconf(_SC_CLK_TCK);
      struct timespec boot {};
      ::clock_gettime(CLOCK_BOOTTIME, &boot);
      const double startedAgo = static_cast<double>(boot.tv_sec) + static_cast<double>(boot.tv_nsec) / 1e9 -
                                std::stod(field) / static_cast<double>(ticks > 0 ? ticks : 100);
      const double at = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9 - startedAgo;
      start.tv_sec = static_cast<time_t>(at);
      start.tv_nsec = static_cast<long>((at - static_cast<double>(start.tv_sec)) * 1e9);
    }
  }
  cached = {::getpid(), start};
  return start;
}

// The process id in a name made by temporaryPathIn (also in the longer
// names of earlier versions, ".NAME.korvex-new-PID-..."); 0 when it is none.
pid_t temporaryOwner(std::string_view name) {
  if (!name.starts_with('.')) return 0;
  auto at = name.rfind(kTemporaryPrefix);
  if (at == std::string_view::npos) return 0;
  std::string_view rest = name.substr(at + kTemporaryPrefix.size());
  // Any tag temporaryPathIn was given ("tmp", "new", "old", "out" for output
  // files…): a few lowercase letters.
  std::size_t tag = 0;
  while (tag < rest.size() && tag <= 8 && rest[tag] >= 'a' && rest[tag] <= 'z') ++tag;
  if (tag == 0 || tag > 8 || tag == rest.size() || rest[tag] != '-') return 0;
  rest.remove_prefix(tag + 1);
  pid_t pid = 0;
  auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
  if (error != std::errc() || pid <= 0 || end == rest.data() + rest.size() || *end != '-') return 0;
  return pid;
}

bool before(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

}  // namespace

bool readSome(int fd, std::vector<char>& buffer, std::size_t& got) {
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n >= 0) {
      got = static_cast<std::size_t>(n);
      return true;
    }
    if (errno != EINTR) return false;
  }
}

std::error_code writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return lastError();
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

std::error_code followLinks(std::string& path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {};
    std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n < 0) return lastError();
    std::string to(target.data(), static_cast<std::size_t>(n));
    path = to.starts_with('/') ? to : folderOf(path) + "/" + to;
  }
  return {ELOOP, std::generic_category()};
}

std::error_code notARegularFileError() {
  static const FileErrorCategory category;
  return {1, category};
}

int openUnnamedFile(const std::string& folder) {
  return ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
}

std::error_code linkUnnamedFile(int fd, const std::string& path) {
  std::error_code ec;
  if (!linkUnnamed(fd, path, ec)) return std::make_error_code(std::errc::not_supported);
  return ec;
}

std::string temporaryPathIn(const std::string& folder, std::string_view tag) {
  static std::mt19937 random(std::random_device{}());
  char suffix[9];
  std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
  std::string name =
      std::string(kTemporaryPrefix) + std::string(tag) + "-" + std::to_string(::getpid()) + "-" + suffix;
  return folder.empty() ? name : (folder.ends_with('/') ? folder + name : folder + "/" + name);
}

void removeStaleTemporaries(const std::string& folder) {
  static std::mutex mutex;
  static std::pair<pid_t, std::set<std::string>> seen;
  {
    std::lock_guard lock(mutex);
    if (seen.first != ::getpid()) seen = {::getpid(), {}};
    if (!seen.second.insert(folder.empty() ? "." : folder).second) return;
  }
  const std::string dirPath = folder.empty() ? "." : folder;
  struct CloseDir {
    void operator()(DIR* d) const { ::closedir(d); }
  };
  std::unique_ptr<DIR, CloseDir> dir(::opendir(dirPath.c_str()));
  if (!dir) return;
  const struct timespec started = processStart();
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    const pid_t owner = temporaryOwner(name);
    if (owner == 0 || owner == ::getpid()) continue;
    if (::kill(owner, 0) == 0 || errno != ESRCH) continue;  // its writer may still be at work
    const std::string path = dirPath + "/" + std::string(name);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !before(st.st_ctim, started)) continue;
    stale.push_back(path);
  }
  for (const std::string& path : stale) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
}

std::error_code writeFileAtomically(const std::string& path, std::string_view bytes) {
  std::string target = path;
  mode_t mode = 0644;
  if (std::error_code ec = prepareTarget(target, mode)) return ec;
  removeStaleTemporaries(folderOf(target));
  std::error_code ec;
  if (writeThroughUnnamedFile(target, bytes, mode, ec) == Written::Done) return ec;
  return writeThroughNamedFile(target, bytes, mode);
}

namespace detail {
std::error_code writeFileThroughTemporaryName(const std::string& path, std::string_view bytes) {
  std::string target = path;
  mode_t mode = 0644;
  if (std::error_code ec = prepareTarget(target, mode)) return ec;
  return writeThroughNamedFile(target, bytes, mode);
}
}  // namespace detail

}  // namespace korvex
