#include "platform/win32/win32_registry.h"

#include <windows.h>

#include <limits>

namespace {

// How often a value that keeps growing while it is read is read again.
constexpr int kReadAttempts = 8;

HKEY ToKey(RegistryKey key) {
  switch (key) {
    case RegistryKey::localMachine:
      return HKEY_LOCAL_MACHINE;
    case RegistryKey::currentUser:
      return HKEY_CURRENT_USER;
    case RegistryKey::classesRoot:
      return HKEY_CLASSES_ROOT;
    default:
      return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(key));
  }
}

RegistryKey FromKey(HKEY key) {
  return static_cast<RegistryKey>(reinterpret_cast<std::uintptr_t>(key));
}

}  // namespace

static_assert(Registry::kRead == KEY_READ && Registry::kWrite == KEY_WRITE &&
              Registry::kAllAccess == KEY_ALL_ACCESS);
static_assert(Registry::kSetValue == KEY_SET_VALUE && Registry::kCreateSubKey == KEY_CREATE_SUB_KEY);
static_assert(Registry::kView64 == KEY_WOW64_64KEY && Registry::kView32 == KEY_WOW64_32KEY);
static_assert(Registry::kTypeString == REG_SZ && Registry::kTypeDword == REG_DWORD);
static_assert(Registry::kTypeExpandString == REG_EXPAND_SZ);
static_assert(Registry::kFileNotFound == ERROR_FILE_NOT_FOUND &&
              Registry::kAccessDenied == ERROR_ACCESS_DENIED);

std::int32_t Win32Registry::OpenKey(RegistryKey parent, const std::string& subKey, std::uint32_t access,
                                    RegistryKey& key) {
  HKEY opened = nullptr;
  const LSTATUS status = RegOpenKeyExA(ToKey(parent), subKey.c_str(), 0, access, &opened);
  if (status == ERROR_SUCCESS) {
    key = FromKey(opened);
  }
  return status;
}

std::int32_t Win32Registry::CreateKey(RegistryKey parent, const std::string& subKey, std::uint32_t access,
                                      RegistryKey& key) {
  HKEY created = nullptr;
  const LSTATUS status = RegCreateKeyExA(ToKey(parent), subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         access, nullptr, &created, nullptr);
  if (status == ERROR_SUCCESS) {
    key = FromKey(created);
  }
  return status;
}

std::int32_t Win32Registry::QueryValue(RegistryKey key, const std::string& name, RegistryValue& value) {
  DWORD type = 0;
  DWORD size = 0;
  LSTATUS status = RegQueryValueExA(ToKey(key), name.c_str(), nullptr, &type, nullptr, &size);
  // A value another program makes longer between the size and the read answers ERROR_MORE_DATA with the
  // size it has now: the read is made again with that size.
  for (int attempt = 0; status == ERROR_SUCCESS || (status == ERROR_MORE_DATA && attempt < kReadAttempts);
       ++attempt) {
    std::string data(size, '\0');
    status = RegQueryValueExA(ToKey(key), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                              &size);
    if (status == ERROR_SUCCESS) {
      data.resize(size);
      value = RegistryValue{type, std::move(data)};
      return status;
    }
  }
  return status;
}

std::int32_t Win32Registry::SetValue(RegistryKey key, const std::string& name, const RegistryValue& value) {
  if (value.data.size() > std::numeric_limits<DWORD>::max()) {
    return ERROR_INVALID_PARAMETER;
  }
  return RegSetValueExA(ToKey(key), name.c_str(), 0, value.type,
                        reinterpret_cast<const BYTE*>(value.data.data()),
                        static_cast<DWORD>(value.data.size()));
}

std::int32_t Win32Registry::DeleteValue(RegistryKey key, const std::string& name) {
  return RegDeleteValueA(ToKey(key), name.c_str());
}

std::int32_t Win32Registry::DeleteKey(RegistryKey parent, const std::string& subKey, std::uint32_t view) {
  return RegDeleteKeyExA(ToKey(parent), subKey.c_str(), view, 0);
}

std::int32_t Win32Registry::CloseKey(RegistryKey key) {
  return RegCloseKey(ToKey(key));
}
