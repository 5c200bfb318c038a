#include "foundation/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "foundation/atomic_file.h"
#include "foundation/file_descriptor.h"
#include "foundation/log.h"
#include "foundation/trash.h"
#include "foundation/paths.h"

namespace korvex {

namespace fs = std::filesystem;

namespace {

std::error_code lastError() { return std::error_code(errno, std::generic_category()); }

std::optional<struct stat> statPath(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  return st;
}

std::optional<struct stat> lstatPath(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0) return std::nullopt;
  return st;
}

// "“source” couldn't be copied to “destination”: reason".
std::string describe(std::string_view what, const std::string& source, const std::optional<std::string>& destination,
                     const std::error_code& error) {
  std::string text = "\u201C" + source + "\u201D couldn\u2019t be " + std::string(what);
  if (destination) text += " to \u201C" + *destination + "\u201D";
  text += ": " + error.message();
  return text;
}

// A hidden, unused name in the destination's folder for staging a new item;
// short, so that a destination name of any length can be staged.
std::string stagingPath(const std::string& destination, std::string_view tag) {
  const std::string folder = stringByDeletingLastPathComponent(destination);
  removeStaleTemporaries(folder);
  for (;;) {
    std::string path = temporaryPathIn(folder, tag);
    if (!lstatPath(path)) return path;
  }
}

void copyUserAttributes(const std::string& source, const std::string& target) {
  ssize_t size = ::llistxattr(source.c_str(), nullptr, 0);
  if (size <= 0) return;
  std::vector<char> names(static_cast<std::size_t>(size));
  size = ::llistxattr(source.c_str(), names.data(), names.size());
  if (size <= 0) return;
  for (std::size_t at = 0; at < static_cast<std::size_t>(size);) {
    const char* name = names.data() + at;
    at += std::strlen(name) + 1;
    if (std::strncmp(name, "user.", 5) != 0) continue;
    ssize_t length = ::lgetxattr(source.c_str(), name, nullptr, 0);
    if (length < 0) continue;
    std::vector<char> value(static_cast<std::size_t>(length));
    length = ::lgetxattr(source.c_str(), name, value.data(), value.size());
    if (length < 0) continue;
    ::lsetxattr(target.c_str(), name, value.data(), static_cast<std::size_t>(length), 0);
  }
}

void copyTimes(const struct stat& st, const std::string& target) {
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  ::utimensat(AT_FDCWD, target.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

// Copies source to target, which must not exist; folders with their
// content, links as links. Keeps times, permissions and user attributes.
std::error_code copyTree(const std::string& source, const std::string& target) {
  std::optional<struct stat> st = lstatPath(source);
  if (!st) return lastError();
  if (S_ISLNK(st->st_mode)) {
    std::error_code ec;
    fs::copy_symlink(source, target, ec);
    return ec;
  }
  if (S_ISREG(st->st_mode)) {
    std::error_code ec;
    fs::copy_file(source, target, fs::copy_options::none, ec);
    if (ec) return ec;
    ::chmod(target.c_str(), st->st_mode & 07777);
    copyUserAttributes(source, target);
    copyTimes(*st, target);
    return {};
  }
  if (S_ISDIR(st->st_mode)) {
    if (::mkdir(target.c_str(), 0700) != 0) return lastError();
    std::error_code ec;
    fs::directory_iterator it(source, ec);
    if (ec) return ec;
    for (fs::directory_iterator end; it != end; it.increment(ec)) {
      if (ec) return ec;
      std::string name = it->path().filename().string();
      if (std::error_code inner = copyTree(it->path().string(), stringByAppendingPathComponent(target, name)))
        return inner;
    }
    if (ec) return ec;
    ::chmod(target.c_str(), st->st_mode & 07777);
    copyUserAttributes(source, target);
    copyTimes(*st, target);
    return {};
  }
  return std::make_error_code(std::errc::operation_not_supported);
}

// Flushes a copied item to disk: each file, then each folder.
std::error_code syncTree(const std::string& path) {
  std::optional<struct stat> st = lstatPath(path);
  if (!st) return lastError();
  if (S_ISLNK(st->st_mode)) return {};
  if (S_ISDIR(st->st_mode)) {
    std::error_code ec;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
      if (std::error_code inner = syncTree(it->path().string())) return inner;
    if (ec) return ec;
  }
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (S_ISDIR(st->st_mode) ? O_DIRECTORY : 0));
  if (fd < 0) return lastError();
  std::error_code ec;
  if (::fsync(fd) != 0) ec = lastError();
  ::close(fd);
  return ec;
}

void syncFolderOf(const std::string& path) {
  std::string folder = stringByDeletingLastPathComponent(path);
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

void removeQuietly(const std::string& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
}

bool isShapeConflict(int error) {
  return error == EISDIR || error == ENOTEMPTY || error == EEXIST || error == ENOTDIR;
}

// Renames staged over destination. When the destination is of another kind
// (a folder over a file, a full folder) it is first set aside and removed
// only after the new item is in place. On failure, destination is as before
// and staged still exists.
std::error_code installOver(const std::string& staged, const std::string& destination) {
  if (::rename(staged.c_str(), destination.c_str()) == 0) return {};
  int error = errno;
  if (!isShapeConflict(error)) return std::error_code(error, std::generic_category());
  std::string aside = stagingPath(destination, "old");
  if (::rename(destination.c_str(), aside.c_str()) != 0) return lastError();
  if (::rename(staged.c_str(), destination.c_str()) != 0) {
    std::error_code failure = lastError();
    ::rename(aside.c_str(), destination.c_str());
    return failure;
  }
  removeQuietly(aside);
  return {};
}

enum class Durable { No, Yes };

std::error_code copyBytes(int from, int to) {
  for (;;) {
    ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
    if (n == 0) return {};
    if (n > 0) continue;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return lastError();
    break;  // this pair of file systems can't: copy by hand
  }
  std::vector<char> buffer(1 << 16);
  for (;;) {
    ssize_t n = ::read(from, buffer.data(), buffer.size());
    if (n == 0) return {};
    if (n < 0) {
      if (errno == EINTR) continue;
      return lastError();
    }
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(to, buffer.data() + done, static_cast<std::size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return lastError();
      }
      done += w;
    }
  }
}

// A regular file copied into an unnamed file beside the destination and named
// staged only when complete, so a kill during the copy leaves nothing. None:
// the file system has no unnamed files and nothing was done.
std::optional<std::error_code> stageFileUnnamed(const std::string& source, const struct stat& st,
                                                const std::string& staged, Durable durable) {
  int out = openUnnamedFile(stringByDeletingLastPathComponent(staged));
  if (out < 0) return std::nullopt;
  std::unique_ptr<int, void (*)(int*)> closeOut(&out, [](int* fd) { ::close(*fd); });
  int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return lastError();
  std::unique_ptr<int, void (*)(int*)> closeIn(&in, [](int* fd) { ::close(*fd); });
  if (std::error_code ec = copyBytes(in, out)) return ec;
  if (::fchmod(out, st.st_mode & 07777) != 0) return lastError();
  if (durable == Durable::Yes && ::fsync(out) != 0) return lastError();
  std::error_code ec = linkUnnamedFile(out, staged);
  if (ec == std::errc::not_supported) return std::nullopt;
  if (ec) return ec;
  copyUserAttributes(source, staged);
  copyTimes(st, staged);
  return std::error_code{};
}

// Copies source over destination; the error, if any, with nothing changed.
// Durable: the copy and its folder are on disk when this returns.
std::error_code replaceByCopy(const std::string& source, const std::string& destination,
                              Durable durable = Durable::No) {
  std::optional<struct stat> st = lstatPath(source);
  if (!st) return lastError();
  std::string staged = stagingPath(destination, "new");
  std::optional<std::error_code> unnamed;
  if (S_ISREG(st->st_mode)) unnamed = stageFileUnnamed(source, *st, staged, durable);
  std::error_code ec = unnamed ? *unnamed : copyTree(source, staged);
  if (!ec && !unnamed && durable == Durable::Yes) ec = syncTree(staged);
  if (!ec) ec = installOver(staged, destination);
  if (ec) {
    removeQuietly(staged);
    return ec;
  }
  if (durable == Durable::Yes) syncFolderOf(destination);
  return {};
}

std::error_code replaceByMove(const std::string& source, const std::string& destination) {
  if (!lstatPath(source)) return lastError();
  if (::rename(source.c_str(), destination.c_str()) == 0) return {};
  int error = errno;
  if (error == EXDEV) {
    // Another file system: copy beside the destination, put it in place,
    // then remove the source, but only once the copy is safely on disk.
    if (std::error_code ec = replaceByCopy(source, destination, Durable::Yes)) return ec;
    std::error_code ec;
    fs::remove_all(source, ec);
    if (ec) logError(describe("removed after moving", source, std::nullopt, ec));
    return {};
  }
  if (!isShapeConflict(error)) return std::error_code(error, std::generic_category());
  // Same file system, destination of another kind: stage by renaming.
  std::string staged = stagingPath(destination, "new");
  if (::rename(source.c_str(), staged.c_str()) != 0) return lastError();
  if (std::error_code ec = installOver(staged, destination)) {
    ::rename(staged.c_str(), source.c_str());
    return ec;
  }
  return {};
}

bool sameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

bool pathExists(const std::string& path) { return statPath(path).has_value(); }

bool sameFileContent(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  if (!S_ISREG(sa.st_mode) || !S_ISREG(sb.st_mode) || sa.st_size != sb.st_size) return false;
  FileDescriptor fa(::open(a.c_str(), O_RDONLY | O_CLOEXEC));
  FileDescriptor fb(::open(b.c_str(), O_RDONLY | O_CLOEXEC));
  if (fa.get() < 0 || fb.get() < 0) return false;
  std::vector<char> ba(1 << 16), bb(1 << 16);
  for (;;) {
    std::size_t na = 0;
    if (!readSome(fa.get(), ba, na)) return false;
    std::size_t filled = 0;
    // The two files are read in step: fill b's buffer to a's count.
    while (filled < na) {
      const ssize_t n = ::read(fb.get(), bb.data() + filled, na - filled);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      filled += static_cast<std::size_t>(n);
    }
    if (na == 0) {
      // a at its end: b must be too.
      std::size_t more = 0;
      return readSome(fb.get(), bb, more) && more == 0;
    }
    if (std::memcmp(ba.data(), bb.data(), na) != 0) return false;
  }
}


bool pathIsFile(const std::string& path) {
  auto st = statPath(path);
  return st && !S_ISDIR(st->st_mode);
}

bool pathIsFolder(const std::string& path) {
  auto st = statPath(path);
  return st && S_ISDIR(st->st_mode);
}

std::uint64_t fileSizeForPath(const std::string& path) {
  auto st = statPath(path);
  return st ? static_cast<std::uint64_t>(st->st_size) : 0;
}

std::optional<Date> modDateForPath(const std::string& path) {
  auto st = statPath(path);
  if (!st) return std::nullopt;
  return Date{static_cast<double>(st->st_mtim.tv_sec) + static_cast<double>(st->st_mtim.tv_nsec) / 1e9};
}

std::optional<std::string> resolvePath(std::optional<std::string_view> path) {
  if (!path) return std::nullopt;
  std::string original(*path);
  fs::path current(original);
  bool followed = false;
  for (int hops = 0; hops < 40; ++hops) {
    auto st = lstatPath(current.string());
    if (!st) return original;  // broken link (or nothing at all)
    if (!S_ISLNK(st->st_mode)) return followed ? current.lexically_normal().string() : original;
    std::error_code ec;
    fs::path target = fs::read_symlink(current, ec);
    if (ec) return original;
    current = target.is_absolute() ? target : current.parent_path() / target;
    followed = true;
  }
  return original;  // a loop
}

bool createDir(const std::string& path) {
  if (lstatPath(path)) return true;
  std::error_code ec;
  fs::create_directories(path, ec);
  if (ec) {
    logError(ec, path);
    return false;
  }
  return true;
}

std::string createDir(const std::string& base, std::string_view name) {
  std::string path = stringByAppendingPathComponents(base, name);
  createDir(path);
  return path;
}

bool copyFile(const std::string& source, const std::string& destination) {
  std::string target =
      pathIsFolder(destination) ? stringByAppendingPathComponent(destination, lastPathComponent(source)) : destination;
  auto from = statPath(source);
  auto to = statPath(target);
  if (from && to && sameTime(from->st_mtim, to->st_mtim)) return false;
  std::error_code ec;
  if (to && S_ISDIR(to->st_mode))
    ec = std::make_error_code(std::errc::is_a_directory);  // a folder there is left
  else
    ec = replaceByCopy(source, target);
  if (ec) {
    MyLog("\t\t#### %@", describe("copied", source, target, ec));
    return false;
  }
  return true;
}

bool removeFile(const std::string& path) {
  if (!pathExists(path) || pathIsFolder(path)) return true;
  if (::unlink(path.c_str()) != 0) {
    logError(lastError(), path);
    return false;
  }
  return true;
}

std::optional<std::string> removeItemAtPath(const std::string& path) {
  if (!lstatPath(path)) return std::nullopt;
  std::error_code ec;
  fs::remove_all(path, ec);
  if (!ec) return std::nullopt;
  std::string description = describe("removed", path, std::nullopt, ec);
  logError(description);
  return description;
}

bool moveItemToPath(const std::string& source, const std::string& destination, Replaced replaced) {
  if (replaced == Replaced::ToTrash) {
    if (!lstatPath(source)) {
      logError(describe("moved", source, destination, lastError()));
      return false;
    }
    if (Status trashed = moveAsideToTrash(destination, source); !trashed) {
      logError(trashed.message());
      return false;
    }
  }
  if (std::error_code ec = replaceByMove(source, destination)) {
    logError(describe("moved", source, destination, ec));
    return false;
  }
  return true;
}

bool copyItemToPath(const std::string& source, const std::string& destination) {
  if (std::error_code ec = replaceByCopy(source, destination)) {
    logError(describe("copied", source, destination, ec));
    return false;
  }
  return true;
}

std::string moveFileObject(const std::string& source, const std::string& folder, Replaced replaced) {
  std::string target = stringByAppendingPathComponent(folder, lastPathComponent(source));
  if (createDir(folder)) moveItemToPath(source, target, replaced);
  return target;
}

std::string copyFileObject(const std::string& source, const std::string& folder) {
  std::string target = stringByAppendingPathComponent(folder, lastPathComponent(source));
  if (createDir(folder)) copyItemToPath(source, target);
  return target;
}

}  // namespace korvex
