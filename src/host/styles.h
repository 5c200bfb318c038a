#pragma once

// Styles in the document's workspace (paragraph, character, table, cell and
// object styles), languages, and the grid preferences.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/host_object.h"
#include "host/name_index.h"

namespace korvex {

enum class StyleKind { Paragraph, Character, Table, Cell, Object };

class Style : public HostObject {
 public:
  Style(IDataBase* db, UID uid, StyleKind kind, std::string name, UID basedOn)
      : HostObject(db, uid), kind_(kind), name_(std::move(name)), basedOn_(basedOn) {}
  ClassID GetClass() const override { return ClassID::kStyle; }

  StyleKind kind() const { return kind_; }
  const std::string& name() const { return name_; }
  UID basedOn() const { return basedOn_; }
  ErrorCode setBasedOn(UID parent);
  // Style properties by name ("PointSize", "FillColor"…), kept in order.
  const std::vector<std::pair<std::string, std::string>>& properties() const { return properties_; }
  ErrorCode setProperty(const std::string& key, std::string value);

 private:
  StyleKind kind_;
  std::string name_;
  UID basedOn_;
  std::vector<std::pair<std::string, std::string>> properties_;
};

// One list of styles of one kind, with its default style at index 0.
class StyleGroup {
 public:
  explicit StyleGroup(StyleKind kind) : kind_(kind) {}
  StyleKind kind() const { return kind_; }
  const std::vector<UID>& styles() const { return styles_; }
  void add(UID style) { styles_.push_back(style); }
  void remove(UID style);
  // UID of the style with that name (exact), else kInvalidUID.
  UID FindByName(const IDataBase& db, const std::string& name) const;

 private:
  StyleKind kind_;
  std::vector<UID> styles_;
  NameIndex names_;  // style names never change
};

class Language : public HostObject {
 public:
  Language(IDataBase* db, UID uid, std::string name) : HostObject(db, uid), name_(std::move(name)) {}
  ClassID GetClass() const override { return ClassID::kLanguage; }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

struct DocumentGrid {
  // The grid's division: the length the gridlines' spacing is counted in.
  PMReal division = 72;
  PMReal horizontalSpacing = 72;
  int horizontalSubdivisions = 8;
  PMReal verticalSpacing = 72;
  int verticalSubdivisions = 8;
  bool inBack = true;
  friend bool operator==(const DocumentGrid&, const DocumentGrid&) = default;
};

enum class BaselineRelativeTo { TopOfPage, TopMargin };

struct BaselineGrid {
  PMReal start = 36;
  PMReal increment = 12;
  BaselineRelativeTo relativeTo = BaselineRelativeTo::TopOfPage;
  PMReal viewThreshold = 75;
  std::string color = "Light Blue";
  friend bool operator==(const BaselineGrid&, const BaselineGrid&) = default;
};

// An element of the document's XML structure.
struct XMLElement {
  std::string tag;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string content;
  std::vector<XMLElement> children;
  friend bool operator==(const XMLElement&, const XMLElement&) = default;
};

}  // namespace korvex
