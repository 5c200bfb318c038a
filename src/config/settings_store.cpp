#include "config/settings_store.h"

#include <cerrno>
#include <memory>

#include "foundation/dictionary_accessors.h"
#include "foundation/files.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/property_list.h"
#include "foundation/workspace.h"

namespace korvex {

namespace {

std::unique_ptr<KorvexSettings>& sharedSettings() {
  static std::unique_ptr<KorvexSettings> settings;
  return settings;
}

}  // namespace

std::string settingsFilePath() {
  return stringByAppendingPathComponents(createDir(applicationSupportDirectory(), "Tamrisk"), "Korvex",
                                         "plist");
}

KorvexSettings::KorvexSettings() : KorvexSettings(settingsFilePath()) {}

KorvexSettings::KorvexSettings(std::string path) : _path(std::move(path)) {
  load();
}

void KorvexSettings::load() {
  // Only a dictionary root is usable; any other root (or no readable list)
  // starts from empty settings, so every reader gets its default.
  _loadProblem.reset();
  Result<Value> root = loadPropertyListFile(_path);
  DictPtr dict = root ? root->dictionary() : nullptr;
  if (!root && root.code() != ENOENT)
    _loadProblem = root.message();
  else if (root && !dict)
    _loadProblem = _path + ": the property list's root is not a dictionary";
  setDict(dict);
}

void KorvexSettings::setDict(DictPtr dict) {
  _dict = dict ? std::move(dict) : Dictionary::make();
}

DictPtr KorvexSettings::options() {
  return dictForKey(_dict, "Options", true);
}
DictPtr KorvexSettings::pdf() {
  return dictForKey(_dict, "PDF", true);
}
DictPtr KorvexSettings::layerSeparation() {
  return dictForKey(_dict, "LayerSeparation", true);
}
DictPtr KorvexSettings::logos() {
  return dictForKey(_dict, "Logos", true);
}
DictPtr KorvexSettings::print() {
  return dictForKey(_dict, "Print", true);
}

std::optional<std::string> KorvexSettings::hotFolder() const {
  Value folder = _dict->get("Hotfolder");
  if (!folder.isString()) return std::nullopt;
  return *folder.string();
}

std::optional<std::string> KorvexSettings::hotFolderQueue() const {
  Value queue = _dict->get("HotfolderQueue");
  if (!queue.isString() || queue.string()->empty()) return std::nullopt;
  return *queue.string();
}

std::error_code KorvexSettings::save() const {
  return writePropertyList(_path, Value(_dict));
}

bool KorvexSettings::open() const {
  return openDocWithPath(_path);
}

KorvexSettings& loadPrefs() {
  sharedSettings() = std::make_unique<KorvexSettings>();
  return *sharedSettings();
}

KorvexSettings* prefs() {
  return sharedSettings().get();
}

std::error_code savePrefs() {
  KorvexSettings* settings = prefs();
  if (!settings) return std::make_error_code(std::errc::operation_not_permitted);
  std::error_code error = settings->save();
  // The user's confirmed choices would be lost silently otherwise.
  if (error) logError(error, settings->path());
  return error;
}

bool openPrefs() {
  KorvexSettings* settings = prefs();
  return settings && settings->open();
}

}  // namespace korvex
