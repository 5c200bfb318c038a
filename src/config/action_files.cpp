#include "config/action_files.h"

#include "foundation/bundle.h"
#include "foundation/files.h"
#include "foundation/folders.h"
#include "foundation/paths.h"
#include "foundation/property_list.h"
#include "foundation/workspace.h"

namespace korvex {

namespace {

Value readActionFile(std::string_view name) {
  if (name.empty()) return {};
  std::optional<Value> root = readPropertyListFile(actionFilePath(name));
  return root ? *root : Value();
}

}  // namespace

std::string actionsPath() {
  return createDir(applicationSupportDirectory(), "Korvex");
}

std::string actionFilePath(std::string_view name) {
  return stringByAppendingPathComponents(actionsPath(), name, "plist");
}

void setupActionsDir() {
  setupActionsDir(stringByAppendingPathComponent(bundleResourcesPath(), "actions"));
}

void setupActionsDir(const std::string& defaultsFolder) {
  std::string folder = actionsPath();
  for (std::string_view name : kDefaultActionFiles) {
    std::string source = stringByAppendingPathComponent(defaultsFolder, name);
    if (!pathIsFile(source) || pathExists(stringByAppendingPathComponent(folder, name))) continue;
    // A failed copy leaves the folder without that default; copyFile logs why.
    copyFile(source, folder);
  }
}

ArrayPtr actionsArray(std::string_view fileName) {
  if (fileName.empty()) return nullptr;
  std::string path = stringByAppendingPathComponent(actionsPath(), fileName);
  if (pathEndsWith(fileName, "plist")) {
    std::optional<Value> root = readPropertyListFile(path);
    return root ? root->array() : nullptr;
  }
  if (pathEndsWith(fileName, "jsx")) {
    DictPtr script = Dictionary::make();
    script->set("Action", "JSX");
    script->set("Path", path);
    return Array::make({Value(script)});
  }
  return nullptr;
}

ArrayPtr actionsForName(std::string_view name) {
  ArrayPtr chain = Array::make();
  Value root = readActionFile(name);
  if (DictPtr single = root.dictionary()) {
    chain->append(single);
  } else if (ArrayPtr all = root.array()) {
    for (const Value& element : *all) chain->append(element);
  }
  return chain;
}

DictPtr dictForAction(std::string_view name, DictPtr defaults) {
  Value root = readActionFile(name);
  if (DictPtr single = root.dictionary()) return single;
  ArrayPtr all = root.array();
  if (!all || all->empty()) return defaults;
  if (DictPtr first = all->at(0).dictionary()) return first;
  return defaults;
}

bool openAction(std::string_view name) {
  return openDocWithPath(actionFilePath(name));
}

}  // namespace korvex
