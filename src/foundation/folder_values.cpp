#include "foundation/folder_values.h"

namespace korvex {

std::optional<std::string> folderForKey(const DictPtr& action, std::string_view key) {
  const Value value = action ? action->get(key) : Value();
  if (value.isNil()) return std::nullopt;
  const std::string* text = value.string();
  return text && text->starts_with('/') ? *text : std::string();
}

}  // namespace korvex
