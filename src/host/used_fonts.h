#pragma once

// The fonts a document uses, and where they are on this machine (fontconfig).

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/host_object.h"

namespace korvex {

class IDocument;

// A font family the document knows by name; its UID is what font lists hand out.
class FontFamily : public HostObject {
 public:
  FontFamily(IDataBase* db, UID uid, std::string name) : HostObject(db, uid), name_(std::move(name)) {}
  ClassID GetClass() const override { return ClassID::kFontFamily; }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

struct UsedFont {
  UID uid = kInvalidUID;
  std::string family;
  std::set<std::string> styles;
};

class IUsedFontList {
 public:
  // Collects the families and styles used in the document's stories and styles.
  explicit IUsedFontList(const IDocument& document);
  const std::vector<UsedFont>& fonts() const { return fonts_; }
  int GetFontCount() const { return static_cast<int>(fonts_.size()); }
  const UsedFont* font(UID uid) const;
  // Used families and styles that fontconfig cannot find ("Family Style" each).
  std::vector<std::string> missingFonts() const;

 private:
  std::vector<UsedFont> fonts_;
};

// Path of the font file of the face, or none when fontconfig has no such face.
std::optional<std::string> fontFilePath(const std::string& family, const std::string& style);
bool fontIsInstalled(const std::string& family, const std::string& style);

}  // namespace korvex
