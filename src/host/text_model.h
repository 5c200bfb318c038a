#pragma once

// Stories: characters (one index per Unicode character) ending in an
// end-of-story mark, character attribute runs per attribute class, owned
// items anchored at U+FFFC, and the text columns the story flows through.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <variant>
#include <vector>

#include "host/host_object.h"

namespace korvex {

inline constexpr char32_t kTextChar_EndOfStory = 0x0003;
inline constexpr char32_t kTextChar_ObjectReplacement = 0xFFFC;

enum class AttributeClass : std::uint32_t {
  kTextColor = 0x1B01,       // swatch UID
  kTextTint = 0x1B42,        // percentage
  kTextFlag = 0x1B44,        // boolean
  kFontFamily = 0x1C01,      // family name
  kFontStyle = 0x1C02,       // style name ("Regular", "Bold Italic"…)
  kPointSize = 0x1C03,       // points
  kParagraphStyle = 0x1C04,  // style UID
  kCharacterStyle = 0x1C05,  // style UID
  // Local overrides of what the styles say (numbers in points unless noted).
  kLeading = 0x1C10,          // points, or the name "Auto"
  kAlignment = 0x1C11,        // "left", "center", "right", "justify"
  kFirstLineIndent = 0x1C12,  // points
  kLeftIndent = 0x1C13,
  kRightIndent = 0x1C14,
  kSpaceBefore = 0x1C15,
  kSpaceAfter = 0x1C16,
  kTracking = 0x1C17,        // thousandths of an em
  kCapitalization = 0x1C18,  // "normal", "allCaps", "smallCaps"
};

// No value (the class is not set for these characters), a UID, a number, a flag or a name.
using AttributeValue = std::variant<std::monostate, UID, double, bool, std::string>;

struct AttributeRun {
  AttributeValue value;
  int start = 0;   // where the run was asked for
  int length = 0;  // from start to the end of the run
};

// Runs of one attribute class covering the whole story.
class RunList {
 public:
  struct Run {
    int length;
    AttributeValue value;
    friend bool operator==(const Run&, const Run&) = default;
  };

  int totalLength() const { return total_; }
  std::optional<AttributeRun> runAt(int position) const;
  void assign(int start, int length, const AttributeValue& value);
  // New characters take the value of the character before them (or after, at 0).
  void insert(int position, int length);
  void erase(int position, int length);
  void resize(int totalLength);
  // In text order, no two neighbours with the same value, none empty.
  const std::vector<Run>& runs() const;

 private:
  // Each run by its first character; a run ends where the next one starts.
  // Finding and changing a run is logarithmic in the number of runs.
  using Starts = std::map<int, AttributeValue>;
  Starts::iterator containing(int position);
  void joinAt(Starts::iterator run);
  void changed() { listed_ = false; }
  Starts starts_;
  int total_ = 0;
  mutable std::vector<Run> list_;
  mutable bool listed_ = true;
};

class ITextModel : public HostObject {
 public:
  ITextModel(IDataBase* db, UID uid);
  ClassID GetClass() const override { return ClassID::kTextStory; }

  // Characters including the end-of-story mark.
  int TotalLength() const { return static_cast<int>(chars_.size()); }
  const std::u32string& characters() const { return chars_; }
  // The text without the end-of-story mark, as UTF-8.
  std::string text() const;
  std::string textRange(int start, int length) const;

  ErrorCode Insert(int position, std::string_view utf8);
  // Owned items in the range lose their anchor; their UIDs are handed back for deletion.
  ErrorCode Delete(int position, int length, std::vector<UID>* removedOwnedItems = nullptr);
  ErrorCode Replace(int position, int length, std::string_view utf8,
                    std::vector<UID>* removedOwnedItems = nullptr);

  // The run of the class that contains position, from position to its end;
  // none when position is outside the story.
  std::optional<AttributeRun> QueryRun(AttributeClass attribute, int position) const;
  ErrorCode ApplyAttributes(int start, int length,
                            const std::vector<std::pair<AttributeClass, AttributeValue>>& values);
  const std::map<AttributeClass, RunList>& attributeRuns() const { return runs_; }

  // For the file loader: the whole text at once (U+FFFC kept, end marks refused)
  // and owned items attached to U+FFFC characters already there.
  ErrorCode setCharacters(std::u32string characters);
  ErrorCode attachOwnedItem(int position, UID inlineItem);

  // Owned items (inline items) by text index.
  const std::map<int, UID>& ownedItems() const { return owned_; }
  // Inserts U+FFFC at position and records the inline item there.
  ErrorCode InsertOwnedItem(int position, UID inlineItem);

  // The multi-column items the story flows through, in thread order.
  const std::vector<UID>& threadedFrames() const { return frames_; }
  ErrorCode threadFrame(UID multiColumnItem, int index = -1);
  ErrorCode unthreadFrame(UID multiColumnItem);
  // The text columns of those frames, in thread order.
  std::vector<UID> frameList() const;
  // What one text column shows (start, span), as the installed text layout
  // composes it; without one the first column shows everything.
  std::pair<int, int> columnRange(UID textColumn) const;
  // The first character that fits in no column; none when all fits or no
  // layout is installed.
  std::optional<int> oversetStart() const;

 private:
  void shiftOwnedItems(int from, int delta);
  std::u32string chars_;
  std::map<AttributeClass, RunList> runs_;
  std::map<int, UID> owned_;
  std::vector<UID> frames_;
  std::unordered_set<UID> threaded_;  // frames_ as a set: a long thread is checked in constant time
};

std::u32string utf8ToUtf32(std::string_view utf8);
std::string utf32ToUtf8(std::u32string_view text);

}  // namespace korvex
