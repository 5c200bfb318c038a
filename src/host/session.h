#pragma once

// The session: the application with its ordered list of open documents, the
// front document and its logical windows, the stock colours, the session-wide
// languages and the registry of services (export, print, preflight, scripts,
// find/change) that other parts of the host install.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/document.h"

namespace korvex {

struct StockColor {
  std::string name;
  std::vector<double> cmyk;
};
// The numbered stock colours every document can ask for.
const std::vector<StockColor>& stockColors();

// A service installed in the session; concrete services derive from it.
class Service {
 public:
  virtual ~Service() = default;
  virtual std::string name() const = 0;
};

enum class ServiceKind {
  ExportProvider,
  Print,
  Preflight,
  ScriptRunner,
  FindChange,
  Library,
  Responder,
  Interaction
};

class ServiceRegistry {
 public:
  void add(ServiceKind kind, std::unique_ptr<Service> service);
  // Services of a kind in the order they were added.
  std::vector<Service*> services(ServiceKind kind) const;
  Service* find(ServiceKind kind, const std::string& name) const;
  void clear() { services_.clear(); }

 private:
  std::map<ServiceKind, std::vector<std::unique_ptr<Service>>> services_;
};

struct DocumentWindow {
  int id = 0;
  IDocument* document = nullptr;
  // How often the window's views were redrawn: headless windows have no
  // pixels, but callers can see that a redraw was asked for.
  int redraws = 0;
};

class Application {
 public:
  Application() = default;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;
  ~Application();

  int GetDocumentCount() const { return static_cast<int>(documents_.size()); }
  IDocument* GetNthDocument(int index) const;
  IDocument* frontDocument() const { return front_; }
  bool isOpen(const IDocument* document) const;

  // A new untitled document ("Untitled-1", …), made the front document.
  IDocument* newDocument(const DocumentSetup& setup, bool withWindow);
  // Opens a native document; error codes as the file loader gives them, the
  // reason in errorMessage. Opening an already open file gives that document.
  ErrorCode openDocument(const std::string& path, bool withWindow, IDocument** opened);
  // Takes over a document built elsewhere (a loader, a converter).
  IDocument* adoptDocument(std::unique_ptr<IDocument> document, bool withWindow);
  const std::string& errorMessage() const { return errorMessage_; }

  // Saves set the global error code as well as returning it; a failed
  // save's reason, where it has one, is in errorMessage.
  ErrorCode saveDocument(IDocument* document);
  ErrorCode saveDocumentAs(IDocument* document, const std::string& path);
  ErrorCode saveDocumentCopy(IDocument* document, const std::string& path);
  // Closes without saving; the document and its database are gone afterwards.
  ErrorCode closeDocument(IDocument* document);

  // Logical windows.
  int openWindow(IDocument* document);
  ErrorCode closeWindows(IDocument* document);
  int windowCount(const IDocument* document) const;
  const std::vector<DocumentWindow>& windows() const { return windows_; }
  // Brings the document's first window to the front; false without a window.
  bool bringToFront(IDocument* document);
  // Redraws every view of the document; answers how many windows it has.
  int redrawViews(const IDocument* document);

 private:
  ErrorCode finishSave(ErrorCode code);
  std::vector<std::unique_ptr<IDocument>> documents_;
  std::vector<DocumentWindow> windows_;
  IDocument* front_ = nullptr;
  int nextWindowID_ = 1;
  int untitledCount_ = 0;
  std::string errorMessage_;
};

// Responder services: who is told before and after an export.
using ResponderServiceID = int;
inline constexpr ResponderServiceID kBeforeExportSignalResponderService = 1;
inline constexpr ResponderServiceID kAfterExportSignalResponderService = 2;

struct ResponderSignalData {
  IDocument* document = nullptr;
  IDFile file;
  std::string formatName;
  int uiFlags = 0;
};
using Responder = std::function<void(const ResponderSignalData&)>;

class ResponderRegistry {
 public:
  // Returns an id for remove.
  int add(ResponderServiceID service, Responder responder);
  void remove(int id);
  // Calls the responders of the service in the order they were added;
  // answers how many there were.
  int signal(ResponderServiceID service, const ResponderSignalData& data) const;

 private:
  struct Entry {
    int id;
    ResponderServiceID service;
    Responder responder;
  };
  std::vector<Entry> entries_;
  int nextID_ = 1;
};

class Session {
 public:
  Application* application() { return &application_; }
  ServiceRegistry& services() { return services_; }
  ResponderRegistry& responders() { return responders_; }
  // Session-wide languages a document can take over.
  const std::vector<std::string>& languages() const { return languages_; }
  void addLanguage(const std::string& name);

 private:
  Application application_;
  ServiceRegistry services_;
  ResponderRegistry responders_;
  std::vector<std::string> languages_{
      "Neutral", "English: USA", "English: UK",        "German: 2006 Reform",      "French",
      "Italian", "Spanish",      "Dutch: 2005 Reform", "German: Swiss 2006 Reform"};
};

// The process's session; replaced (everything closed) by resetExecutionContextSession.
Session* GetExecutionContextSession();
void resetExecutionContextSession();

namespace ErrorUtils {
ErrorCode PMGetGlobalErrorCode();
void PMSetGlobalErrorCode(ErrorCode code);
}  // namespace ErrorUtils

}  // namespace korvex
