#include "platform/win32/win32_files.h"

#include <windows.h>

#include <aclapi.h>
#include <shlobj.h>

#include <vector>

#include "platform/win32/security_descriptor.h"

namespace {

// The longest value an environment variable can hold, its NUL included.
constexpr std::size_t kEnvironmentValueLimit = 32767;

HANDLE ToHandle(FileHandle file) {
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(file));
}

FileHandle FromHandle(HANDLE handle) {
  return static_cast<FileHandle>(reinterpret_cast<std::uintptr_t>(handle));
}

FILETIME ToFileTime(std::uint64_t value) {
  FILETIME time{};
  time.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFFU);
  time.dwHighDateTime = static_cast<DWORD>(value >> 32U);
  return time;
}

std::uint64_t FromFileTime(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32U) | time.dwLowDateTime;
}

}  // namespace

static_assert(Files::kGenericRead == GENERIC_READ && Files::kGenericWrite == GENERIC_WRITE);
static_assert(Files::kShareRead == FILE_SHARE_READ && Files::kShareWrite == FILE_SHARE_WRITE &&
              Files::kShareDelete == FILE_SHARE_DELETE);
static_assert(Files::kAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT);
static_assert(Files::kErrorSharingViolation == ERROR_SHARING_VIOLATION &&
              Files::kErrorUserMappedFile == ERROR_USER_MAPPED_FILE);
static_assert(Files::kCreateAlways == CREATE_ALWAYS && Files::kOpenExisting == OPEN_EXISTING &&
              Files::kOpenAlways == OPEN_ALWAYS);
static_assert(Files::kAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY);
static_assert(Files::kAttributeNormal == FILE_ATTRIBUTE_NORMAL && Files::kDriveFixed == DRIVE_FIXED);
static_assert(Files::kFileBegin == FILE_BEGIN && Files::kFileCurrent == FILE_CURRENT &&
              Files::kFileEnd == FILE_END);
static_assert(Files::kFolderProgramFiles == CSIDL_PROGRAM_FILES &&
              Files::kFolderProgramFilesX86 == CSIDL_PROGRAM_FILESX86 &&
              Files::kFolderSystem == CSIDL_SYSTEM);

std::optional<std::string> Win32Files::CurrentDirectory(std::size_t maxChars) {
  std::vector<char> buffer(maxChars + 1, '\0');
  const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
  // A directory that does not fit gives the size it would need, NUL included, instead of the text.
  if (length == 0 || length > maxChars) {
    return std::nullopt;
  }
  return std::string(buffer.data(), length);
}

std::uint32_t Win32Files::ChangeDirectory(const std::string& path) {
  return SetCurrentDirectoryA(path.c_str()) != FALSE ? 0 : GetLastError();
}

std::uint32_t Win32Files::MakeDirectory(const std::string& path) {
  return CreateDirectoryA(path.c_str(), nullptr) != FALSE ? 0 : GetLastError();
}

std::uint32_t Win32Files::MakeDirectoryWithSecurity(const std::string& path, const std::string& sddl) {
  const unique_security_descriptor descriptor = SecurityDescriptorOf(sddl);
  if (!descriptor) {
    return GetLastError();
  }
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor.get(), FALSE};
  return CreateDirectoryA(path.c_str(), &attributes) != FALSE ? 0 : GetLastError();
}

std::optional<std::string> Win32Files::SecurityOf(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  // The path is only read: GetNamedSecurityInfoA takes it as a non-const text.
  std::string name = path;
  if (GetNamedSecurityInfoA(name.data(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                            nullptr, &descriptor) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  const unique_security_descriptor owned(descriptor);
  return SddlOf(owned.get());
}

std::uint32_t Win32Files::SetSecurity(const std::string& path, SecurityPart part, const std::string& sddl) {
  const unique_security_descriptor descriptor = SecurityDescriptorOf(sddl);
  if (!descriptor) {
    return GetLastError();
  }
  std::string name = path;
  if (part == SecurityPart::owner) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted) == FALSE || owner == nullptr) {
      return ERROR_INVALID_OWNER;
    }
    return SetNamedSecurityInfoA(name.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner, nullptr,
                                 nullptr, nullptr);
  }
  PACL dacl = nullptr;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  if (GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted) == FALSE || present == FALSE) {
    return ERROR_INVALID_ACL;
  }
  return SetNamedSecurityInfoA(name.data(), SE_FILE_OBJECT,
                               DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                               nullptr, dacl, nullptr);
}

std::optional<std::vector<Files::DirectoryEntry>> Win32Files::ListDirectory(const std::string& pattern) {
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  std::vector<DirectoryEntry> entries;
  do {
    entries.push_back({found.cFileName, found.dwFileAttributes,
                       (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32U) | found.nFileSizeLow});
  } while (FindNextFileA(search, &found) != FALSE);
  FindClose(search);
  return entries;
}

bool Win32Files::Remove(const std::string& path) {
  return DeleteFileA(path.c_str()) != FALSE;
}

bool Win32Files::RemoveFolder(const std::string& path) {
  return RemoveDirectoryA(path.c_str()) != FALSE;
}

bool Win32Files::Replace(const std::string& source, const std::string& target) {
  return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
         FALSE;
}

bool Win32Files::ReplaceAtRestart(const std::string& source, const std::string& target) {
  return MoveFileExA(source.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

bool Win32Files::RemoveAtRestart(const std::string& path) {
  return MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

bool Win32Files::CopyTo(const std::string& source, const std::string& target, std::uint32_t& error) {
  if (CopyFileA(source.c_str(), target.c_str(), FALSE) == FALSE) {
    error = GetLastError();
    return false;
  }
  return true;
}

std::optional<std::string> Win32Files::ModulePath(std::size_t maxChars) {
  std::vector<char> path(maxChars + 1, '\0');
  const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length > maxChars) {
    return std::nullopt;
  }
  return std::string(path.data(), length);
}

FileHandle Win32Files::Create(const std::string& path, std::uint32_t access, std::uint32_t share,
                              std::uint32_t disposition, std::uint32_t attributes) {
  const HANDLE file = CreateFileA(path.c_str(), access, share, nullptr, disposition, attributes, nullptr);
  lastCreateError_ = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  return FromHandle(file);
}

bool Win32Files::Flush(FileHandle file) {
  return FlushFileBuffers(ToHandle(file)) != FALSE;
}

bool Win32Files::SeekToEnd(FileHandle file) {
  LARGE_INTEGER distance{};
  return SetFilePointerEx(ToHandle(file), distance, nullptr, FILE_END) != FALSE;
}

bool Win32Files::Write(FileHandle file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > MAXDWORD ? MAXDWORD : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (WriteFile(ToHandle(file), bytes.data(), chunk, &written, nullptr) == FALSE || written == 0) {
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

bool Win32Files::Close(FileHandle file) {
  return CloseHandle(ToHandle(file)) != FALSE;
}

std::optional<std::uint32_t> Win32Files::Read(FileHandle file, void* buffer, std::uint32_t count) {
  DWORD read = 0;
  if (ReadFile(ToHandle(file), buffer, count, &read, nullptr) == FALSE) {
    return std::nullopt;
  }
  return read;
}

std::optional<std::uint32_t> Win32Files::WritePart(FileHandle file, const void* bytes, std::uint32_t count) {
  DWORD written = 0;
  if (WriteFile(ToHandle(file), bytes, count, &written, nullptr) == FALSE) {
    return std::nullopt;
  }
  return written;
}

std::optional<std::uint32_t> Win32Files::Seek(FileHandle file, std::int32_t distance, std::uint32_t method) {
  const DWORD position = SetFilePointer(ToHandle(file), distance, nullptr, method);
  if (position == INVALID_SET_FILE_POINTER) {
    return std::nullopt;
  }
  return position;
}

std::optional<std::uint64_t> Win32Files::DosDateTimeToFileTime(std::uint16_t date, std::uint16_t time) {
  FILETIME local{};
  if (::DosDateTimeToFileTime(date, time, &local) == FALSE) {
    return std::nullopt;
  }
  return FromFileTime(local);
}

std::optional<std::uint64_t> Win32Files::LocalFileTimeToFileTime(std::uint64_t localTime) {
  const FILETIME local = ToFileTime(localTime);
  FILETIME utc{};
  if (::LocalFileTimeToFileTime(&local, &utc) == FALSE) {
    return std::nullopt;
  }
  return FromFileTime(utc);
}

bool Win32Files::SetFileTimes(FileHandle file, std::uint64_t creation, std::uint64_t lastAccess,
                              std::uint64_t lastWrite) {
  const FILETIME created = ToFileTime(creation);
  const FILETIME accessed = ToFileTime(lastAccess);
  const FILETIME written = ToFileTime(lastWrite);
  return SetFileTime(ToHandle(file), &created, &accessed, &written) != FALSE;
}

std::optional<std::uint32_t> Win32Files::FileAttributes(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return std::nullopt;
  }
  return attributes;
}

std::optional<Files::Stamp> Win32Files::StampOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) == FALSE ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  return Stamp{(static_cast<std::uint64_t>(data.nFileSizeHigh) << 32U) | data.nFileSizeLow,
               (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32U) |
                   data.ftLastWriteTime.dwLowDateTime};
}

std::optional<std::string> Win32Files::FindOnSearchPath(const std::string& fileName) {
  // The folders of PATH alone: without a path of its own SearchPath looks in the exe's folder and the
  // current folder first, where anyone may have put a file of that name.
  std::vector<char> folders(kEnvironmentValueLimit, '\0');
  const DWORD foldersLength =
      GetEnvironmentVariableA("PATH", folders.data(), static_cast<DWORD>(folders.size()));
  if (foldersLength == 0 || foldersLength >= folders.size()) {
    return std::nullopt;
  }
  std::vector<char> path(MAX_PATH + 1, '\0');
  const DWORD length = SearchPathA(folders.data(), fileName.c_str(), nullptr, static_cast<DWORD>(path.size()),
                                   path.data(), nullptr);
  if (length == 0 || length >= path.size()) {
    return std::nullopt;
  }
  return std::string(path.data(), length);
}

std::uint32_t Win32Files::LogicalDrives() {
  return GetLogicalDrives();
}

std::uint32_t Win32Files::DriveType(const std::string& root) {
  return GetDriveTypeA(root.c_str());
}

std::optional<std::uint64_t> Win32Files::DiskFreeBytes(const std::string& root) {
  ULARGE_INTEGER totalFree{};
  if (!GetDiskFreeSpaceExA(root.c_str(), nullptr, nullptr, &totalFree)) {
    return std::nullopt;
  }
  return totalFree.QuadPart;
}

std::optional<std::string> Win32Files::VolumeOf(const std::string& path) {
  std::vector<char> volume(MAX_PATH + 1, '\0');
  if (GetVolumePathNameA(path.c_str(), volume.data(), static_cast<DWORD>(volume.size())) == FALSE) {
    return std::nullopt;
  }
  return std::string(volume.data());
}

std::optional<std::string> Win32Files::KnownFolder(int folder) {
  char path[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathA(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path))) {
    return std::nullopt;
  }
  return std::string(path);
}
