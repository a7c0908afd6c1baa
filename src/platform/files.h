#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/handles.h"

// Files and directories of the local machine. Paths are UTF-8 texts; relative paths resolve against the
// process's current directory.
class Files {
 public:
  // Access, share, creation and attribute values of CreateFile, as Windows numbers them.
  static constexpr std::uint32_t kGenericRead = 0x80000000U;
  static constexpr std::uint32_t kGenericWrite = 0x40000000U;
  static constexpr std::uint32_t kShareRead = 0x1;
  static constexpr std::uint32_t kShareWrite = 0x2;
  static constexpr std::uint32_t kShareDelete = 0x4;
  static constexpr std::uint32_t kCreateAlways = 2;
  static constexpr std::uint32_t kOpenExisting = 3;
  static constexpr std::uint32_t kOpenAlways = 4;
  static constexpr std::uint32_t kAttributeNormal = 0x80;
  static constexpr std::uint32_t kAttributeDirectory = 0x10;
  // A junction, a symbolic link or a mount point: GetFileAttributes tells of the link itself.
  static constexpr std::uint32_t kAttributeReparsePoint = 0x400;
  static constexpr std::uint32_t kDriveFixed = 3;  // DRIVE_FIXED
  // Move methods of SetFilePointer.
  static constexpr std::uint32_t kFileBegin = 0;
  static constexpr std::uint32_t kFileCurrent = 1;
  static constexpr std::uint32_t kFileEnd = 2;
  // Known folders of SHGetFolderPath.
  static constexpr int kFolderProgramFiles = 0x26;     // CSIDL_PROGRAM_FILES
  static constexpr int kFolderProgramFilesX86 = 0x2A;  // CSIDL_PROGRAM_FILESX86
  static constexpr int kFolderSystem = 0x25;           // CSIDL_SYSTEM
  static constexpr int kFolderCommonPrograms = 0x17;   // CSIDL_COMMON_PROGRAMS
  static constexpr int kFolderWindows = 0x24;          // CSIDL_WINDOWS

  Files() = default;
  Files(const Files&) = delete;
  Files& operator=(const Files&) = delete;
  virtual ~Files() = default;

  // The current directory, when it fits in maxChars characters (GetCurrentDirectoryW with that limit);
  // nullopt when it does not fit or the call fails.
  virtual std::optional<std::string> CurrentDirectory(std::size_t maxChars) = 0;

  // SetCurrentDirectoryW: 0, or the system's error code when it fails.
  virtual std::uint32_t ChangeDirectory(const std::string& path) = 0;
  // CreateDirectoryW with default security: 0, or the system's error code.
  virtual std::uint32_t MakeDirectory(const std::string& path) = 0;
  // CreateDirectoryW with the security descriptor an SDDL text gives
  // (ConvertStringSecurityDescriptorToSecurityDescriptorW): 0, or the system's error code.
  virtual std::uint32_t MakeDirectoryWithSecurity(const std::string& path, const std::string& sddl) = 0;
  // GetNamedSecurityInfoW of the owner and the DACL of a file or folder, as an SDDL text
  // ("O:owner D:flags(ace)..."); nullopt when they cannot be read.
  virtual std::optional<std::string> SecurityOf(const std::string& path) = 0;
  // SetNamedSecurityInfoW of one part of the security an SDDL text gives: the owner ("O:SID"), or the DACL
  // ("D:P(ace)..."), set protected so that nothing is inherited from above. 0, or the system's error code.
  enum class SecurityPart { owner, protectedDacl };
  virtual std::uint32_t SetSecurity(const std::string& path, SecurityPart part, const std::string& sddl) = 0;
  struct DirectoryEntry {
    std::string name;
    std::uint32_t attributes = 0;
    // The file's size in bytes (0 for a directory).
    std::uint64_t size = 0;
  };
  // The entries matching a pattern such as "C:\Folder\*.*" (FindFirstFileW, FindNextFileW, FindClose);
  // nullopt when nothing can be listed.
  virtual std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& pattern) = 0;
  // DeleteFileW.
  virtual bool Remove(const std::string& path) = 0;
  // RemoveDirectoryW: only an empty folder goes.
  virtual bool RemoveFolder(const std::string& path) = 0;
  // MoveFileExW with MOVEFILE_REPLACE_EXISTING and MOVEFILE_WRITE_THROUGH: the file takes the target's
  // name, replacing what is there, and the move is on disk when the call returns.
  virtual bool Replace(const std::string& source, const std::string& target) = 0;
  // MoveFileExW with MOVEFILE_REPLACE_EXISTING and MOVEFILE_DELAY_UNTIL_REBOOT: the file takes the target's
  // name when Windows next starts, before any program can hold the target (a module in use now).
  virtual bool ReplaceAtRestart(const std::string& source, const std::string& target) = 0;
  // MoveFileExW with no target and MOVEFILE_DELAY_UNTIL_REBOOT: the file, or the folder if it is empty by
  // then, is deleted when Windows next starts (in the order asked).
  virtual bool RemoveAtRestart(const std::string& path) = 0;
  // CopyFileW, replacing an existing target; on failure `error` is the system's error code.
  virtual bool CopyTo(const std::string& source, const std::string& target, std::uint32_t& error) = 0;
  // GetModuleFileNameW of the running program, when it fits in maxChars characters.
  virtual std::optional<std::string> ModulePath(std::size_t maxChars) = 0;

  // CreateFileW; FileHandle::invalid on failure.
  virtual FileHandle Create(const std::string& path, std::uint32_t access, std::uint32_t share,
                            std::uint32_t disposition, std::uint32_t attributes) = 0;
  // The system's error code of the last Create that failed (GetLastError right after it); 0 after one that
  // succeeded.
  virtual std::uint32_t LastCreateError() = 0;
  static constexpr std::uint32_t kErrorSharingViolation = 32;  // ERROR_SHARING_VIOLATION
  static constexpr std::uint32_t kErrorUserMappedFile = 1224;  // ERROR_USER_MAPPED_FILE
  // Moves the file pointer to the end of the file (SetFilePointer FILE_END).
  virtual bool SeekToEnd(FileHandle file) = 0;
  // WriteFile of all bytes; false when the write fails or falls short.
  virtual bool Write(FileHandle file, std::string_view bytes) = 0;
  virtual bool Close(FileHandle file) = 0;
  // FlushFileBuffers: what was written to the file (through any handle) is on disk; the handle needs write
  // access.
  virtual bool Flush(FileHandle file) = 0;
  // ReadFile of up to `count` bytes; the count read (0 at the end of the file), nullopt when it fails.
  virtual std::optional<std::uint32_t> Read(FileHandle file, void* buffer, std::uint32_t count) = 0;
  // One WriteFile of `count` bytes; the count written, nullopt when it fails.
  virtual std::optional<std::uint32_t> WritePart(FileHandle file, const void* bytes, std::uint32_t count) = 0;
  // SetFilePointer with a 32-bit distance; the new position, nullopt when it fails.
  virtual std::optional<std::uint32_t> Seek(FileHandle file, std::int32_t distance, std::uint32_t method) = 0;

  // File times are FILETIME values: 100-nanosecond intervals since 1 January 1601.
  // DosDateTimeToFileTime: the local file time of an MS-DOS date and time; nullopt when they are invalid.
  virtual std::optional<std::uint64_t> DosDateTimeToFileTime(std::uint16_t date, std::uint16_t time) = 0;
  // LocalFileTimeToFileTime: the UTC file time of a local one.
  virtual std::optional<std::uint64_t> LocalFileTimeToFileTime(std::uint64_t localTime) = 0;
  // SetFileTime of an open file: creation, last-access and last-write time.
  virtual bool SetFileTimes(FileHandle file, std::uint64_t creation, std::uint64_t lastAccess,
                            std::uint64_t lastWrite) = 0;

  // GetFileAttributesW; nullopt when the path does not exist or cannot be read.
  virtual std::optional<std::uint32_t> FileAttributes(const std::string& path) = 0;
  // What tells one version of a file from another: its size and its last-write time.
  struct Stamp {
    std::uint64_t size = 0;
    std::uint64_t lastWrite = 0;
    bool operator==(const Stamp&) const = default;
  };
  // GetFileAttributesExW of a file; nullopt when it is not there or is a folder.
  virtual std::optional<Stamp> StampOf(const std::string& path) = 0;
  // SearchPathW along the folders of PATH (never the exe's own folder or the current folder); the full path
  // of the file when it is found.
  virtual std::optional<std::string> FindOnSearchPath(const std::string& fileName) = 0;
  // GetLogicalDrives: bit 0 is drive A.
  virtual std::uint32_t LogicalDrives() = 0;
  // GetDriveTypeW of a root such as "C:\".
  virtual std::uint32_t DriveType(const std::string& root) = 0;
  // GetDiskFreeSpaceExW of a root: the total number of free bytes on the disk (not only those available
  // to the caller); nullopt when it cannot be read.
  virtual std::optional<std::uint64_t> DiskFreeBytes(const std::string& root) = 0;
  // GetVolumePathNameW: the root of the volume that holds the path, with its trailing backslash ("C:\", a
  // folder a volume is mounted on, "\\server\share\"); nullopt when it cannot be told.
  virtual std::optional<std::string> VolumeOf(const std::string& path) = 0;
  // SHGetFolderPathW of a known folder; nullopt when the system has none.
  virtual std::optional<std::string> KnownFolder(int folder) = 0;
};
