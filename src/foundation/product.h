#pragma once

// The product's name and version, as they appear in the log and the About box.

namespace korvex {

inline constexpr const char* kProductName = "Korvex";
inline constexpr const char* kProductVersion = "3.02";
// The host release the plug-in announces itself for.
inline constexpr const char* kHostTag = "CS6";

}  // namespace korvex
