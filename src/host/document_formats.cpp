#include "host/document_formats.h"

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "foundation/json_node.h"
#include "foundation/read_file.h"
#include "host/document_file.h"
#include "host/idml/package_reader.h"

namespace korvex {

namespace {

// Enough of a file's start for every format to recognise it.
constexpr std::size_t kSniffLength = 64;

// Formats are tried in table order; the first that recognises a file's start loads it.
struct DocumentFormat {
  DocumentFileKind kind;
  bool (*recognises)(std::string_view head);
  DocumentLoadResult (*load)(std::string_view bytes, const std::string& fileName,
                             const std::string& baseFolder);
};

// The header GUID of InDesign's binary documents.
constexpr unsigned char kInDesignSignature[16] = {0x06, 0x06, 0xED, 0xF5, 0xD8, 0x1D, 0x46, 0xE5,
                                                  0xBD, 0x31, 0xEF, 0xE7, 0xFE, 0x74, 0xB7, 0x1D};

bool isInDesignBinary(std::string_view head) {
  return head.size() >= 16 && std::memcmp(head.data(), kInDesignSignature, 16) == 0;
}

// Any ZIP archive (an empty one starts with its end record): the package
// reader decides by the mimetype entry, wherever it is, whether it is IDML.
bool isIDMLPackage(std::string_view head) {
  return head.size() >= 4 && (head.substr(0, 4) == std::string_view("PK\x03\x04", 4) ||
                              head.substr(0, 4) == std::string_view("PK\x05\x06", 4));
}

// A JSON object, after an optional byte-order mark and white space.
bool isNativeDocument(std::string_view head) {
  std::size_t i = 0;
  if (head.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
  while (i < head.size() && (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n')) ++i;
  return i < head.size() && head[i] == '{';
}

DocumentLoadResult refuseInDesignBinary(std::string_view, const std::string& fileName, const std::string&) {
  return documentRefusal(
      kBinaryDocumentError, fileName,
      "an InDesign binary document; open it in InDesign and export it as IDML (File > Export "
      "> InDesign Markup)");
}

constexpr std::array kFormats = {
    DocumentFormat{DocumentFileKind::InDesignBinary, isInDesignBinary, refuseInDesignBinary},
    DocumentFormat{DocumentFileKind::IDMLPackage, isIDMLPackage, idml::readPackage},
    DocumentFormat{DocumentFileKind::Native, isNativeDocument, readNativeDocument},
};

const DocumentFormat* formatOf(std::string_view head) {
  for (const DocumentFormat& format : kFormats)
    if (format.recognises(head)) return &format;
  return nullptr;
}

}  // namespace

DocumentLoadResult documentRefusal(ErrorCode code, const std::string& fileName, const std::string& problem) {
  DocumentLoadResult r;
  r.error = code;
  r.message = oneLine(fileName + ": " + problem);
  return r;
}

DocumentFileKind sniffDocumentFile(std::string_view head) {
  const DocumentFormat* format = formatOf(head);
  return format ? format->kind : DocumentFileKind::Unknown;
}

DocumentLoadResult parseDocument(std::string_view bytes, const std::string& fileName,
                                 const std::string& baseFolder) {
  const DocumentFormat* format = formatOf(bytes.substr(0, kSniffLength));
  if (!format) return documentRefusal(kNotADocumentError, fileName, "not a Korvex document (no JSON object)");
  DocumentLoadResult r = format->load(bytes, fileName, baseFolder);
  r.kind = format->kind;
  return r;
}

DocumentLoadResult loadDocumentFile(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(path, ec).lexically_normal();
  Result<std::string> read = readRegularFile(p.string(), kMaxDocumentFileBytes);
  if (!read) {
    // The reader names the file first; the refusal names it as the user gave it.
    const std::string problem = read.message().substr(p.string().size() + 2);
    return documentRefusal(read.code() == ENOENT ? kFileNotFoundError : kFileReadError, path, problem);
  }
  const std::string& bytes = *read;
  DocumentLoadResult r = parseDocument(bytes, path, p.parent_path().string());
  if (r.document) {
    IDataBase* db = r.document->GetDocDataBase();
    // A package is where the document came from, not a file it can be saved to.
    if (r.kind == DocumentFileKind::IDMLPackage)
      db->SetFallbackSysFile(IDFile(p.string()));
    else
      db->SetSysFile(IDFile(p.string()));
    if (r.document->GetName().empty()) r.document->SetName(p.filename().string());
    db->SetModified(false);
  }
  return r;
}

}  // namespace korvex
