#pragma once

// The user's own styles of one kind (PDF export styles, print styles,
// preflight profiles): one JSON file each in a folder of the host's data
// folder, the file name without ".json" being the style's name.

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/result.h"

namespace korvex {

// A style file that was not taken, and why.
struct StyleRefusal {
  std::string file;    // its path
  std::string reason;  // one line
  std::string text() const { return file + ": " + reason; }
};

template <class Style>
struct LoadedStyles {
  std::vector<Style> styles;  // in file-name order
  std::vector<StyleRefusal> refusals;
};

class UserStyleStore {
 public:
  // Names beginning with "[" belong to the built-ins of every kind; reservedNames
  // are the kind's other built-in names.
  explicit UserStyleStore(std::string folder, std::vector<std::string> reservedNames = {});

  const std::string& folder() const { return folder_; }

  // Fails (kInvalidParameterError) with the reason when the name can't be a
  // user style's: empty, hidden, a path, control characters, too long, or a
  // built-in's.
  Status checkName(std::string_view name) const;

  // Every "*.json" file of the folder by name in byte order, read by read(text,
  // name). Hidden files are not styles and are passed over; every other file
  // that is not taken is a refusal. A missing folder has no styles.
  template <class Style>
  LoadedStyles<Style> load(
      const std::function<Result<Style>(const std::string& text, const std::string& name)>& read) const {
    LoadedStyles<Style> loaded;
    for (StyleFile& file : files()) {
      Result<Style> style = file.text ? read(*file.text, file.name) : Result<Style>(file.text.failure());
      if (style)
        loaded.styles.push_back(std::move(*style));
      else
        loaded.refusals.push_back({std::move(file.path), style.message()});
    }
    return loaded;
  }

  // Writes json as <folder>/<name>.json atomically, creating the folder. A
  // refused name fails with kInvalidParameterError, a failed write with
  // kFileWriteError; either leaves an older file untouched.
  Status save(std::string_view name, std::string_view json) const;

 private:
  struct StyleFile {
    std::string path;
    std::string name;
    Result<std::string> text;  // or why the file can't be a style
  };
  std::vector<StyleFile> files() const;

  std::string folder_;
  std::vector<std::string> reservedNames_;
};

}  // namespace korvex
