#pragma once

#include <string>
#include <string_view>

// A name in a directory: the directory, a backslash unless it already ends with one, and the name.
inline std::string JoinPath(std::string_view directory, std::string_view name) {
  std::string path(directory);
  if (path.empty() || path.back() != '\\') {
    path += '\\';
  }
  path += name;
  return path;
}
