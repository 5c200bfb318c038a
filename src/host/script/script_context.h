#pragma once

// What the parts of a script run share: the run's state (limits, folder,
// output, files written), reached from the engine, and the helpers the
// bindings use to make and resolve script objects. Internal to the runner.

#include <duktape.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "host/document.h"
#include "host/session.h"

namespace korvex::script {

class ScriptRun {
 public:
  std::string scriptPath;
  // Scripts may include only files inside this folder (the running script's).
  std::string scriptFolder;
  std::vector<std::string> includeStack;
  std::chrono::steady_clock::time_point deadline;
  std::size_t memoryLimit = 0;
  std::size_t memoryUsed = 0;
  bool timedOut = false;
  bool outOfMemory = false;
  // Bytes a stopped script may still have, to make the error that stops it.
  std::size_t stopReserve = 64 * 1024;
  bool interactive = false;
  std::function<void(std::string_view)> output;
  // $.write text waiting for the end of its line.
  std::string pendingLine;
  // Text files open for writing: written as a whole when closed, so that a
  // reader never sees half of one. Keyed by the script object's id.
  struct OpenFile {
    std::string path;
    std::string text;
    bool writing = false;
    std::size_t readPosition = 0;
  };
  std::map<int, OpenFile> openFiles;
  int nextFileID = 1;

  // Whether the run has to stop (limits); checked by the engine's interrupt.
  bool mustStop();
  void write(std::string_view text);
  void flushLine();
};

ScriptRun& runOf(duk_context* ctx);

// Throws a script error (an Error object) with the message.
[[noreturn]] void throwError(duk_context* ctx, const std::string& message);
[[noreturn]] void throwInvalid(duk_context* ctx);

// The object model: script objects are views of host objects by database and UID.
enum class Kind { Document, Layer, Page, Spread, PageItem, Story, Swatch, Link };

void pushHostObject(duk_context* ctx, Kind kind, const IDocument* document, UID uid);
// The document and UID of the script object at idx; throws when the
// document was closed or the object is gone.
struct Target {
  IDocument* document = nullptr;
  UID uid = kInvalidUID;
};
Target targetAt(duk_context* ctx, duk_idx_t idx);
Target thisTarget(duk_context* ctx);
// The kind of a script object at idx, or none when it is not a host object.
bool hostKindAt(duk_context* ctx, duk_idx_t idx, Kind* kind);

template <typename T>
T* thisObject(duk_context* ctx) {
  Target target = thisTarget(ctx);
  T* object = target.document->GetDocDataBase()->template instantiate<T>(target.uid);
  if (!object) throwInvalid(ctx);
  return object;
}

// Turns a failed host operation into a script error naming what was asked.
void check(duk_context* ctx, ErrorCode code, const char* what);

// Accessors and methods of a prototype.
struct Property {
  const char* name;
  duk_c_function get;
  duk_c_function set;  // null: read-only
};
struct Method {
  const char* name;
  duk_c_function function;
  duk_idx_t nargs;
};
// Builds a prototype object and leaves it on the stack.
void pushPrototype(duk_context* ctx, const std::vector<Property>& properties,
                   const std::vector<Method>& methods);
// Prototypes live in the global stash under their names.
void storePrototype(duk_context* ctx, const char* name);
void pushStoredPrototype(duk_context* ctx, const char* name);

// UTF-8 strings in and out.
std::string stringArg(duk_context* ctx, duk_idx_t idx);

// Hidden properties of script objects and collections.
inline constexpr const char* kSerialKey = DUK_HIDDEN_SYMBOL("serial");
inline constexpr const char* kUIDKey = DUK_HIDDEN_SYMBOL("uid");
inline constexpr const char* kKindKey = DUK_HIDDEN_SYMBOL("kind");

Application* application();
bool isTextFrame(const IDocument* document, UID uid);

// Collections: an array of script objects of one kind and document, with
// item, itemByName, firstItem and lastItem from the prototype.
void pushCollection(duk_context* ctx, const char* prototype, Kind kind, const IDocument* document,
                    const std::vector<UID>& uids);
// The document of the collection that is `this`; throws when it was closed.
IDocument* collectionDocument(duk_context* ctx);
duk_ret_t collectionItem(duk_context* ctx);
duk_ret_t collectionItemByName(duk_context* ctx);
duk_ret_t collectionFirstItem(duk_context* ctx);
duk_ret_t collectionLastItem(duk_context* ctx);
// isValid and id, which every script object has.
duk_ret_t getIsValid(duk_context* ctx);
duk_ret_t getID(duk_context* ctx);

// Arguments and values of the bindings.
std::vector<double> numbersArg(duk_context* ctx, duk_idx_t idx, std::size_t count, const char* what);
void pushNumbers(duk_context* ctx, const std::vector<double>& numbers);
// The ruler origin of an object: the top left of its spread's pages.
PMPoint originFor(const IDocument& document, UID object);
double rounded(double points);
// [top, left, bottom, right] from the origin.
void pushBounds(duk_context* ctx, const PMRect& r, PMPoint origin);
void pushBool(duk_context* ctx, bool value);
bool boolArg(duk_context* ctx, duk_idx_t idx);
// The layer (Layer object or name) or swatch (Swatch object or name) of the
// document at idx; throws for anything else.
IDocumentLayer* layerArg(duk_context* ctx, const IDocument& document, duk_idx_t idx);
UID swatchArg(duk_context* ctx, const IDocument& document, duk_idx_t idx);

// Installs the object model (app, LinkStatus, SaveOptions) and the prototypes.
void installObjectModel(duk_context* ctx);
// Builds and stores the Link prototype; common holds isValid and id.
void installLinkPrototype(duk_context* ctx, const std::vector<Property>& common);
// Installs File and Folder.
void installFiles(duk_context* ctx);
// Writes the text files still open for writing; false (with the reason) when one fails.
bool closeOpenFiles(ScriptRun& run, std::string* problem);
// An absolute path for a script's path text: "~" is the home folder,
// relative paths count from the running script's folder.
std::string resolveScriptPath(const ScriptRun& run, const std::string& path);
// Pushes a File or Folder object for the path.
void pushFile(duk_context* ctx, const std::string& path);
void pushFolder(duk_context* ctx, const std::string& path);
// The path of a File or Folder object, or of a string, at idx.
std::string pathArg(duk_context* ctx, duk_idx_t idx);

}  // namespace korvex::script
