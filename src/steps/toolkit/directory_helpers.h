#pragma once

#include <cstdint>
#include <string>

#include "core/action_result.h"

class InstallRecord;
struct Machine;
struct FolderProtection;

// Makes every missing directory of the path, walking it from the drive down. Done when the path already
// exists or its last directory was made; else the call that failed when a level can be neither entered
// nor made (SetCurrentDirectory or CreateDirectory, with its error), or a name is longer than 255
// characters (CreateDirectory, ERROR_FILENAME_EXCED_RANGE). The process's current directory is left in the
// parent of the last directory. Each folder made is added to the record first, when one is given (a line
// that cannot be written fails with its line, and the folder is not made); a folder at or below the
// protection's root, when one is given, is made with its DACL.
ActionResult CreateDirectoryChain(Machine& machine, const std::string& path, InstallRecord* record = nullptr,
                                  const FolderProtection* protection = nullptr);

// The same for a path that may start with "\\?\", collecting in `errorText` the system's message for each
// directory that could not be entered at once or made.
ActionResult CreateDirectoryChainEx(Machine& machine, const std::string& path, std::string& errorText,
                                    InstallRecord* record = nullptr,
                                    const FolderProtection* protection = nullptr);

// What an update logs when its update folder can be neither entered nor made.
inline constexpr char kNoUpdateDirectory[] = "Could not create update directory. Udpate cannot proceed";

// Makes the folder current, creating it (and the folders above it) when it cannot be entered. Failed when
// it can be neither entered nor made. Entered, it stays current; made, its parent is current.
ActionResult EnterOrCreateDirectory(Machine& machine, const std::string& path,
                                    InstallRecord* record = nullptr,
                                    const FolderProtection* protection = nullptr);

// Deletes every file of the directory (not of its subdirectories) whose name holds "dll". Failed when the
// directory cannot be entered, or when a file the record would keep a copy of cannot be kept (it and the
// files after it stay); failed deletions are passed over.
ActionResult DeleteDllFiles(Machine& machine, const std::string& directory, InstallRecord* record = nullptr);

// The bytes of the files in the folder and its subfolders (to 16 levels); folders that cannot be listed
// count nothing.
std::uint64_t FolderBytes(Machine& machine, const std::string& folder);
