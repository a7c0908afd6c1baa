#pragma once

#include <optional>
#include <string>

class Files;

// The first name on the path, from the drive down and the path's own last name included, that is a
// reparse point (a junction, a symbolic link or a mount point); nullopt when there is none.
std::optional<std::string> ReparsePointOnPath(Files& files, const std::string& path);
