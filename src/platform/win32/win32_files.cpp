#include "platform/win32/win32_files.h"

#include <windows.h>

#include <aclapi.h>
#include <shlobj.h>

#include <vector>

#include "platform/win32/security_descriptor.h"
#include "platform/win32/wide_text.h"

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
  std::vector<wchar_t> buffer(maxChars + 1, L'\0');
  const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  // A directory that does not fit gives the size it would need, NUL included, instead of the text.
  if (length == 0 || length > maxChars) {
    return std::nullopt;
  }
  return WideToUtf8Text(std::wstring_view(buffer.data(), length));
}

std::uint32_t Win32Files::ChangeDirectory(const std::string& path) {
  const std::optional<std::wstring> wide = Utf8ToWideText(path);
  if (!wide) {
    return ERROR_NO_UNICODE_TRANSLATION;
  }
  return SetCurrentDirectoryW(wide->c_str()) != FALSE ? 0 : GetLastError();
}

std::uint32_t Win32Files::MakeDirectory(const std::string& path) {
  const std::optional<std::wstring> wide = Utf8ToWideText(path);
  if (!wide) {
    return ERROR_NO_UNICODE_TRANSLATION;
  }
  return CreateDirectoryW(wide->c_str(), nullptr) != FALSE ? 0 : GetLastError();
}

std::uint32_t Win32Files::MakeDirectoryWithSecurity(const std::string& path, const std::string& sddl) {
  const unique_security_descriptor descriptor = SecurityDescriptorOf(sddl);
  if (!descriptor) {
    return GetLastError();
  }
  const std::optional<std::wstring> wide = Utf8ToWideText(path);
  if (!wide) {
    return ERROR_NO_UNICODE_TRANSLATION;
  }
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor.get(), FALSE};
  return CreateDirectoryW(wide->c_str(), &attributes) != FALSE ? 0 : GetLastError();
}

std::optional<std::string> Win32Files::SecurityOf(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  // The path is only read: GetNamedSecurityInfoW takes it as a non-const text.
  std::optional<std::wstring> name = Utf8ToWideText(path);
  if (!name || GetNamedSecurityInfoW(name->data(), SE_FILE_OBJECT,
                                     OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                     nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
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
  std::optional<std::wstring> name = Utf8ToWideText(path);
  if (!name) {
    return ERROR_NO_UNICODE_TRANSLATION;
  }
  if (part == SecurityPart::owner) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted) == FALSE || owner == nullptr) {
      return ERROR_INVALID_OWNER;
    }
    return SetNamedSecurityInfoW(name->data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner, nullptr,
                                 nullptr, nullptr);
  }
  PACL dacl = nullptr;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  if (GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted) == FALSE || present == FALSE) {
    return ERROR_INVALID_ACL;
  }
  return SetNamedSecurityInfoW(name->data(), SE_FILE_OBJECT,
                               DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                               nullptr, dacl, nullptr);
}

std::optional<std::vector<Files::DirectoryEntry>> Win32Files::ListDirectory(const std::string& pattern) {
  const std::optional<std::wstring> wide = Utf8ToWideText(pattern);
  if (!wide) {
    return std::nullopt;
  }
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(wide->c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  std::vector<DirectoryEntry> entries;
  do {
    // A name with half a surrogate pair has no UTF-8 form; it is left out, so a folder holding one is
    // never taken for empty.
    if (std::optional<std::string> name = WideToUtf8Text(found.cFileName)) {
      entries.push_back({std::move(*name), found.dwFileAttributes,
                         (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32U) | found.nFileSizeLow});
    }
  } while (FindNextFileW(search, &found) != FALSE);
  FindClose(search);
  return entries;
}

bool Win32Files::Remove(const std::string& path) {
  const std::optional<std::wstring> wide = Utf8ToWideText(path);
  return wide && DeleteFileW(wide->c_str()) != FALSE;
}

bool Win32Files::RemoveFolder(const std::string& path) {
  const std::optional<std::wstring> wide = Utf8ToWideText(path);
  return wide && RemoveDirectoryW(wide->c_str()) != FALSE;
}

bool Win32Files::Replace(const std::string& source, const std::string& target) {
  const std::optional<std::wstring> from = Utf8ToWideText(source);
  const std::optional<std::wstring> to = Utf8ToWideText(target);
  return from && to &&
         MoveFileExW(from->c_str(), to->c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool Win32Files::ReplaceAtRestart(const std::string& source, const std::string& target) {
  const std::optional<std::wstring> from = Utf8ToWideText(source);
  const std::optional<std::wstring> to = Utf8ToWideText(target);
  return from && to &&
         MoveFileExW(from->c_str(), to->c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) !=
             FALSE;
}

bool Win32Files::RemoveAtRestart(const std::string& path) {
  const std::optional<std::wstring> wide = Utf8ToWideText(path);
  return wide && MoveFileExW(wide->c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

bool Win32Files::CopyTo(const std::string& source, const std::string& target, std::uint32_t& error) {
  const std::optional<std::wstring> from = Utf8ToWideText(source);
  const std::optional<std::wstring> to = Utf8ToWideText(target);
  if (!from || !to || CopyFileW(from->c_str(), to->c_str(), FALSE) == FALSE) {
    error = GetLastError();
    return false;
  }
  return true;
}

std::optional<std::string> Win32Files::ModulePath(std::size_t maxChars) {
  std::vector<wchar_t> path(maxChars + 1, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length > maxChars) {
    return std::nullopt;
  }
  return WideToUtf8Text(std::wstring_view(path.data(), length));
}

FileHandle Win32Files::Create(const std::string& path, std::uint32_t access, std::uint32_t share,
                              std::uint32_t disposition, std::uint32_t attributes) {
  const std::optional<std::wstring> wide = Utf8ToWideText(path);
  if (!wide) {
    lastCreateError_ = ERROR_NO_UNICODE_TRANSLATION;
    return FromHandle(INVALID_HANDLE_VALUE);
  }
  const HANDLE file = CreateFileW(wide->c_str(), access, share, nullptr, disposition, attributes, nullptr);
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
  const std::optional<std::wstring> wide = Utf8ToWideText(path);
  if (!wide) {
    return std::nullopt;
  }
  const DWORD attributes = GetFileAttributesW(wide->c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return std::nullopt;
  }
  return attributes;
}

std::optional<Files::Stamp> Win32Files::StampOf(const std::string& path) {
  const std::optional<std::wstring> wide = Utf8ToWideText(path);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!wide || GetFileAttributesExW(wide->c_str(), GetFileExInfoStandard, &data) == FALSE ||
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
  std::vector<wchar_t> folders(kEnvironmentValueLimit, L'\0');
  const DWORD foldersLength =
      GetEnvironmentVariableW(L"PATH", folders.data(), static_cast<DWORD>(folders.size()));
  const std::optional<std::wstring> name = Utf8ToWideText(fileName);
  if (foldersLength == 0 || foldersLength >= folders.size() || !name) {
    return std::nullopt;
  }
  std::vector<wchar_t> path(MAX_PATH + 1, L'\0');
  const DWORD length = SearchPathW(folders.data(), name->c_str(), nullptr, static_cast<DWORD>(path.size()),
                                   path.data(), nullptr);
  if (length == 0 || length >= path.size()) {
    return std::nullopt;
  }
  return WideToUtf8Text(std::wstring_view(path.data(), length));
}

std::uint32_t Win32Files::LogicalDrives() {
  return GetLogicalDrives();
}

std::uint32_t Win32Files::DriveType(const std::string& root) {
  const std::optional<std::wstring> wide = Utf8ToWideText(root);
  return wide ? GetDriveTypeW(wide->c_str()) : DRIVE_NO_ROOT_DIR;
}

std::optional<std::uint64_t> Win32Files::DiskFreeBytes(const std::string& root) {
  const std::optional<std::wstring> wide = Utf8ToWideText(root);
  ULARGE_INTEGER totalFree{};
  if (!wide || GetDiskFreeSpaceExW(wide->c_str(), nullptr, nullptr, &totalFree) == FALSE) {
    return std::nullopt;
  }
  return totalFree.QuadPart;
}

std::optional<std::string> Win32Files::VolumeOf(const std::string& path) {
  const std::optional<std::wstring> wide = Utf8ToWideText(path);
  std::vector<wchar_t> volume(MAX_PATH + 1, L'\0');
  if (!wide || GetVolumePathNameW(wide->c_str(), volume.data(), static_cast<DWORD>(volume.size())) == FALSE) {
    return std::nullopt;
  }
  return WideToUtf8Text(volume.data());
}

std::optional<std::string> Win32Files::KnownFolder(int folder) {
  wchar_t path[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path))) {
    return std::nullopt;
  }
  return WideToUtf8Text(path);
}
