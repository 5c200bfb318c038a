// How script objects are made and found again: a script object holds its
// document's database serial and the object's UID, and is looked up on every
// use; collections are arrays taken afresh at each access. Also the argument
// and value helpers the bindings share.

#include <cmath>
#include <string>
#include <vector>

#include "host/script/script_context.h"
#include "host/session.h"

namespace korvex::script {
namespace {

const char* prototypeName(Kind kind) {
  switch (kind) {
    case Kind::Document: return "Document";
    case Kind::Layer: return "Layer";
    case Kind::Page: return "Page";
    case Kind::Spread: return "Spread";
    case Kind::PageItem: return "PageItem";
    case Kind::Story: return "Story";
    case Kind::Swatch: return "Swatch";
    case Kind::Link: return "Link";
  }
  return "PageItem";
}

IDocument* documentWithSerial(double serial) {
  Application* app = application();
  for (int i = 0; i < app->GetDocumentCount(); ++i) {
    IDocument* document = app->GetNthDocument(i);
    if (static_cast<double>(document->GetDocDataBase()->serial()) == serial) return document;
  }
  return nullptr;
}

Kind collectionKind(duk_context* ctx) {
  duk_push_this(ctx);
  duk_get_prop_string(ctx, -1, kKindKey);
  auto kind = static_cast<Kind>(duk_get_int(ctx, -1));
  duk_pop_2(ctx);
  return kind;
}

// An object that refers to nothing: isValid is false and every other use throws.
void pushInvalid(duk_context* ctx, Kind kind) {
  pushHostObject(ctx, kind, nullptr, kInvalidUID);
}

}  // namespace

Application* application() {
  return GetExecutionContextSession()->application();
}

bool isTextFrame(const IDocument* document, UID uid) {
  const auto* frame = document->GetDocDataBase()->instantiate<SplineItem>(uid);
  return frame && frame->textContentUID() != kInvalidUID;
}

// --- collections

void pushCollection(duk_context* ctx, const char* prototype, Kind kind, const IDocument* document,
                    const std::vector<UID>& uids) {
  duk_idx_t array = duk_push_array(ctx);
  duk_uarridx_t index = 0;
  for (UID uid : uids) {
    pushHostObject(ctx, kind, document, uid);
    duk_put_prop_index(ctx, array, index++);
  }
  duk_push_int(ctx, static_cast<int>(kind));
  duk_put_prop_string(ctx, array, kKindKey);
  duk_push_number(ctx, document ? static_cast<double>(document->GetDocDataBase()->serial()) : 0);
  duk_put_prop_string(ctx, array, kSerialKey);
  pushStoredPrototype(ctx, prototype);
  duk_set_prototype(ctx, array);
}

duk_ret_t collectionItemByName(duk_context* ctx) {
  const std::string name = stringArg(ctx, 0);
  const Kind kind = collectionKind(ctx);
  duk_push_this(ctx);
  const duk_size_t n = duk_get_length(ctx, -1);
  for (duk_size_t i = 0; i < n; ++i) {
    duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(i));
    duk_get_prop_string(ctx, -1, "name");
    const bool found = duk_is_string(ctx, -1) && name == duk_get_string(ctx, -1);
    duk_pop(ctx);
    if (found) return 1;
    duk_pop(ctx);
  }
  pushInvalid(ctx, kind);
  return 1;
}

duk_ret_t collectionItem(duk_context* ctx) {
  if (duk_is_string(ctx, 0)) return collectionItemByName(ctx);
  const Kind kind = collectionKind(ctx);
  duk_push_this(ctx);
  const auto n = static_cast<double>(duk_get_length(ctx, -1));
  double index = duk_require_number(ctx, 0);
  if (index < 0) index += n;  // negative indexes count from the end
  if (index < 0 || index >= n) {
    pushInvalid(ctx, kind);
    return 1;
  }
  duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(index));
  return 1;
}

duk_ret_t collectionFirstItem(duk_context* ctx) {
  duk_push_int(ctx, 0);
  duk_replace(ctx, 0);
  return collectionItem(ctx);
}

duk_ret_t collectionLastItem(duk_context* ctx) {
  duk_push_int(ctx, -1);
  duk_replace(ctx, 0);
  return collectionItem(ctx);
}

IDocument* collectionDocument(duk_context* ctx) {
  duk_push_this(ctx);
  duk_get_prop_string(ctx, -1, kSerialKey);
  IDocument* document = documentWithSerial(duk_get_number(ctx, -1));
  duk_pop_2(ctx);
  if (!document) throwInvalid(ctx);
  return document;
}

// --- helpers for the bindings

std::vector<double> numbersArg(duk_context* ctx, duk_idx_t idx, std::size_t count, const char* what) {
  if (!duk_is_array(ctx, idx) || duk_get_length(ctx, idx) != count)
    throwError(ctx, std::string(what) + ": expected an array of " + std::to_string(count) + " numbers");
  std::vector<double> numbers;
  for (std::size_t i = 0; i < count; ++i) {
    duk_get_prop_index(ctx, idx, static_cast<duk_uarridx_t>(i));
    if (!duk_is_number(ctx, -1))
      throwError(ctx, std::string(what) + ": expected an array of " + std::to_string(count) + " numbers");
    numbers.push_back(duk_get_number(ctx, -1));
    duk_pop(ctx);
  }
  return numbers;
}

void pushNumbers(duk_context* ctx, const std::vector<double>& numbers) {
  duk_idx_t array = duk_push_array(ctx);
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    duk_push_number(ctx, numbers[i]);
    duk_put_prop_index(ctx, array, static_cast<duk_uarridx_t>(i));
  }
}

// The ruler origin of an object: the top left of its spread's pages.
PMPoint originFor(const IDocument& document, UID object) {
  const auto* spread = document.GetDocDataBase()->instantiate<ISpread>(document.spreadOf(object));
  if (!spread) return {};
  const PMRect pages = spread->GetPagesBounds(true);
  return {pages.left, pages.top};
}

// A millionth of a point is far below anything printed; rounding there keeps
// the transforms' last bits (100.00000000000006) out of what scripts write.
double rounded(double points) {
  return std::round(points * 1e6) / 1e6;
}

// [top, left, bottom, right] from the origin.
void pushBounds(duk_context* ctx, const PMRect& r, PMPoint origin) {
  pushNumbers(ctx, {rounded(r.top - origin.y), rounded(r.left - origin.x), rounded(r.bottom - origin.y),
                    rounded(r.right - origin.x)});
}

void pushBool(duk_context* ctx, bool value) {
  duk_push_boolean(ctx, value ? 1 : 0);
}

bool boolArg(duk_context* ctx, duk_idx_t idx) {
  return duk_to_boolean(ctx, idx) != 0;
}

// The layer (Layer object or name) of the document at idx.
IDocumentLayer* layerArg(duk_context* ctx, const IDocument& document, duk_idx_t idx) {
  Kind kind;
  IDocumentLayer* layer = nullptr;
  if (hostKindAt(ctx, idx, &kind) && kind == Kind::Layer) {
    Target target = targetAt(ctx, idx);
    if (target.document != &document) throwError(ctx, "the layer belongs to another document");
    layer = document.GetDocDataBase()->instantiate<IDocumentLayer>(target.uid);
  } else if (duk_is_string(ctx, idx)) {
    layer = document.findLayer(stringArg(ctx, idx));
    if (!layer) throwError(ctx, "no layer named \"" + stringArg(ctx, idx) + "\"");
  }
  if (!layer || layer->isPagesLayer()) throwError(ctx, "expected a layer");
  return layer;
}

// The swatch (Swatch object or name) of the document at idx.
UID swatchArg(duk_context* ctx, const IDocument& document, duk_idx_t idx) {
  Kind kind;
  if (hostKindAt(ctx, idx, &kind) && kind == Kind::Swatch) {
    Target target = targetAt(ctx, idx);
    if (target.document != &document) throwError(ctx, "the swatch belongs to another document");
    return target.uid;
  }
  if (duk_is_string(ctx, idx)) {
    if (const Swatch* swatch = document.findSwatch(stringArg(ctx, idx))) return swatch->GetUID();
    throwError(ctx, "no swatch named \"" + stringArg(ctx, idx) + "\"");
  }
  throwError(ctx, "expected a swatch or a swatch name");
}

// --- common

duk_ret_t getIsValid(duk_context* ctx) {
  duk_push_this(ctx);
  duk_get_prop_string(ctx, -1, kSerialKey);
  IDocument* document = documentWithSerial(duk_get_number(ctx, -1));
  duk_pop(ctx);
  duk_get_prop_string(ctx, -1, kUIDKey);
  const auto uid = static_cast<UID>(duk_get_uint(ctx, -1));
  pushBool(ctx, document && (uid == document->GetUID() || document->GetDocDataBase()->exists(uid)));
  return 1;
}

duk_ret_t getID(duk_context* ctx) {
  duk_push_uint(ctx, thisTarget(ctx).uid);
  return 1;
}

// --- documents

void pushHostObject(duk_context* ctx, Kind kind, const IDocument* document, UID uid) {
  duk_idx_t object = duk_push_object(ctx);
  const char* prototype = prototypeName(kind);
  if (kind == Kind::PageItem && document && isTextFrame(document, uid)) prototype = "TextFrame";
  pushStoredPrototype(ctx, prototype);
  duk_set_prototype(ctx, object);
  duk_push_number(ctx, document ? static_cast<double>(document->GetDocDataBase()->serial()) : 0);
  duk_put_prop_string(ctx, object, kSerialKey);
  duk_push_uint(ctx, uid);
  duk_put_prop_string(ctx, object, kUIDKey);
  duk_push_int(ctx, static_cast<int>(kind));
  duk_put_prop_string(ctx, object, kKindKey);
}

bool hostKindAt(duk_context* ctx, duk_idx_t idx, Kind* kind) {
  if (!duk_is_object(ctx, idx) || duk_is_array(ctx, idx)) return false;
  if (!duk_get_prop_string(ctx, idx, kKindKey)) {
    duk_pop(ctx);
    return false;
  }
  *kind = static_cast<Kind>(duk_get_int(ctx, -1));
  duk_pop(ctx);
  return true;
}

Target targetAt(duk_context* ctx, duk_idx_t idx) {
  idx = duk_normalize_index(ctx, idx);
  Kind kind;
  if (!hostKindAt(ctx, idx, &kind)) throwError(ctx, "not an object of the document model");
  duk_get_prop_string(ctx, idx, kSerialKey);
  IDocument* document = documentWithSerial(duk_get_number(ctx, -1));
  duk_pop(ctx);
  duk_get_prop_string(ctx, idx, kUIDKey);
  const auto uid = static_cast<UID>(duk_get_uint(ctx, -1));
  duk_pop(ctx);
  if (!document) throwInvalid(ctx);
  if (kind != Kind::Document && !document->GetDocDataBase()->exists(uid)) throwInvalid(ctx);
  return {document, uid};
}

Target thisTarget(duk_context* ctx) {
  duk_push_this(ctx);
  Target target = targetAt(ctx, -1);
  duk_pop(ctx);
  return target;
}

void throwError(duk_context* ctx, const std::string& message) {
  // No C file and line: the error is blamed on the script's line that called.
  duk_error_raw(ctx, DUK_ERR_ERROR, nullptr, 0, "%s", message.c_str());
  std::abort();  // not reached: the engine unwinds
}

void throwInvalid(duk_context* ctx) {
  throwError(ctx, "Object is invalid");
}

void check(duk_context* ctx, ErrorCode code, const char* what) {
  if (code == kSuccess) return;
  switch (code) {
    case kLockedError: throwError(ctx, std::string("could not ") + what + ": locked");
    case kObjectNotFoundError: throwInvalid(ctx);
    default: throwError(ctx, std::string("could not ") + what + " (error " + std::to_string(code) + ")");
  }
}

std::string stringArg(duk_context* ctx, duk_idx_t idx) {
  duk_size_t length = 0;
  const char* text = duk_safe_to_lstring(ctx, idx, &length);
  return std::string(text, length);
}

namespace {

duk_ret_t readOnly(duk_context* ctx) {
  std::string name = duk_is_string(ctx, 1) ? duk_get_string(ctx, 1) : "the property";
  throwError(ctx, name + " is read-only");
}

}  // namespace

void pushPrototype(duk_context* ctx, const std::vector<Property>& properties,
                   const std::vector<Method>& methods) {
  duk_idx_t object = duk_push_object(ctx);
  for (const Property& p : properties) {
    duk_push_string(ctx, p.name);
    duk_push_c_function(ctx, p.get, 0);
    duk_push_c_function(ctx, p.set ? p.set : readOnly, p.set ? 1 : 2);
    duk_def_prop(ctx, object, DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_HAVE_SETTER | DUK_DEFPROP_SET_ENUMERABLE);
  }
  for (const Method& m : methods) {
    duk_push_c_function(ctx, m.function, m.nargs);
    duk_put_prop_string(ctx, object, m.name);
  }
}

void storePrototype(duk_context* ctx, const char* name) {
  duk_push_global_stash(ctx);
  duk_dup(ctx, -2);
  duk_put_prop_string(ctx, -2, name);
  duk_pop_2(ctx);
}

void pushStoredPrototype(duk_context* ctx, const char* name) {
  duk_push_global_stash(ctx);
  duk_get_prop_string(ctx, -1, name);
  duk_remove(ctx, -2);
}

}  // namespace korvex::script
