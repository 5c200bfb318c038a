#pragma once

// The chain runner: each action dictionary of a chain is dispatched by its
// name ("Action") to the handler of that name.

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "docmodel/my_doc.h"
#include "foundation/value.h"
#include "host/uid_ref.h"

namespace korvex {

// Handlers answer true for success; false ends the document's chain. They
// take the document in the form their action needs it.
using MyDocHandler = std::function<bool(MyDoc& document, const DictPtr& action)>;
using DocumentHandler = std::function<bool(IDocument* document, const DictPtr& action)>;
using DictionaryHandler = std::function<bool(const DictPtr& action)>;
// monostate: the action is named but not available in this build.
using ActionHandler = std::variant<std::monostate, MyDocHandler, DocumentHandler, DictionaryHandler>;

struct ActionTableRow {
  std::string_view name;
  ActionHandler handler;
};

// The dispatch table, in the order names are compared.
std::span<const ActionTableRow> actionTable();
// Installs the handler of a name of the table and answers the former one;
// a name outside the table is refused (none).
std::optional<ActionHandler> setActionHandler(std::string_view name, ActionHandler handler);

// The string under "Action", else none.
std::optional<std::string> cmdForAction(const DictPtr& action);
std::optional<std::string> cmdForAction(const Value& action);

// Runs the chain on an open document; a null chain counts as empty.
bool runActionChain(IDocument* document, const ArrayPtr& chain);
// True without doing anything when the reference names no document.
bool processDocWithActions(const UIDRef& document, const ArrayPtr& chain);

}  // namespace korvex
