#include "foundation/dictionary_accessors.h"

#include <algorithm>

namespace korvex {

namespace {

Value valueForKey(const DictPtr& dict, std::string_view key) {
  return dict ? dict->get(key) : Value();
}

}  // namespace

std::optional<std::string> stringForKey(const DictPtr& dict, std::string_view key,
                                        std::optional<std::string_view> defaultValue) {
  const Value v = valueForKey(dict, key);
  if (v.isString() || v.isNumber()) return v.stringValue();
  if (defaultValue) return std::string(*defaultValue);
  return std::nullopt;
}

int integerForKey(const DictPtr& dict, std::string_view key, int defaultValue) {
  const Value v = valueForKey(dict, key);
  if (v.isString() || v.isNumber()) return v.intValue();
  return defaultValue;
}

int intForKey(const DictPtr& dict, std::string_view key, int defaultValue) {
  return integerForKey(dict, key, defaultValue);
}

float floatForKey(const DictPtr& dict, std::string_view key, float defaultValue) {
  auto text = stringForKey(dict, key);
  if (!text) return defaultValue;
  std::replace(text->begin(), text->end(), ',', '.');
  return Value(std::move(*text)).floatValue();
}

DictPtr dictForKey(const DictPtr& dict, std::string_view key, bool create) {
  if (!dict) return nullptr;
  const Value v = dict->get(key);
  if (!v.isNil()) return v.dictionary();
  if (!create) return nullptr;
  auto made = Dictionary::make();
  dict->set(key, Value(made));
  return made;
}

ArrayPtr arrayForKey(const DictPtr& dict, std::string_view key, bool create) {
  if (!dict) return nullptr;
  const Value v = dict->get(key);
  if (!v.isNil()) return v.array();
  if (!create) return nullptr;
  auto made = Array::make();
  dict->set(key, Value(made));
  return made;
}

bool setValueForKeyPath(const DictPtr& dict, std::string_view keyPath, Value value) {
  if (!dict) return false;
  if (value.isNil()) {
    // Removal takes the key as a plain key, as the platform's removeObjectForKey:.
    dict->remove(keyPath);
    return true;
  }
  DictPtr target = dict;
  std::string_view rest = keyPath;
  for (auto dot = rest.find('.'); dot != std::string_view::npos; dot = rest.find('.')) {
    target = target->get(rest.substr(0, dot)).dictionary();
    if (!target) return false;
    rest.remove_prefix(dot + 1);
  }
  target->set(rest, std::move(value));
  return true;
}

void setStringForKey(const DictPtr& dict, std::string_view keyPath, std::optional<std::string_view> value) {
  setValueForKeyPath(dict, keyPath, value ? Value(*value) : Value());
}

void setIntegerForKey(const DictPtr& dict, std::string_view keyPath, int value) {
  setValueForKeyPath(dict, keyPath, Value(std::to_string(value)));
}

void setFloatForKey(const DictPtr& dict, std::string_view keyPath, float value) {
  setValueForKeyPath(dict, keyPath, Value(shortestText(value)));
}

}  // namespace korvex
