#include "chain_argument.h"

#include <filesystem>
#include <system_error>

#include "config/action_files.h"
#include "foundation/files.h"
#include "foundation/paths.h"
#include "foundation/property_list.h"

namespace korvex::cli {

namespace {

bool isPathLike(const std::string& chain) {
  return chain.find('/') != std::string::npos;
}

// The file a CHAIN argument names; the first candidate when none exists, so
// the message names what was looked for.
std::string chainFile(const std::string& chain) {
  if (isPathLike(chain) || pathIsFile(chain))
    return std::filesystem::absolute(chain).lexically_normal().string();
  const std::string inFolder = stringByAppendingPathComponent(actionsPath(), chain);
  if (pathIsFile(inFolder) || !pathExtension(chain).empty()) return inFolder;
  for (const char* extension : {".plist", ".jsx"})
    if (pathIsFile(inFolder + extension)) return inFolder + extension;
  return inFolder + ".plist";
}

}  // namespace

ChainOrError readChain(const std::string& argument) {
  ChainOrError result;
  result.file = chainFile(argument);
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(result.file, ec);
  if (!std::filesystem::exists(status)) {
    result.error = result.file + ": no such action file";
    return result;
  }
  if (std::filesystem::is_directory(status)) {
    result.error = result.file + ": is a folder, not an action file";
    return result;
  }
  if (pathEndsWith(result.file, "jsx")) {
    // A script is a chain of one script action; the script runner reads it.
    if (!std::filesystem::is_regular_file(status)) {
      result.error = result.file + ": is not a regular file";
      return result;
    }
    DictPtr script = Dictionary::make();
    script->set("Action", "JSX");
    script->set("Path", result.file);
    result.chain = Array::make({Value(script)});
    return result;
  }
  Result<Value> root = loadPropertyListFile(result.file);
  if (!root) {
    result.error = root.message();
  } else if (ArrayPtr array = root->array()) {
    result.chain = array;
  } else if (root->isDictionary()) {
    result.chain = Array::make({*root});
  } else {
    result.error = result.file + ": the property list holds neither an action dictionary nor a chain of them";
  }
  return result;
}

}  // namespace korvex::cli
