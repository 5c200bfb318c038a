#include "batch/action_dispatch.h"

#include <array>

#include "actions/collect.h"
#include "actions/pdf_action.h"
#include "actions/picture_links.h"
#include "actions/preflight_action.h"
#include "actions/print_action.h"
#include "actions/script_and_save.h"
#include "batch/abort_processing.h"
#include "docmodel/documents.h"
#include "foundation/log.h"
#include "run/run_values.h"
#include "separation/layer_separation.h"
#include "workflows/checkstr.h"
#include "workflows/duz_severance.h"
#include "workflows/orvel.h"
#include "workflows/pn_trennung.h"
#include "workflows/schnappi.h"
#include "workflows/vantry.h"

namespace korvex {

namespace {

std::array<ActionTableRow, 17>& table() {
  static std::array<ActionTableRow, 17> rows = {{
      {"CollectPictures", MyDocHandler(collectPictures)},
      {"DUZSeverance", MyDocHandler(duzSeverance)},
      {"Checkstr", DocumentHandler(doCheckStr)},
      {"Collect", DocumentHandler(collectDocResources)},
      {"Orvel", MyDocHandler(orvel)},
      {"Save", MyDocHandler([](MyDoc& doc, const DictPtr& action) { return saveDoc(doc, action); })},
      {"PDF", MyDocHandler(doPDF)},
      {"Vantry", MyDocHandler(vantry)},
      {"LayerSeparation", DocumentHandler(doLayerSeparation)},
      {"JSX", DictionaryHandler(doJavaScript)},
      {"Preflight", DocumentHandler(doPreflight)},
      {"Print", DocumentHandler(doPrint)},
      {"Bildaktualisierung", DocumentHandler(doUpdatePictures)},
      {"SetEmbeddedProfile", DocumentHandler(doSetEmbeddedProfile)},
      {"AddLinks", DocumentHandler(addLinks)},
      {"PN_Trennung", DocumentHandler(doPNTrennung)},
      {"Schnappi", DocumentHandler(doSchnappi)},
  }};
  return rows;
}

const ActionTableRow* rowForName(const std::optional<std::string>& name) {
  if (!name) return nullptr;
  for (const ActionTableRow& row : table())
    if (row.name == *name) return &row;
  return nullptr;
}

// The result of a handler, or none when the row has no handler in this build.
std::optional<bool> callHandler(const ActionHandler& handler, IDocument* document, const DictPtr& action) {
  if (const auto* h = std::get_if<MyDocHandler>(&handler); h && *h) {
    MyDoc doc(document);
    return (*h)(doc, action);
  }
  if (const auto* h = std::get_if<DocumentHandler>(&handler); h && *h) return (*h)(document, action);
  if (const auto* h = std::get_if<DictionaryHandler>(&handler); h && *h) return (*h)(action);
  return std::nullopt;
}

}  // namespace

std::span<const ActionTableRow> actionTable() {
  return table();
}

std::optional<ActionHandler> setActionHandler(std::string_view name, ActionHandler handler) {
  for (ActionTableRow& row : table())
    if (row.name == name) {
      ActionHandler former = std::move(row.handler);
      row.handler = std::move(handler);
      return former;
    }
  return std::nullopt;
}

std::optional<std::string> cmdForAction(const DictPtr& action) {
  if (!action) return std::nullopt;
  Value name = action->get("Action");
  if (const std::string* s = name.string()) return *s;
  return std::nullopt;
}

std::optional<std::string> cmdForAction(const Value& action) {
  return cmdForAction(action.dictionary());
}

bool runActionChain(IDocument* document, const ArrayPtr& chain) {
  if (!chain) return true;
  for (const Value& element : *chain) {
    DictPtr action = element.dictionary();
    if (!action) return false;
    if (!documentIsOpen(document)) {
      // An action closed the document: there is nothing left to act on.
      setError("\t####\tdocument closed, the chain ends here");
      return true;
    }
    if (abortProcessing(document)) continue;
    const std::optional<std::string> name = cmdForAction(action);
    MyLog("action: %@", name);
    std::optional<bool> result;
    if (const ActionTableRow* row = rowForName(name)) result = callHandler(row->handler, document, action);
    if (!result) {
      setError("\t####\taction not supported");
      result = name && !name->empty() && name->front() == '#';
    }
    if (!*result) return false;
  }
  return true;
}

bool processDocWithActions(const UIDRef& document, const ArrayPtr& chain) {
  IDocument* doc = documentForRef(document);
  if (!doc) return true;
  return runActionChain(doc, chain);
}

}  // namespace korvex
