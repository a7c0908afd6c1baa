#pragma once

#include <cstdint>
#include <string_view>

// The run-mode word taken from the command line.
using RunMode = std::uint32_t;
inline constexpr RunMode kRunInstall = 0x1;
inline constexpr RunMode kRunRepair = 0x2;
inline constexpr RunMode kRunUninstall = 0x4;
inline constexpr RunMode kRunModify = 0x8;
inline constexpr RunMode kRunModifyClient = 0x200;
inline constexpr RunMode kRunModifyServer = 0x400;

// Looks for the keywords as case-sensitive substrings anywhere in the command line, in the order install,
// repair, modify (with server before client), uninstall, each later match replacing the word; a command
// line that is empty or blank means install, one without any keyword gives 0.
RunMode ParseRunMode(std::string_view commandLine);

// Uninstall and repair are served by the maintenance dialog, every other mode by the main setup dialog.
bool UsesMaintenanceDialog(RunMode mode);
