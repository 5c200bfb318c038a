#pragma once

// The composer behind the host's text model: column ranges and overset text
// come from real font metrics once this is installed (setTextLayout).

#include <cstdint>
#include <deque>
#include <memory>

#include "host/output/composer.h"
#include "host/text_layout.h"

namespace korvex {

class ComposerLayout : public TextLayout {
 public:
  std::optional<std::pair<int, int>> columnRange(const IDataBase& database, UID story, UID textColumn) override;
  std::optional<int> oversetStart(const IDataBase& database, UID story) override;

 private:
  // A composition stays good until its database changes.
  struct Cached {
    std::uint64_t serial;
    std::uint64_t changes;
    std::unique_ptr<Composer> composer;
  };
  Composer* composerFor(const IDataBase& database);
  std::deque<Cached> cache_;
};

// Installs the composer as the process's text layout.
void installComposerLayout();

}  // namespace korvex
