#include "platform/xdg_workspace.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

#include "foundation/log.h"
#include "foundation/unicode.h"

extern char** environ;

namespace korvex {

namespace {

bool endsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

std::vector<std::string> splitList(const std::string& list) {
  std::vector<std::string> parts;
  std::stringstream stream(list);
  std::string part;
  while (std::getline(stream, part, ':'))
    if (!part.empty()) parts.push_back(part);
  return parts;
}

std::string environment(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::string(value) : fallback;
}

// shared-mime-info's globs2 files, the user's first.
std::vector<std::string> globsFiles() {
  std::vector<std::string> files;
  std::string home = environment("HOME", "");
  files.push_back(environment("XDG_DATA_HOME", home + "/.local/share") + "/mime/globs2");
  for (const std::string& dir : splitList(environment("XDG_DATA_DIRS", "/usr/local/share:/usr/share")))
    files.push_back(dir + "/mime/globs2");
  return files;
}

// "weight:type:glob[:flags]" lines; the heaviest "*.ext" match wins.
std::optional<std::string> typeFromGlobs(const std::string& file, const std::string& extension) {
  std::ifstream in(file);
  if (!in) return std::nullopt;
  std::optional<std::string> best;
  int bestWeight = -1;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, ':')) fields.push_back(field);
    if (fields.size() < 3 || fields[2].size() < 3 || fields[2].compare(0, 2, "*.") != 0) continue;
    std::string globExtension = fields[2].substr(2);
    bool caseSensitive = fields.size() > 3 && fields[3].find("cs") != std::string::npos;
    bool match = caseSensitive ? globExtension == extension : equalsCaseInsensitive(globExtension, extension);
    int weight = std::atoi(fields[0].c_str());
    if (match && weight > bestWeight) {
      best = fields[1];
      bestWeight = weight;
    }
  }
  return best;
}

// "type ext ext …" lines.
std::optional<std::string> typeFromMimeTypes(const std::string& file, const std::string& extension) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::stringstream stream(line);
    std::string type, ext;
    stream >> type;
    while (stream >> ext)
      if (equalsCaseInsensitive(ext, extension)) return type;
  }
  return std::nullopt;
}

}  // namespace

XdgWorkspace::~XdgWorkspace() { reapFinished(); }

void XdgWorkspace::reapFinished() {
  std::erase_if(children_, [](pid_t pid) {
    int status = 0;
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    return r == pid || (r < 0 && errno == ECHILD);
  });
}

int XdgWorkspace::spawn(const std::vector<std::string>& argv) {
  reapFinished();
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);

  pid_t pid = 0;
  int error = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (error == 0) children_.push_back(pid);
  return error;
}

bool XdgWorkspace::openPath(const std::string& path, const std::optional<std::string>& application) {
  int error = ENOENT;
  if (application && !application->empty()) {
    if (endsWith(*application, ".desktop"))
      error = spawn({"gtk-launch", *application, path});
    else
      error = spawn({*application, path});
  }
  if (error != 0) error = spawn({"xdg-open", path});
  if (error != 0) {
    logError(std::error_code(error, std::generic_category()),
             stringWithFormat("cannot open %@ with %@", path, application ? *application : std::string("xdg-open")));
    return false;
  }
  return true;
}

std::optional<std::string> XdgWorkspace::mimeTypeForExtension(const std::string& extension) {
  if (extension.empty()) return std::nullopt;
  for (const std::string& file : globsFiles())
    if (auto type = typeFromGlobs(file, extension)) return type;
  if (auto type = typeFromMimeTypes("/etc/mime.types", extension)) return type;
  static const std::pair<const char*, const char*> kBuiltIn[] = {
      {"txt", "text/plain"}, {"log", "text/plain"}, {"csv", "text/csv"}, {"xml", "application/xml"},
      {"pdf", "application/pdf"}, {"jpg", "image/jpeg"}, {"jpeg", "image/jpeg"}, {"png", "image/png"},
      {"html", "text/html"}, {"json", "application/json"}};
  for (const auto& [ext, type] : kBuiltIn)
    if (equalsCaseInsensitive(extension, ext)) return std::string(type);
  return std::nullopt;
}

std::optional<std::string> XdgWorkspace::defaultApplicationForExtension(const std::string& extension) {
  std::optional<std::string> type = mimeTypeForExtension(extension);
  if (!type) return std::nullopt;

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::string command = "xdg-mime", query = "query", what = "default";
  char* args[] = {command.data(), query.data(), what.data(), type->data(), nullptr};
  pid_t pid = 0;
  int error = ::posix_spawnp(&pid, args[0], &actions, nullptr, args, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  std::string output;
  if (error == 0) {
    char buffer[512];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
      if (n > 0) output.append(buffer, static_cast<std::size_t>(n));
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  ::close(pipeFds[0]);
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r' || output.back() == ' '))
    output.pop_back();
  if (output.empty()) return std::nullopt;
  return output;
}

}  // namespace korvex
