#include "config/action_files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "config/bundle_resources.h"
#include "config/open_document.h"
#include "foundation/folders.h"
#include "foundation/property_list.h"

namespace korvex {

namespace fs = std::filesystem;

namespace {

bool hasExtension(std::string_view fileName, std::string_view lowerCaseExtension) {
  std::string_view extension = fs::path(fileName).extension().native();
  if (extension.size() != lowerCaseExtension.size() + 1) return false;
  return std::equal(extension.begin() + 1, extension.end(), lowerCaseExtension.begin(),
                    [](char c, char lower) { return std::tolower(static_cast<unsigned char>(c)) == lower; });
}

Value readActionFile(std::string_view name) {
  if (name.empty()) return {};
  std::optional<Value> root = readPropertyListFile(actionFilePath(name));
  return root ? *root : Value();
}

}  // namespace

std::string actionsPath() {
  fs::path folder = fs::path(applicationSupportDirectory()) / "Korvex";
  std::error_code ignored;
  fs::create_directories(folder, ignored);
  return folder.string();
}

std::string actionFilePath(std::string_view name) {
  std::string folder = actionsPath();
  if (name.empty()) return folder;
  return (fs::path(folder) / (std::string(name) + ".plist")).string();
}

void setupActionsDir() {
  setupActionsDir((fs::path(configBundleResourcesFolder()) / "actions").string());
}

void setupActionsDir(const std::string& defaultsFolder) {
  fs::path folder = actionsPath();
  for (std::string_view name : kDefaultActionFiles) {
    fs::path source = fs::path(defaultsFolder) / name;
    fs::path target = folder / name;
    std::error_code error;
    if (!fs::is_regular_file(source, error)) continue;
    // symlink_status: a dangling link the user left there still counts as theirs.
    if (fs::exists(fs::symlink_status(target, error))) continue;
    // A failed copy leaves the folder without that default, silently.
    fs::copy_file(source, target, fs::copy_options::skip_existing, error);
  }
}

ArrayPtr actionsArray(std::string_view fileName) {
  if (fileName.empty()) return nullptr;
  std::string path = (fs::path(actionsPath()) / fileName).string();
  if (hasExtension(fileName, "plist")) {
    std::optional<Value> root = readPropertyListFile(path);
    return root ? root->array() : nullptr;
  }
  if (hasExtension(fileName, "jsx")) {
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
  return openDocumentWithDefaultApplication(actionFilePath(name));
}

}  // namespace korvex
