#include "host/output/composer_layout.h"

#include "host/database.h"
#include "host/document.h"

namespace korvex {

namespace {
// A batch works on a handful of documents at a time.
constexpr std::size_t kCachedDocuments = 4;
}  // namespace

Composer* ComposerLayout::composerFor(const IDataBase& database) {
  const IDocument* document = database.document();
  if (!document) return nullptr;
  for (auto it = cache_.begin(); it != cache_.end(); ++it) {
    if (it->serial != database.serial()) continue;
    if (it->changes == database.changeCount()) return it->composer.get();
    cache_.erase(it);
    break;
  }
  if (cache_.size() >= kCachedDocuments) cache_.pop_front();
  cache_.push_back({database.serial(), database.changeCount(), std::make_unique<Composer>(*document)});
  return cache_.back().composer.get();
}

std::optional<std::pair<int, int>> ComposerLayout::columnRange(const IDataBase& database, UID, UID textColumn) {
  Composer* composer = composerFor(database);
  const ComposedColumn* column = composer ? composer->column(textColumn) : nullptr;
  if (!column) return std::nullopt;
  return std::pair<int, int>{column->start, column->span};
}

std::optional<int> ComposerLayout::oversetStart(const IDataBase& database, UID story) {
  Composer* composer = composerFor(database);
  if (!composer) return std::nullopt;
  const ComposedStory& composed = composer->story(story);
  if (!composed.overset) return std::nullopt;
  return composed.oversetStart;
}

void installComposerLayout() { setTextLayout(std::make_unique<ComposerLayout>()); }

}  // namespace korvex
