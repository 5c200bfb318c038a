#pragma once

// Find/change over the text of a document's stories, literally or with GREP
// patterns (PCRE2, Unicode). The settings are made one at a time, each a
// command that may be refused; change-all then replaces every match and
// answers how many it replaced. docs/find-change.md has the dialect.

#include <memory>
#include <string>
#include <string_view>

#include "host/host_types.h"

namespace korvex {

class IDocument;

enum class FindChangeMode { Text = 0, Grep = 1 };
// The only scope this host searches: every story of the document.
inline constexpr int kFindChangeScopeDocument = 2;

class FindChangeQuery {
 public:
  FindChangeQuery();
  ~FindChangeQuery();
  FindChangeQuery(const FindChangeQuery&) = delete;
  FindChangeQuery& operator=(const FindChangeQuery&) = delete;

  // 0 literal text, 1 GREP; anything else is refused.
  ErrorCode setSearchMode(int mode);
  // Refused when empty, not UTF-8, or (in GREP mode) not a valid pattern; the
  // reason is in errorMessage. A refused text leaves nothing to find.
  ErrorCode setFindText(std::string_view utf8);
  // Refused when not UTF-8 or when it holds an end-of-story mark or an
  // anchor character (U+FFFC): text can't make anchored items.
  ErrorCode setChangeText(std::string_view utf8);
  // Only kFindChangeScopeDocument is taken.
  ErrorCode setScope(int scope);
  // Whether stories shown only on master spreads take part.
  ErrorCode setIncludeMasterPages(bool include);

  // Replaces every match in every story of the document and stores their
  // number in changed (0 on failure). Refused (nothing changed) when there is
  // no valid find text.
  ErrorCode changeAll(IDocument& document, int* changed);

  const std::string& errorMessage() const { return error_; }

 private:
  struct Pattern;
  ErrorCode compile();

  FindChangeMode mode_ = FindChangeMode::Text;
  std::u32string find_, change_;
  bool findValid_ = false;
  int scope_ = kFindChangeScopeDocument;
  bool includeMasters_ = false;
  std::unique_ptr<Pattern> pattern_;
  std::string error_;
};

}  // namespace korvex
