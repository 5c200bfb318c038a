#include "host/script/javascript_runner.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <utility>

#include "foundation/log.h"
#include "foundation/read_file.h"
#include "host/script/script_context.h"

namespace korvex {
namespace {

using script::ScriptRun;

ScriptAlertHandler& alertHandler() {
  static ScriptAlertHandler handler;
  return handler;
}

// Every block carries its size in front, so the run knows what the script holds.
struct alignas(16) BlockHeader {
  std::size_t size;
};

// Whether the script may have size more bytes. Once refused, always refused:
// a script that catches the error must not go on allocating until the next
// time check. The deadline is checked here too, because a built-in that works
// long (joining a huge array) runs no instructions the engine could count,
// but allocates as it goes.
bool mayAllocate(ScriptRun& run, std::size_t size) {
  if (run.outOfMemory || run.timedOut) {
    // A little more, once, so that the error that stops the script can be
    // made with its file and line.
    if (size > run.stopReserve) return false;
    run.stopReserve -= size;
    return true;
  }
  if (std::chrono::steady_clock::now() >= run.deadline) {
    run.timedOut = true;
    return false;
  }
  if (size > run.memoryLimit - std::min(run.memoryUsed, run.memoryLimit)) {
    run.outOfMemory = true;
    return false;
  }
  return true;
}

void* allocateBlock(void* udata, duk_size_t size) {
  auto* run = static_cast<ScriptRun*>(udata);
  if (size == 0 || !mayAllocate(*run, size)) return nullptr;
  auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
  if (!header) return nullptr;
  header->size = size;
  run->memoryUsed += size;
  return header + 1;
}

void freeBlock(void* udata, void* pointer) {
  if (!pointer) return;
  auto* run = static_cast<ScriptRun*>(udata);
  BlockHeader* header = static_cast<BlockHeader*>(pointer) - 1;
  run->memoryUsed -= header->size;
  std::free(header);
}

void* reallocateBlock(void* udata, void* pointer, duk_size_t size) {
  if (!pointer) return allocateBlock(udata, size);
  if (size == 0) {
    freeBlock(udata, pointer);
    return nullptr;
  }
  auto* run = static_cast<ScriptRun*>(udata);
  BlockHeader* header = static_cast<BlockHeader*>(pointer) - 1;
  const std::size_t old = header->size;
  if (size > old && !mayAllocate(*run, size - old)) return nullptr;
  auto* grown = static_cast<BlockHeader*>(std::realloc(header, sizeof(BlockHeader) + size));
  if (!grown) return nullptr;
  grown->size = size;
  run->memoryUsed = run->memoryUsed - old + size;
  return grown + 1;
}

[[noreturn]] void engineFatal(void*, const char* message) {
  // Only reached by an error outside every protected call: a fault of ours.
  std::fprintf(stderr, "korvex: script engine: fatal error: %s\n", message ? message : "");
  std::abort();
}

class Heap {
 public:
  explicit Heap(ScriptRun& run)
      : ctx_(duk_create_heap(allocateBlock, reallocateBlock, freeBlock, &run, engineFatal)) {}
  ~Heap() {
    if (ctx_) duk_destroy_heap(ctx_);
  }
  Heap(const Heap&) = delete;
  Heap& operator=(const Heap&) = delete;
  duk_context* get() const { return ctx_; }

 private:
  duk_context* ctx_;
};

std::string jsonQuoted(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// The source as the engine compiles it: the directives of the scripts'
// dialect give way, each on its own line so that line numbers stay true.
// "#include" becomes $.evalFile of the file beside the including one.
std::string preprocess(std::string source, const std::string& folder) {
  if (source.starts_with("\xEF\xBB\xBF")) source.erase(0, 3);
  static const std::regex include(R"re(^\s*(?:#|//@)include\s+(?:"([^"]*)"|'([^']*)')\s*;?\s*$)re");
  static const std::regex directive(R"re(^\s*#(?:target|targetengine|strict|script|engine)\b.*$)re");
  std::string out;
  out.reserve(source.size());
  std::size_t start = 0;
  while (start <= source.size()) {
    std::size_t end = source.find('\n', start);
    const bool last = end == std::string::npos;
    if (last) end = source.size();
    std::string line = source.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::smatch match;
    if (std::regex_match(line, match, include)) {
      std::string name = match[1].matched ? match[1].str() : match[2].str();
      std::filesystem::path path(name);
      if (path.is_relative()) path = std::filesystem::path(folder) / path;
      line = "$.evalFile(" + jsonQuoted(path.lexically_normal().string()) + ");";
    } else if (std::regex_match(line, directive)) {
      line.clear();
    }
    out += line;
    if (last) break;
    out += '\n';
    start = end + 1;
  }
  return out;
}

std::string folderOf(const std::string& path) {
  return std::filesystem::path(path).parent_path().string();
}

// Compiles and runs the file at the path given on the stack in global scope.
void evalFile(duk_context* ctx, const std::string& path) {
  ScriptRun& run = script::runOf(ctx);
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  const std::string shown = canonical.empty() ? path : canonical.string();
  const std::filesystem::path relative = canonical.lexically_relative(run.scriptFolder);
  if (error || relative.empty() || *relative.begin() == "..")
    script::throwError(ctx, "#include: " + shown + ": outside the script's folder " + run.scriptFolder);
  if (std::find(run.includeStack.begin(), run.includeStack.end(), shown) != run.includeStack.end())
    script::throwError(ctx, "#include: " + shown + ": includes itself");
  Result<std::string> source = readRegularFile(shown);
  if (!source) script::throwError(ctx, "#include: " + source.message());
  // Off the stack again however the file ends: a script may catch its error.
  class Including {
   public:
    Including(std::vector<std::string>& stack, const std::string& path) : stack_(stack) { stack_.push_back(path); }
    ~Including() { stack_.pop_back(); }
    Including(const Including&) = delete;
    Including& operator=(const Including&) = delete;

   private:
    std::vector<std::string>& stack_;
  } including(run.includeStack, shown);
  std::string compiled = preprocess(std::move(*source), folderOf(shown));
  duk_push_lstring(ctx, compiled.data(), compiled.size());
  duk_push_string(ctx, shown.c_str());
  duk_compile(ctx, 0);
  duk_call(ctx, 0);
  duk_pop(ctx);
}

std::string joinedArguments(duk_context* ctx) {
  std::string text;
  const duk_idx_t n = duk_get_top(ctx);
  for (duk_idx_t i = 0; i < n; ++i) text += duk_safe_to_string(ctx, i);
  return text;
}

duk_ret_t dollarWrite(duk_context* ctx) {
  script::runOf(ctx).write(joinedArguments(ctx));
  return 0;
}

duk_ret_t dollarWriteln(duk_context* ctx) {
  script::runOf(ctx).write(joinedArguments(ctx) + "\n");
  return 0;
}

duk_ret_t dollarEvalFile(duk_context* ctx) {
  const std::string path = script::resolveScriptPath(script::runOf(ctx), script::pathArg(ctx, 0));
  evalFile(ctx, path);
  return 0;
}

duk_ret_t alertFunction(duk_context* ctx) {
  ScriptRun& run = script::runOf(ctx);
  const std::string text = duk_safe_to_string(ctx, 0);
  // The log keeps what a script wanted to say even where nobody sees it.
  MyLog("alert: %@", text);
  if (!run.interactive) return 0;
  if (alertHandler())
    alertHandler()(text);
  else
    std::fprintf(stderr, "%s\n", text.c_str());
  return 0;
}

void installGlobals(duk_context* ctx, ScriptRun& run) {
  duk_push_global_object(ctx);
  duk_push_object(ctx);
  duk_push_c_function(ctx, dollarWrite, DUK_VARARGS);
  duk_put_prop_string(ctx, -2, "write");
  duk_push_c_function(ctx, dollarWriteln, DUK_VARARGS);
  duk_put_prop_string(ctx, -2, "writeln");
  duk_push_c_function(ctx, dollarEvalFile, 1);
  duk_put_prop_string(ctx, -2, "evalFile");
  duk_push_string(ctx, run.scriptPath.c_str());
  duk_put_prop_string(ctx, -2, "fileName");
  duk_put_prop_string(ctx, -2, "$");
  duk_push_c_function(ctx, alertFunction, 1);
  duk_put_prop_string(ctx, -2, "alert");
  duk_pop(ctx);
  script::installObjectModel(ctx);
  script::installFiles(ctx);
}

duk_ret_t runMain(duk_context* ctx, void* udata) {
  auto* run = static_cast<ScriptRun*>(udata);
  installGlobals(ctx, *run);
  run->includeStack.clear();
  evalFile(ctx, run->scriptPath);
  return 0;
}

std::string formatSeconds(double seconds) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", seconds);
  return buffer;
}

// "FILE:LINE: MESSAGE" for the error on the stack top.
std::string describeError(duk_context* ctx, const ScriptRun& run, double seconds) {
  std::string file = run.scriptPath;
  long line = 0;
  if (duk_is_error(ctx, -1)) {
    if (duk_get_prop_string(ctx, -1, "fileName") && duk_is_string(ctx, -1)) file = duk_get_string(ctx, -1);
    duk_pop(ctx);
    if (duk_get_prop_string(ctx, -1, "lineNumber") && duk_is_number(ctx, -1))
      line = static_cast<long>(duk_get_number(ctx, -1));
    duk_pop(ctx);
  }
  std::string message;
  if (run.timedOut)
    message = "script stopped: it ran longer than its time limit of " + formatSeconds(seconds) + " s";
  else if (run.outOfMemory)
    message = "script stopped: it asked for more memory than its limit of " +
              std::to_string(run.memoryLimit >> 20) + " MB";
  else
    message = duk_safe_to_string(ctx, -1);
  return line > 0 ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message;
}

}  // namespace

namespace script {

ScriptRun& runOf(duk_context* ctx) {
  duk_memory_functions functions;
  duk_get_memory_functions(ctx, &functions);
  return *static_cast<ScriptRun*>(functions.udata);
}

bool ScriptRun::mustStop() {
  if (!timedOut && std::chrono::steady_clock::now() >= deadline) timedOut = true;
  return timedOut || outOfMemory;
}

void ScriptRun::write(std::string_view text) {
  if (output) output(text);
  pendingLine += text;
  std::size_t newline;
  while ((newline = pendingLine.find('\n')) != std::string::npos) {
    MyLog("%@", pendingLine.substr(0, newline));
    pendingLine.erase(0, newline + 1);
  }
}

void ScriptRun::flushLine() {
  if (pendingLine.empty()) return;
  MyLog("%@", pendingLine);
  pendingLine.clear();
}

}  // namespace script

bool JavaScriptRunner::CanHandleFile(const IDFile& file) const {
  std::string extension = std::filesystem::path(file.path()).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".jsx" || extension == ".js";
}

ErrorCode JavaScriptRunner::RunFile(const IDFile& file, const RunScriptParams& params) {
  lastError_.clear();
  ScriptRun run;
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(file.path(), error);
  run.scriptPath = error ? file.path() : canonical.string();
  run.scriptFolder = folderOf(run.scriptPath);
  run.memoryLimit = params.memoryLimitBytes.value_or(limits_.memoryBytes);
  const double seconds = std::clamp(params.timeLimitSeconds.value_or(limits_.seconds), 0.0, 1e7);
  run.deadline = std::chrono::steady_clock::now() +
                 std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
  run.interactive = params.allowUserInteraction;
  run.output = params.output;

  ErrorCode result = kSuccess;
  {
    Heap heap(run);
    duk_context* ctx = heap.get();
    if (!ctx) {
      lastError_ = run.scriptPath + ": the script engine could not start";
      MyLog("\t####\t%@", lastError_);
      return kScriptMemoryError;
    }
    if (duk_safe_call(ctx, runMain, &run, 0, 1) != DUK_EXEC_SUCCESS) {
      lastError_ = describeError(ctx, run, seconds);
      result = run.timedOut ? kScriptTimeoutError : run.outOfMemory ? kScriptMemoryError : kScriptError;
    }
    duk_pop(ctx);
  }
  run.flushLine();
  if (result == kSuccess) {
    std::string problem;
    if (!script::closeOpenFiles(run, &problem)) {
      lastError_ = run.scriptPath + ": " + problem;
      result = kScriptError;
    }
  }
  if (result != kSuccess) MyLog("\t####\t%@", lastError_);
  return result;
}

JavaScriptRunner& javaScriptRunner(Session& session) {
  if (auto* found = dynamic_cast<JavaScriptRunner*>(
          session.services().find(ServiceKind::ScriptRunner, JavaScriptRunner::kName)))
    return *found;
  auto runner = std::make_unique<JavaScriptRunner>();
  JavaScriptRunner& ref = *runner;
  session.services().add(ServiceKind::ScriptRunner, std::move(runner));
  return ref;
}

ScriptAlertHandler setScriptAlertHandler(ScriptAlertHandler handler) {
  return std::exchange(alertHandler(), std::move(handler));
}

}  // namespace korvex

extern "C" int korvex_duk_exec_timeout_check(void* udata) {
  return udata && static_cast<korvex::script::ScriptRun*>(udata)->mustStop() ? 1 : 0;
}
