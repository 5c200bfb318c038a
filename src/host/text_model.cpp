#include "host/text_model.h"

#include <algorithm>
#include <iterator>

#include "host/database.h"
#include "host/page_item.h"
#include "host/text_layout.h"

namespace korvex {

// --- UTF-8

std::u32string utf8ToUtf32(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    int extra = 0;
    char32_t cp = 0;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F, extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F, extra = 2;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07, extra = 3;
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    if (i + static_cast<std::size_t>(extra) >= s.size()) {
      out.push_back(0xFFFD);
      break;
    }
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      const auto cc = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((cc & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (cc & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

std::string utf32ToUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t cp : text) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

// --- runs

std::optional<AttributeRun> RunList::runAt(int position) const {
  if (position < 0 || position >= total_) return std::nullopt;
  auto next = starts_.upper_bound(position);
  const auto run = std::prev(next);
  const int end = next == starts_.end() ? total_ : next->first;
  return AttributeRun{run->second, position, end - position};
}

const std::vector<RunList::Run>& RunList::runs() const {
  if (!listed_) {
    list_.clear();
    list_.reserve(starts_.size());
    for (auto it = starts_.begin(); it != starts_.end(); ++it) {
      const auto next = std::next(it);
      list_.push_back({(next == starts_.end() ? total_ : next->first) - it->first, it->second});
    }
    listed_ = true;
  }
  return list_;
}

RunList::Starts::iterator RunList::containing(int position) {
  return std::prev(starts_.upper_bound(position));
}

// Merges the run with the one before it when both have the same value.
void RunList::joinAt(Starts::iterator run) {
  if (run == starts_.end() || run == starts_.begin()) return;
  if (std::prev(run)->second == run->second) starts_.erase(run);
}

void RunList::assign(int start, int length, const AttributeValue& value) {
  start = std::clamp(start, 0, total_);
  const int end = std::clamp(start + std::max(length, 0), start, total_);
  if (start == end) return;
  // The run holding end goes on after the new one with its old value.
  if (end < total_ && !starts_.count(end)) starts_.emplace(end, containing(end)->second);
  if (!starts_.count(start)) starts_.emplace(start, containing(start)->second);
  auto first = starts_.find(start);
  starts_.erase(std::next(first), starts_.lower_bound(end));
  first->second = value;
  joinAt(starts_.lower_bound(end));
  joinAt(first);
  changed();
}

void RunList::insert(int position, int length) {
  if (length <= 0) return;
  changed();
  if (starts_.empty()) {
    starts_.emplace(0, std::monostate{});
    total_ = length;
    return;
  }
  // The run holding the character before the insertion point grows: every
  // run after it starts later.
  const int anchor = position > 0 ? position - 1 : 0;
  Starts shifted;
  for (auto& [start, value] : starts_)
    shifted.emplace_hint(shifted.end(), start > anchor ? start + length : start, std::move(value));
  starts_ = std::move(shifted);
  total_ += length;
}

void RunList::erase(int position, int length) {
  position = std::clamp(position, 0, total_);
  const int end = std::clamp(position + std::max(length, 0), position, total_);
  if (position == end) return;
  changed();
  const int removed = end - position;
  // What remains of a run that began inside the range begins at its end.
  if (end < total_ && !starts_.count(end)) {
    auto holder = containing(end);
    if (holder->first >= position) starts_.emplace(end, holder->second);
  }
  starts_.erase(starts_.lower_bound(position), starts_.lower_bound(end));
  Starts shifted;
  for (auto& [start, value] : starts_)
    shifted.emplace_hint(shifted.end(), start >= end ? start - removed : start, std::move(value));
  starts_ = std::move(shifted);
  total_ -= removed;
  joinAt(starts_.find(position));
}

void RunList::resize(int total) {
  if (total > total_)
    insert(total_, total - total_);
  else if (total < total_)
    erase(total, total_ - total);
}

// --- story

ITextModel::ITextModel(IDataBase* db, UID uid) : HostObject(db, uid), chars_(1, kTextChar_EndOfStory) {}

std::string ITextModel::text() const {
  return utf32ToUtf8(std::u32string_view(chars_).substr(0, chars_.size() - 1));
}

std::string ITextModel::textRange(int start, int length) const {
  const int total = TotalLength();
  start = std::clamp(start, 0, total);
  length = std::clamp(length, 0, total - start);
  return utf32ToUtf8(
      std::u32string_view(chars_).substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length)));
}

void ITextModel::shiftOwnedItems(int from, int delta) {
  std::map<int, UID> shifted;
  for (const auto& [pos, uid] : owned_) shifted.emplace(pos >= from ? pos + delta : pos, uid);
  owned_ = std::move(shifted);
}

ErrorCode ITextModel::Insert(int position, std::string_view utf8) {
  if (position < 0 || position >= TotalLength()) return kInvalidParameterError;
  std::u32string add = utf8ToUtf32(utf8);
  // Object replacement characters belong to owned items only; end marks to the story's end.
  std::replace(add.begin(), add.end(), kTextChar_ObjectReplacement, char32_t{0xFFFD});
  std::replace(add.begin(), add.end(), kTextChar_EndOfStory, char32_t{0xFFFD});
  if (add.empty()) return kSuccess;
  const int n = static_cast<int>(add.size());
  chars_.insert(static_cast<std::size_t>(position), add);
  for (auto& [cls, runs] : runs_) runs.insert(position, n);
  shiftOwnedItems(position, n);
  markModified();
  return kSuccess;
}

ErrorCode ITextModel::Delete(int position, int length, std::vector<UID>* removedOwnedItems) {
  const int last = TotalLength() - 1;  // the end mark stays
  if (position < 0 || length < 0 || position + length > last) return kInvalidParameterError;
  if (length == 0) return kSuccess;
  for (auto it = owned_.lower_bound(position); it != owned_.end() && it->first < position + length;) {
    if (removedOwnedItems) removedOwnedItems->push_back(it->second);
    it = owned_.erase(it);
  }
  chars_.erase(static_cast<std::size_t>(position), static_cast<std::size_t>(length));
  for (auto& [cls, runs] : runs_) runs.erase(position, length);
  shiftOwnedItems(position + length, -length);
  markModified();
  return kSuccess;
}

ErrorCode ITextModel::Replace(int position, int length, std::string_view utf8,
                              std::vector<UID>* removedOwnedItems) {
  if (position < 0 || length < 0 || position + length > TotalLength() - 1) return kInvalidParameterError;
  // The new text takes the attributes of the first character it replaces.
  std::vector<std::pair<AttributeClass, AttributeValue>> kept;
  if (length > 0)
    for (const auto& [cls, runs] : runs_)
      if (auto run = runs.runAt(position)) kept.emplace_back(cls, run->value);
  const int before = TotalLength();
  if (ErrorCode e = Delete(position, length, removedOwnedItems)) return e;
  if (ErrorCode e = Insert(position, utf8)) return e;
  const int inserted = TotalLength() - (before - length);
  if (!kept.empty() && inserted > 0) return ApplyAttributes(position, inserted, kept);
  return kSuccess;
}

std::optional<AttributeRun> ITextModel::QueryRun(AttributeClass attribute, int position) const {
  if (position < 0 || position >= TotalLength()) return std::nullopt;
  auto it = runs_.find(attribute);
  if (it == runs_.end()) return AttributeRun{std::monostate{}, position, TotalLength() - position};
  return it->second.runAt(position);
}

namespace {

// The one value type each class takes (no value is always allowed: it clears).
bool fitsClass(AttributeClass cls, const AttributeValue& value) {
  if (std::holds_alternative<std::monostate>(value)) return true;
  switch (cls) {
    case AttributeClass::kTextColor:
    case AttributeClass::kParagraphStyle:
    case AttributeClass::kCharacterStyle: return std::holds_alternative<UID>(value);
    case AttributeClass::kTextTint:
    case AttributeClass::kPointSize:
    case AttributeClass::kFirstLineIndent:
    case AttributeClass::kLeftIndent:
    case AttributeClass::kRightIndent:
    case AttributeClass::kSpaceBefore:
    case AttributeClass::kSpaceAfter:
    case AttributeClass::kTracking: return std::holds_alternative<double>(value);
    case AttributeClass::kTextFlag: return std::holds_alternative<bool>(value);
    case AttributeClass::kFontFamily:
    case AttributeClass::kFontStyle:
    case AttributeClass::kAlignment:
    case AttributeClass::kCapitalization: return std::holds_alternative<std::string>(value);
    case AttributeClass::kLeading:
      return std::holds_alternative<double>(value) || std::get_if<std::string>(&value) != nullptr;
  }
  return false;
}

}  // namespace

ErrorCode ITextModel::ApplyAttributes(int start, int length,
                                      const std::vector<std::pair<AttributeClass, AttributeValue>>& values) {
  if (start < 0 || length < 0 || start + length > TotalLength()) return kInvalidParameterError;
  for (const auto& [cls, value] : values)
    if (!fitsClass(cls, value)) return kInvalidParameterError;
  for (const auto& [cls, value] : values) {
    RunList& runs = runs_[cls];
    if (runs.totalLength() == 0) runs.resize(TotalLength());
    runs.assign(start, length, value);
  }
  markModified();
  return kSuccess;
}

ErrorCode ITextModel::InsertOwnedItem(int position, UID inlineItem) {
  if (position < 0 || position >= TotalLength() || inlineItem == kInvalidUID) return kInvalidParameterError;
  chars_.insert(chars_.begin() + position, kTextChar_ObjectReplacement);
  for (auto& [cls, runs] : runs_) runs.insert(position, 1);
  shiftOwnedItems(position, 1);
  owned_[position] = inlineItem;
  markModified();
  return kSuccess;
}

ErrorCode ITextModel::setCharacters(std::u32string characters) {
  if (characters.find(kTextChar_EndOfStory) != std::u32string::npos) return kInvalidParameterError;
  chars_ = std::move(characters);
  chars_.push_back(kTextChar_EndOfStory);
  runs_.clear();
  owned_.clear();
  markModified();
  return kSuccess;
}

ErrorCode ITextModel::attachOwnedItem(int position, UID inlineItem) {
  if (position < 0 || position >= TotalLength() - 1 ||
      chars_[static_cast<std::size_t>(position)] != kTextChar_ObjectReplacement || owned_.count(position))
    return kInvalidParameterError;
  owned_[position] = inlineItem;
  markModified();
  return kSuccess;
}

ErrorCode ITextModel::threadFrame(UID multiColumnItem, int index) {
  if (!GetDataBase()->instantiate<MultiColumnItem>(multiColumnItem)) return kInvalidParameterError;
  if (!threaded_.insert(multiColumnItem).second) return kInvalidParameterError;
  if (index < 0 || index > static_cast<int>(frames_.size())) index = static_cast<int>(frames_.size());
  frames_.insert(frames_.begin() + index, multiColumnItem);
  markModified();
  return kSuccess;
}

ErrorCode ITextModel::unthreadFrame(UID multiColumnItem) {
  auto it = std::find(frames_.begin(), frames_.end(), multiColumnItem);
  if (it == frames_.end()) return kObjectNotFoundError;
  frames_.erase(it);
  threaded_.erase(multiColumnItem);
  markModified();
  return kSuccess;
}

std::vector<UID> ITextModel::frameList() const {
  std::vector<UID> columns;
  for (UID frame : frames_)
    if (auto* mc = GetDataBase()->instantiate<MultiColumnItem>(frame))
      for (UID column : mc->children()) columns.push_back(column);
  return columns;
}

std::pair<int, int> ITextModel::columnRange(UID textColumn) const {
  if (TextLayout* layout = textLayout(); layout && GetDataBase()) {
    if (auto range = layout->columnRange(*GetDataBase(), GetUID(), textColumn)) return *range;
  }
  const std::vector<UID> columns = frameList();
  if (!columns.empty() && columns.front() == textColumn) return {0, TotalLength()};
  return {TotalLength(), 0};
}

std::optional<int> ITextModel::oversetStart() const {
  TextLayout* layout = textLayout();
  if (!layout || !GetDataBase()) return std::nullopt;
  return layout->oversetStart(*GetDataBase(), GetUID());
}

}  // namespace korvex
