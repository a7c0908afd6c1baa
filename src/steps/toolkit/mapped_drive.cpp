#include "steps/toolkit/mapped_drive.h"

#include <cctype>

#include "platform/files.h"

std::optional<std::string> UnseenDrive(Files& files, const std::string& path) {
  if (path.size() < 2 || path[1] != ':' || std::isalpha(static_cast<unsigned char>(path[0])) == 0) {
    return std::nullopt;
  }
  const auto letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
  if ((files.LogicalDrives() & (1U << static_cast<unsigned>(letter - 'A'))) != 0) {
    return std::nullopt;
  }
  return std::string(1, letter) + ":";
}

std::string UnseenDriveLine(const std::string& path, const std::string& drive) {
  return path + kOnDrive + drive + kUserMappedDrive;
}
