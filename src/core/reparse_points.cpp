#include "core/reparse_points.h"

#include <cstdint>

#include "platform/files.h"

std::optional<std::string> ReparsePointOnPath(Files& files, const std::string& path) {
  // From the first name below the drive (or the share) to the path's own.
  std::size_t at = path.starts_with("\\\\") ? path.find('\\', path.find('\\', 2) + 1) : path.find('\\');
  while (at != std::string::npos && at < path.size()) {
    const std::size_t next = path.find('\\', at + 1);
    const std::string prefix = path.substr(0, next);
    if (prefix.size() > at + 1) {
      const std::optional<std::uint32_t> attributes = files.FileAttributes(prefix);
      if (attributes && (*attributes & Files::kAttributeReparsePoint) != 0) {
        return prefix;
      }
    }
    at = next;
  }
  return std::nullopt;
}
