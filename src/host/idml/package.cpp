#include "host/idml/package.h"

#include <libxml/parser.h>
#include <zip.h>

#include <algorithm>
#include <climits>

#include "foundation/json_node.h"

namespace korvex::idml {

namespace {

// Parts never need these: a DTD, external entities, entity substitution or the network.
constexpr int kPartOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

struct SourceFree {
  void operator()(zip_source_t* s) const { zip_source_free(s); }
};
struct FileClose {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};
struct ContextFree {
  void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};

// Names that would land outside a folder the package is unpacked into.
bool escapes(const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\') return true;
  if (name.size() >= 2 && name[1] == ':') return true;  // a drive letter
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("/\\", start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0 && end - start == 2) return true;
    start = end + 1;
  }
  return false;
}

std::string trimmed(std::string text) {
  const auto notSpace = [](unsigned char c) { return c != ' ' && c != '\t' && c != '\r' && c != '\n'; };
  text.erase(text.begin(), std::find_if(text.begin(), text.end(), notSpace));
  text.erase(std::find_if(text.rbegin(), text.rend(), notSpace).base(), text.end());
  return text;
}

}  // namespace

void Package::ZipClose::operator()(zip* archive) const {
  zip_discard(archive);
}

Package::~Package() = default;

Failure Package::failure(const std::string& part, const std::string& problem) const {
  return fail(oneLine(name_ + ": " + (part.empty() ? "" : part + ": ") + problem));
}

Result<Package> Package::open(std::string_view bytes, std::string name) {
  Package package;
  package.name_ = std::move(name);
  zip_error_t error;
  zip_error_init(&error);
  std::unique_ptr<zip_source_t, SourceFree> source(zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error));
  if (!source) {
    zip_error_fini(&error);
    return package.failure("", "not a ZIP archive");
  }
  zip_t* archive = zip_open_from_source(source.get(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
  if (!archive) {
    const std::string reason = zip_error_strerror(&error);
    zip_error_fini(&error);
    return package.failure("", "not a readable ZIP archive (" + reason + ")");
  }
  zip_error_fini(&error);
  source.release();  // the archive owns it now
  package.archive_.reset(archive);

  const zip_int64_t count = zip_get_num_entries(archive, 0);
  if (count < 0 || static_cast<std::uint64_t>(count) > kMaxEntries)
    return package.failure("", "more than " + std::to_string(kMaxEntries) + " entries");
  std::uint64_t total = 0;
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
      return package.failure("", "entry " + std::to_string(i) + " can't be read");
    const std::string entry = st.name;
    if (escapes(entry)) return package.failure(entry, "the entry's name leads out of the package");
    if ((st.valid & ZIP_STAT_SIZE) && st.size > kMaxPartBytes)
      return package.failure(entry, "inflates to " + std::to_string(st.size) + " bytes, more than the limit of " +
                                        std::to_string(kMaxPartBytes));
    total += (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
    if (total > kMaxPackageBytes)
      return package.failure(entry, "the package inflates to more than " + std::to_string(kMaxPackageBytes) +
                                        " bytes");
    package.names_.push_back(entry);
  }
  std::sort(package.names_.begin(), package.names_.end());

  if (!package.has("mimetype")) return package.failure("mimetype", "missing: not an IDML package");
  Result<std::string> mime = package.read("mimetype");
  if (!mime) return mime.failure();
  if (trimmed(*mime) != kIdmlMimeType)
    return package.failure("mimetype", "says '" + trimmed(mime->substr(0, 80)) + "', not " +
                                           std::string(kIdmlMimeType));
  return package;
}

bool Package::has(const std::string& part) const {
  return std::binary_search(names_.begin(), names_.end(), part);
}

Result<std::string> Package::read(const std::string& part) const {
  if (!has(part)) return failure(part, "missing from the package");
  std::unique_ptr<zip_file_t, FileClose> file(zip_fopen(archive_.get(), part.c_str(), 0));
  if (!file) return failure(part, std::string("can't be read (") + zip_strerror(archive_.get()) + ")");
  std::string out;
  char buffer[65536];
  for (;;) {
    const zip_int64_t n = zip_fread(file.get(), buffer, sizeof buffer);
    if (n < 0) return failure(part, std::string("can't be inflated (") + zip_file_strerror(file.get()) + ")");
    if (n == 0) break;
    // The sizes in the directory may lie; the inflated bytes don't.
    if (out.size() + static_cast<std::uint64_t>(n) > kMaxPartBytes)
      return failure(part, "inflates to more than the limit of " + std::to_string(kMaxPartBytes) + " bytes");
    out.append(buffer, static_cast<std::size_t>(n));
  }
  return out;
}

Result<XmlDocument> Package::parse(const std::string& part) const {
  Result<std::string> bytes = read(part);
  if (!bytes) return bytes.failure();
  if (bytes->size() > static_cast<std::size_t>(INT_MAX)) return failure(part, "too large to parse");
  std::unique_ptr<xmlParserCtxt, ContextFree> context(xmlNewParserCtxt());
  if (!context) return failure(part, "out of memory");
  XmlDocument doc(xmlCtxtReadMemory(context.get(), bytes->data(), static_cast<int>(bytes->size()), part.c_str(),
                                    nullptr, kPartOptions));
  if (!doc || !context->wellFormed) {
    const xmlError* e = xmlCtxtGetLastError(context.get());
    std::string problem = "not well-formed XML";
    if (e && e->message) problem += " (line " + std::to_string(e->line) + ": " + trimmed(e->message) + ")";
    return failure(part, problem);
  }
  if (doc.get()->intSubset || doc.get()->extSubset) return failure(part, "has a DTD, which IDML parts never have");
  if (!doc.root()) return failure(part, "no root element");
  return doc;
}

}  // namespace korvex::idml
