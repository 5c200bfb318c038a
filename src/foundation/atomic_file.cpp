#include "foundation/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace korvex {

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

std::error_code lastError() { return {errno, std::generic_category()}; }

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

}  // namespace

std::error_code writeFileAtomically(const std::string& path, std::string_view bytes) {
  auto slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp = folder + "/." + name + ".tmp-XXXXXX";
  FileDescriptor fd(::mkstemp(temp.data()));
  if (fd.get() < 0) return lastError();

  // A replaced file keeps its permissions; a new one gets the usual ones.
  struct stat old{};
  mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  std::error_code ec = writeAll(fd.get(), bytes);
  if (!ec && ::fchmod(fd.get(), mode) != 0) ec = lastError();
  if (!ec && ::fsync(fd.get()) != 0) ec = lastError();
  if (!ec && ::close(fd.release()) != 0) ec = lastError();
  if (!ec && ::rename(temp.c_str(), path.c_str()) != 0) ec = lastError();
  if (ec) {
    ::unlink(temp.c_str());
    return ec;
  }
  // Make the rename itself durable.
  FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY));
  if (dir.get() >= 0) ::fsync(dir.get());
  return {};
}

}  // namespace korvex
