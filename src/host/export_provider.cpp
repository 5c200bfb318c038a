#include "host/export_provider.h"

#include <algorithm>
#include <cctype>

#include "host/idml/package_writer.h"

namespace korvex {

IExportProvider* findExportProvider(Session& session, const IDocument& document, const std::string& format) {
  for (Service* s : session.services().services(ServiceKind::ExportProvider))
    if (auto* provider = dynamic_cast<IExportProvider*>(s); provider && provider->CanExportThisFormat(document, format))
      return provider;
  return nullptr;
}

ErrorCode IdmlExportProvider::exportDocument(const IDocument& document, const std::string& path, std::string* message) {
  if (Status written = idml::writePackage(document, path); !written) {
    if (message) *message = written.message();
    return kFileWriteError;
  }
  return kSuccess;
}

IdmlExportProvider& idmlExportProvider(Session& session) {
  if (auto* found = dynamic_cast<IdmlExportProvider*>(session.services().find(ServiceKind::ExportProvider, kIdmlFormatName)))
    return *found;
  auto provider = std::make_unique<IdmlExportProvider>();
  IdmlExportProvider& ref = *provider;
  session.services().add(ServiceKind::ExportProvider, std::move(provider));
  return ref;
}

bool isIdmlPath(const std::string& path) {
  if (path.size() < 5) return false;
  std::string ext = path.substr(path.size() - 5);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".idml";
}

}  // namespace korvex
