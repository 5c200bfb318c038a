#include "foundation/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

#include "foundation/atomic_file.h"
#include "foundation/file_descriptor.h"
#include "foundation/files.h"
#include "foundation/paths.h"
#include "foundation/trash.h"

namespace korvex {

namespace {

std::string reason(int error) {
  return std::generic_category().message(error);
}

const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a fifo";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

// A new file beside its target under a short hidden name (a long document
// name must not make it too long), removed unless it was renamed in.
class StagedFile {
 public:
  explicit StagedFile(const std::string& target) {
    const std::string folder = stringByDeletingLastPathComponent(target);
    const std::string in = folder.empty() ? std::string(".") : folder;
    // The shared temporary names: a kill's leftovers are cleaned up at the next write here.
    removeStaleTemporaries(in);
    path_ = temporaryPathIn(in, "out");
    fd_.reset(::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd_.get() < 0) {
      error_ = errno;
      path_.clear();
    }
  }
  ~StagedFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  int fd() const { return fd_.get(); }
  int error() const { return error_; }
  const std::string& path() const { return path_; }
  int close() {
    if (::fsync(fd_.get()) != 0) return errno;
    if (::close(fd_.release()) != 0) return errno;
    return 0;
  }
  void installed() { path_.clear(); }

 private:
  std::string path_;
  FileDescriptor fd_;
  int error_ = 0;
};

// Where the output really goes: through a link to its target.
std::string resolvedTarget(std::string path) {
  followLinks(path);
  return path;
}

// The older file at target leaves (to the Trash when asked) and the staged
// one takes its name.
Status install(StagedFile& staged, const std::string& target, OlderOutput older) {
  if (int error = staged.close()) return fail(target + ": can't be written: " + reason(error));
  struct stat there {};
  if (older == OlderOutput::toTrash && ::lstat(target.c_str(), &there) == 0 &&
      !sameFileContent(staged.path(), target)) {
    if (Status trashed = moveAsideToTrash(target); !trashed) return trashed;
  }
  if (::rename(staged.path().c_str(), target.c_str()) != 0)
    return fail(target + ": can't be written: " + reason(errno));
  staged.installed();
  const std::string folder = stringByDeletingLastPathComponent(target);
  FileDescriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return {};
}

void copyUserAttributes(int from, int to) {
  const ssize_t size = ::flistxattr(from, nullptr, 0);
  if (size <= 0) return;
  std::vector<char> names(static_cast<std::size_t>(size));
  const ssize_t got = ::flistxattr(from, names.data(), names.size());
  for (std::size_t at = 0; got > 0 && at < static_cast<std::size_t>(got);) {
    const char* name = names.data() + at;
    at += std::strlen(name) + 1;
    if (std::strncmp(name, "user.", 5) != 0) continue;
    const ssize_t length = ::fgetxattr(from, name, nullptr, 0);
    if (length < 0) continue;
    std::vector<char> value(static_cast<std::size_t>(length));
    const ssize_t read = ::fgetxattr(from, name, value.data(), value.size());
    if (read >= 0) ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(read), 0);
  }
}

}  // namespace

Status checkOutputTarget(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0) return {};
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return fail(path + ": is a broken symbolic link, not a file");
  if (!S_ISREG(st.st_mode)) return fail(path + ": is " + kindOf(st.st_mode) + ", not a file");
  return {};
}

bool sameExistingFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return !a.empty() && !b.empty() && ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 &&
         sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

Status writeOutputFile(const std::string& path, std::string_view bytes, OlderOutput older) {
  if (Status target = checkOutputTarget(path); !target) return target;
  const std::string target = resolvedTarget(path);
  StagedFile staged(target);
  if (staged.fd() < 0) return fail(path + ": can't be written: " + reason(staged.error()));
  // A replaced file keeps its permissions; a new one gets the usual ones.
  struct stat old {};
  const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  int error = writeAll(staged.fd(), bytes).value();
  if (!error && ::fchmod(staged.fd(), mode) != 0) error = errno;
  if (error) return fail(path + ": can't be written: " + reason(error));
  return install(staged, target, older);
}

Status copyOutputFile(const std::string& source, const std::string& target, OlderOutput older) {
  struct stat st {};
  if (::stat(source.c_str(), &st) != 0) return fail(source + ": " + reason(errno));
  // Never opened unless regular: a fifo would block, a device has no end.
  if (!S_ISREG(st.st_mode)) return fail(source + ": is " + std::string(kindOf(st.st_mode)) + ", not copied");
  // A folder of the same name is one more older item to keep in the Trash.
  struct stat there {};
  const bool folderThere = ::lstat(target.c_str(), &there) == 0 && S_ISDIR(there.st_mode);
  if (!(folderThere && older == OlderOutput::toTrash))
    if (Status checked = checkOutputTarget(target); !checked) return checked;
  FileDescriptor in(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (in.get() < 0) return fail(source + ": " + reason(errno));
  if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
    return fail(source + ": is not a regular file, not copied");
  const std::string to = resolvedTarget(target);
  StagedFile staged(to);
  if (staged.fd() < 0) return fail(target + ": can't be written: " + reason(staged.error()));
  std::vector<char> buffer(1 << 20);
  for (;;) {
    std::size_t got = 0;
    if (!readSome(in.get(), buffer, got)) return fail(source + ": " + reason(errno));
    if (got == 0) break;
    if (std::error_code ec = writeAll(staged.fd(), std::string_view(buffer.data(), got)))
      return fail(target + ": can't be written: " + ec.message());
  }
  ::fchmod(staged.fd(), st.st_mode & 07777);
  copyUserAttributes(in.get(), staged.fd());
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  ::futimens(staged.fd(), times);
  return install(staged, to, older);
}

}  // namespace korvex
