#pragma once

#include <optional>
#include <string>

class Files;

// What the run and the pre-flight check say of a folder on a drive letter that this process does not see:
// "Z:\Media is on Z:, a drive mapped for the signed-in user only, which the elevated setup does not see: name
// it by its share, \\server\share\...".
inline constexpr char kOnDrive[] = " is on ";
inline constexpr char kUserMappedDrive[] =
    ", a drive mapped for the signed-in user only, which the elevated setup does not see: name it by its "
    "share, \\\\server\\share\\...";

// The drive ("Z:") of a path whose drive letter is not among this process's drives (GetLogicalDrives): a
// drive the signed-in user mapped, which an elevated process does not see; nullopt for any other path.
std::optional<std::string> UnseenDrive(Files& files, const std::string& path);

// The line for such a path: "PATH is on Z:, a drive mapped ...".
std::string UnseenDriveLine(const std::string& path, const std::string& drive);
