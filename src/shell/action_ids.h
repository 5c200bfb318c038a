#pragma once

// The plug-in's action identifiers: a block of 16 starting at 0xA4790. A menu
// command is named by its offset in the block.

namespace korvex {

using ActionID = long;

inline constexpr ActionID kKorvexActionBase = 673680;  // 0xA4790
inline constexpr int kKorvexActionCount = 16;
// The identifier of a submenu entry; separators carry 0.
inline constexpr ActionID kInvalidActionID = -1;
inline constexpr ActionID kSeparatorActionID = 0;

constexpr ActionID korvexActionID(int offset) {
  return kKorvexActionBase + offset;
}

}  // namespace korvex
