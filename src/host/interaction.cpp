#include "host/interaction.h"

#include <algorithm>
#include <filesystem>

#include "host/snippet.h"

namespace korvex {

namespace {

// Interaction state of one session: kept as a service of the session so that
// it ends with it.
struct InteractionState : Service {
  std::string name() const override { return "Interaction"; }
  std::unique_ptr<ActiveSelection> selection;
  Clipboard clipboard;
  PlaceGun gun;
  ActionManager actions;
};

InteractionState& state() {
  ServiceRegistry& registry = GetExecutionContextSession()->services();
  for (Service* service : registry.services(ServiceKind::Interaction))
    if (auto* s = dynamic_cast<InteractionState*>(service)) return *s;
  auto created = std::make_unique<InteractionState>();
  InteractionState& s = *created;
  registry.add(ServiceKind::Interaction, std::move(created));
  return s;
}

bool isPageItem(const IDataBase* db, UID uid) {
  auto* item = db->instantiate<PageItem>(uid);
  if (!item) return false;
  const ClassID c = item->GetClass();
  return c == ClassID::kGroupItem || c == ClassID::kSplineItem || c == ClassID::kGraphicLine;
}

}  // namespace

std::optional<ActiveContext> activeContext() {
  IDocument* front = GetExecutionContextSession()->application()->frontDocument();
  if (!front) return std::nullopt;
  return ActiveContext{front};
}

void ActiveSelection::deselectAll() {
  items_.clear();
  text_.reset();
}

ErrorCode ActiveSelection::select(const UIDList& items, SelectionScroll scroll) {
  IDataBase* db = document_->GetDocDataBase();
  if (items.GetDataBase() != db) return kInvalidParameterError;
  for (UID uid : items)
    if (!isPageItem(db, uid)) return kObjectNotFoundError;
  text_.reset();
  for (UID uid : items)
    if (std::find(items_.begin(), items_.end(), uid) == items_.end()) items_.push_back(uid);
  scroll_ = scroll;
  return kSuccess;
}

UIDList ActiveSelection::selectedItems() const {
  IDataBase* db = document_->GetDocDataBase();
  UIDList list(db);
  for (UID uid : items_)
    if (isPageItem(db, uid)) list.Append(uid);
  return list;
}

ErrorCode ActiveSelection::selectText(UID story, int start, int end) {
  ITextModel* model = document_->story(story);
  if (!model) return kObjectNotFoundError;
  // The end-of-story mark can't be selected.
  const int last = std::max(0, model->TotalLength() - 1);
  start = std::clamp(start, 0, last);
  end = std::clamp(end, start, last);
  items_.clear();
  text_ = TextSelection{story, start, end};
  return kSuccess;
}

std::optional<TextSelection> ActiveSelection::textSelection() const {
  if (text_ && !document_->story(text_->story)) return std::nullopt;
  return text_;
}

ActiveSelection* activeSelection() {
  InteractionState& s = state();
  const auto context = activeContext();
  if (!context) {
    s.selection.reset();
    return nullptr;
  }
  if (!s.selection || s.selection->document() != context->document)
    s.selection = std::make_unique<ActiveSelection>(context->document);
  return s.selection.get();
}

Clipboard* activeClipboard() {
  return &state().clipboard;
}

namespace ScrapSuite {

int CanCut() {
  ActiveSelection* selection = activeSelection();
  return selection && !selection->selectedItems().empty() ? 1 : 0;
}

int Cut(Clipboard& clipboard) {
  ActiveSelection* selection = activeSelection();
  if (!selection) return 0;
  const UIDList items = selection->selectedItems();
  if (items.empty()) return 0;
  std::string snippet;
  if (exportSnippet(*selection->document(), items, snippet) != kSuccess) return 0;
  if (selection->document()->deleteItems(items) != kSuccess) return 0;
  clipboard.setContent(std::move(snippet));
  selection->deselectAll();
  return 1;
}

int CanPaste(const Clipboard& clipboard) {
  return !clipboard.empty() && activeContext() ? 1 : 0;
}

int Paste(Clipboard& clipboard, const ActiveContext& context) {
  if (clipboard.empty() || !context.document) return 0;
  IDocument& doc = *context.document;
  ISpread* spread = doc.spreadAt(0);
  if (!spread) return 0;
  UID layer = doc.activeLayer();
  // Page items never go onto the pages layer; the first content layer stands in.
  const IDocumentLayer* active = doc.GetDocDataBase()->instantiate<IDocumentLayer>(layer);
  if (!active || active->isPagesLayer())
    layer = doc.GetLayerCount() > 1 ? doc.layerAt(1)->GetUID() : kInvalidUID;
  ISpreadLayer* target = spread->QueryLayer(layer);
  if (!target) return 0;
  UIDList created;
  if (importSnippet(doc, target->GetUID(), clipboard.content(), &created) != kSuccess) return 0;
  if (ActiveSelection* selection = activeSelection()) {
    selection->deselectAll();
    selection->select(created, SelectionScroll::None);
  }
  return 1;
}

}  // namespace ScrapSuite

void PlaceGun::load(const UIDList& items, bool replace) {
  if (replace || items.GetDataBase() != items_.GetDataBase()) items_ = UIDList(items.GetDataBase());
  for (UID uid : items) items_.Append(uid);
}

PlaceGun* placeGun() {
  return &state().gun;
}

void ActionManager::registerAction(int actionID, Action action) {
  actions_[actionID] = std::move(action);
}

bool ActionManager::performAction(int actionID, const ActiveContext& context, PMPoint, int) {
  const auto it = actions_.find(actionID);
  if (it == actions_.end() || !it->second) return false;
  it->second(context);
  return true;
}

ActionManager* actionManager() {
  return &state().actions;
}

std::string ILibrary::GetName() const {
  return std::filesystem::path(path_).filename().string();
}

bool LibraryService::openLibrary(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  for (const auto& library : libraries_)
    if (library->path() == path) return true;
  libraries_.push_back(std::make_unique<ILibrary>(path));
  return true;
}

bool LibraryService::closeLibrary(const std::string& path) {
  const auto it = std::find_if(libraries_.begin(), libraries_.end(),
                               [&](const auto& library) { return library->path() == path; });
  if (it == libraries_.end()) return false;
  libraries_.erase(it);
  return true;
}

LibraryService* libraryService() {
  for (Service* service : GetExecutionContextSession()->services().services(ServiceKind::Library))
    if (auto* libraries = dynamic_cast<LibraryService*>(service)) return libraries;
  return nullptr;
}

LibraryService* installLibraryService() {
  if (LibraryService* existing = libraryService()) return existing;
  auto service = std::make_unique<LibraryService>();
  LibraryService* raw = service.get();
  GetExecutionContextSession()->services().add(ServiceKind::Library, std::move(service));
  return raw;
}

}  // namespace korvex
