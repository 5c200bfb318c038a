// File and Folder for scripts: plain text reading and writing and folder
// listings. A file open for writing is kept in memory and written as a whole
// (atomically) when it is closed, so a script that fails half-way leaves no
// half-written file behind.

#include <fnmatch.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/atomic_file.h"
#include "foundation/read_file.h"
#include "host/script/script_context.h"

namespace korvex::script {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPathKey = DUK_HIDDEN_SYMBOL("path");
constexpr const char* kFileIDKey = DUK_HIDDEN_SYMBOL("fileID");

std::string thisPath(duk_context* ctx) {
  duk_push_this(ctx);
  if (!duk_get_prop_string(ctx, -1, kPathKey)) throwError(ctx, "not a File or Folder");
  std::string path = duk_get_string(ctx, -1);
  duk_pop_2(ctx);
  return path;
}

std::string lastComponent(const std::string& path) {
  return path == "/" ? path : fs::path(path).filename().string();
}

std::string parentOf(const std::string& path) {
  const std::string parent = fs::path(path).parent_path().string();
  return parent.empty() ? "/" : parent;
}

duk_ret_t getName(duk_context* ctx) {
  duk_push_string(ctx, lastComponent(thisPath(ctx)).c_str());
  return 1;
}

duk_ret_t getFsName(duk_context* ctx) {
  duk_push_string(ctx, thisPath(ctx).c_str());
  return 1;
}

duk_ret_t getParentPath(duk_context* ctx) {
  duk_push_string(ctx, parentOf(thisPath(ctx)).c_str());
  return 1;
}

duk_ret_t getParent(duk_context* ctx) {
  pushFolder(ctx, parentOf(thisPath(ctx)));
  return 1;
}

duk_ret_t fileExists(duk_context* ctx) {
  std::error_code error;
  duk_push_boolean(ctx, fs::is_regular_file(thisPath(ctx), error) ? 1 : 0);
  return 1;
}

duk_ret_t folderExists(duk_context* ctx) {
  std::error_code error;
  duk_push_boolean(ctx, fs::is_directory(thisPath(ctx), error) ? 1 : 0);
  return 1;
}

duk_ret_t fileLength(duk_context* ctx) {
  std::error_code error;
  const auto size = fs::file_size(thisPath(ctx), error);
  duk_push_number(ctx, error ? -1 : static_cast<double>(size));
  return 1;
}

ScriptRun::OpenFile* thisOpenFile(duk_context* ctx) {
  duk_push_this(ctx);
  const int id = duk_get_prop_string(ctx, -1, kFileIDKey) ? duk_get_int(ctx, -1) : 0;
  duk_pop_2(ctx);
  ScriptRun& run = runOf(ctx);
  auto found = run.openFiles.find(id);
  return found == run.openFiles.end() ? nullptr : &found->second;
}

ScriptRun::OpenFile& requireOpenFile(duk_context* ctx, bool writing) {
  ScriptRun::OpenFile* file = thisOpenFile(ctx);
  if (!file) throwError(ctx, thisPath(ctx) + ": the file is not open");
  if (file->writing != writing)
    throwError(ctx, thisPath(ctx) + ": the file is open for " + (file->writing ? "writing" : "reading"));
  return *file;
}

// open(mode): "r" reads, "w" writes anew, "a" appends; false when the file
// can't be read (missing, a folder…).
duk_ret_t fileOpen(duk_context* ctx) {
  const std::string path = thisPath(ctx);
  const std::string mode = duk_is_undefined(ctx, 0) ? "r" : stringArg(ctx, 0);
  if (mode != "r" && mode != "w" && mode != "a") throwError(ctx, path + ": open: unknown mode \"" + mode + "\"");
  ScriptRun& run = runOf(ctx);
  ScriptRun::OpenFile file{path, {}, mode != "r", 0};
  if (mode != "w") {
    std::error_code error;
    const bool exists = fs::exists(path, error);
    if (mode == "r" || exists) {
      Result<std::string> text = readRegularFile(path);
      if (!text) {
        duk_push_false(ctx);
        return 1;
      }
      file.text = std::move(*text);
    }
  }
  if (thisOpenFile(ctx)) throwError(ctx, path + ": the file is open already");
  const int id = run.nextFileID++;
  run.openFiles.emplace(id, std::move(file));
  duk_push_this(ctx);
  duk_push_int(ctx, id);
  duk_put_prop_string(ctx, -2, kFileIDKey);
  duk_push_true(ctx);
  return 1;
}

duk_ret_t fileRead(duk_context* ctx) {
  ScriptRun::OpenFile& file = requireOpenFile(ctx, false);
  const std::string rest = file.text.substr(file.readPosition);
  file.readPosition = file.text.size();
  duk_push_lstring(ctx, rest.data(), rest.size());
  return 1;
}

duk_ret_t fileReadln(duk_context* ctx) {
  ScriptRun::OpenFile& file = requireOpenFile(ctx, false);
  std::size_t end = file.text.find('\n', file.readPosition);
  if (end == std::string::npos) end = file.text.size();
  std::string line = file.text.substr(file.readPosition, end - file.readPosition);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  file.readPosition = std::min(end + 1, file.text.size());
  duk_push_lstring(ctx, line.data(), line.size());
  return 1;
}

duk_ret_t fileEof(duk_context* ctx) {
  const ScriptRun::OpenFile* file = thisOpenFile(ctx);
  duk_push_boolean(ctx, !file || file->writing || file->readPosition >= file->text.size() ? 1 : 0);
  return 1;
}

void appendArguments(duk_context* ctx, std::string& text) {
  const duk_idx_t n = duk_get_top(ctx);
  for (duk_idx_t i = 0; i < n; ++i) text += stringArg(ctx, i);
}

duk_ret_t fileWrite(duk_context* ctx) {
  appendArguments(ctx, requireOpenFile(ctx, true).text);
  duk_push_true(ctx);
  return 1;
}

duk_ret_t fileWriteln(duk_context* ctx) {
  ScriptRun::OpenFile& file = requireOpenFile(ctx, true);
  appendArguments(ctx, file.text);
  file.text += '\n';
  duk_push_true(ctx);
  return 1;
}

bool writeOut(const ScriptRun::OpenFile& file, std::string* problem) {
  if (const std::error_code error = writeFileAtomically(file.path, file.text)) {
    *problem = file.path + ": " + error.message();
    return false;
  }
  return true;
}

// Writes what was written; a file that can't be written is a script error.
duk_ret_t fileClose(duk_context* ctx) {
  ScriptRun::OpenFile* file = thisOpenFile(ctx);
  if (!file) {
    duk_push_false(ctx);
    return 1;
  }
  duk_push_this(ctx);
  const int id = duk_get_prop_string(ctx, -1, kFileIDKey) ? duk_get_int(ctx, -1) : 0;
  duk_pop(ctx);
  duk_del_prop_string(ctx, -1, kFileIDKey);
  ScriptRun::OpenFile closed = std::move(*file);
  runOf(ctx).openFiles.erase(id);
  std::string problem;
  if (closed.writing && !writeOut(closed, &problem)) throwError(ctx, problem);
  duk_push_true(ctx);
  return 1;
}

duk_ret_t fileRemove(duk_context* ctx) {
  std::error_code error;
  const std::string path = thisPath(ctx);
  duk_push_boolean(ctx, fs::is_regular_file(path, error) && fs::remove(path, error) ? 1 : 0);
  return 1;
}

duk_ret_t folderCreate(duk_context* ctx) {
  std::error_code error;
  const std::string path = thisPath(ctx);
  fs::create_directories(path, error);
  duk_push_boolean(ctx, fs::is_directory(path, error) ? 1 : 0);
  return 1;
}

duk_ret_t folderRemove(duk_context* ctx) {
  std::error_code error;
  const std::string path = thisPath(ctx);
  // Only an empty folder goes: a script must not wipe a tree by mistake.
  duk_push_boolean(ctx, fs::is_directory(path, error) && fs::is_empty(path, error) && fs::remove(path, error) ? 1 : 0);
  return 1;
}

// getFiles(mask): the folder's files and folders by name; the mask is a
// pattern ("*.txt") or a function that answers whether to take one.
duk_ret_t folderGetFiles(duk_context* ctx) {
  const std::string path = thisPath(ctx);
  std::vector<fs::directory_entry> entries;
  std::error_code error;
  for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) entries.push_back(*it);
  if (error) throwError(ctx, path + ": " + error.message());
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
  const bool pattern = duk_is_string(ctx, 0);
  const std::string mask = pattern ? stringArg(ctx, 0) : "";
  const bool filter = duk_is_function(ctx, 0);
  duk_idx_t array = duk_push_array(ctx);
  duk_uarridx_t n = 0;
  for (const fs::directory_entry& entry : entries) {
    const std::string name = entry.path().filename().string();
    if (pattern && fnmatch(mask.c_str(), name.c_str(), 0) != 0) continue;
    std::error_code kindError;
    if (entry.is_directory(kindError))
      pushFolder(ctx, entry.path().string());
    else
      pushFile(ctx, entry.path().string());
    if (filter) {
      duk_dup(ctx, 0);
      duk_dup(ctx, -2);
      duk_call(ctx, 1);
      const bool take = duk_to_boolean(ctx, -1) != 0;
      duk_pop(ctx);
      if (!take) {
        duk_pop(ctx);
        continue;
      }
    }
    duk_put_prop_index(ctx, array, n++);
  }
  return 1;
}

duk_ret_t fileConstructor(duk_context* ctx) {
  pushFile(ctx, resolveScriptPath(runOf(ctx), duk_is_undefined(ctx, 0) ? "" : pathArg(ctx, 0)));
  return 1;
}

duk_ret_t folderConstructor(duk_context* ctx) {
  pushFolder(ctx, resolveScriptPath(runOf(ctx), duk_is_undefined(ctx, 0) ? "" : pathArg(ctx, 0)));
  return 1;
}

void pushPathObject(duk_context* ctx, const char* prototype, const std::string& path) {
  duk_idx_t object = duk_push_object(ctx);
  pushStoredPrototype(ctx, prototype);
  duk_set_prototype(ctx, object);
  duk_push_string(ctx, path.c_str());
  duk_put_prop_string(ctx, object, kPathKey);
}

void installConstructor(duk_context* ctx, const char* name, duk_c_function constructor) {
  duk_push_global_object(ctx);
  duk_push_c_function(ctx, constructor, 1);
  pushStoredPrototype(ctx, name);
  duk_dup(ctx, -2);
  duk_put_prop_string(ctx, -2, "constructor");
  duk_put_prop_string(ctx, -2, "prototype");
  duk_put_prop_string(ctx, -2, name);
  duk_pop(ctx);
}

}  // namespace

std::string resolveScriptPath(const ScriptRun& run, const std::string& text) {
  fs::path path(text);
  if (text == "~" || text.starts_with("~/")) {
    const char* home = std::getenv("HOME");
    path = fs::path(home ? home : "/") / text.substr(std::min<std::size_t>(2, text.size()));
  } else if (path.is_relative()) {
    path = fs::path(run.scriptFolder) / path;
  }
  std::string normal = path.lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

void pushFile(duk_context* ctx, const std::string& path) {
  pushPathObject(ctx, "File", path);
}

void pushFolder(duk_context* ctx, const std::string& path) {
  pushPathObject(ctx, "Folder", path);
}

std::string pathArg(duk_context* ctx, duk_idx_t idx) {
  if (duk_is_string(ctx, idx)) return stringArg(ctx, idx);
  if (duk_is_object(ctx, idx) && duk_get_prop_string(ctx, idx, kPathKey)) {
    std::string path = duk_get_string(ctx, -1);
    duk_pop(ctx);
    return path;
  }
  throwError(ctx, "expected a File, a Folder or a path");
}

bool closeOpenFiles(ScriptRun& run, std::string* problem) {
  bool written = true;
  for (const auto& [id, file] : run.openFiles)
    if (file.writing && written) written = writeOut(file, problem);
  run.openFiles.clear();
  return written;
}

void installFiles(duk_context* ctx) {
  const std::vector<Property> common{{"name", getName, nullptr},
                                     {"fsName", getFsName, nullptr},
                                     {"fullName", getFsName, nullptr},
                                     {"absoluteURI", getFsName, nullptr},
                                     {"path", getParentPath, nullptr},
                                     {"parent", getParent, nullptr}};
  std::vector<Property> fileProperties = common;
  fileProperties.push_back({"exists", fileExists, nullptr});
  fileProperties.push_back({"length", fileLength, nullptr});
  fileProperties.push_back({"eof", fileEof, nullptr});
  pushPrototype(ctx, fileProperties,
                {{"open", fileOpen, 1},
                 {"read", fileRead, 0},
                 {"readln", fileReadln, 0},
                 {"write", fileWrite, DUK_VARARGS},
                 {"writeln", fileWriteln, DUK_VARARGS},
                 {"close", fileClose, 0},
                 {"remove", fileRemove, 0},
                 {"toString", getFsName, 0}});
  storePrototype(ctx, "File");
  std::vector<Property> folderProperties = common;
  folderProperties.push_back({"exists", folderExists, nullptr});
  pushPrototype(ctx, folderProperties,
                {{"getFiles", folderGetFiles, 1},
                 {"create", folderCreate, 0},
                 {"remove", folderRemove, 0},
                 {"toString", getFsName, 0}});
  storePrototype(ctx, "Folder");
  installConstructor(ctx, "File", fileConstructor);
  installConstructor(ctx, "Folder", folderConstructor);
}

}  // namespace korvex::script
