#include "platform/win32/win32_registry.h"

#include <windows.h>

#include <algorithm>
#include <limits>

#include "platform/win32/wide_text.h"

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

bool IsText(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The bytes a value holds as the port gives them: a text's UTF-16 units as UTF-8 (its NULs kept, an odd
// last byte dropped), any other type as it is.
std::optional<std::string> PortData(DWORD type, std::string_view bytes) {
  if (!IsText(type)) {
    return std::string(bytes);
  }
  std::wstring units(bytes.size() / sizeof(wchar_t), L'\0');
  std::copy_n(bytes.data(), units.size() * sizeof(wchar_t), reinterpret_cast<char*>(units.data()));
  return WideToUtf8Text(units);
}

// The bytes of a value as the wide call takes them: a UTF-8 text as UTF-16 units.
std::optional<std::string> RegistryData(DWORD type, std::string_view data) {
  if (!IsText(type)) {
    return std::string(data);
  }
  const std::optional<std::wstring> units = Utf8ToWideText(data);
  if (!units) {
    return std::nullopt;
  }
  return std::string(reinterpret_cast<const char*>(units->data()), units->size() * sizeof(wchar_t));
}

}  // namespace

static_assert(Registry::kRead == KEY_READ && Registry::kWrite == KEY_WRITE &&
              Registry::kAllAccess == KEY_ALL_ACCESS);
static_assert(Registry::kSetValue == KEY_SET_VALUE && Registry::kCreateSubKey == KEY_CREATE_SUB_KEY);
static_assert(Registry::kView64 == KEY_WOW64_64KEY && Registry::kView32 == KEY_WOW64_32KEY);
static_assert(Registry::kTypeString == REG_SZ && Registry::kTypeDword == REG_DWORD);
static_assert(Registry::kTypeExpandString == REG_EXPAND_SZ && Registry::kTypeMultiString == REG_MULTI_SZ);
static_assert(Registry::kNoUnicodeTranslation == ERROR_NO_UNICODE_TRANSLATION);
static_assert(Registry::kFileNotFound == ERROR_FILE_NOT_FOUND &&
              Registry::kAccessDenied == ERROR_ACCESS_DENIED);

std::int32_t Win32Registry::OpenKey(RegistryKey parent, const std::string& subKey, std::uint32_t access,
                                    RegistryKey& key) {
  const std::optional<std::wstring> wide = Utf8ToWideText(subKey);
  if (!wide) {
    return ERROR_NO_UNICODE_TRANSLATION;
  }
  HKEY opened = nullptr;
  const LSTATUS status = RegOpenKeyExW(ToKey(parent), wide->c_str(), 0, access, &opened);
  if (status == ERROR_SUCCESS) {
    key = FromKey(opened);
  }
  return status;
}

std::int32_t Win32Registry::CreateKey(RegistryKey parent, const std::string& subKey, std::uint32_t access,
                                      RegistryKey& key) {
  const std::optional<std::wstring> wide = Utf8ToWideText(subKey);
  if (!wide) {
    return ERROR_NO_UNICODE_TRANSLATION;
  }
  HKEY created = nullptr;
  const LSTATUS status = RegCreateKeyExW(ToKey(parent), wide->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         access, nullptr, &created, nullptr);
  if (status == ERROR_SUCCESS) {
    key = FromKey(created);
  }
  return status;
}

std::int32_t Win32Registry::QueryValue(RegistryKey key, const std::string& name, RegistryValue& value) {
  const std::optional<std::wstring> wide = Utf8ToWideText(name);
  if (!wide) {
    return ERROR_NO_UNICODE_TRANSLATION;
  }
  DWORD type = 0;
  DWORD size = 0;
  LSTATUS status = RegQueryValueExW(ToKey(key), wide->c_str(), nullptr, &type, nullptr, &size);
  // A value another program makes longer between the size and the read answers ERROR_MORE_DATA with the
  // size it has now: the read is made again with that size.
  for (int attempt = 0; status == ERROR_SUCCESS || (status == ERROR_MORE_DATA && attempt < kReadAttempts);
       ++attempt) {
    std::string data(size, '\0');
    status = RegQueryValueExW(ToKey(key), wide->c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                              &size);
    if (status == ERROR_SUCCESS) {
      data.resize(size);
      std::optional<std::string> portData = PortData(type, data);
      if (!portData) {
        return ERROR_NO_UNICODE_TRANSLATION;
      }
      value = RegistryValue{type, std::move(*portData)};
      return status;
    }
  }
  return status;
}

std::int32_t Win32Registry::SetValue(RegistryKey key, const std::string& name, const RegistryValue& value) {
  const std::optional<std::wstring> wide = Utf8ToWideText(name);
  const std::optional<std::string> data = RegistryData(value.type, value.data);
  if (!wide || !data) {
    return ERROR_NO_UNICODE_TRANSLATION;
  }
  if (data->size() > std::numeric_limits<DWORD>::max()) {
    return ERROR_INVALID_PARAMETER;
  }
  return RegSetValueExW(ToKey(key), wide->c_str(), 0, value.type, reinterpret_cast<const BYTE*>(data->data()),
                        static_cast<DWORD>(data->size()));
}

std::int32_t Win32Registry::DeleteValue(RegistryKey key, const std::string& name) {
  const std::optional<std::wstring> wide = Utf8ToWideText(name);
  return wide ? RegDeleteValueW(ToKey(key), wide->c_str()) : ERROR_NO_UNICODE_TRANSLATION;
}

std::int32_t Win32Registry::DeleteKey(RegistryKey parent, const std::string& subKey, std::uint32_t view) {
  const std::optional<std::wstring> wide = Utf8ToWideText(subKey);
  return wide ? RegDeleteKeyExW(ToKey(parent), wide->c_str(), view, 0) : ERROR_NO_UNICODE_TRANSLATION;
}

std::int32_t Win32Registry::CloseKey(RegistryKey key) {
  return RegCloseKey(ToKey(key));
}
