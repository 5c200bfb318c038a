#include "foundation/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "foundation/file_descriptor.h"

namespace korvex {

namespace {

Failure problem(const std::string& path, const std::string& what, int code) {
  return fail(path + ": " + what, code);
}

Failure systemProblem(const std::string& path, int error) {
  if (error == ENOENT || error == ENOTDIR) return problem(path, "no such file", ENOENT);
  return problem(path, "cannot be read: " + std::generic_category().message(error), error);
}

const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "is a folder, not a file";
  if (S_ISFIFO(mode)) return "is a fifo, not a regular file";
  if (S_ISCHR(mode)) return "is a character device, not a regular file";
  if (S_ISBLK(mode)) return "is a block device, not a regular file";
  if (S_ISSOCK(mode)) return "is a socket, not a regular file";
  return "is not a regular file";
}

}  // namespace

Result<std::string> readRegularFile(const std::string& path, std::uintmax_t maxBytes) {
  // Non-blocking, so that opening a fifo without a writer returns at once.
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (file.get() < 0) return systemProblem(path, errno);
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) return systemProblem(path, errno);
  if (!S_ISREG(info.st_mode))
    return problem(path, kindOf(info.st_mode), S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
  const auto tooLarge = [&] {
    return problem(path, "is larger than " + std::to_string(maxBytes) + " bytes", EFBIG);
  };
  if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) return tooLarge();

  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return systemProblem(path, errno);
    }
    // The file may have grown since fstat.
    if (bytes.size() + static_cast<std::size_t>(n) > maxBytes) return tooLarge();
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return bytes;
}

}  // namespace korvex
