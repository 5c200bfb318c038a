#pragma once

// The user's settings: one property-list dictionary of sections, loaded once
// at startup and written back when the user confirms the batch dialog. There
// is no schema; every reader supplies its own default.

#include <optional>
#include <string>
#include <system_error>

#include "foundation/value.h"

namespace korvex {

class KorvexSettings {
 public:
  // Loads the settings file of the user ("Tamrisk/Korvex.plist" in the
  // application-support folder), creating its folder when missing.
  KorvexSettings();
  // Loads the settings from the given file (its folder is not created).
  explicit KorvexSettings(std::string path);

  // The sections, created empty (and stored) when missing; null when the key
  // holds something that is not a dictionary, which is then left alone.
  DictPtr options();
  DictPtr pdf();
  DictPtr layerSeparation();
  DictPtr logos();
  DictPtr print();
  // The hot folder's path under "Hotfolder", when it is a string.
  std::optional<std::string> hotFolder() const;
  // The Redis address under "HotfolderQueue", when it is a non-empty string:
  // the hot folder then queues its documents for workers instead of running them.
  std::optional<std::string> hotFolderQueue() const;

  // Writes the whole dictionary to the path atomically: on failure the file
  // on disk is untouched and the in-memory settings stay in use.
  std::error_code save() const;
  // Opens the settings file in its viewer application.
  bool open() const;

  // Why the file on disk was not taken ("PATH: PROBLEM"): a file that is there
  // but unreadable, not a property list, or without a dictionary root. None
  // when it was taken or there is no file (the defaults are then expected).
  const std::optional<std::string>& loadProblem() const { return _loadProblem; }

  const std::string& path() const { return _path; }
  void setPath(std::string path) { _path = std::move(path); }
  const DictPtr& dict() const { return _dict; }
  // A null dictionary is replaced by an empty one, so dict() is never null.
  void setDict(DictPtr dict);

 private:
  void load();

  std::string _path;
  DictPtr _dict;
  std::optional<std::string> _loadProblem;
};

// "<application support>/Tamrisk/Korvex.plist".
std::string settingsFilePath();

// The process-wide settings. loadPrefs creates (or re-creates) them from the
// user's file and answers them; prefs() is null before the first loadPrefs.
KorvexSettings& loadPrefs();
KorvexSettings* prefs();
// Saves the process-wide settings; a failure is logged with the file's path
// and answered. Without loaded settings: std::errc::operation_not_permitted.
std::error_code savePrefs();
// Opens the settings file in its viewer application; false without settings.
bool openPrefs();

}  // namespace korvex
