#pragma once

#include <string>
#include <string_view>

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
