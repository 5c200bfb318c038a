#pragma once

// An IDML package: a ZIP archive of XML parts (libzip over the bytes in
// memory, libxml2 for the parts). Opening checks the archive as a whole: a
// ZIP, a mimetype entry naming IDML, no entry whose name leaves the package
// and none larger than the limits; parts are read and parsed on demand,
// without DTDs, external entities or network access.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/result.h"
#include "foundation/xml.h"

struct zip;

namespace korvex::idml {

inline constexpr std::string_view kIdmlMimeType = "application/vnd.adobe.indesign-idml-package";
// No real part comes near these; a ZIP bomb does.
inline constexpr std::uint64_t kMaxPartBytes = 256u * 1024u * 1024u;
inline constexpr std::uint64_t kMaxPackageBytes = 1024u * 1024u * 1024u;
inline constexpr std::uint64_t kMaxEntries = 100000;

class Package {
 public:
  // bytes must outlive the package. name is how messages call the package.
  static Result<Package> open(std::string_view bytes, std::string name);

  Package(Package&&) noexcept = default;
  Package& operator=(Package&&) noexcept = default;
  ~Package();

  bool has(const std::string& part) const;
  // The part's bytes; a failure names the package, the part and the problem.
  Result<std::string> read(const std::string& part) const;
  // The part as XML: well-formed, no DTD.
  Result<XmlDocument> parse(const std::string& part) const;
  // "PACKAGE: PART: PROBLEM"
  Failure failure(const std::string& part, const std::string& problem) const;
  const std::string& name() const { return name_; }
  // The archive, for copying entries as they are stored.
  zip* archive() const { return archive_.get(); }

 private:
  struct ZipClose {
    void operator()(zip* archive) const;
  };
  Package() = default;

  std::unique_ptr<zip, ZipClose> archive_;
  std::vector<std::string> names_;  // sorted
  std::string name_;
};

}  // namespace korvex::idml
