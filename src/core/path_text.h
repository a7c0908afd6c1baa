#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

// Two names that Windows reads as the same: equal but for the case of letters.
inline bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// A folder text ending with one backslash: the text, with a backslash added unless it already ends with one.
inline std::string WithTrailingBackslash(std::string_view directory) {
  std::string path(directory);
  if (path.empty() || path.back() != '\\') {
    path += '\\';
  }
  return path;
}

// A name in a directory: the directory, a backslash unless it already ends with one, and the name.
inline std::string JoinPath(std::string_view directory, std::string_view name) {
  return WithTrailingBackslash(directory) + std::string(name);
}
