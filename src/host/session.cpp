#include "host/session.h"

#include <algorithm>
#include <filesystem>

#include "host/document_file.h"

namespace korvex {

const std::vector<StockColor>& stockColors() {
  static const std::vector<StockColor> colors = {
      {"Cyan", {1, 0, 0, 0}}, {"Magenta", {0, 1, 0, 0}},     {"Yellow", {0, 0, 1, 0}},
      {"Red", {0, 1, 1, 0}},  {"Green", {0.75, 0.05, 1, 0}}, {"Blue", {1, 0.9, 0.1, 0}},
  };
  return colors;
}

void ServiceRegistry::add(ServiceKind kind, std::unique_ptr<Service> service) {
  if (service) services_[kind].push_back(std::move(service));
}

std::vector<Service*> ServiceRegistry::services(ServiceKind kind) const {
  std::vector<Service*> result;
  if (auto it = services_.find(kind); it != services_.end())
    for (const auto& s : it->second) result.push_back(s.get());
  return result;
}

Service* ServiceRegistry::find(ServiceKind kind, const std::string& name) const {
  for (Service* s : services(kind))
    if (s->name() == name) return s;
  return nullptr;
}

Application::~Application() {
  windows_.clear();
  documents_.clear();
}

IDocument* Application::GetNthDocument(int index) const {
  return index >= 0 && index < GetDocumentCount() ? documents_[static_cast<std::size_t>(index)].get()
                                                  : nullptr;
}

bool Application::isOpen(const IDocument* document) const {
  return document && std::any_of(documents_.begin(), documents_.end(),
                                 [&](const auto& d) { return d.get() == document; });
}

IDocument* Application::adoptDocument(std::unique_ptr<IDocument> document, bool withWindow) {
  if (!document) return nullptr;
  IDocument* raw = document.get();
  documents_.push_back(std::move(document));
  front_ = raw;
  if (withWindow) openWindow(raw);
  return raw;
}

IDocument* Application::newDocument(const DocumentSetup& setup, bool withWindow) {
  auto doc = IDocument::createNew(setup);
  if (!doc) return nullptr;
  doc->SetName("Untitled-" + std::to_string(++untitledCount_));
  return adoptDocument(std::move(doc), withWindow);
}

ErrorCode Application::openDocument(const std::string& path, bool withWindow, IDocument** opened) {
  if (opened) *opened = nullptr;
  errorMessage_.clear();
  std::error_code ec;
  const std::string absolute = std::filesystem::absolute(path, ec).lexically_normal().string();
  for (const auto& d : documents_)
    if (d->GetDocDataBase()->GetSysFile().path() == absolute) {
      front_ = d.get();
      if (withWindow && windowCount(front_) == 0) openWindow(front_);
      if (opened) *opened = front_;
      return kSuccess;
    }
  DocumentLoadResult result = loadDocumentFile(absolute);
  if (result.error != kSuccess) {
    errorMessage_ = result.message;
    return result.error;
  }
  // An imported package has no file of its own: it is untitled, as a new document is.
  if (result.document->GetDocDataBase()->GetSysFile().empty())
    result.document->SetName("Untitled-" + std::to_string(++untitledCount_));
  IDocument* doc = adoptDocument(std::move(result.document), withWindow);
  if (opened) *opened = doc;
  return kSuccess;
}

ErrorCode Application::finishSave(ErrorCode code) {
  ErrorUtils::PMSetGlobalErrorCode(code);
  return code;
}

ErrorCode Application::saveDocument(IDocument* document) {
  errorMessage_.clear();
  if (!isOpen(document)) return finishSave(kInvalidParameterError);
  const IDFile& file = document->GetDocDataBase()->GetSysFile();
  if (file.empty()) return finishSave(kNoFileError);
  const ErrorCode e = saveDocumentFile(*document, file.path(), &errorMessage_);
  if (e == kSuccess) document->GetDocDataBase()->SetModified(false);
  return finishSave(e);
}

ErrorCode Application::saveDocumentAs(IDocument* document, const std::string& path) {
  errorMessage_.clear();
  if (!isOpen(document) || path.empty()) return finishSave(kInvalidParameterError);
  std::error_code ec;
  const std::string absolute = std::filesystem::absolute(path, ec).lexically_normal().string();
  const ErrorCode e = saveDocumentFile(*document, absolute, &errorMessage_);
  if (e == kSuccess) {
    IDataBase* db = document->GetDocDataBase();
    if (!db->GetSysFile().empty()) db->SetFallbackSysFile(db->GetSysFile());
    db->SetSysFile(IDFile(absolute));
    document->SetName(std::filesystem::path(absolute).filename().string());
    db->SetModified(false);
  }
  return finishSave(e);
}

ErrorCode Application::saveDocumentCopy(IDocument* document, const std::string& path) {
  errorMessage_.clear();
  if (!isOpen(document) || path.empty()) return finishSave(kInvalidParameterError);
  return finishSave(saveDocumentFile(*document, path, &errorMessage_));
}

ErrorCode Application::closeDocument(IDocument* document) {
  auto it =
      std::find_if(documents_.begin(), documents_.end(), [&](const auto& d) { return d.get() == document; });
  if (it == documents_.end()) return kInvalidParameterError;
  closeWindows(document);
  documents_.erase(it);
  if (front_ == document) front_ = documents_.empty() ? nullptr : documents_.back().get();
  return kSuccess;
}

int Application::openWindow(IDocument* document) {
  if (!isOpen(document)) return 0;
  windows_.push_back({nextWindowID_, document});
  front_ = document;
  return nextWindowID_++;
}

ErrorCode Application::closeWindows(IDocument* document) {
  if (!isOpen(document)) return kInvalidParameterError;
  std::erase_if(windows_, [&](const DocumentWindow& w) { return w.document == document; });
  return kSuccess;
}

int Application::windowCount(const IDocument* document) const {
  return static_cast<int>(std::count_if(windows_.begin(), windows_.end(),
                                        [&](const DocumentWindow& w) { return w.document == document; }));
}

int Application::redrawViews(const IDocument* document) {
  int count = 0;
  for (DocumentWindow& w : windows_) {
    if (w.document != document) continue;
    ++w.redraws;
    ++count;
  }
  return count;
}

int ResponderRegistry::add(ResponderServiceID service, Responder responder) {
  entries_.push_back({nextID_, service, std::move(responder)});
  return nextID_++;
}

void ResponderRegistry::remove(int id) {
  std::erase_if(entries_, [id](const Entry& e) { return e.id == id; });
}

int ResponderRegistry::signal(ResponderServiceID service, const ResponderSignalData& data) const {
  int count = 0;
  // A responder may add or remove responders: walk a copy.
  std::vector<Entry> entries = entries_;
  for (const Entry& e : entries) {
    if (e.service != service || !e.responder) continue;
    e.responder(data);
    ++count;
  }
  return count;
}

bool Application::bringToFront(IDocument* document) {
  auto it = std::find_if(windows_.begin(), windows_.end(),
                         [&](const DocumentWindow& w) { return w.document == document; });
  if (it == windows_.end()) return false;
  // The front window is the last one.
  DocumentWindow w = *it;
  windows_.erase(it);
  windows_.push_back(w);
  front_ = document;
  return true;
}

void Session::addLanguage(const std::string& name) {
  if (!name.empty() && std::find(languages_.begin(), languages_.end(), name) == languages_.end())
    languages_.push_back(name);
}

namespace {
std::unique_ptr<Session>& sessionSlot() {
  static std::unique_ptr<Session> session = std::make_unique<Session>();
  return session;
}
ErrorCode gGlobalError = kSuccess;
}  // namespace

Session* GetExecutionContextSession() {
  return sessionSlot().get();
}
void resetExecutionContextSession() {
  sessionSlot() = std::make_unique<Session>();
  gGlobalError = kSuccess;
}

ErrorCode ErrorUtils::PMGetGlobalErrorCode() {
  return gGlobalError;
}
void ErrorUtils::PMSetGlobalErrorCode(ErrorCode code) {
  gGlobalError = code;
}

}  // namespace korvex
