#pragma once

// Text composition as the host's model sees it: which characters each text
// column shows and where a story runs over. The output layer installs the
// composer; without one the first column shows the whole story.

#include <memory>
#include <optional>
#include <utility>

#include "host/host_types.h"

namespace korvex {

class IDataBase;

class TextLayout {
 public:
  virtual ~TextLayout() = default;
  // Start and span of the column's characters; none when it can't tell.
  virtual std::optional<std::pair<int, int>> columnRange(const IDataBase& database, UID story,
                                                         UID textColumn) = 0;
  // The first character that fits in no column; none when all of it fits.
  virtual std::optional<int> oversetStart(const IDataBase& database, UID story) = 0;
};

// Installs the layout for the process and answers the former one.
std::unique_ptr<TextLayout> setTextLayout(std::unique_ptr<TextLayout> layout);
TextLayout* textLayout();

}  // namespace korvex
