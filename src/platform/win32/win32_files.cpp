#include "platform/win32/win32_files.h"

#include <windows.h>

#include <vector>

namespace {

HANDLE ToHandle(FileHandle file) {
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(file));
}

FileHandle FromHandle(HANDLE handle) {
  return static_cast<FileHandle>(reinterpret_cast<std::uintptr_t>(handle));
}

}  // namespace

static_assert(Files::kGenericRead == GENERIC_READ && Files::kGenericWrite == GENERIC_WRITE);
static_assert(Files::kShareRead == FILE_SHARE_READ && Files::kShareWrite == FILE_SHARE_WRITE);
static_assert(Files::kCreateAlways == CREATE_ALWAYS && Files::kOpenExisting == OPEN_EXISTING);
static_assert(Files::kAttributeNormal == FILE_ATTRIBUTE_NORMAL);

std::optional<std::string> Win32Files::CurrentDirectory(std::size_t maxChars) {
  std::vector<char> buffer(maxChars + 1, '\0');
  const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
  // A directory that does not fit gives the size it would need, NUL included, instead of the text.
  if (length == 0 || length > maxChars) {
    return std::nullopt;
  }
  return std::string(buffer.data(), length);
}

FileHandle Win32Files::Create(const std::string& path, std::uint32_t access, std::uint32_t share,
                              std::uint32_t disposition, std::uint32_t attributes) {
  return FromHandle(CreateFileA(path.c_str(), access, share, nullptr, disposition, attributes, nullptr));
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
