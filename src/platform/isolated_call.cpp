#include "platform/isolated_call.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "foundation/file_descriptor.h"

namespace korvex {

namespace {

// Child to parent: 'R' then the text, or 'F', four bytes of code, then the message.
void writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

[[noreturn]] void childRun(const std::function<Result<std::string>()>& work, int fd) {
  std::string message;
  {
    Result<std::string> result = work();
    if (result) {
      message = "R" + *result;
    } else {
      const int code = result.code();
      message = "F" + std::string(reinterpret_cast<const char*>(&code), sizeof code) + result.message();
    }
  }
  writeAll(fd, message.data(), message.size());
  // No exit handlers: they belong to the parent.
  ::_exit(0);
}

}  // namespace

Result<std::string> runIsolated(const std::function<Result<std::string>()>& work, const std::string& what,
                                std::chrono::seconds limit) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return fail(what + ": " + std::strerror(errno));
  FileDescriptor reader(fds[0]);
  FileDescriptor writer(fds[1]);
  const pid_t pid = ::fork();
  if (pid < 0) return fail(what + ": " + std::strerror(errno));
  if (pid == 0) {
    reader.reset();
    // What a failing library prints (or a sanitizer's report of it) is not for
    // the user: the parent reports the failure in one line.
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (devNull >= 0) ::dup2(devNull, STDERR_FILENO);
    childRun(work, writer.get());
  }
  writer.reset();

  std::string reply;
  bool timedOut = false;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    pollfd readable{reader.get(), POLLIN, 0};
    const int ready = ::poll(&readable, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    char buffer[65536];
    const ssize_t n = ::read(reader.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    reply.append(buffer, static_cast<std::size_t>(n));
  }
  if (timedOut) ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (timedOut) return fail(what + ": the reader took longer than " + std::to_string(limit.count()) + " s and was stopped");
  if (WIFSIGNALED(status))
    return fail(what + ": the reader failed on this file (" + strsignal(WTERMSIG(status)) + "); the file is damaged");
  if (reply.empty() || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return fail(what + ": the reader failed on this file; the file is damaged");
  if (reply[0] == 'R') return reply.substr(1);
  int code = 1;
  if (reply.size() >= 1 + sizeof code) std::memcpy(&code, reply.data() + 1, sizeof code);
  return fail(reply.size() > 1 + sizeof code ? reply.substr(1 + sizeof code) : what, code);
}

}  // namespace korvex
