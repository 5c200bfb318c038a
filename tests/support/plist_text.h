#pragma once

// Property-list text for the action files and settings tests write.

#include <string>

namespace korvex::test {

inline std::string str(const std::string& key, const std::string& value) {
  return "<key>" + key + "</key><string>" + value + "</string>";
}
inline std::string num(const std::string& key, int value) {
  return "<key>" + key + "</key><integer>" + std::to_string(value) + "</integer>";
}
inline std::string dict(const std::string& body) {
  return "<dict>" + body + "</dict>";
}
inline std::string plist(const std::string& body) {
  return R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0">)" + body + "</plist>";
}

}  // namespace korvex::test
