#include "host/find_change.h"

#define PCRE2_CODE_UNIT_WIDTH 32
#include <pcre2.h>

#include <algorithm>
#include <vector>

#include "foundation/unicode.h"
#include "host/document.h"

namespace korvex {

// Stories hold one index per character, so the 32-bit library's offsets are
// text positions as they stand.
struct FindChangeQuery::Pattern {
  pcre2_code* code = nullptr;
  pcre2_match_data* match = nullptr;
  ~Pattern() {
    if (match) pcre2_match_data_free(match);
    if (code) pcre2_code_free(code);
  }
};

namespace {

struct Change {
  int start = 0;
  int length = 0;
  std::u32string text;
};

bool holdsAnchor(std::u32string_view text) {
  return text.find(kTextChar_ObjectReplacement) != std::u32string_view::npos;
}

// $0 … $9 stand for the match and its groups (empty when a group took no
// part); every other character is taken as it is.
std::u32string expand(const std::u32string& change, std::u32string_view subject, const PCRE2_SIZE* ovector,
                      int pairs) {
  std::u32string out;
  for (std::size_t i = 0; i < change.size(); ++i) {
    const char32_t c = change[i];
    if (c == U'$' && i + 1 < change.size() && change[i + 1] >= U'0' && change[i + 1] <= U'9') {
      const int group = static_cast<int>(change[++i] - U'0');
      if (group < pairs) {
        const PCRE2_SIZE from = ovector[2 * group], to = ovector[2 * group + 1];
        if (from != PCRE2_UNSET && to >= from) out.append(subject.substr(from, to - from));
      }
      continue;
    }
    out.push_back(c);
  }
  return out;
}

// A story takes part unless masters are left out and every frame it runs
// through lies on a master spread.
bool storyTakesPart(const IDocument& document, const ITextModel& story, bool includeMasters) {
  if (includeMasters || story.threadedFrames().empty()) return true;
  const auto& masters = document.masterSpreadList();
  for (UID frame : story.threadedFrames())
    if (std::find(masters.begin(), masters.end(), document.spreadOf(frame)) == masters.end()) return true;
  return false;
}

}  // namespace

FindChangeQuery::FindChangeQuery() = default;
FindChangeQuery::~FindChangeQuery() = default;

ErrorCode FindChangeQuery::setSearchMode(int mode) {
  if (mode != static_cast<int>(FindChangeMode::Text) && mode != static_cast<int>(FindChangeMode::Grep)) {
    error_ = "unknown search mode " + std::to_string(mode);
    return kInvalidParameterError;
  }
  mode_ = static_cast<FindChangeMode>(mode);
  return findValid_ ? compile() : kSuccess;
}

ErrorCode FindChangeQuery::setFindText(std::string_view utf8) {
  findValid_ = false;
  pattern_.reset();
  find_.clear();
  if (utf8.empty()) {
    error_ = "nothing to find";
    return kInvalidParameterError;
  }
  if (!isValidUTF8(utf8)) {
    error_ = "the find text is not UTF-8";
    return kInvalidParameterError;
  }
  find_ = utf8ToUtf32(utf8);
  findValid_ = true;
  return compile();
}

ErrorCode FindChangeQuery::setChangeText(std::string_view utf8) {
  if (!isValidUTF8(utf8)) {
    error_ = "the change text is not UTF-8";
    return kInvalidParameterError;
  }
  std::u32string text = utf8ToUtf32(utf8);
  if (holdsAnchor(text) || text.find(kTextChar_EndOfStory) != std::u32string::npos) {
    error_ = "the change text holds an anchor or end-of-story character";
    return kInvalidParameterError;
  }
  change_ = std::move(text);
  return kSuccess;
}

ErrorCode FindChangeQuery::setScope(int scope) {
  if (scope != kFindChangeScopeDocument) {
    error_ = "unsupported search scope " + std::to_string(scope);
    return kInvalidParameterError;
  }
  scope_ = scope;
  return kSuccess;
}

ErrorCode FindChangeQuery::setIncludeMasterPages(bool include) {
  includeMasters_ = include;
  return kSuccess;
}

ErrorCode FindChangeQuery::compile() {
  pattern_.reset();
  if (mode_ != FindChangeMode::Grep) return kSuccess;
  pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
  if (!context) return kFailure;
  // The paragraph return ends a line: ^ and $ match at paragraph bounds.
  pcre2_set_newline(context, PCRE2_NEWLINE_CR);
  int code = 0;
  PCRE2_SIZE offset = 0;
  auto pattern = std::make_unique<Pattern>();
  pattern->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(find_.data()), find_.size(),
                                PCRE2_UTF | PCRE2_UCP | PCRE2_MULTILINE | PCRE2_MATCH_INVALID_UTF, &code,
                                &offset, context);
  pcre2_compile_context_free(context);
  if (!pattern->code) {
    PCRE2_UCHAR32 buffer[256];
    std::string message;
    if (pcre2_get_error_message(code, buffer, 256) > 0)
      for (const PCRE2_UCHAR32* p = buffer; *p; ++p) message.push_back(static_cast<char>(*p & 0x7F));
    error_ = "invalid pattern at offset " + std::to_string(offset) + ": " + message;
    findValid_ = false;
    return kInvalidParameterError;
  }
  pattern->match = pcre2_match_data_create_from_pattern(pattern->code, nullptr);
  if (!pattern->match) return kFailure;
  pattern_ = std::move(pattern);
  return kSuccess;
}

ErrorCode FindChangeQuery::changeAll(IDocument& document, int* changed) {
  if (changed) *changed = 0;
  if (!findValid_ || (mode_ == FindChangeMode::Grep && !pattern_)) {
    if (error_.empty()) error_ = "nothing to find";
    return kInvalidParameterError;
  }
  // Every story's changes are found first: a failing match changes nothing.
  std::vector<std::pair<ITextModel*, std::vector<Change>>> work;
  for (UID uid : document.storyList()) {
    ITextModel* story = document.story(uid);
    if (!story || !storyTakesPart(document, *story, includeMasters_)) continue;
    const std::u32string_view subject(story->characters().data(),
                                      static_cast<std::size_t>(std::max(0, story->TotalLength() - 1)));
    std::vector<Change> changes;
    std::size_t start = 0;
    while (start <= subject.size()) {
      std::size_t from = 0, to = 0;
      std::u32string text;
      if (mode_ == FindChangeMode::Text) {
        from = subject.find(find_, start);
        if (from == std::u32string_view::npos) break;
        to = from + find_.size();
        text = change_;
      } else {
        const int rc = pcre2_match(pattern_->code, reinterpret_cast<PCRE2_SPTR>(subject.data()),
                                   subject.size(), start, 0, pattern_->match, nullptr);
        if (rc == PCRE2_ERROR_NOMATCH) break;
        if (rc < 0) {
          PCRE2_UCHAR32 buffer[256];
          std::string message;
          if (pcre2_get_error_message(rc, buffer, 256) > 0)
            for (const PCRE2_UCHAR32* p = buffer; *p; ++p) message.push_back(static_cast<char>(*p & 0x7F));
          error_ = "matching failed: " + message;
          return kFailure;
        }
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(pattern_->match);
        from = ovector[0];
        to = std::max(ovector[0], ovector[1]);
        text = expand(change_, subject, ovector, rc);
      }
      // An empty match is taken once; the search goes on past it.
      start = to > from ? to : to + 1;
      // Text can't take an anchored item away: such a match stays as it is.
      if (holdsAnchor(subject.substr(from, to - from))) continue;
      if (to == from && text.empty()) continue;
      changes.push_back({static_cast<int>(from), static_cast<int>(to - from), std::move(text)});
    }
    if (!changes.empty()) work.emplace_back(story, std::move(changes));
  }
  int count = 0;
  for (auto& [story, changes] : work) {
    // Back to front, so the earlier positions stay where they were found.
    for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
      if (story->Replace(it->start, it->length, utf32ToUtf8(it->text)) != kSuccess) continue;
      ++count;
    }
  }
  if (count > 0) document.GetDocDataBase()->SetModified(true);
  if (changed) *changed = count;
  return kSuccess;
}

}  // namespace korvex
